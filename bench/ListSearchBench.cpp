// The article list's search command against the facade's query it runs:
// from the user's OK in the search dialog to the found rows shown in the
// list, over 100,000 articles of which about 1,000 hold the search word in
// their title. The two sides take turns, search by search, on one catalogue,
// so a change in the machine's load hits both alike; each side's figure is
// the median of its searches.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "CatalogueGenerator.h"
#include "base/TextConv.h"
#include "core/Article.h"
#include "core/Records.h"
#include "facade/DARU.h"
#include "platform/MessageBox.h"
#include "platform/ModalSession.h"
#include "platform/ModuleInfo.h"
#include "platform/UserInteraction.h"
#include "platform/Wnd.h"
#include "ui/list/DARUListCtrl.h"

namespace fs = std::filesystem;
using namespace darubench;
using Clock = std::chrono::steady_clock;

namespace {

const CatalogueShape k100k{100000, 1000};
constexpr UINT kSearchCommand = 53016;

// Types the search word, presses OK and notes the moment; the count message
// that follows the rows notes the end.
class SearchingUser : public IUserInteraction {
 public:
  Clock::time_point ok, shown;
  int found = -1;
  int MessageBox(const std::u16string& text, const std::u16string&, UINT) override {
    shown = Clock::now();
    // "共找到相关文章主题[%d]篇"
    const std::string t = ToUtf8(text);
    const auto open = t.find('['), close = t.find(']');
    if (open != std::string::npos && close != std::string::npos)
      found = std::stoi(t.substr(open + 1, close - open - 1));
    return IDOK;
  }
  void OperateDialog(CModalSession& d) override {
    d.SetText(50009, FromUtf8(kSearchWord));
    ok = Clock::now();
    d.Ok();
  }
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

void SearchCommand(benchmark::State& state) {
  const fs::path cached = CachedCatalogue(fs::path(DARU_BENCH_DIR) / "catalogues", k100k);
  WorkingRoot root(cached, fs::path(DARU_BENCH_DIR) / "work", "list-search", "WAL");
  DaruSetModuleFileName(root.ModuleFile());
  CDARU* daru = CDARU::Instance();
  if (!daru->Init()) throw std::runtime_error("cannot open the catalogue");

  SearchingUser user;
  CScopedUserInteraction scope(&user);
  CHostWnd frame;
  frame.CreateHost(u"frame", CRect(0, 0, 1000, 700));
  CDARUListCtrl list;
  if (!list.Create(WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_SHOWSELALWAYS, CRect(0, 0, 900, 600),
                   &frame, 1001))
    throw std::runtime_error("cannot create the list");

  std::vector<double> query, command;
  int queried = 0;
  for (auto _ : state) {
    // The facade alone: the query the command makes.
    CArticle pattern;
    pattern.title = FromUtf8(kSearchWord);
    auto start = Clock::now();
    queried = daru->QueryArticle(pattern, kArticleMaskTitle, true);
    query.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    // The command, from OK to the rows shown.
    list.SendMessage(WM_COMMAND, kSearchCommand, 0);
    const double us = std::chrono::duration<double, std::micro>(user.shown - user.ok).count();
    command.push_back(us);
    state.SetIterationTime(us / 1e6);
  }
  if (user.found != queried || list.GetItemCount() != queried) throw std::runtime_error("the two sides disagree");
  const double q = Median(query), c = Median(command);
  state.counters["found"] = queried;
  state.counters["query_us"] = q;
  state.counters["command_us"] = c;
  state.counters["ratio"] = q > 0 ? c / q : 0;
  std::printf("list search over 100000 (%d found): command %.0f us, query %.0f us, ratio %.2f (target <= 1.5 %s)\n",
              queried, c, q, c / q, c / q <= 1.5 ? "met" : "NOT met");
  list.DeleteAllItems();
  list.DestroyWindow();
  delete daru;
  DaruSetModuleFileName(u"");
}

}  // namespace

BENCHMARK(SearchCommand)->Iterations(40)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
