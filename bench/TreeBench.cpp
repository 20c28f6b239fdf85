// Label tree benchmarks, with the tree and the article list as a host creates
// them on a copy of the 100,000-article catalogue:
//   - selecting the label of 10,000 articles, from the selection to sorted
//     rows, against the facade's query of that label alone;
//   - filing a feed item into the shown label, against the facade's capture
//     plus the description file;
//   - the memory the selected label's rows hold beyond the articles' text.
// The two sides of a comparison take turns operation by operation, so that a
// change in the machine's load hits both alike; a side's figure is the median.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "CatalogueGenerator.h"
#include "Sides.h"
#include "SyncCounter.h"
#include "base/TextConv.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "platform/ModuleInfo.h"
#include "platform/Wnd.h"
#include "ui/list/DARUListCtrl.h"
#include "ui/tree/DARUTreeCtrl.h"

namespace fs = std::filesystem;
using namespace darubench;

namespace {

const CatalogueShape k100k{100000, 1000};
constexpr char kEmptyLabelName[] = "bench empty label";

fs::path WorkFolder() { return fs::path(DARU_BENCH_DIR) / "work"; }
fs::path Cached() { return CachedCatalogue(fs::path(DARU_BENCH_DIR) / "catalogues", k100k); }

std::uint64_t gFresh = 5000000;  // far from the links other programs capture

// The host's windows on a working copy of the catalogue, with one more label
// that holds nothing, to select between two selections of the big label.
class Windows {
 public:
  explicit Windows(const std::string& name) : m_root(Cached(), WorkFolder(), name, "WAL") {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(m_root.catalogue().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      throw std::runtime_error("cannot open the working catalogue");
    const std::string sql = std::string("INSERT INTO label(name, toplayer) VALUES('") + kEmptyLabelName + "', 1);";
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
    if (rc != SQLITE_OK) throw std::runtime_error("cannot add the empty label");

    DaruSetModuleFileName(m_root.ModuleFile());
    frame.CreateHost(u"bench", CRect(0, 0, 1000, 700));
    if (!tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, CRect(0, 0, 250, 600), &frame, 1) ||
        !list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, CRect(250, 0, 1000, 600), &frame, 2))
      throw std::runtime_error("cannot create the windows");
    tree.SetListCtrl(&list);
    list.SetTreeCtrl(&tree);
    daru = CDARU::Instance();
    big = Find(kBigLabelId, nullptr);
    empty = Find(0, FromUtf8(kEmptyLabelName).c_str());
    if (big == nullptr || empty == nullptr) throw std::runtime_error("labels not shown");
  }
  ~Windows() {
    tree.DestroyWindow();
    list.DestroyWindow();
    frame.DestroyWindow();
    delete CDARU::Instance();
    DaruSetModuleFileName(u"");
  }
  Windows(const Windows&) = delete;
  Windows& operator=(const Windows&) = delete;

  CLabel* LabelOf(HTREEITEM item) const { return reinterpret_cast<CLabel*>(tree.GetItemData(item)); }

  CHostWnd frame;
  CDARUListCtrl list;
  CDARUTreeCtrl tree;
  CDARU* daru = nullptr;
  HTREEITEM big = nullptr;    // the label of 10,000 articles
  HTREEITEM empty = nullptr;  // a label without articles

 private:
  HTREEITEM Find(int id, const char16_t* name) const {
    std::vector<HTREEITEM> pending{tree.GetRootItem()};
    while (!pending.empty()) {
      HTREEITEM h = pending.back();
      pending.pop_back();
      if (h == nullptr) continue;
      CLabel* label = LabelOf(h);
      if (label && (name ? label->name == name : label->labelid == id)) return h;
      for (HTREEITEM c = tree.GetChildItem(h); c; c = tree.GetNextSiblingItem(c)) pending.push_back(c);
    }
    return nullptr;
  }

  WorkingRoot m_root;
};

void Select(benchmark::State& state) {
  Windows w("tree-select");
  CLabel* bigLabel = w.LabelOf(w.big);
  Sides sides;
  for (auto _ : state) {
    w.tree.SelectItem(w.empty);  // untimed: the next selection of the big label is a change
    state.SetIterationTime(sides.Step(
        [&] {
          w.tree.SelectItem(w.big);
          if (w.list.GetItemCount() != kBigLabelArticles) state.SkipWithError("wrong row count");
        },
        [&] {
          if (w.daru->QueryArticle(bigLabel, CArticle(), 0) != kBigLabelArticles)
            state.SkipWithError("wrong article count");
        }));
  }
  w.tree.SelectItem(w.empty);
  sides.Report(state);
}

CRSSSubItem FeedItem() {
  const GeneratedArticle a = FreshArticleText(gFresh++);
  CRSSSubItem item;
  item.link = FromUtf8(a.url);
  item.title = FromUtf8(a.title);
  item.description = u"An item of a feed, as the host hands it over.";
  item.channelTitle = u"Bench channel";
  item.channelLink = u"https://feed.example.org/";
  item.pubDate = u"Fri, 10 May 2024 18:00:00 +0000";
  return item;
}

void FeedCapture(benchmark::State& state) {
  Windows w("tree-capture");
  CLabel* bigLabel = w.LabelOf(w.big);
  w.tree.SelectItem(w.big);
  Sides sides;
  sides.CountSyncs(darubench::SyncCalls);
  for (auto _ : state) {
    CRSSSubItem viaTree = FeedItem(), viaFacade = FeedItem();
    state.SetIterationTime(sides.Step(
        [&] {
          int id = 0;
          if (!w.tree.AddArticleFromRss(viaTree, id, bigLabel)) state.SkipWithError("capture failed");
        },
        [&] {
          // The facade's capture and the file, as the tree does them, without the row.
          w.daru->m_pCurLabel = nullptr;
          int result = 0;
          CArticle* article =
              w.daru->AddArticle(bigLabel, viaFacade.link, viaFacade.title, u"", kFeedType, result, true);
          if (article == nullptr || result != 0) {
            state.SkipWithError("capture failed");
            return;
          }
          article->SetRSSSubItem(&viaFacade);
          article->SetDescription(viaFacade.description);
          article->CreateDescriptionFile(GetTypeFolder(kFeedType), true);
          article->SetRSSSubItem(nullptr);
          delete article;
        }));
  }
  sides.Report(state);
}

long StatusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(in, line))
    if (line.compare(0, n, field) == 0) return std::stol(line.substr(n + 1));
  return -1;
}

// In a process of its own: the resident size before the selection, its peak
// during it and the size after, and the listed articles' own text.
int MemoryProbe() {
  Windows w("tree-memory");
  w.tree.SelectItem(w.empty);
  // The engine's page cache fills first, by a search that finds nothing, so
  // that what grows is what the articles and their rows hold. Nothing of the
  // label itself is read before: freed memory would be reused unseen.
  CArticle nothing;
  nothing.title = u"no title holds this";
  w.daru->QueryArticle(nothing, kArticleMaskTitle, true);
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = StatusKiB("VmRSS:");
  w.tree.SelectItem(w.big);
  const long peak = StatusKiB("VmHWM:");
  const long after = StatusKiB("VmRSS:");
  size_t text = 0;
  for (const CArticle* a : w.daru->GetArticleList())
    text += (a->filename.size() + a->url.size() + a->title.size() + a->key1.size() + a->type.size()) * sizeof(char16_t);
  std::printf("%ld %ld %d %zu\n", (peak - before) * 1024, (after - before) * 1024, w.list.GetItemCount(), text);
  return 0;
}

struct Collector : benchmark::ConsoleReporter {
  std::map<std::string, std::map<std::string, double>> counters;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (!r.error_occurred)
        for (const auto& [k, c] : r.counters) counters[r.run_name.function_name][k] = c.value;
  }
  double Get(const std::string& name, const std::string& counter) const {
    auto it = counters.find(name);
    if (it == counters.end()) return -1;
    auto c = it->second.find(counter);
    return c == it->second.end() ? -1 : c->second;
  }
};

void PrintSummary(const Collector& c, const char* self) {
  struct Line {
    const char* what;
    const char* benchmark;
    const char* compared;
    double target;
  };
  const Line lines[] = {
      {"select a label of 10000 (100000)", "select", "tree / facade query", 2},
      {"feed capture into the shown label", "feedcapture", "tree / facade + file", 1.5},
  };
  std::printf("\n%-36s %-22s %12s %12s %7s %7s\n", "workload", "compared", "first", "second", "ratio", "target");
  for (const Line& l : lines) {
    const double a = c.Get(l.benchmark, "s0_us"), b = c.Get(l.benchmark, "s1_us");
    if (a < 0 || b <= 0) {
      std::printf("%-36s %-22s %12s %12s %7s\n", l.what, l.compared, "-", "-", "not run");
      continue;
    }
    std::printf("%-36s %-22s %9.1f us %9.1f us %7.2f %7.2f  %s\n", l.what, l.compared, a, b, a / b, l.target,
                a / b <= l.target ? "met" : "MISSED");
  }

  const std::string cmd = std::string("'") + self + "' --memory-probe";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return;
  long peak = 0, after = 0;
  int rows = 0;
  size_t text = 0;
  if (std::fscanf(p, "%ld %ld %d %zu", &peak, &after, &rows, &text) == 4 && rows > 0) {
    const double perText = static_cast<double>(text) / rows;
    const double perPeak = static_cast<double>(peak) / rows, perAfter = static_cast<double>(after) / rows;
    std::printf("\nselected label of %d articles, resident growth per row: peak %.0f B, after %.0f B;\n", rows, perPeak,
                perAfter);
    std::printf("the article's own text %.0f B; beyond it at the peak %.0f B, target 1536 B: %s\n", perText,
                perPeak - perText, perPeak - perText <= 1536 ? "met" : "MISSED");
  }
  pclose(p);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--memory-probe") == 0) return MemoryProbe();
  benchmark::Initialize(&argc, argv);
  fs::create_directories(WorkFolder());
  Cached();  // generated before anything is timed
  benchmark::RegisterBenchmark("select", Select)->Iterations(20)->Unit(benchmark::kMicrosecond)->UseManualTime();
  benchmark::RegisterBenchmark("feedcapture", FeedCapture)
      ->Iterations(300)
      ->Unit(benchmark::kMicrosecond)
      ->UseManualTime();
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  PrintSummary(collector, argv[0]);
  benchmark::Shutdown();
  return 0;
}
