#include "XServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, int out, int err) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(out >= 0 ? out : null, 1);
    ::dup2(err >= 0 ? err : null, 2);
    ::setpgid(0, 0);
    // A test that dies leaves no X server or program behind.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  return pid;
}

}  // namespace

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

int RunTool(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env, std::string* out) {
  char name[] = "/tmp/daru-desktop-run-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0) return -1;
  ::unlink(name);
  const pid_t pid = Spawn(argv, env, fd, -1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (out != nullptr) {
    out->clear();
    char buf[4096];
    ssize_t n;
    ::lseek(fd, 0, SEEK_SET);
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out->append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool XServer::Start(int width, int height, std::string* error) {
  if (!OnPath("Xvfb")) {
    *error = "Xvfb is needed for the desktop tests (scripts/deps.sh installs the xvfb package)";
    return false;
  }
  for (int d = 90 + static_cast<int>(::getpid() % 200); d < 400; ++d) {
    if (fs::exists("/tmp/.X11-unix/X" + std::to_string(d)) || fs::exists("/tmp/.X" + std::to_string(d) + "-lock"))
      continue;
    m_display = d;
    m_pid = Spawn({"Xvfb", ":" + std::to_string(d), "-screen", "0",
                   std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp", "-noreset"},
                  {}, -1, -1);
    for (int i = 0; i < 200; ++i) {
      int status = 0;
      if (fs::exists("/tmp/.X11-unix/X" + std::to_string(d))) {
        // The socket exists a moment before the server answers; and it must be
        // our server that answers, not another that took the display first.
        if (RunTool({"xdotool", "getdisplaygeometry"}, {{"DISPLAY", Display()}}) == 0 &&
            ::waitpid(m_pid, &status, WNOHANG) == 0)
          return true;
      }
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        break;  // another server took the display meanwhile: try the next
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Stop();
  }
  *error = "Xvfb did not start on any free display";
  return false;
}

void XServer::Stop() {
  if (m_pid <= 0) return;
  ::kill(m_pid, SIGTERM);
  int status = 0;
  ::waitpid(m_pid, &status, 0);
  m_pid = -1;
}

Process::Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const fs::path& log)
    : m_log(log) {
  const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  m_pid = Spawn(argv, env, fd, fd);
  ::close(fd);
}

Process::~Process() {
  if (Running()) {
    Signal(SIGKILL);
    Wait(std::chrono::milliseconds(5000));
  }
}

bool Process::Running() {
  if (m_pid <= 0) return false;
  int status = 0;
  if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    m_pid = -1;
    return false;
  }
  return true;
}

void Process::Signal(int sig) {
  if (m_pid > 0) ::kill(m_pid, sig);
}

int Process::Wait(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (Running()) {
    if (std::chrono::steady_clock::now() > end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return m_status;
}

std::string Process::Log() const {
  std::ifstream in(m_log);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Screenshot::Pixel Screenshot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
  return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

bool Screenshot::Load(const fs::path& ppm) {
  std::ifstream in(ppm, std::ios::binary);
  std::string magic;
  int maxval = 0;
  in >> magic >> width >> height >> maxval;
  if (magic != "P6" || maxval != 255 || width <= 0 || height <= 0 || width > 16384 || height > 16384) {
    width = height = 0;
    return false;
  }
  in.get();
  rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
  if (!in) width = height = 0;
  return width > 0;
}
