// daru-desktop's drawing, off-screen: what the windows record, replayed with
// Cairo and Pango onto an image surface the size of the host's panes.
//   - a click on the label of 10,000 articles until the list is painted,
//     against the facade's query of that label alone (target: within 2x);
//   - a repaint of the list holding 100,000 rows against one of 1,000
//     (painting follows the rows on the page: within 2x);
//   - start-up to the first painted frame of both windows on the
//     100,000-article catalogue against an empty one (within 1.5x).
// The sides of a comparison take turns; a side's figure is its median.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CatalogueGenerator.h"
#include "Sides.h"
#include "darulib_ui.h"
#include "desktop/Replay.h"
#include "storage/DataRootSetup.h"

namespace fs = std::filesystem;
using namespace darubench;

namespace {

const CatalogueShape k100k{100000, 1000};

fs::path WorkFolder() { return fs::path(DARU_BENCH_DIR) / "work"; }
fs::path Cached() { return CachedCatalogue(fs::path(DARU_BENCH_DIR) / "catalogues", k100k); }

// A pane-sized image surface to paint on.
struct Canvas {
  Canvas(int w, int h) : surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h)), cr(cairo_create(surface)) {}
  ~Canvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  cairo_surface_t* surface;
  cairo_t* cr;
};

// The host's windows as daru-desktop creates them, on a data root.
struct Windows {
  explicit Windows(const std::u16string& moduleFile) {
    DaruSetModuleFileName(moduleFile);
    frame.CreateHost(u"bench", CRect(0, 0, 2000, 1000));
    if (!tree.Create(WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                     CRect(0, 0, 260, 660), &frame, 1) ||
        !list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED,
                     CRect(4000, 0, 4840, 320), &frame, 2))
      throw std::runtime_error("cannot create the windows");
    tree.SetListCtrl(&list);
    list.SetTreeCtrl(&tree);
  }
  ~Windows() {
    tree.DestroyWindow();
    list.DestroyWindow();
    frame.DestroyWindow();
    delete CDARU::Instance();
    DaruSetModuleFileName(u"");
  }
  // Paints both windows as the host's first frame does.
  void FirstFrame(desktop::ImageCache& images) {
    Canvas left(260, 660), right(840, 320);
    desktop::PaintAndReplay(left.cr, tree, images);
    desktop::DrawTreeLines(left.cr, tree);
    desktop::PaintAndReplay(right.cr, list, images);
  }
  HTREEITEM Find(int id) const {
    std::vector<HTREEITEM> pending{tree.GetRootItem()};
    while (!pending.empty()) {
      HTREEITEM h = pending.back();
      pending.pop_back();
      if (h == nullptr) continue;
      auto* label = reinterpret_cast<CLabel*>(tree.GetItemData(h));
      if (label && label->labelid == id) return h;
      for (HTREEITEM c = tree.GetChildItem(h); c; c = tree.GetNextSiblingItem(c)) pending.push_back(c);
    }
    return nullptr;
  }

  desktop::ReplayTextMeasure measure;  // as the host measures while the windows live
  CHostWnd frame;
  CDARUTreeCtrl tree;
  CDARUListCtrl list;
};

// s0: a click on the big label until the list is painted; s1: the facade's query.
void LabelClickPainted(benchmark::State& state) {
  WorkingRoot root(Cached(), WorkFolder(), "desktop-click", "WAL");
  Windows w(root.ModuleFile());
  desktop::ImageCache images;
  HTREEITEM big = w.Find(kBigLabelId);
  HTREEITEM other = w.tree.GetRootItem();
  if (big == nullptr) throw std::runtime_error("the big label is not shown");
  CLabel* bigLabel = reinterpret_cast<CLabel*>(w.tree.GetItemData(big));
  w.tree.EnsureVisible(big);
  Canvas pane(840, 320);
  Sides sides;
  for (auto _ : state) {
    w.tree.SelectItem(other);  // untimed: the click on the big label is a change
    CRect r;
    w.tree.GetItemRect(big, &r, TRUE);
    state.SetIterationTime(sides.Step(
        [&] {
          InputClick(w.tree.GetSafeHwnd(), CPoint(r.left + 2, r.CenterPoint().y));
          desktop::PaintAndReplay(pane.cr, w.list, images);
          if (w.list.GetItemCount() != kBigLabelArticles) state.SkipWithError("wrong row count");
        },
        [&] {
          if (CDARU::Instance()->QueryArticle(bigLabel, CArticle(), 0) != kBigLabelArticles)
            state.SkipWithError("wrong article count");
        }));
  }
  sides.Report(state, "click_over_query");
}
BENCHMARK(LabelClickPainted)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

// s0: a repaint of a list of 100,000 rows; s1: of 1,000 rows.
void ListRepaint(benchmark::State& state) {
  desktop::ReplayTextMeasure measure;
  CHostWnd frame;
  frame.CreateHost(u"bench", CRect(0, 0, 2000, 1000));
  std::unique_ptr<CDARUListCtrl> lists[2];
  const int rows[2] = {100000, 1000};
  for (int k = 0; k < 2; ++k) {
    lists[k] = std::make_unique<CDARUListCtrl>();
    lists[k]->Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, CRect(0, 0, 840, 320), &frame,
                     static_cast<UINT>(10 + k));
    for (int i = 0; i < rows[k]; ++i) {
      const int row = lists[k]->InsertItem(
          i, i % 2 ? u"中文标题：资料库里的一篇文章" : u"An article title in the library", i % 3 ? 2 : 1);
      lists[k]->SetItemText(row, 1, u"2026/12/07 10:00:00");
      lists[k]->SetItemText(row, 2, u"关键字 keyword");
      lists[k]->SetItemBold(row, i % 3 == 0);
      lists[k]->SetItemRed(row, i % 7 == 0);
    }
    lists[k]->EnsureVisible(rows[k] / 2, FALSE);
  }
  desktop::ImageCache images;
  Canvas pane(840, 320);
  Sides sides;
  for (auto _ : state) {
    state.SetIterationTime(sides.Step(
        [&] {
          lists[0]->Invalidate();
          desktop::PaintAndReplay(pane.cr, *lists[0], images);
        },
        [&] {
          lists[1]->Invalidate();
          desktop::PaintAndReplay(pane.cr, *lists[1], images);
        }));
  }
  sides.Report(state, "rows100k_over_rows1k");
  for (auto& l : lists) l->DestroyWindow();
  frame.DestroyWindow();
}
BENCHMARK(ListRepaint)->UseManualTime()->Iterations(60)->Unit(benchmark::kMillisecond);

// s0: windows created and first painted on the 100,000-article catalogue; s1: on an empty one.
void StartUp(benchmark::State& state) {
  WorkingRoot big(Cached(), WorkFolder(), "desktop-start", "WAL");
  const fs::path empty = WorkFolder() / "desktop-start-empty";
  fs::remove_all(empty);
  fs::create_directories(empty);
  std::u16string error;
  if (!DaruCreateDataRoot(FromUtf8(empty.string()), &error)) throw std::runtime_error("cannot make the empty root");
  const std::u16string emptyModule = FromUtf8((empty / "daru-desktop").string());
  Sides sides;
  // Start-up ends with the first frame: taking the windows down again is not timed.
  std::unique_ptr<desktop::ImageCache> images;
  std::unique_ptr<Windows> w;
  sides.AfterEach([&] {
    w.reset();
    images.reset();
  });
  for (auto _ : state) {
    state.SetIterationTime(sides.Step(
        [&] {
          images = std::make_unique<desktop::ImageCache>();
          w = std::make_unique<Windows>(big.ModuleFile());
          w->FirstFrame(*images);
        },
        [&] {
          images = std::make_unique<desktop::ImageCache>();
          w = std::make_unique<Windows>(emptyModule);
          w->FirstFrame(*images);
        }));
  }
  sides.Report(state, "large_over_empty");
  fs::remove_all(empty);
}
BENCHMARK(StartUp)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

// Where start-up's time goes, each side's medians in microseconds: the
// catalogue opened and its labels read (the facade's Init), the windows created
// and the tree filled, the first frame painted, and the windows and the facade
// taken down again.
void StartUpPhases(benchmark::State& state) {
  WorkingRoot big(Cached(), WorkFolder(), "desktop-phases", "WAL");
  const fs::path empty = WorkFolder() / "desktop-phases-empty";
  fs::remove_all(empty);
  fs::create_directories(empty);
  std::u16string error;
  if (!DaruCreateDataRoot(FromUtf8(empty.string()), &error)) throw std::runtime_error("cannot make the empty root");
  const std::u16string modules[2] = {big.ModuleFile(), FromUtf8((empty / "daru-desktop").string())};
  const char* names[2] = {"large", "empty"};
  constexpr int kPhases = 4;
  const char* phases[kPhases] = {"open", "fill", "paint", "destroy"};
  std::vector<double> samples[2][kPhases];
  int round = 0;
  for (auto _ : state) {
    for (int k = 0; k < 2; ++k) {
      const int side = (k + round) % 2;
      std::chrono::steady_clock::time_point t[kPhases + 1];
      t[0] = std::chrono::steady_clock::now();
      DaruSetModuleFileName(modules[side]);
      if (!CDARU::Instance()->Init()) throw std::runtime_error("cannot open the catalogue");
      t[1] = std::chrono::steady_clock::now();
      desktop::ImageCache images;
      auto w = std::make_unique<Windows>(modules[side]);
      t[2] = std::chrono::steady_clock::now();
      w->FirstFrame(images);
      t[3] = std::chrono::steady_clock::now();
      w.reset();
      t[4] = std::chrono::steady_clock::now();
      for (int p = 0; p < kPhases; ++p)
        samples[side][p].push_back(std::chrono::duration<double>(t[p + 1] - t[p]).count());
    }
    ++round;
  }
  for (int side = 0; side < 2; ++side)
    for (int p = 0; p < kPhases; ++p) {
      std::vector<double>& v = samples[side][p];
      std::sort(v.begin(), v.end());
      state.counters[std::string(names[side]) + "_" + phases[p] + "_us"] = v[v.size() / 2] * 1e6;
    }
  fs::remove_all(empty);
}
BENCHMARK(StartUpPhases)->Iterations(31)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
