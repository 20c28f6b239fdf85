#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

// An Xvfb server of the suite's own on a free display, and the tools the
// desktop tests drive it with: xdotool for the pointer and keys, ImageMagick's
// import for screenshots. Everything is a real process.

class XServer {
 public:
  XServer() = default;
  ~XServer() { Stop(); }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // Starts Xvfb at width x height; false with the reason when it cannot.
  bool Start(int width, int height, std::string* error);
  void Stop();
  std::string Display() const { return ":" + std::to_string(m_display); }

 private:
  pid_t m_pid = -1;
  int m_display = -1;
};

// Runs a program to its end with the environment additions; its exit status,
// and its standard output in *out.
int RunTool(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env = {},
            std::string* out = nullptr);
bool OnPath(const std::string& program);

// A program running in the background, its output collected in a file.
class Process {
 public:
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const std::filesystem::path& log);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  bool Running();
  void Signal(int sig);
  // The exit status once it has ended within the time (-1 when it has not).
  int Wait(std::chrono::milliseconds timeout);
  std::string Log() const;

 private:
  pid_t m_pid = -1;
  int m_status = -1;
  std::filesystem::path m_log;
};

// A screenshot as RGB pixels.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  struct Pixel {
    int r, g, b;
  };
  Pixel At(int x, int y) const;
  // Reads a binary PPM (P6) file.
  bool Load(const std::filesystem::path& ppm);
};
