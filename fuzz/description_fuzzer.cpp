// Any bytes as an article's description file: the readers never crash and
// never leave a feed record behind when the file is unreadable, and what they
// read, the writer writes back so that the readers find it again unchanged
// (the host rewrites description files after reading them).

#include <cstdint>
#include <string>

#include "FuzzRoot.h"
#include "core/Article.h"

namespace {

using fuzzroot::Fail;

constexpr char16_t kRead[] = u"0123456789abcdef0123456789abcdef";
constexpr char16_t kWritten[] = u"fedcba9876543210fedcba9876543210";

CArticle Article(const char16_t* filename, const char16_t* type) {
  CArticle a;
  a.filename = filename;
  a.type = type;
  a.title = u"title";
  return a;
}

std::u16string Pairs(const CRSSSubItem& rss) {
  std::u16string out;
  for (const CMimeFile& f : rss.mimeFiles) out += f.filename + u"|" + f.description + u"|";
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzroot::Root& root = fuzzroot::Shared();
  // The first byte picks the article's type, so both type folders are read.
  const char16_t* type = size && (data[0] & 1) ? u"A" : u"B";
  std::filesystem::path folder = root.daru() / (type[0] == u'A' ? "rss" : "web");
  fuzzroot::WriteBytes(folder / (ToUtf8(kRead) + ".xml"), data, size);

  CArticle read = Article(kRead, type);
  std::u16string description = read.LoadDescription();
  std::u16string comment = read.LoadComment();
  bool feed = read.LoadRssSubItem();
  if (feed != (read.GetRSSSubItem() != nullptr)) Fail("feed record left behind by an unreadable file");
  if (!feed) return 0;
  if (read.LoadRssSubItem() != true) Fail("second read of the feed record");

  CArticle copy = read;
  copy.filename = kWritten;
  if (!copy.CreateDescriptionFile(FromUtf8(folder.string()), true)) Fail("rewrite failed");
  CArticle again = Article(kWritten, type);
  if (again.LoadDescription() != description) Fail("description changed on rewrite", description);
  if (again.LoadComment() != comment) Fail("comment changed on rewrite", comment);
  if (!again.LoadRssSubItem()) Fail("rewritten file has no feed record");
  const CRSSSubItem& a = *read.GetRSSSubItem();
  const CRSSSubItem& b = *again.GetRSSSubItem();
  if (a.title != b.title || a.link != b.link || a.pubDate != b.pubDate || a.channelTitle != b.channelTitle ||
      a.channelLink != b.channelLink || a.mimeUrl != b.mimeUrl)
    Fail("feed record changed on rewrite", a.title + u"|" + a.link);
  // Attachments are written only with a media link to go with them.
  std::u16string expected = a.mimeUrl.empty() ? std::u16string() : Pairs(a);
  if (Pairs(b) != expected) Fail("attachments changed on rewrite", Pairs(a));
  return 0;
}
