#include "shared/Launch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace hostshared {

bool LaunchDetached(const char* program, const std::string& argument) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    // A grandchild in a session of its own: nothing of ours waits for it.
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument.c_str()), nullptr};
    ::execvp(program, argv);
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string FindOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    if (end > start) {
      const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / program;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    start = end + 1;
  }
  return "";
}

}  // namespace hostshared
