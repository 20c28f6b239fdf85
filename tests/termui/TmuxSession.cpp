#include "TmuxSession.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "base/TextConv.h"
#include "terminal/CellBuffer.h"
#include "terminal/TextCells.h"

namespace {

std::atomic<int> g_sessions{0};

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, std::string* out, const std::map<std::string, std::string>& env) {
  // The output goes to a file, not a pipe: a tmux server forked from the child would hold a pipe open.
  char name[] = "/tmp/daru-termui-out-XXXXXX";
  const int fd = ::mkstemp(name);
  if (fd < 0) return -1;
  ::unlink(name);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fd, 1);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 2);
    for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  std::string text;
  char buf[4096];
  ssize_t n;
  ::lseek(fd, 0, SEEK_SET);
  while ((n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  ::close(fd);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TmuxSession::TmuxSession(const std::vector<std::string>& command, int cols, int rows,
                         const std::map<std::string, std::string>& env) {
  m_socket = "daru-termui-" + std::to_string(::getpid()) + "-" + std::to_string(g_sessions++);
  std::string line = "env";
  for (const auto& [k, v] : env) line += " " + Quote(k + "=" + v);
  for (const std::string& c : command) line += " " + Quote(c);
  // After the program: its status and the terminal's modes, for the checks of a clean exit.
  line +=
      "; echo \"[exit $?]\"; stty -a | tr -s ' ;' '\\n\\n' | grep -E '^-?(icanon|echo)$' | tr '\\n' ' '; echo; "
      "sleep 600";
  Tmux({"-f", "/dev/null", "new-session", "-d", "-s", "main", "-x", std::to_string(cols), "-y", std::to_string(rows),
        "sh", "-c", line});
}

TmuxSession::~TmuxSession() { Tmux({"kill-server"}); }

std::string TmuxSession::Tmux(const std::vector<std::string>& args, int* status) const {
  std::vector<std::string> argv{"tmux", "-L", m_socket};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string out;
  const int s = RunProgram(argv, &out);
  if (status) *status = s;
  return out;
}

void TmuxSession::Keys(const std::vector<std::string>& keys) {
  for (const std::string& k : keys) {
    Tmux({"send-keys", "-t", "main", k});
    // One key at a time, as a hand types: the program reads escape sequences with a short timeout.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
  }
}

void TmuxSession::Text(const std::string& text) {
  Tmux({"send-keys", "-t", "main", "-l", text});
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
}

void TmuxSession::Press(int x, int y, int button) {
  Text("\033[<" + std::to_string(button) + ";" + std::to_string(x + 1) + ";" + std::to_string(y + 1) + "M");
}

void TmuxSession::Release(int x, int y, int button) {
  Text("\033[<" + std::to_string(button) + ";" + std::to_string(x + 1) + ";" + std::to_string(y + 1) + "m");
}

void TmuxSession::Drag(int x, int y, int button) {
  Text("\033[<" + std::to_string(button + 32) + ";" + std::to_string(x + 1) + ";" + std::to_string(y + 1) + "M");
}

void TmuxSession::Click(int x, int y, int button) {
  Press(x, y, button);
  Release(x, y, button);
}

void TmuxSession::Resize(int cols, int rows) {
  Tmux({"resize-window", "-t", "main", "-x", std::to_string(cols), "-y", std::to_string(rows)});
}

std::string TmuxSession::Screen(bool withStyles) const {
  if (withStyles) return Tmux({"capture-pane", "-p", "-e", "-t", "main"});
  return Tmux({"capture-pane", "-p", "-t", "main"});
}

bool TmuxSession::WaitFor(const std::function<bool(const std::string&)>& test, std::string* last,
                          std::chrono::milliseconds timeout) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  std::string screen;
  for (;;) {
    screen = Screen();
    if (test(screen)) {
      if (last) *last = screen;
      return true;
    }
    if (std::chrono::steady_clock::now() > end) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (last) *last = screen;
  return false;
}

bool TmuxSession::WaitForText(const std::string& text, std::string* last) const {
  return WaitFor([&](const std::string& s) { return s.find(text) != std::string::npos; }, last);
}

std::string TmuxSession::Format(const std::string& format) const {
  std::string out = Tmux({"display-message", "-p", "-t", "main", format});
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::pair<int, int> TmuxSession::Find(const std::string& text) const {
  const std::string screen = Screen();
  size_t start = 0;
  for (int y = 0; start <= screen.size(); ++y) {
    const size_t end = std::min(screen.find('\n', start), screen.size());
    const std::string line = screen.substr(start, end - start);
    const size_t at = line.find(text);
    if (at != std::string::npos) return {termui::DisplayWidth(termui::ToCodePoints(FromUtf8(line.substr(0, at)))), y};
    start = end + 1;
  }
  return {-1, -1};
}
