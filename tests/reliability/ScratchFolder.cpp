// The sweeps of this suite write thousands of small catalogues and throw them
// away again. On a RAM-backed folder that costs no disk I/O, so the suite's
// time does not depend on how busy the machine's disk is. Anywhere else the
// system's temporary folder serves as well, only slower.

#include <stdlib.h>
#include <unistd.h>

namespace {

const bool kScratchInMemory = [] {
  const char* shm = "/dev/shm";
  if (getenv("DARU_KEEP_TMPDIR") == nullptr && access(shm, W_OK | X_OK) == 0) setenv("TMPDIR", shm, 1);
  return true;
}();

}  // namespace
