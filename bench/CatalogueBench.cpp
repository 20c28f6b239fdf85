// Catalogue benchmarks: every workload runs through darulib and through the
// engine alone on identical copies of one generated catalogue, in the same
// run, and the table at the end gives each ratio beside its target.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Links captured in one run are never captured twice.
std::uint64_t gFreshLink = 0;

// Journal modes in the order they are reported; the first is what provisioning sets.
const std::vector<std::string>& Modes() {
  static const std::vector<std::string> modes = {
      LibraryCatalogue::ProvisionedJournalMode(),
      LibraryCatalogue::ProvisionedJournalMode() == "WAL" ? "DELETE" : "WAL"};
  return modes;
}

std::string Tag(const std::string& workload, const std::string& mode, int size) {
  return workload + "/" + mode + "/" + std::to_string(size);
}

// The synchronous setting darulib's connection runs with in a journal mode;
// the engine's side takes the same.
int SynchronousFor(const std::string& mode) {
  static std::map<std::string, int> known;
  auto it = known.find(mode);
  if (it != known.end()) return it->second;
  LibraryCatalogue probe(CachedCatalogue(CacheFolder(), k1k), WorkFolder(), "probe", mode);
  return known[mode] = probe.Synchronous();
}

// The engine's side of a workload, on its own copy of the catalogue.
struct EngineSide {
  EngineSide(const CatalogueShape& shape, const std::string& name, const std::string& mode)
      : root(CachedCatalogue(CacheFolder(), shape), WorkFolder(), name + "-engine", mode),
        engine(root.path(), SynchronousFor(mode)) {}
  WorkingRoot root;
  EngineCatalogue engine;
};

void CountSyncs(benchmark::State& state, std::uint64_t before) {
  state.counters["syncs"] =
      benchmark::Counter(static_cast<double>(SyncCalls() - before) / static_cast<double>(state.iterations()));
}

// --- capture --------------------------------------------------------------

void CaptureLib(benchmark::State& state, CatalogueShape shape, std::string mode) {
  LibraryCatalogue lib(CachedCatalogue(CacheFolder(), shape), WorkFolder(), "capture", mode);
  std::uint64_t syncs = SyncCalls();
  for (auto _ : state) {
    GeneratedArticle a = FreshArticleText(gFreshLink++);
    if (!lib.Capture(3 + static_cast<int>(gFreshLink % 900), a.url, a.title)) state.SkipWithError("capture failed");
  }
  CountSyncs(state, syncs);
}

void CaptureEngine(benchmark::State& state, CatalogueShape shape, std::string mode) {
  EngineSide s(shape, "capture", mode);
  std::uint64_t syncs = SyncCalls();
  for (auto _ : state) {
    GeneratedArticle a = FreshArticleText(gFreshLink++);
    if (s.engine.Capture(3 + static_cast<int>(gFreshLink % 900), a.url, a.title) == 0)
      state.SkipWithError("capture failed");
  }
  CountSyncs(state, syncs);
}

// A stored link under a label that does not hold it yet: the label made for
// the run holds nothing.
void DuplicateLib(benchmark::State& state, CatalogueShape shape, std::string mode) {
  LibraryCatalogue lib(CachedCatalogue(CacheFolder(), shape), WorkFolder(), "duplicate", mode);
  int label = lib.AddEmptyLabel();
  std::uint64_t n = 0, syncs = SyncCalls();
  for (auto _ : state) {
    GeneratedArticle a = ArticleText(n++ * 7 % static_cast<std::uint64_t>(shape.articles));
    if (!lib.FileUnder(label, a.url, a.title)) state.SkipWithError("filing failed");
  }
  CountSyncs(state, syncs);
}

void DuplicateEngine(benchmark::State& state, CatalogueShape shape, std::string mode) {
  EngineSide s(shape, "duplicate", mode);
  int label = s.engine.AddEmptyLabel();
  std::uint64_t n = 0, syncs = SyncCalls();
  for (auto _ : state) {
    GeneratedArticle a = ArticleText(n++ * 7 % static_cast<std::uint64_t>(shape.articles));
    if (!s.engine.FileUnder(label, a.url)) state.SkipWithError("filing failed");
  }
  CountSyncs(state, syncs);
}

// --- reads ----------------------------------------------------------------

void LabelQueryLib(benchmark::State& state, CatalogueShape shape) {
  LibraryCatalogue lib(CachedCatalogue(CacheFolder(), shape), WorkFolder(), "labelquery", Modes()[0]);
  for (auto _ : state) {
    int n = lib.QueryLabel(kBigLabelId);
    if (n != std::min(shape.articles, kBigLabelArticles)) state.SkipWithError("wrong article count");
  }
}

void LabelQueryEngine(benchmark::State& state, CatalogueShape shape) {
  EngineSide s(shape, "labelquery", Modes()[0]);
  for (auto _ : state) {
    auto rows = s.engine.LabelArticles(kBigLabelId);
    if (static_cast<int>(rows.size()) != std::min(shape.articles, kBigLabelArticles))
      state.SkipWithError("wrong article count");
    benchmark::DoNotOptimize(rows.data());
  }
}

void SearchLib(benchmark::State& state, CatalogueShape shape) {
  LibraryCatalogue lib(CachedCatalogue(CacheFolder(), shape), WorkFolder(), "search", Modes()[0]);
  int found = 0;
  for (auto _ : state) found = lib.SearchTitle(kSearchWord);
  state.counters["found"] = found;
}

void SearchEngine(benchmark::State& state, CatalogueShape shape) {
  EngineSide s(shape, "search", Modes()[0]);
  size_t found = 0;
  for (auto _ : state) {
    auto rows = s.engine.SearchTitle(kSearchWord);
    found = rows.size();
    benchmark::DoNotOptimize(rows.data());
  }
  state.counters["found"] = static_cast<double>(found);
}

void LabelTreeLib(benchmark::State& state, CatalogueShape shape) {
  LibraryCatalogue lib(CachedCatalogue(CacheFolder(), shape), WorkFolder(), "labeltree", Modes()[0]);
  for (auto _ : state)
    if (lib.LoadLabels() != shape.labels) state.SkipWithError("wrong label count");
}

void LabelTreeEngine(benchmark::State& state, CatalogueShape shape) {
  EngineSide s(shape, "labeltree", Modes()[0]);
  for (auto _ : state) {
    auto labels = s.engine.LoadLabels();
    if (static_cast<int>(labels.size()) != shape.labels) state.SkipWithError("wrong label count");
  }
}

// --- writes that need a fresh catalogue or a listing ----------------------

// Each iteration deletes the big label from a fresh copy; only the delete is timed.
void DeleteLabelLib(benchmark::State& state, CatalogueShape shape, std::string mode) {
  fs::path cached = CachedCatalogue(CacheFolder(), shape);
  for (auto _ : state) {
    LibraryCatalogue lib(cached, WorkFolder(), "deletelabel", mode);
    auto start = std::chrono::steady_clock::now();
    bool ok = lib.DeleteLabel(kBigLabelId);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!ok) state.SkipWithError("delete failed");
  }
}

void DeleteLabelEngine(benchmark::State& state, CatalogueShape shape, std::string mode) {
  for (auto _ : state) {
    EngineSide s(shape, "deletelabel", mode);
    auto start = std::chrono::steady_clock::now();
    bool ok = s.engine.DeleteLabel(kBigLabelId);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!ok) state.SkipWithError("delete failed");
  }
}

constexpr int kMarkReadCount = 1000;

// Each iteration flips the read flag of the first 1,000 listed articles.
void MarkReadLib(benchmark::State& state, CatalogueShape shape, std::string mode) {
  LibraryCatalogue lib(CachedCatalogue(CacheFolder(), shape), WorkFolder(), "markread", mode);
  lib.QueryLabel(kBigLabelId);
  std::uint64_t syncs = SyncCalls();
  for (auto _ : state)
    if (lib.FlipReadFlags(kMarkReadCount) != kMarkReadCount) state.SkipWithError("update failed");
  CountSyncs(state, syncs);
}

void MarkReadEngine(benchmark::State& state, CatalogueShape shape, std::string mode) {
  EngineSide s(shape, "markread", mode);
  auto rows = s.engine.LabelArticles(kBigLabelId);
  rows.resize(kMarkReadCount);
  std::uint64_t syncs = SyncCalls();
  for (auto _ : state) {
    for (EngineArticle& a : rows) {
      a.readflag = !a.readflag;
      if (!s.engine.UpdateArticle(a)) state.SkipWithError("update failed");
    }
  }
  CountSyncs(state, syncs);
}

// One 4 KiB page rewritten and synced, in the folder the catalogues live in:
// what each sync of a commit costs on this disk.
void DiskSync(benchmark::State& state) {
  fs::create_directories(WorkFolder());
  std::string file = (WorkFolder() / "sync-probe").string();
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  std::string page(4096, 'x');
  off_t offset = 0;
  for (auto _ : state) {
    if (pwrite(fd, page.data(), page.size(), offset) != static_cast<ssize_t>(page.size()))
      state.SkipWithError("write failed");
    fdatasync(fd);
    offset = (offset + 4096) % (64 * 4096);
  }
  close(fd);
  unlink(file.c_str());
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
// query's: resident size before, peak during, and the articles' own text.
int MemoryProbe(const std::string& side) {
  CatalogueShape shape = k100k;
  fs::path cached = CachedCatalogue(CacheFolder(), shape);
  long before = 0, peak = 0;
  std::size_t text = 0, count = 0;
  auto reset = [&] {
    std::ofstream("/proc/self/clear_refs") << "5";
    before = StatusKiB("VmRSS:");
  };
  if (side == "darulib") {
    LibraryCatalogue lib(cached, WorkFolder(), "memory", Modes()[0]);
    lib.LoadLabels();
    reset();
    count = static_cast<std::size_t>(lib.QueryLabel(kBigLabelId));
    peak = StatusKiB("VmHWM:");
    text = lib.ListedTextBytes();
  } else {
    EngineSide s(shape, "memory", Modes()[0]);
    reset();
    auto rows = s.engine.LabelArticles(kBigLabelId);
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
  std::map<std::string, double> micros;  // per iteration, real time
  std::map<std::string, std::map<std::string, double>> counters;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
      std::string name = r.run_name.function_name;
      double perIter = r.real_accumulated_time / static_cast<double>(r.iterations) * 1e6;
      micros[name] = perIter;
      for (const auto& [k, c] : r.counters) counters[name][k] = c.value;
    }
  }
};

template <class F>
void Add(const std::string& name, int iterations, F fn, bool manualTime = false) {
  auto* b = benchmark::RegisterBenchmark(name.c_str(), fn);
  b->Iterations(iterations)->Unit(benchmark::kMicrosecond);
  if (manualTime)
    b->UseManualTime();
  else
    b->UseRealTime();
}

void RegisterAll() {
  Add("disk/fdatasync-4KiB", 300, DiskSync);
  for (const std::string& mode : Modes()) {
    // A rollback-journal commit waits for several syncs; keep those runs short.
    int captures = mode == "WAL" ? 400 : 150;
    for (const CatalogueShape& shape : {k1k, k10k, k100k}) {
      Add(Tag("capture", mode, shape.articles) + "/darulib", captures,
          [shape, mode](benchmark::State& st) { CaptureLib(st, shape, mode); });
      Add(Tag("capture", mode, shape.articles) + "/engine", captures,
          [shape, mode](benchmark::State& st) { CaptureEngine(st, shape, mode); });
    }
    Add(Tag("duplicate", mode, k100k.articles) + "/darulib", captures,
        [mode](benchmark::State& st) { DuplicateLib(st, k100k, mode); });
    Add(Tag("duplicate", mode, k100k.articles) + "/engine", captures,
        [mode](benchmark::State& st) { DuplicateEngine(st, k100k, mode); });
    Add(
        Tag("deletelabel", mode, k100k.articles) + "/darulib", 3,
        [mode](benchmark::State& st) { DeleteLabelLib(st, k100k, mode); }, true);
    Add(
        Tag("deletelabel", mode, k100k.articles) + "/engine", 3,
        [mode](benchmark::State& st) { DeleteLabelEngine(st, k100k, mode); }, true);
    int flips = mode == "WAL" ? 5 : 2;
    Add(Tag("markread", mode, k100k.articles) + "/darulib", flips,
        [mode](benchmark::State& st) { MarkReadLib(st, k100k, mode); });
    Add(Tag("markread", mode, k100k.articles) + "/engine", flips,
        [mode](benchmark::State& st) { MarkReadEngine(st, k100k, mode); });
  }
  Add("labelquery/100000/darulib", 20, [](benchmark::State& st) { LabelQueryLib(st, k100k); });
  Add("labelquery/100000/engine", 20, [](benchmark::State& st) { LabelQueryEngine(st, k100k); });
  Add("search/100000/darulib", 20, [](benchmark::State& st) { SearchLib(st, k100k); });
  Add("search/100000/engine", 20, [](benchmark::State& st) { SearchEngine(st, k100k); });
  Add("labeltree/1000/darulib", 200, [](benchmark::State& st) { LabelTreeLib(st, k1k); });
  Add("labeltree/1000/engine", 200, [](benchmark::State& st) { LabelTreeEngine(st, k1k); });
  Add("labeltree/10000/darulib", 20, [](benchmark::State& st) { LabelTreeLib(st, kManyLabels); });
  Add("labeltree/10000/engine", 20, [](benchmark::State& st) { LabelTreeEngine(st, kManyLabels); });
}

struct Line {
  std::string what;
  std::string numerator, denominator;  // benchmark names
  double target;                       // ratio must not exceed it; 0 = no target
};

void PrintSummary(const Collector& c, const char* self) {
  auto get = [&](const std::string& name) {
    auto it = c.micros.find(name);
    return it == c.micros.end() ? -1.0 : it->second;
  };
  std::vector<Line> lines;
  for (const std::string& mode : Modes()) {
    for (int size : {1000, 10000, 100000})
      lines.push_back({"capture " + mode + " " + std::to_string(size), Tag("capture", mode, size) + "/darulib",
                       Tag("capture", mode, size) + "/engine", 1.5});
    lines.push_back({"duplicate capture " + mode + " 100000", Tag("duplicate", mode, 100000) + "/darulib",
                     Tag("duplicate", mode, 100000) + "/engine", 1.5});
    lines.push_back({"capture " + mode + " 100000 vs 1000", Tag("capture", mode, 100000) + "/darulib",
                     Tag("capture", mode, 1000) + "/darulib", 1.3});
    lines.push_back({"delete label (10000 articles) " + mode, Tag("deletelabel", mode, 100000) + "/darulib",
                     Tag("deletelabel", mode, 100000) + "/engine", 0});
    lines.push_back({"mark 1000 read " + mode, Tag("markread", mode, 100000) + "/darulib",
                     Tag("markread", mode, 100000) + "/engine", 0});
  }
  lines.push_back({"label query (10000 articles)", "labelquery/100000/darulib", "labelquery/100000/engine", 2});
  lines.push_back({"title search (100000 articles)", "search/100000/darulib", "search/100000/engine", 2});
  lines.push_back({"label tree 10000 vs 1000 labels", "labeltree/10000/darulib", "labeltree/1000/darulib", 15});
  lines.push_back({"label tree 1000 labels vs engine", "labeltree/1000/darulib", "labeltree/1000/engine", 0});
  lines.push_back({"label tree 10000 labels vs engine", "labeltree/10000/darulib", "labeltree/10000/engine", 0});

  std::printf("\n%-38s %14s %14s %8s %8s  %s\n", "workload", "darulib/first", "baseline", "ratio", "target", "");
  for (const Line& l : lines) {
    double a = get(l.numerator), b = get(l.denominator);
    if (a < 0 || b <= 0) {
      std::printf("%-38s %14s %14s %8s\n", l.what.c_str(), "-", "-", "missing");
      continue;
    }
    double r = a / b;
    std::printf("%-38s %11.1f us %11.1f us %8.2f ", l.what.c_str(), a, b, r);
    if (l.target > 0)
      std::printf("%8.2f  %s\n", l.target, r <= l.target ? "met" : "MISSED");
    else
      std::printf("%8s\n", "-");
  }

  double sync = get("disk/fdatasync-4KiB");
  std::printf("\njournal modes (10000 articles): captures per second, and the disk's limit\n");
  std::printf("%-8s %10s %10s %14s %18s\n", "mode", "darulib", "engine", "syncs/capture", "limit (syncs only)");
  for (const std::string& mode : Modes()) {
    std::string lib = Tag("capture", mode, 10000) + "/darulib", eng = Tag("capture", mode, 10000) + "/engine";
    double syncs = c.counters.count(lib) ? c.counters.at(lib).at("syncs") : -1;
    double limit = syncs > 0 && sync > 0 ? 1e6 / (syncs * sync) : 0;
    std::printf("%-8s %10.0f %10.0f %14.2f ", mode.c_str(), get(lib) > 0 ? 1e6 / get(lib) : 0,
                get(eng) > 0 ? 1e6 / get(eng) : 0, syncs);
    if (limit > 0)
      std::printf("%18.0f\n", limit);
    else
      std::printf("%18s\n", "no sync per capture");
  }
  std::printf("one 4 KiB write + fdatasync on this disk: %.1f us\n", sync);

  MemoryFigure lib = MeasureMemory(self, "darulib"), eng = MeasureMemory(self, "engine");
  double beyond = lib.bytesPerArticle - lib.textPerArticle;
  std::printf("\nmemory of a label query of 10000 articles (peak resident growth per article)\n");
  std::printf("darulib %.0f B (own text %.0f B, beyond it %.0f B; target 1024 B: %s); engine rows %.0f B\n",
              lib.bytesPerArticle, lib.textPerArticle, beyond, beyond <= 1024 ? "met" : "MISSED", eng.bytesPerArticle);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--memory-probe=", 0) == 0) return MemoryProbe(arg.substr(15));
  }
  benchmark::Initialize(&argc, argv);
  // Generate every shape first, so that no benchmark pays for it.
  for (const CatalogueShape& shape : {k1k, k10k, k100k, kManyLabels}) CachedCatalogue(CacheFolder(), shape);
  RegisterAll();
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  PrintSummary(collector, argv[0]);
  benchmark::Shutdown();
  return 0;
}
