// Catalogue benchmarks. Every comparison runs its two sides in alternation,
// operation by operation (or block by block where a side must reopen its
// catalogue), on identical copies of one generated catalogue: a change in the
// machine's load or the disk's speed then hits both sides alike, and the
// ratio holds on a shared machine. The table at the end gives each ratio
// beside its target.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CatalogueGenerator.h"
#include "EngineBaseline.h"
#include "LibraryCatalogue.h"
#include "Sides.h"
#include "SyncCounter.h"

namespace fs = std::filesystem;
using namespace darubench;

namespace {

const CatalogueShape k1k{1000, 1000};
const CatalogueShape k10k{10000, 1000};
const CatalogueShape k100k{100000, 1000};
const CatalogueShape kManyLabels{1000, 10000};

fs::path CacheFolder() { return fs::path(DARU_BENCH_DIR) / "catalogues"; }
fs::path WorkFolder() { return fs::path(DARU_BENCH_DIR) / "work"; }
fs::path Cached(const CatalogueShape& shape) { return CachedCatalogue(CacheFolder(), shape); }

// Links captured in one run are never captured twice.
std::uint64_t gFreshLink = 0;
GeneratedArticle NextFresh() { return FreshArticleText(gFreshLink++); }
int SomeLabel() { return 3 + static_cast<int>(gFreshLink % 900); }

// Journal modes in the order they are reported; the first is what provisioning sets.
const std::vector<std::string>& Modes() {
  static const std::vector<std::string> modes = {
      LibraryCatalogue::ProvisionedJournalMode(),
      LibraryCatalogue::ProvisionedJournalMode() == "WAL" ? "DELETE" : "WAL"};
  return modes;
}

// The synchronous setting darulib's connection runs with in a journal mode;
// the engine's side takes the same.
int SynchronousFor(const std::string& mode) {
  static std::map<std::string, int> known;
  auto it = known.find(mode);
  if (it != known.end()) return it->second;
  LibraryCatalogue probe(Cached(k1k), WorkFolder(), "probe", mode);
  return known[mode] = probe.Synchronous();
}

// The engine's side of a workload, on its own copy of the catalogue.
struct EngineSide {
  EngineSide(const CatalogueShape& shape, const std::string& name, const std::string& mode)
      : root(Cached(shape), WorkFolder(), name + "-engine", mode), engine(root.path(), SynchronousFor(mode)) {}
  WorkingRoot root;
  EngineCatalogue engine;
};

// Each side's syncs to disk counted beside its time.
Sides SyncedSides(size_t count) {
  Sides sides(count);
  sides.CountSyncs(SyncCalls);
  return sides;
}

// One 4 KiB page rewritten and synced, in the folder the catalogues live in.
class SyncProbe {
 public:
  SyncProbe() : m_file((WorkFolder() / "sync-probe").string()), m_page(4096, 'x') {
    m_fd = open(m_file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (int i = 0; i < 16; ++i) Sync();  // the file has its final size from here on
  }
  ~SyncProbe() {
    close(m_fd);
    unlink(m_file.c_str());
  }
  void Sync() {
    if (pwrite(m_fd, m_page.data(), m_page.size(), m_offset) != static_cast<ssize_t>(m_page.size())) return;
    fdatasync(m_fd);
    m_offset = (m_offset + 4096) % (16 * 4096);
  }

 private:
  std::string m_file;
  std::string m_page;
  int m_fd;
  off_t m_offset = 0;
};

// --- capture --------------------------------------------------------------

// darulib, the engine, and the syncs alone: the third side performs as many
// page syncs as darulib's capture just did, which is the disk's limit.
void Capture(benchmark::State& state, CatalogueShape shape, std::string mode) {
  LibraryCatalogue lib(Cached(shape), WorkFolder(), "capture", mode);
  EngineSide e(shape, "capture", mode);
  SyncProbe probe;
  Sides sides = SyncedSides(3);
  std::uint64_t libSyncs = 0;
  for (auto _ : state) {
    GeneratedArticle a = NextFresh(), b = NextFresh();
    int label = SomeLabel();
    state.SetIterationTime(sides.Step(
        [&] {
          std::uint64_t before = SyncCalls();
          if (!lib.Capture(label, a.url, a.title)) state.SkipWithError("capture failed");
          libSyncs = SyncCalls() - before;
        },
        [&] {
          if (e.engine.Capture(label, b.url, b.title) == 0) state.SkipWithError("capture failed");
        },
        [&] {
          for (std::uint64_t i = 0; i < libSyncs; ++i) probe.Sync();
        }));
  }
  sides.Report(state);
}

// A stored link under a label that does not hold it yet.
void Duplicate(benchmark::State& state, CatalogueShape shape, std::string mode) {
  LibraryCatalogue lib(Cached(shape), WorkFolder(), "duplicate", mode);
  EngineSide e(shape, "duplicate", mode);
  int libLabel = lib.AddEmptyLabel(), engineLabel = e.engine.AddEmptyLabel();
  // Every stored article of a library has its description file; without it
  // the filing would restore the file, a capture's work, not a filing's.
  for (std::uint64_t i = 0; i < static_cast<std::uint64_t>(state.max_iterations); ++i)
    if (!lib.WriteDescriptionFile(ArticleText(i * 7 % static_cast<std::uint64_t>(shape.articles)).url))
      state.SkipWithError("cannot write a description file");
  Sides sides = SyncedSides(2);
  std::uint64_t n = 0;
  for (auto _ : state) {
    GeneratedArticle a = ArticleText(n++ * 7 % static_cast<std::uint64_t>(shape.articles));
    state.SetIterationTime(sides.Step(
        [&] {
          if (!lib.FileUnder(libLabel, a.url, a.title)) state.SkipWithError("filing failed");
        },
        [&] {
          if (!e.engine.FileUnder(engineLabel, a.url)) state.SkipWithError("filing failed");
        }));
  }
  sides.Report(state);
}

// darulib on the large catalogue against darulib on the small one, in blocks
// of captures; each block reopens its catalogue, untimed.
void CaptureScaling(benchmark::State& state, std::string mode) {
  WorkingRoot large(Cached(k100k), WorkFolder(), "scaling-large", mode);
  WorkingRoot small(Cached(k1k), WorkFolder(), "scaling-small", mode);
  const WorkingRoot* roots[2] = {&large, &small};
  constexpr int kBlock = 20;
  Sides sides = SyncedSides(2);
  std::uint64_t block = 0;
  for (auto _ : state) {
    double total = 0;
    for (int k = 0; k < 2; ++k) {
      size_t side = (k + block) % 2;
      LibraryCatalogue lib(*roots[side]);
      GeneratedArticle first = NextFresh();  // the first write after opening sets up the journal
      lib.Capture(SomeLabel(), first.url, first.title);
      auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < kBlock; ++i) {
        GeneratedArticle a = NextFresh();
        if (!lib.Capture(SomeLabel(), a.url, a.title)) state.SkipWithError("capture failed");
      }
      double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      sides.Add(side, took, kBlock);
      total += took;
    }
    ++block;
    state.SetIterationTime(total);
  }
  sides.Report(state);
}

// --- reads ----------------------------------------------------------------

void LabelQuery(benchmark::State& state) {
  LibraryCatalogue lib(Cached(k100k), WorkFolder(), "labelquery", Modes()[0]);
  EngineSide e(k100k, "labelquery", Modes()[0]);
  Sides sides = SyncedSides(2);
  for (auto _ : state) {
    state.SetIterationTime(sides.Step(
        [&] {
          if (lib.QueryLabel(kBigLabelId) != kBigLabelArticles) state.SkipWithError("wrong article count");
        },
        [&] {
          auto rows = e.engine.LabelArticles(kBigLabelId);
          if (rows.size() != kBigLabelArticles) state.SkipWithError("wrong article count");
        }));
  }
  sides.Report(state);
}

void Search(benchmark::State& state) {
  LibraryCatalogue lib(Cached(k100k), WorkFolder(), "search", Modes()[0]);
  EngineSide e(k100k, "search", Modes()[0]);
  Sides sides = SyncedSides(2);
  int found = 0;
  for (auto _ : state) {
    state.SetIterationTime(sides.Step([&] { found = lib.SearchTitle(kSearchWord); },
                                      [&] {
                                        auto rows = e.engine.SearchTitle(kSearchWord);
                                        if (static_cast<int>(rows.size()) != found)
                                          state.SkipWithError("different results");
                                      }));
  }
  sides.Report(state);
  state.counters["found"] = found;
}

// The hierarchy of 10,000 labels against that of 1,000, in blocks.
void LabelTreeScaling(benchmark::State& state) {
  WorkingRoot many(Cached(kManyLabels), WorkFolder(), "labels-many", Modes()[0]);
  WorkingRoot few(Cached(k1k), WorkFolder(), "labels-few", Modes()[0]);
  const WorkingRoot* roots[2] = {&many, &few};
  const int counts[2] = {kManyLabels.labels, k1k.labels};
  constexpr int kBlock = 5;
  Sides sides = SyncedSides(2);
  std::uint64_t block = 0;
  for (auto _ : state) {
    double total = 0;
    for (int k = 0; k < 2; ++k) {
      size_t side = (k + block) % 2;
      LibraryCatalogue lib(*roots[side]);
      auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < kBlock; ++i)
        if (lib.LoadLabels() != counts[side]) state.SkipWithError("wrong label count");
      double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      sides.Add(side, took, kBlock);
      total += took;
    }
    ++block;
    state.SetIterationTime(total);
  }
  sides.Report(state);
}

void LabelTreeAgainstEngine(benchmark::State& state, CatalogueShape shape) {
  LibraryCatalogue lib(Cached(shape), WorkFolder(), "labeltree", Modes()[0]);
  EngineSide e(shape, "labeltree", Modes()[0]);
  Sides sides = SyncedSides(2);
  for (auto _ : state) {
    state.SetIterationTime(sides.Step(
        [&] {
          if (lib.LoadLabels() != shape.labels) state.SkipWithError("wrong label count");
        },
        [&] {
          if (static_cast<int>(e.engine.LoadLabels().size()) != shape.labels) state.SkipWithError("wrong label count");
        }));
  }
  sides.Report(state);
}

// --- writes that need a fresh catalogue or a listing ----------------------

// Each step deletes the big label from fresh copies; only the deletes are timed.
void DeleteLabel(benchmark::State& state, std::string mode) {
  Sides sides = SyncedSides(2);
  for (auto _ : state) {
    LibraryCatalogue lib(Cached(k100k), WorkFolder(), "deletelabel", mode);
    EngineSide e(k100k, "deletelabel", mode);
    state.SetIterationTime(sides.Step(
        [&] {
          if (!lib.DeleteLabel(kBigLabelId)) state.SkipWithError("delete failed");
        },
        [&] {
          if (!e.engine.DeleteLabel(kBigLabelId)) state.SkipWithError("delete failed");
        }));
  }
  sides.Report(state);
}

constexpr int kMarkReadCount = 1000;

// The first 1,000 listed articles of the big label, each flipped and stored,
// darulib's and the engine's updates taking turns.
void MarkRead(benchmark::State& state, std::string mode) {
  LibraryCatalogue lib(Cached(k100k), WorkFolder(), "markread", mode);
  EngineSide e(k100k, "markread", mode);
  lib.QueryLabel(kBigLabelId);
  auto rows = e.engine.LabelArticles(kBigLabelId);
  rows.resize(kMarkReadCount);
  Sides sides = SyncedSides(2);
  for (auto _ : state) {
    double total = 0;
    for (int i = 0; i < kMarkReadCount; ++i) {
      total += sides.Step(
          [&] {
            if (lib.FlipReadFlag(i) != 1) state.SkipWithError("update failed");
          },
          [&] {
            rows[i].readflag = !rows[i].readflag;
            if (!e.engine.UpdateArticle(rows[i])) state.SkipWithError("update failed");
          });
    }
    state.SetIterationTime(total);
  }
  sides.Report(state);
}

// --- memory ---------------------------------------------------------------

long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  size_t n = std::strlen(field);
  while (std::getline(in, line))
    if (line.compare(0, n, field) == 0) return std::stol(line.substr(n + 1));
  return -1;
}

// Runs in a process of its own so that no earlier allocation hides the
// query's. The engine's page cache is filled first by a search that finds
// nothing, so that what is measured is what the articles hold; then the
// resident size before, the peak during the query, and the articles' text.
int MemoryProbe(const std::string& side) {
  long before = 0, peak = 0;
  std::size_t text = 0, count = 0;
  auto reset = [&] {
    std::ofstream("/proc/self/clear_refs") << "5";
    before = StatusKiB("VmRSS:");
  };
  const char* nothing = "no title holds this";
  if (side == "darulib") {
    LibraryCatalogue lib(Cached(k100k), WorkFolder(), "memory", Modes()[0]);
    lib.LoadLabels();
    lib.SearchTitle(nothing);
    reset();
    count = static_cast<std::size_t>(lib.QueryLabel(kBigLabelId));
    peak = StatusKiB("VmHWM:");
    text = lib.ListedTextBytes();
  } else {
    EngineSide e(k100k, "memory", Modes()[0]);
    e.engine.SearchTitle(nothing);
    reset();
    auto rows = e.engine.LabelArticles(kBigLabelId);
    peak = StatusKiB("VmHWM:");
    count = rows.size();
    for (const EngineArticle& a : rows)
      text += a.filename.size() + a.url.size() + a.title.size() + a.key1.size() + a.type.size();
  }
  std::printf("%ld %zu %zu\n", (peak - before) * 1024, count, text);
  return 0;
}

struct MemoryFigure {
  double bytesPerArticle = -1, textPerArticle = 0;
};

MemoryFigure MeasureMemory(const char* self, const std::string& side) {
  MemoryFigure fig;
  std::string cmd = std::string("'") + self + "' --memory-probe=" + side;
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return fig;
  long grown = 0;
  std::size_t count = 0, text = 0;
  if (std::fscanf(p, "%ld %zu %zu", &grown, &count, &text) == 3 && count > 0) {
    fig.bytesPerArticle = static_cast<double>(grown) / static_cast<double>(count);
    fig.textPerArticle = static_cast<double>(text) / static_cast<double>(count);
  }
  pclose(p);
  return fig;
}

// --- registration and the summary ----------------------------------------

struct Collector : benchmark::ConsoleReporter {
  std::map<std::string, std::map<std::string, double>> counters;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
      for (const auto& [k, c] : r.counters) counters[r.run_name.function_name][k] = c.value;
    }
  }
  double Get(const std::string& name, const std::string& counter) const {
    auto it = counters.find(name);
    if (it == counters.end()) return -1;
    auto c = it->second.find(counter);
    return c == it->second.end() ? -1 : c->second;
  }
};

template <class F>
void Add(const std::string& name, int iterations, F fn) {
  benchmark::RegisterBenchmark(name.c_str(), fn)
      ->Iterations(iterations)
      ->Unit(benchmark::kMicrosecond)
      ->UseManualTime();
}

std::string Tag(const std::string& workload, const std::string& mode, int size) {
  return workload + "/" + mode + "/" + std::to_string(size);
}

void RegisterAll() {
  for (const std::string& mode : Modes()) {
    // A rollback-journal commit waits for several syncs; keep those runs short.
    bool wal = mode == "WAL";
    for (const CatalogueShape& shape : {k1k, k10k, k100k})
      Add(Tag("capture", mode, shape.articles), wal ? 300 : 60,
          [shape, mode](benchmark::State& st) { Capture(st, shape, mode); });
    Add("capture-scaling/" + mode, wal ? 10 : 4, [mode](benchmark::State& st) { CaptureScaling(st, mode); });
    Add(Tag("duplicate", mode, k100k.articles), wal ? 300 : 60,
        [mode](benchmark::State& st) { Duplicate(st, k100k, mode); });
    Add("deletelabel/" + mode, 3, [mode](benchmark::State& st) { DeleteLabel(st, mode); });
    Add("markread/" + mode, 1, [mode](benchmark::State& st) { MarkRead(st, mode); });
  }
  Add("labelquery", 20, LabelQuery);
  Add("search", 20, Search);
  Add("labeltree-scaling", 20, LabelTreeScaling);
  Add("labeltree/1000", 100, [](benchmark::State& st) { LabelTreeAgainstEngine(st, k1k); });
  Add("labeltree/10000", 20, [](benchmark::State& st) { LabelTreeAgainstEngine(st, kManyLabels); });
}

struct Line {
  std::string what, benchmark;
  std::string first, second;  // the two sides compared
  double target;              // the ratio must not exceed it; 0 = no target
  double scale = 1;           // figures are per operation times this
};

void PrintSummary(const Collector& c, const char* self) {
  std::vector<Line> lines;
  for (const std::string& mode : Modes()) {
    for (int size : {1000, 10000, 100000})
      lines.push_back(
          {"capture " + mode + " " + std::to_string(size), Tag("capture", mode, size), "darulib", "engine", 1.5});
    lines.push_back(
        {"duplicate capture " + mode + " 100000", Tag("duplicate", mode, 100000), "darulib", "engine", 1.5});
    lines.push_back({"capture " + mode + ": 100000 vs 1000", "capture-scaling/" + mode, "at 100000", "at 1000", 1.3});
    lines.push_back({"delete label of 10000 " + mode, "deletelabel/" + mode, "darulib", "engine", 0});
    lines.push_back({"mark 1000 read " + mode, "markread/" + mode, "darulib", "engine", 0, kMarkReadCount});
  }
  lines.push_back({"label query of 10000", "labelquery", "darulib", "engine", 1.5});
  lines.push_back({"title search over 100000", "search", "darulib", "engine", 2});
  lines.push_back({"label tree: 10000 vs 1000 labels", "labeltree-scaling", "10000", "1000", 15});
  lines.push_back({"label tree of 1000", "labeltree/1000", "darulib", "engine", 0});
  lines.push_back({"label tree of 10000", "labeltree/10000", "darulib", "engine", 0});

  std::printf("\n%-36s %-20s %13s %13s %7s %7s\n", "workload", "compared", "first", "second", "ratio", "target");
  for (const Line& l : lines) {
    double a = c.Get(l.benchmark, "s0_us"), b = c.Get(l.benchmark, "s1_us");
    std::string compared = l.first + " / " + l.second;
    if (a < 0 || b <= 0) {
      std::printf("%-36s %-20s %13s %13s %7s\n", l.what.c_str(), compared.c_str(), "-", "-", "not run");
      continue;
    }
    double r = a / b;
    std::printf("%-36s %-20s %10.1f us %10.1f us %7.2f ", l.what.c_str(), compared.c_str(), a * l.scale, b * l.scale,
                r);
    if (l.target > 0)
      std::printf("%7.2f  %s\n", l.target, r <= l.target ? "met" : "MISSED");
    else
      std::printf("%7s\n", "-");
  }

  std::printf("\njournal modes, 10000 articles: captures per second\n");
  std::printf("%-8s %10s %10s %16s %16s %18s\n", "mode", "darulib", "engine", "syncs/capture", "syncs/capture",
              "disk limit");
  std::printf("%-8s %10s %10s %16s %16s %18s\n", "", "", "", "(darulib)", "(engine)", "(syncs only)");
  for (const std::string& mode : Modes()) {
    std::string name = Tag("capture", mode, 10000);
    // Throughput is a matter of means: a checkpoint's syncs come now and then.
    double lib = c.Get(name, "s0_mean_us"), eng = c.Get(name, "s1_mean_us"), only = c.Get(name, "s2_mean_us");
    if (lib <= 0 || eng <= 0) continue;
    std::printf("%-8s %10.0f %10.0f %16.2f %16.2f ", mode.c_str(), 1e6 / lib, 1e6 / eng, c.Get(name, "s0_syncs"),
                c.Get(name, "s1_syncs"));
    std::printf("%18.0f\n", 1e6 / only);
  }

  MemoryFigure lib = MeasureMemory(self, "darulib"), eng = MeasureMemory(self, "engine");
  double beyond = lib.bytesPerArticle - lib.textPerArticle;
  std::printf("\nlabel query of 10000 articles: peak resident growth per article\n");
  std::printf("darulib %.0f B, of which own text %.0f B; beyond it %.0f B, target 1024 B: %s\n", lib.bytesPerArticle,
              lib.textPerArticle, beyond, beyond <= 1024 ? "met" : "MISSED");
  std::printf("engine rows kept as UTF-8 strings: %.0f B, of which text %.0f B\n", eng.bytesPerArticle,
              eng.textPerArticle);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--memory-probe=", 0) == 0) return MemoryProbe(arg.substr(15));
  }
  benchmark::Initialize(&argc, argv);
  fs::create_directories(WorkFolder());
  // Generate every shape first, so that no benchmark pays for it.
  for (const CatalogueShape& shape : {k1k, k10k, k100k, kManyLabels}) Cached(shape);
  // Known before any benchmark holds a library catalogue open.
  for (const std::string& mode : Modes()) SynchronousFor(mode);
  RegisterAll();
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  PrintSummary(collector, argv[0]);
  benchmark::Shutdown();
  return 0;
}
