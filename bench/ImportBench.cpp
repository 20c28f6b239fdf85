// daru import of a 1,000-item feed file against the same 1,000 items
// captured one by one through the facade's capture operation, which import
// runs for each item. Both sides start from a fresh data root and
// run in alternation, so the machine's load hits them alike; each side's
// figure is the median of its rounds, and the ratio is printed at the end.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "daru/Capture.h"
#include "daru/FeedParser.h"
#include "daru/Import.h"
#include "daru/Session.h"
#include "storage/DataRootSetup.h"

namespace fs = std::filesystem;

namespace {

constexpr int kItems = 1000;
constexpr double kTarget = 1.5;

fs::path Work() { return fs::path(DARU_BENCH_DIR) / "work" / "import"; }

// A feed of the size and shape of a busy channel's archive.
fs::path FeedFile() {
  const fs::path file = fs::path(DARU_BENCH_DIR) / "import-1000.rss";
  if (fs::exists(file)) return file;
  fs::create_directories(file.parent_path());
  std::ofstream out(file);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>Bench Channel</title>"
         "<link>https://bench.example/</link>\n";
  for (int i = 0; i < kItems; ++i)
    out << "<item><title>第 " << i << " 条：a feed item of ordinary length</title><link>https://bench.example/items/"
        << i << "</link><pubDate>Fri, 10 May 2024 18:00:00 +0000</pubDate><description>" << std::string(300, 'x')
        << " 描述 " << i << "</description></item>\n";
  out << "</channel></rss>\n";
  return file;
}

fs::path FreshRoot() {
  static int round = 0;
  const fs::path root = Work() / std::to_string(round++);
  fs::remove_all(root);
  fs::create_directories(root);
  if (!DaruCreateDataRoot(FromUtf8(root.string()))) throw std::runtime_error("cannot make " + root.string());
  return root;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double ImportSide(const fs::path& feed) {
  Session s(FreshRoot());
  Request r;
  r.source = feed.string();
  std::vector<std::string> warnings;
  const auto start = std::chrono::steady_clock::now();
  Report report = Import(s, r, warnings);
  const double took = Seconds(start);
  if (report.data["new"] != kItems) throw std::runtime_error("the import stored too little");
  return took;
}

double CaptureSide(const ParsedFeed& feed) {
  Session s(FreshRoot());
  const auto start = std::chrono::steady_clock::now();
  CLabel* label = ChannelLabel(s, FromUtf8(feed.channelTitle));
  for (const FeedEntry& e : feed.entries) {
    // The operation import runs for each item, with the request it builds.
    CRSSSubItem item;
    item.title = FromUtf8(e.title);
    item.link = FromUtf8(e.link);
    item.description = FromUtf8(e.description);
    item.pubDate = FromUtf8(e.published);
    item.channelTitle = FromUtf8(feed.channelTitle);
    item.channelLink = FromUtf8(feed.channelLink);
    CCaptureRequest request;
    request.label = label;
    request.link = item.link;
    request.title = item.title;
    request.type = kFeedType;
    request.description = item.description;
    request.feedItem = &item;
    if (s.Daru()->Capture(request).result != CaptureResult::New) throw std::runtime_error("a capture failed");
  }
  return Seconds(start);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::vector<double> gImport, gCapture;

void ImportAgainstCaptures(benchmark::State& state) {
  const fs::path feedFile = FeedFile();
  std::ifstream in(feedFile);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const ParsedFeed feed = ParseFeed(bytes, feedFile.string());
  for (auto _ : state) {
    // Alternate which side goes first, so neither always meets a warm cache.
    const bool importFirst = gImport.size() % 2 == 0;
    double a = 0, b = 0;
    if (importFirst) {
      a = ImportSide(feedFile);
      b = CaptureSide(feed);
    } else {
      b = CaptureSide(feed);
      a = ImportSide(feedFile);
    }
    gImport.push_back(a);
    gCapture.push_back(b);
    state.SetIterationTime(a);
  }
  state.counters["import_ms"] = Median(gImport) * 1000;
  state.counters["captures_ms"] = Median(gCapture) * 1000;
  state.counters["ratio"] = Median(gImport) / Median(gCapture);
}

BENCHMARK(ImportAgainstCaptures)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!gImport.empty())
    std::printf("\nimport of %d items / %d captures: %.2f (target <= %.1f)\n", kItems, kItems,
                Median(gImport) / Median(gCapture), kTarget);
  fs::remove_all(Work());
  return 0;
}
