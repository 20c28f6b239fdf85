// daru ui's redraw of the article list: the rows on the page are drawn from
// the list control into an off-screen cell buffer of an 80 x 24 terminal. The
// cost must not grow with the rows off the page: 100,000 rows against 1,000.

#include <benchmark/benchmark.h>

#include <memory>

#include "darulib_ui.h"
#include "terminal/CellBuffer.h"
#include "terminal/ControlView.h"
#include "terminal/TextCells.h"

namespace {

struct ListFixture {
  explicit ListFixture(int rows) {
    termui::UseUtf8Locale();
    frame.CreateHost(u"bench", CRect(0, 0, 2000, 1000));
    list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, CRect(0, 0, 880, 400), &frame, 1);
    for (int i = 0; i < rows; ++i) {
      const int row = list.InsertItem(i, i % 2 ? u"中文标题：资料库里的一篇文章" : u"An article title in the library",
                                      i % 3 ? 2 : 1);
      list.SetItemText(row, 1, u"2026-12-07 10:00:00");
      list.SetItemText(row, 2, u"关键字 keyword");
      list.SetItemBold(row, i % 3 == 0);
      list.SetItemRed(row, i % 7 == 0);
    }
    termui::FitList(list, area);
    // Half-way down, where a person scrolled to.
    list.EnsureVisible(rows / 2, FALSE);
    hooks.rowStyle = [this](int row) -> uint16_t {
      return (list.GetItemBold(row) ? termui::kBold : 0) | (list.GetItemRed(row) ? termui::kRed : 0);
    };
  }

  CHostWnd frame;
  CDARUListCtrl list;
  termui::Rect area{25, 1, 55, 22};
  termui::ListStyleHooks hooks;
};

void BM_ListRedraw(benchmark::State& state) {
  ListFixture f(static_cast<int>(state.range(0)));
  termui::CellBuffer screen(80, 24);
  for (auto _ : state) {
    termui::DrawList(screen, f.area, f.list, true, f.hooks);
    benchmark::DoNotOptimize(screen.At(30, 10));
  }
  state.counters["rows"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ListRedraw)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
