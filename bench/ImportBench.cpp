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

#include "FeedCaptureBaseline.h"
#include "daru/FeedParser.h"
#include "daru/Import.h"
#include "daru/Session.h"

namespace fs = std::filesystem;

using namespace darubench;

namespace {

constexpr int kItems = 1000;
constexpr double kTarget = 1.5;

fs::path Work() { return fs::path(DARU_BENCH_DIR) / "work" / "import"; }

// A feed of the size and shape of a busy channel's archive, as a file.
fs::path FeedFile() {
  const fs::path file = fs::path(DARU_BENCH_DIR) / "import-1000.rss";
  if (fs::exists(file)) return file;
  fs::create_directories(file.parent_path());
  std::ofstream(file) << FeedOfItems(kItems);
  return file;
}

double ImportSide(const fs::path& feed) {
  Session s(FreshRoot(Work()));
  Request r;
  r.source = feed.string();
  std::vector<std::string> warnings;
  const auto start = std::chrono::steady_clock::now();
  Report report = Import(s, r, warnings);
  const double took = SecondsSince(start);
  if (report.data["new"] != kItems) throw std::runtime_error("the import stored too little");
  return took;
}

double CaptureSide(const ParsedFeed& feed) { return CaptureItemsOneByOne(feed, Work()); }

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
