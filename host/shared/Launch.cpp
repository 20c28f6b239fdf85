#include "shared/Launch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace hostshared
