#include "base/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

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

bool CopyAll(int from, int to) {
  std::string chunk(64 * 1024, '\0');
  for (;;) {
    ssize_t got = read(from, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, chunk.data(), static_cast<size_t>(got))) return false;
  }
}

// The rename itself is on the disk only once the folder is synced.
bool SyncFolderOf(const std::string& path) {
  size_t cut = path.rfind('/');
  std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
  CFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.get() >= 0 && fsync(dir.get()) == 0;
}

// Writes the copy with fill, then lets it replace the file.
template <class Fill>
bool Replace(const std::string& path, Fill fill) {
  struct stat previous {};
  const bool exists = lstat(path.c_str(), &previous) == 0 && S_ISREG(previous.st_mode);
  if (exists && (previous.st_mode & S_IWUSR) == 0) return false;
  const std::string temp = path + kPartSuffix;
  const bool synced = GetFileDurability() == FileDurability::Synced;
  CFd file(open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
  if (file.get() < 0) return false;
  bool written = (!exists || fchmod(file.get(), previous.st_mode & 07777) == 0) && fill(file.get());
  written = written && (!synced || fsync(file.get()) == 0);
  written = file.Close() && written;
  if (written && rename(temp.c_str(), path.c_str()) == 0) return !synced || SyncFolderOf(path);
  unlink(temp.c_str());
  return false;
}

}  // namespace

void SetFileDurability(FileDurability durability) { g_durability = durability; }

FileDurability GetFileDurability() { return g_durability; }

bool ReadRegularFile(const std::string& path, size_t maxSize, std::string& bytes) {
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

bool ReplaceFile(const std::string& path, std::string_view bytes) {
  return Replace(path, [&](int fd) { return WriteAll(fd, bytes.data(), bytes.size()); });
}

bool ReplaceFileWithCopy(const std::string& source, const std::string& path) {
  CFd in(open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat st {};
  if (in.get() < 0 || fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return Replace(path, [&](int fd) { return CopyAll(in.get(), fd); });
}
