#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

// Runs a piece of a test as a user whom file permissions bind. Root writes
// to read-only files anyway, so under root the piece runs in a child process
// that has given up root for the unprivileged user "nobody"; the folders
// leading to `reach`, up to the system's temporary folder, are opened for it
// to look into. The piece returns
// whether it held; it reports its own failures on stderr.
inline bool RunUnprivileged(const std::filesystem::path& reach, const std::function<bool()>& piece) {
  if (geteuid() != 0) return piece();
  const std::filesystem::path top = std::filesystem::temp_directory_path();
  for (std::filesystem::path p = reach; !p.empty() && p != top && p != p.root_path(); p = p.parent_path()) {
    struct stat st {};
    if (stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) chmod(p.c_str(), st.st_mode | S_IXOTH | S_IROTH);
  }
  std::fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(3);
    _exit(piece() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
