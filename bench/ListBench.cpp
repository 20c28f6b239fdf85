// Article list benchmarks: filling, clearing and painting the list at the
// size of a large label, each compared with the same work at a tenth or a
// hundredth of the size in the same run. The figures that matter are the
// ratios printed at the end: linear work shows 10 (or 100), quadratic work
// far more, and painting that touches only the visible rows shows about 1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Article.h"
#include "platform/ListCtrl.h"
#include "platform/Wnd.h"
#include "ui/list/DARUListCtrl.h"

namespace {

struct Articles {
  std::vector<CArticle> items;
  explicit Articles(int n) : items(static_cast<size_t>(n)) {
    for (int i = 0; i < n; ++i) {
      CArticle& a = items[static_cast<size_t>(i)];
      // Titles and dates in no particular order, so the sort has work to do.
      const unsigned mix = static_cast<unsigned>(i) * 2654435761u;
      a.title = u"文章 " + std::u16string(1, static_cast<char16_t>(u'a' + mix % 26)) + u" " +
                std::u16string(1, static_cast<char16_t>(u'0' + (mix >> 8) % 10));
      a.key1 = u"关键字";
      a.crdate.SetTimeLong(1000000000L + static_cast<long>(mix % 300000000u));
      a.readflag = (mix & 1) != 0;
      a.impflag = (mix & 6) == 0;
    }
  }
};

// A host frame with the article list as its child, 30 rows high.
struct Window {
  CHostWnd frame;
  CDARUListCtrl list;
  Window() {
    frame.CreateHost(u"bench", CRect(0, 0, 900, 600));
    list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS,
                CRect(0, 0, 900, CListCtrl::kHeaderHeight + 30 * 16), &frame, 1);
  }
  // What the label tree does for a label's articles.
  void Fill(std::vector<CArticle>& articles) {
    for (CArticle& a : articles) {
      list.InsertItem(0, a.title, a.readflag ? 2 : 1);
      list.SetItemText(0, 1, a.crdate.GetFmtString());
      list.SetItemText(0, 2, a.key1);
      list.SetItemData(0, reinterpret_cast<DWORD_PTR>(&a));
      if (a.readflag) list.SetItemBold(0, FALSE);
      if (a.impflag) list.SetItemRed(0, TRUE);
    }
    list.ReSort();
  }
};

void BM_ListFill(benchmark::State& state) {
  Articles articles(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<Window>();
    state.ResumeTiming();
    window->Fill(articles.items);
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ListFill)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ListFill)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_ListDeleteAll(benchmark::State& state) {
  Articles articles(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<Window>();
    window->Fill(articles.items);
    state.ResumeTiming();
    window->list.DeleteAllItems();
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ListDeleteAll)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ListDeleteAll)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_ListPaint(benchmark::State& state) {
  Articles articles(static_cast<int>(state.range(0)));
  Window window;
  window.Fill(articles.items);
  for (auto _ : state) {
    window.list.Invalidate();
    window.list.UpdateWindow();
  }
}
BENCHMARK(BM_ListPaint)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The platform control alone: rows put in at the front, as a newest-first list grows.
void BM_PlatformInsertFront(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    CHostWnd frame;
    frame.CreateHost(u"bench", CRect(0, 0, 900, 600));
    CListCtrl list;
    list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT, CRect(0, 0, 900, 500), &frame, 1);
    list.InsertColumn(0, u"标题", LVCFMT_LEFT, 380);
    state.ResumeTiming();
    for (int i = 0; i < n; ++i) list.InsertItem(0, u"row");
    state.PauseTiming();
    list.DestroyWindow();
    frame.DestroyWindow();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PlatformInsertFront)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_PlatformInsertFront)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(4);

// Keeps every run's time per iteration, by name, for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, std::pair<double, double>> times;  // real and CPU time per iteration
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        times[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
};

void PrintRatio(const RatioReporter& r, const char* what, const std::string& big, const std::string& small,
                double target) {
  const auto b = r.times.find(big), s = r.times.find(small);
  if (b == r.times.end() || s == r.times.end()) {
    std::printf("%-56s not run\n", what);
    return;
  }
  const double real = b->second.first / s->second.first;
  const double cpu = b->second.second / s->second.second;
  std::printf("%-56s %6.2f %6.2f   %4.0f   %s\n", what, real, cpu, target, cpu <= target ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // On a shared machine the wall-clock ratio moves with the other load; the
  // CPU-time ratio is the one held against the target.
  std::printf("\n%-56s %6s %6s   %4s\n", "ratio", "real", "cpu", "at most");
  PrintRatio(reporter, "fill + ReSort: 100,000 rows / 10,000", "BM_ListFill/100000/iterations:4",
             "BM_ListFill/10000/iterations:20", 15);
  PrintRatio(reporter, "DeleteAllItems: 100,000 rows / 10,000", "BM_ListDeleteAll/100000/iterations:4",
             "BM_ListDeleteAll/10000/iterations:20", 12);
  PrintRatio(reporter, "WM_PAINT of 30 rows: over 100,000 rows / over 1,000", "BM_ListPaint/100000",
             "BM_ListPaint/1000", 2);
  PrintRatio(reporter, "platform list, insert at 0: 100,000 rows / 10,000",
             "BM_PlatformInsertFront/100000/iterations:4", "BM_PlatformInsertFront/10000/iterations:20", 15);
  benchmark::Shutdown();
  return 0;
}
