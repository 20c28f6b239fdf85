#include "content/MediaCheck.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "base/TextConv.h"
#include "core/Article.h"

namespace {

std::string RealFolder(const std::string& folder) {
  std::unique_ptr<char, decltype(&free)> real(realpath(folder.empty() ? "." : folder.c_str(), nullptr), &free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace

MediaCheck CheckMediaFile(const std::u16string& path, const std::u16string& folder) {
  std::string file = ToUtf8(path);
  std::string base = ToUtf8(folder);
  if (file.empty() || file.find('\0') != std::string::npos) return MediaCheck::Missing;
  // A name ending in a separator names a folder, never a file, even where the
  // name without it is one.
  if (file.back() == '/') return MediaCheck::Missing;
  if (base.empty()) {
    const size_t cut = file.rfind('/');
    base = cut == std::string::npos ? std::string(".") : cut == 0 ? std::string("/") : file.substr(0, cut);
  }
  // The part of the path below the folder, as the caller wrote it.
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string_view rest(file);
  if (base != "." || file.front() == '/') {
    const std::string prefix = base == "/" ? std::string() : base;
    if (rest.substr(0, prefix.size()) != prefix || rest.size() == prefix.size() || rest[prefix.size()] != '/')
      return MediaCheck::Outside;
    rest.remove_prefix(prefix.size());
  }
  const std::string real = RealFolder(base);
  if (real.empty()) return MediaCheck::Missing;
  // Down from the resolved folder, one component at a time, following none.
  std::string at = real == "/" ? std::string() : real;
  bool any = false;
  struct stat st {};
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
    if (part == "..") return MediaCheck::Outside;
    // Every step below a component, "." included, needs that component to be
    // a folder: "clip.mp3/." names no file.
    if (any && !S_ISDIR(st.st_mode)) return MediaCheck::Missing;
    if (part.empty() || part == ".") continue;
    at += '/';
    at += part;
    if (lstat(at.c_str(), &st) != 0) return MediaCheck::Missing;
    if (S_ISLNK(st.st_mode)) return MediaCheck::Link;
    any = true;
  }
  if (!any) return MediaCheck::NotRegular;  // the folder itself
  if (!S_ISREG(st.st_mode)) return MediaCheck::NotRegular;
  if (st.st_size > kMaxMediaFileSize) return MediaCheck::TooLarge;
  return MediaCheck::Accepted;
}

std::u16string MediaCheckText(MediaCheck check) {
  switch (check) {
    case MediaCheck::Accepted:
      return u"may be copied";
    case MediaCheck::Missing:
      return u"does not exist";
    case MediaCheck::Link:
      return u"is a symbolic link or lies behind one";
    case MediaCheck::Outside:
      return u"lies outside the feed's folder";
    case MediaCheck::NotRegular:
      return u"is not a regular file";
    case MediaCheck::TooLarge:
      return u"is larger than " + FromUtf8(std::to_string(kMaxMediaFileSize >> 20)) + u" MiB";
  }
  return {};
}
