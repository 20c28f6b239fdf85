#include "base/Files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

namespace {

std::atomic<FileDurability> g_durability{FileDurability::Atomic};

class CFd {
 public:
  explicit CFd(int fd) : m_fd(fd) {}
  ~CFd() {
    if (m_fd >= 0) close(m_fd);
  }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  int get() const { return m_fd; }
  // Closes now, so that a failing close (a write the disk refused late) counts.
  bool Close() {
    int fd = m_fd;
    m_fd = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int m_fd;  // owned: closed with the object unless closed before
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// Copies exactly `size` bytes: false when the source holds fewer or more.
bool CopyExactly(int from, int to, off_t size) {
  std::string chunk(64 * 1024, '\0');
  off_t copied = 0;
  for (;;) {
    ssize_t got = read(from, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return copied == size;
    copied += got;
    if (copied > size) return false;
    if (!WriteAll(to, chunk.data(), static_cast<size_t>(got))) return false;
  }
}

// A fresh name for a copy of the writer's own beside the file: the file's
// name, a dot, a tag of 8 hexadecimal digits, and the suffix.
std::string OwnCopyName(const std::string& path) {
  static std::atomic<unsigned> s_counter{0};
  unsigned tag = 0;
  if (getrandom(&tag, sizeof tag, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof tag))
    tag = static_cast<unsigned>(getpid()) * 2654435761u;
  tag ^= s_counter.fetch_add(1) * 40503u;
  char hex[10];
  std::snprintf(hex, sizeof hex, ".%08x", tag);
  return path + hex + kPartSuffix;
}

// Tries fresh names until one that nothing has is taken (create returns false
// with EEXIST for a name that is taken); false when none could be.
template <class Create>
bool TakeOwnCopyName(const std::string& path, std::string& temp, Create create) {
  for (int attempt = 0; attempt < 64; ++attempt) {
    temp = OwnCopyName(path);
    if (create(temp)) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

std::string FolderOf(const std::string& path);

// The rename itself is on the disk only once the folder is synced.
bool SyncFolderOf(const std::string& path) {
  CFd dir(open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.get() >= 0 && fsync(dir.get()) == 0;
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.rfind('/');
  return cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
}

// Gives the unnamed file open at fd the name path; fails with EEXIST when the
// name is taken.
bool LinkUnnamed(int fd, const std::string& path) {
  if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// A new file is written unnamed in its folder and linked in whole, which
// costs no more than writing it in place: nothing half-written is ever
// visible, and a crash leaves nothing behind. Someone may make the file
// meanwhile; it is then replaced through a named copy of this writer's own. False with done
// unset when the folder takes no unnamed files, and nothing was read by fill.
template <class Fill>
bool CreateWhole(const std::string& path, mode_t mode, Fill& fill, bool synced, bool& done) {
  done = false;
  CFd file(open(FolderOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
  if (file.get() < 0) return false;
  done = true;
  if (!fill(file.get()) || (synced && fsync(file.get()) != 0)) return false;
  bool linked = LinkUnnamed(file.get(), path);
  if (!linked && errno == EEXIST) {
    std::string temp;
    const bool named =
        TakeOwnCopyName(path, temp, [&](const std::string& name) { return LinkUnnamed(file.get(), name); });
    linked = named && rename(temp.c_str(), path.c_str()) == 0;
    if (named && !linked) unlink(temp.c_str());
  }
  return file.Close() && linked && (!synced || SyncFolderOf(path));
}

// Writes the copy with fill, then lets it replace the file. The copy is
// created with mode (less the umask); keepMode gives it the permissions of
// the file it replaces instead.
template <class Fill>
bool Replace(const std::string& path, mode_t mode, bool keepMode, Fill fill,
             const std::function<bool()>* mayReplace = nullptr) {
  struct stat previous {};
  const bool present = lstat(path.c_str(), &previous) == 0;
  if (present && mayReplace != nullptr && !(*mayReplace)()) return false;
  const bool exists = present && S_ISREG(previous.st_mode);
  if (exists && (previous.st_mode & S_IWUSR) == 0) return false;
  const bool synced = GetFileDurability() == FileDurability::Synced;
  if (!exists) {
    bool done = false;
    bool created = CreateWhole(path, mode, fill, synced, done);
    if (done) return created;
  }
  std::string temp;
  int fd = -1;
  TakeOwnCopyName(path, temp, [&](const std::string& name) {
    fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode);
    return fd >= 0;
  });
  CFd file(fd);
  if (file.get() < 0) return false;
  bool written = (!exists || !keepMode || fchmod(file.get(), previous.st_mode & 07777) == 0) && fill(file.get());
  written = written && (!synced || fsync(file.get()) == 0);
  written = file.Close() && written;
  if (written && rename(temp.c_str(), path.c_str()) == 0) return !synced || SyncFolderOf(path);
  unlink(temp.c_str());
  return false;
}

}  // namespace

void daru::SetFileDurability(FileDurability durability) { g_durability = durability; }

FileDurability daru::GetFileDurability() { return g_durability; }

bool daru::ReadRegularFile(const std::string& path, size_t maxSize, std::string& bytes) {
  CFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (file.get() < 0) return false;
  struct stat st {};
  if (fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > maxSize) return false;
  bytes.clear();
  bytes.reserve(static_cast<size_t>(st.st_size));
  std::string chunk(64 * 1024, '\0');
  for (;;) {
    ssize_t got = read(file.get(), chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(chunk.data(), static_cast<size_t>(got));
    if (bytes.size() > maxSize) return false;  // grew while we read
  }
}

bool daru::ReplaceFile(const std::string& path, std::string_view bytes) {
  return Replace(path, 0666, true, [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

bool daru::ReplaceFileIf(const std::string& path, std::string_view bytes, const std::function<bool()>& mayReplace) {
  return Replace(
      path, 0666, true, [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); }, &mayReplace);
}

bool daru::ReplaceFileWithCopy(const std::string& source, const std::string& path, size_t maxSize) {
  CFd in(open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW));
  struct stat st {};
  if (in.get() < 0 || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (static_cast<unsigned long long>(st.st_size) > maxSize) return false;
  return Replace(path, st.st_mode & 0777, false, [&](int fd) { return CopyExactly(in.get(), fd, st.st_size); });
}

std::u16string daru::PartCopyTarget(std::u16string_view name) {
  const std::u16string_view suffix = kPartSuffixW;
  if (name.size() <= suffix.size() || !name.ends_with(suffix)) return {};
  name.remove_suffix(suffix.size());
  // The tag: a dot and 8 hexadecimal digits.
  if (name.size() > 9 && name[name.size() - 9] == u'.') {
    bool hex = true;
    for (char16_t c : name.substr(name.size() - 8)) hex = hex && ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'));
    if (hex) name.remove_suffix(9);
  }
  return std::u16string(name);
}
