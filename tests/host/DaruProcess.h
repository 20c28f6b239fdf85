#pragma once

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

// Runs the built daru program as a separate process, the way a person or a
// script does, and collects what it printed and how it ended.
struct DaruRun {
  int status = -1;  // exit status; 128 + signal when it was killed by one
  std::string out;
  std::string err;

  nlohmann::json Json() const;  // stdout parsed as JSON (a test failure when it is not)
};

// The data-root variables of the test's own environment are removed; env adds
// or replaces variables for this run.
DaruRun RunDaru(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {});

// The same with a terminal as standard input: the program sees a person,
// who types the input once it has started.
DaruRun RunDaruOnTerminal(const std::vector<std::string>& args, const std::string& input);

std::string ReadFile(const std::filesystem::path& path);
// The folder of the sample feed items shipped with the host.
std::filesystem::path SamplesDir();
