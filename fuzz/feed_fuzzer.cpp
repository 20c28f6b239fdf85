// Any bytes as a feed or bookmark file from the network: reading it never
// crashes and fails only with a message; every entry it offers for storing
// has a title and a web link, and reading the same bytes again gives the
// same entries.

#include <cstdint>
#include <string>

#include "FuzzRoot.h"
#include "daru/FeedParser.h"
#include "daru/Request.h"

namespace {

using fuzzroot::Fail;

bool Same(const ParsedFeed& a, const ParsedFeed& b) {
  if (a.format != b.format || a.channelTitle != b.channelTitle || a.channelLink != b.channelLink ||
      a.entries.size() != b.entries.size())
    return false;
  for (size_t i = 0; i < a.entries.size(); ++i) {
    const FeedEntry& x = a.entries[i];
    const FeedEntry& y = b.entries[i];
    if (x.title != y.title || x.link != y.link || x.refused != y.refused || x.folders != y.folders) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte says where the document came from: a file or the web.
  const std::string base = data[0] % 2 ? "https://feed.example/dir/feed.xml" : "/feeds/dir/feed.xml";
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  ParsedFeed first;
  try {
    first = ParseFeed(bytes, base);
  } catch (const HostError& e) {
    if (std::string(e.what()).empty()) Fail("a refused document without a message");
    return 0;
  }
  for (const FeedEntry& e : first.entries) {
    if (!e.refused.empty()) continue;
    if (e.title.empty()) Fail("an entry without a title is offered for storing");
    if (!IsWebLink(e.link)) Fail("an entry whose link is no web address is offered for storing", FromUtf8(e.link));
  }
  if (!Same(first, ParseFeed(bytes, base))) Fail("the same bytes read differently");
  return 0;
}
