#include "content/PathOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "base/TextConv.h"
#include "core/ArticleLocations.h"
#include "core/Records.h"

namespace {

bool ReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

// Removes every entry of the open folder dirFd; closes it. The result is that
// of the last removal, true when there was nothing to remove.
bool EmptyAt(int dirFd) {
  DIR* dir = fdopendir(dirFd);
  if (dir == nullptr) {
    close(dirFd);
    return false;
  }
  bool result = true;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      result = false;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      int sub = openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) EmptyAt(sub);
      result = !ReadOnly(st) && unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0;
    } else {
      // Files and links alike: a link goes, whatever it points to.
      result = (S_ISLNK(st.st_mode) || !ReadOnly(st)) && unlinkat(dirFd, name.c_str(), 0) == 0;
    }
  }
  closedir(dir);
  return result;
}

// Matches the Windows wildcards * and ? only; "*.*" matches every name.
bool Wildcard(const char* pattern, const char* name) {
  if (std::string(pattern) == "*.*") return true;
  const char* starP = nullptr;
  const char* starN = nullptr;
  while (*name) {
    if (*pattern == '?' || *pattern == *name) {
      ++pattern;
      ++name;
    } else if (*pattern == '*') {
      starP = pattern++;
      starN = name;
    } else if (starP) {
      pattern = starP + 1;
      name = ++starN;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

bool KindMatches(const std::string& path, bool isFile) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0) return false;
  return isFile ? !S_ISDIR(st.st_mode) : S_ISDIR(st.st_mode);
}

// Without its trailing separators: "link/" would resolve a symbolic link that
// "link" names as itself.
std::string WithoutTrailingSeparators(std::u16string_view path) {
  std::string p = ToUtf8(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

}  // namespace

bool daru::FolderExists(std::u16string folder) {
  if (folder.empty()) return false;
  struct stat st {};
  return stat(ToUtf8(folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool daru::EmptyFolder(std::u16string folder) {
  if (folder.empty()) return false;
  int fd = open(WithoutTrailingSeparators(folder).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  return EmptyAt(fd);
}

bool daru::RemoveFolder(std::u16string folder) {
  if (!EmptyFolder(folder)) return false;
  std::string path = WithoutTrailingSeparators(folder);
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ReadOnly(st)) return false;
  return rmdir(path.c_str()) == 0;
}

bool daru::PathExists(std::u16string path, bool isFile) {
  // A trailing separator names a folder: "name/" is never a file, even where
  // "name" is one (a caller would go on to open "name/" and fail).
  if (isFile && !path.empty() && path.back() == u'/') return false;
  std::string p = WithoutTrailingSeparators(path);
  size_t cut = p.rfind('/');
  std::string dir = cut == std::string::npos ? "." : (cut == 0 ? "/" : p.substr(0, cut));
  std::string last = cut == std::string::npos ? p : p.substr(cut + 1);
  if (last.find_first_of("*?") == std::string::npos) return !p.empty() && KindMatches(p, isFile);
  if (dir.find_first_of("*?") != std::string::npos) return false;  // wildcards only in the last part
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return false;
  bool found = false;
  while (struct dirent* entry = readdir(d)) {
    if (!Wildcard(last.c_str(), entry->d_name)) continue;
    if (KindMatches(dir + "/" + entry->d_name, isFile)) {
      found = true;
      break;
    }
  }
  closedir(d);
  return found;
}

bool daru::DeletePath(std::u16string path, bool isFile) {
  if (path.empty()) return true;
  if (!isFile) return RemoveFolder(path);
  std::string p = ToUtf8(path);
  struct stat st {};
  if (lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (!S_ISLNK(st.st_mode) && ReadOnly(st)) return false;
  return unlink(p.c_str()) == 0;
}

bool daru::RemoveArticleFiles(std::u16string_view typeCode, std::u16string_view filename) {
  // Catalogue rows are not trusted to name a place inside the type folder.
  if (!IsSafeFolderName(filename) || !IsSafeTypePath(FindTypePath(typeCode)) ||
      !IsSafeTypePath(FindTypePath(kFeedType)))
    return false;
  std::u16string descfile = DescriptionFilePath(typeCode, filename);
  std::u16string ownFolder = GetTypeFolder(typeCode) + u"/" + std::u16string(filename);
  std::u16string mediaFolder = GetArticleFolder(filename);
  bool gone = !PathExists(descfile, true) || DeletePath(descfile, true);
  for (const std::u16string& folder : {ownFolder, mediaFolder})
    if (FolderExists(folder)) gone = DeletePath(folder, false) && gone;
  return gone;
}
