#include "DaruProcess.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "fixtures/TempDir.h"

extern char** environ;

nlohmann::json DaruRun::Json() const {
  nlohmann::json j = nlohmann::json::parse(out, nullptr, false);
  EXPECT_FALSE(j.is_discarded()) << "not JSON: " << out << err;
  return j;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::filesystem::path SamplesDir() { return std::filesystem::path(DARU_SOURCE_DIR) / "host" / "samples"; }

namespace {

DaruRun Spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
              const std::string& stdinPath, const std::string& input);

}  // namespace

DaruRun RunDaru(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
  return Spawn(args, env, "/dev/null", "");
}

DaruRun RunDaruOnTerminal(const std::vector<std::string>& args, const std::string& input) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return {};
  }
  const std::string slave = ptsname(master);
  // Typed ahead: the terminal keeps the line until the program reads it.
  if (write(master, input.data(), input.size()) != static_cast<ssize_t>(input.size())) ADD_FAILURE() << "cannot type";
  DaruRun run = Spawn(args, {}, slave, input);
  close(master);
  return run;
}

namespace {

DaruRun Spawn(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
              const std::string& stdinPath, const std::string&) {
  TempDir capture;
  const std::string outPath = (capture.path() / "out").string();
  const std::string errPath = (capture.path() / "err").string();
  const std::string binary = std::string(DARU_BINARY_DIR) + "/host/daru";

  std::vector<std::string> argStore{binary};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (name == "DARU_HOME" || name == "XDG_DATA_HOME" || env.count(name)) continue;
    envStore.push_back(entry);
  }
  for (const auto& [name, value] : env) envStore.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, stdinPath.c_str(), O_RDONLY | O_NOCTTY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  DaruRun run;
  int rc = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << binary;
    return run;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

}  // namespace
