#include "FeedCaptureBaseline.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <stdexcept>

#include "daru/Capture.h"
#include "daru/FeedDate.h"
#include "daru/Session.h"
#include "storage/DataRootSetup.h"

namespace darubench {

std::string FeedOfItems(int items) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>Bench Channel</title>"
      "<link>https://bench.example/</link>\n";
  for (int i = 0; i < items; ++i)
    out += "<item><title>第 " + std::to_string(i) +
           " 条：a feed item of ordinary length</title>"
           "<link>https://bench.example/items/" +
           std::to_string(i) + "</link><pubDate>Fri, 10 May 2024 18:00:00 +0000</pubDate><description>" +
           std::string(300, 'x') + " 描述 " + std::to_string(i) + "</description></item>\n";
  return out + "</channel></rss>\n";
}

std::filesystem::path FreshRoot(const std::filesystem::path& work) {
  static int round = 0;
  const std::filesystem::path root = work / std::to_string(round++);
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  if (!DaruCreateDataRoot(FromUtf8(root.string()))) throw std::runtime_error("cannot make " + root.string());
  return root;
}

double SecondsSince(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

double CaptureItemsOneByOne(const ParsedFeed& feed, const std::filesystem::path& work) {
  Session s(FreshRoot(work));
  const auto start = std::chrono::steady_clock::now();
  const long long now = static_cast<long long>(std::time(nullptr));
  CLabel* label = ChannelLabel(s, FromUtf8(feed.channelTitle));
  for (size_t i = 0; i < feed.entries.size(); ++i) {
    const FeedEntry& e = feed.entries[i];
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
    // A new feed item: unread, dated by the feed, in the capture's one write.
    request.read = false;
    const std::optional<long long> published = ParseFeedDate(e.published);
    request.created = published ? *published : now - static_cast<long long>(i);
    if (s.Daru()->Capture(request).result != CaptureResult::New) throw std::runtime_error("a capture failed");
  }
  return SecondsSince(start);
}

}  // namespace darubench
