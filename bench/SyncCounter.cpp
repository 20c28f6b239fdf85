#include "SyncCounter.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<std::uint64_t> gSyncs{0};

}  // namespace

// The engine calls these through the dynamic linker, which finds the
// program's own definitions first.
extern "C" int fdatasync(int fd) {
  gSyncs.fetch_add(1, std::memory_order_relaxed);
  return static_cast<int>(syscall(SYS_fdatasync, fd));
}

extern "C" int fsync(int fd) {
  gSyncs.fetch_add(1, std::memory_order_relaxed);
  return static_cast<int>(syscall(SYS_fsync, fd));
}

namespace darubench {

std::uint64_t SyncCalls() { return gSyncs.load(std::memory_order_relaxed); }

}  // namespace darubench
