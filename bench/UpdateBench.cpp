// daru update against the transfers alone and against captures, with feeds
// served on 127.0.0.1 by the tests' own server:
//   - 200 subscriptions whose server answers after 50 ms, fetched 16 at a
//     time against one at a time;
//   - an update of 200 subscriptions that all answer 304, against the 200
//     conditional requests alone (no parsing, no catalogue writes);
//   - an update that files 1,000 new items of one feed, against the same
//     1,000 items captured one by one through the facade.
// Sides run in alternation from fresh data roots; each figure is the median
// of its rounds, and the ratios are printed at the end.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "FeedCaptureBaseline.h"
#include "LocalHttpServer.h"
#include "daru/Capture.h"
#include "daru/FeedParser.h"
#include "daru/FeedUpdate.h"
#include "daru/Session.h"
#include "daru/Subscriptions.h"

namespace fs = std::filesystem;

using namespace darubench;

namespace {

constexpr int kFeeds = 200;
constexpr int kItems = 1000;

fs::path Work() { return fs::path(DARU_BENCH_DIR) / "work" / "update"; }

std::string SmallFeed(int n) {
  return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Feed " + std::to_string(n) +
         "</title><link>https://feeds.example/" + std::to_string(n) +
         "/</link><item><title>one</title><link>"
         "https://feeds.example/" +
         std::to_string(n) + "/1</link></item></channel></rss>";
}

std::string BigFeed() { return FeedOfItems(kItems); }

LocalHttpServer& Server() {
  static LocalHttpServer server;
  static bool ready = false;
  if (!ready) {
    for (int i = 0; i < kFeeds; ++i) {
      LocalHttpServer::Response slow;
      slow.body = SmallFeed(i);
      slow.delayMs = 50;
      server.Serve("/slow/" + std::to_string(i), slow);
      LocalHttpServer::Response same;
      same.body = SmallFeed(i);
      same.etag = "\"same-" + std::to_string(i) + "\"";
      server.Serve("/same/" + std::to_string(i), same);
    }
    LocalHttpServer::Response big;
    big.body = BigFeed();
    server.Serve("/big", big);
    ready = true;
  }
  return server;
}

std::vector<FeedFetch> Fetches(const char* kind, bool validators) {
  std::vector<FeedFetch> fetches(kFeeds);
  for (int i = 0; i < kFeeds; ++i) {
    fetches[i].url = Server().Url(std::string("/") + kind + "/" + std::to_string(i));
    if (validators) fetches[i].etag = "\"same-" + std::to_string(i) + "\"";
  }
  return fetches;
}

double FetchAll(const char* kind, int jobs, bool validators) {
  std::vector<FeedFetch> fetches = Fetches(kind, validators);
  const auto start = std::chrono::steady_clock::now();
  FetchFeeds(fetches, jobs, FetchLimits());
  const double took = SecondsSince(start);
  for (const FeedFetch& f : fetches)
    if (f.outcome == FeedFetch::Outcome::Failed) throw std::runtime_error("a fetch failed: " + f.error);
  return took;
}

std::vector<double> gParallel, gSerial;

void ConcurrentAgainstOneAtATime(benchmark::State& state) {
  Server();
  for (auto _ : state) {
    const double parallel = FetchAll("slow", 16, false);
    const double serial = FetchAll("slow", 1, false);
    gParallel.push_back(parallel);
    gSerial.push_back(serial);
    state.SetIterationTime(parallel);
  }
  state.counters["16_at_once_ms"] = Median(gParallel) * 1000;
  state.counters["one_at_a_time_ms"] = Median(gSerial) * 1000;
  state.counters["speedup"] = Median(gSerial) / Median(gParallel);
}
BENCHMARK(ConcurrentAgainstOneAtATime)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

std::vector<double> gUnchanged, gRequests;

void UnchangedAgainstRequests(benchmark::State& state) {
  Server();
  Session s(FreshRoot(Work()));
  for (int i = 0; i < kFeeds; ++i) {
    CSubscription sub;
    sub.url = FromUtf8(Server().Url("/same/" + std::to_string(i)));
    sub.etag = FromUtf8("\"same-" + std::to_string(i) + "\"");
    sub.labelid = 3;
    if (!s.Daru()->GetDB()->AddSubscription(sub)) throw std::runtime_error("cannot subscribe");
  }
  for (auto _ : state) {
    const bool updateFirst = gUnchanged.size() % 2 == 0;
    double update = 0, requests = 0;
    auto runUpdate = [&] {
      std::vector<std::string> warnings;
      const auto start = std::chrono::steady_clock::now();
      std::vector<FeedUpdateResult> results = UpdateSubscriptions(s, {}, 8, 30, warnings);
      update = SecondsSince(start);
      for (const FeedUpdateResult& r : results)
        if (!r.notModified) throw std::runtime_error("a feed was not answered 304");
    };
    if (updateFirst) runUpdate();
    requests = FetchAll("same", 8, true);
    if (!updateFirst) runUpdate();
    gUnchanged.push_back(update);
    gRequests.push_back(requests);
    state.SetIterationTime(update);
  }
  state.counters["update_ms"] = Median(gUnchanged) * 1000;
  state.counters["requests_ms"] = Median(gRequests) * 1000;
  state.counters["ratio"] = Median(gUnchanged) / Median(gRequests);
}
BENCHMARK(UnchangedAgainstRequests)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

std::vector<double> gFiling, gCaptures;

std::vector<double> gWhole;

// The filing is timed from the end of the transfer (the progress says so)
// to the end of the update: parsing, captures, description files, the
// subscription's row. The whole update, transfer included, is kept beside
// it; on a loaded machine the loopback transfer alone waits on the scheduler.
double UpdateSide() {
  Session s(FreshRoot(Work()));
  CSubscription sub;
  sub.url = FromUtf8(Server().Url("/big"));
  if (!s.Daru()->GetDB()->AddSubscription(sub)) throw std::runtime_error("cannot subscribe");
  std::vector<std::string> warnings;
  const auto start = std::chrono::steady_clock::now();
  auto fetched = start;
  std::vector<FeedUpdateResult> results = UpdateSubscriptions(s, {}, 8, 30, warnings, [&](const UpdateProgress& p) {
    if (p.fetched == p.total && p.filed == 0) fetched = std::chrono::steady_clock::now();
  });
  const double filing = SecondsSince(fetched);
  gWhole.push_back(SecondsSince(start));
  if (results.size() != 1 || results[0].added != kItems) throw std::runtime_error("the update filed too little");
  return filing;
}

// The same items captured one by one, as a host would through the facade.
double CaptureSide(const ParsedFeed& feed) { return CaptureItemsOneByOne(feed, Work()); }

void FilingAgainstCaptures(benchmark::State& state) {
  Server();
  const ParsedFeed feed = ParseFeed(BigFeed(), "https://bench.example/feed");
  for (auto _ : state) {
    const bool updateFirst = gFiling.size() % 2 == 0;
    double a = 0, b = 0;
    if (updateFirst) {
      a = UpdateSide();
      b = CaptureSide(feed);
    } else {
      b = CaptureSide(feed);
      a = UpdateSide();
    }
    gFiling.push_back(a);
    gCaptures.push_back(b);
    state.SetIterationTime(a);
  }
  state.counters["filing_ms"] = Median(gFiling) * 1000;
  state.counters["whole_update_ms"] = Median(gWhole) * 1000;
  state.counters["captures_ms"] = Median(gCaptures) * 1000;
  state.counters["ratio"] = Median(gFiling) / Median(gCaptures);
}
BENCHMARK(FilingAgainstCaptures)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!gParallel.empty())
    std::printf("\nupdate of %d feeds at 50 ms: one at a time / 16 at once: %.1f (target >= 8)\n", kFeeds,
                Median(gSerial) / Median(gParallel));
  if (!gUnchanged.empty())
    std::printf("update of %d feeds answering 304 / the %d requests alone: %.2f (target <= 1.2)\n", kFeeds, kFeeds,
                Median(gUnchanged) / Median(gRequests));
  if (!gFiling.empty())
    std::printf("update filing %d new items / %d captures: %.2f (target <= 1.5); with the transfer: %.2f\n", kItems,
                kItems, Median(gFiling) / Median(gCaptures), Median(gWhole) / Median(gCaptures));
  fs::remove_all(Work());
  return 0;
}
