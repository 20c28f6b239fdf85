#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/TempDir.h"

// Runs the built daru program on a data root as a process of its own, the way
// a person or a script does; several may run at once.
class DaruProcess {
 public:
  DaruProcess(const std::filesystem::path& root, const std::vector<std::string>& args);
  ~DaruProcess();
  DaruProcess(const DaruProcess&) = delete;
  DaruProcess& operator=(const DaruProcess&) = delete;

  // Waits for the end; the exit status, or 128 + the signal that ended it.
  int Wait();
  const std::string& Out() const { return m_out; }
  const std::string& Err() const { return m_err; }

 private:
  TempDir m_capture;
  pid_t m_pid = -1;
  int m_status = -1;
  std::string m_out;
  std::string m_err;
};

// Whether this build has the daru program to run.
bool HaveDaru();
