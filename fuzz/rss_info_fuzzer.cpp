// Any bytes as an RSS information file from the network: reading it never
// crashes, an unreadable file changes nothing but the source file, and the
// media file it names is only ever taken from beside it, never from outside
// its folder.

#include <cstdint>
#include <string>

#include "FuzzRoot.h"
#include "core/CaptureItems.h"

namespace {

using fuzzroot::Fail;

void Fill(CRSSSubItem& item) {
  item.title = u"t0";
  item.pubDate = u"p0";
  item.description = u"d0";
  item.link = u"l0";
  item.mimeUrl = u"m0";
  item.channelTitle = u"ct0";
  item.channelLink = u"cl0";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzroot::Root& root = fuzzroot::Shared();
  static const bool media = [&root] {
    // Files the information file may name: beside it, below it, and outside.
    std::filesystem::create_directories(root.path() / "info" / "sub");
    for (const char* f : {"info/clip.mp3", "info/sub/a.wav", "secret.txt", "info/a b.ogg"})
      fuzzroot::WriteBytes(root.path() / f, reinterpret_cast<const uint8_t*>("x"), 1);
    return true;
  }();
  (void)media;
  std::filesystem::path info = root.path() / "info" / "item.xml";
  fuzzroot::WriteBytes(info, data, size);
  std::u16string path = FromUtf8(info.string());

  CRSSSubItem item;
  Fill(item);
  bool loaded = item.LoadRSSInfo(path);
  if (item.sourceFile != path) Fail("source file not kept");
  if (item.channelTitle != u"ct0" || item.channelLink != u"cl0" || !item.mimeFiles.empty())
    Fail("fields the file does not hold were changed");
  if (!loaded) {
    CRSSSubItem untouched;
    Fill(untouched);
    if (item.title != untouched.title || item.pubDate != untouched.pubDate ||
        item.description != untouched.description || item.link != untouched.link || item.mimeUrl != untouched.mimeUrl)
      Fail("an unreadable file changed the record");
    return 0;
  }
  if (item.mimeUrl != u"m0") {
    // An existing file in the information file's folder or below it.
    std::error_code ec;
    std::filesystem::path media = std::filesystem::weakly_canonical(ToUtf8(item.mimeUrl), ec);
    std::filesystem::path folder = std::filesystem::weakly_canonical(root.path() / "info", ec);
    std::string m = media.string(), f = folder.string() + "/";
    if (ec || m.compare(0, f.size(), f) != 0) Fail("media taken from outside the folder", item.mimeUrl);
    if (!std::filesystem::is_regular_file(media)) Fail("media that is not a file", item.mimeUrl);
  }
  return 0;
}
