#include "DaruRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

namespace {

std::string Binary() { return std::string(DARU_BINARY_DIR) + "/host/daru"; }

std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

bool HaveDaru() { return access(Binary().c_str(), X_OK) == 0; }

DaruProcess::DaruProcess(const std::filesystem::path& root, const std::vector<std::string>& args) {
  std::vector<std::string> store{Binary(), "--root", root.string()};
  store.insert(store.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : store) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string out = (m_capture.path() / "out").string(), err = (m_capture.path() / "err").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
  posix_spawn_file_actions_destroy(&actions);
}

DaruProcess::~DaruProcess() { Wait(); }

int DaruProcess::Wait() {
  if (m_pid <= 0) return m_status;
  int status = 0;
  if (waitpid(m_pid, &status, 0) == m_pid) m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  m_pid = -1;
  m_out = Slurp(m_capture.path() / "out");
  m_err = Slurp(m_capture.path() / "err");
  return m_status;
}
