#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A program running in a detached tmux session of a fixed size, on a tmux
// server of its own: a person's keys and mouse go in, the screen comes out.
class TmuxSession {
 public:
  // Starts the command (argv, no shell) in a window of cols x rows with the
  // environment additions; after the command ends, the pane reports its exit
  // status and terminal modes and stays open.
  TmuxSession(const std::vector<std::string>& command, int cols, int rows,
              const std::map<std::string, std::string>& env = {});
  ~TmuxSession();
  TmuxSession(const TmuxSession&) = delete;
  TmuxSession& operator=(const TmuxSession&) = delete;

  // tmux key names ("Down", "F2", "BTab", "C-c") or, with Text, literal text.
  void Keys(const std::vector<std::string>& keys);
  void Text(const std::string& text);
  // Mouse in the SGR form the program asks for; x and y are 0-based cells.
  void Press(int x, int y, int button = 0);
  void Release(int x, int y, int button = 0);
  void Drag(int x, int y, int button = 0);
  void Click(int x, int y, int button = 0);
  void Resize(int cols, int rows);

  std::string Screen(bool withStyles = false) const;
  // Waits until the screen satisfies the test; false (and the last screen in
  // *last) after the timeout.
  bool WaitFor(const std::function<bool(const std::string&)>& test, std::string* last = nullptr,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(15000)) const;
  bool WaitForText(const std::string& text, std::string* last = nullptr) const;
  // A tmux format value of the pane, such as "#{mouse_any_flag}".
  std::string Format(const std::string& format) const;
  // Where a text shows on the screen (cell column, row); (-1, -1) when it does not.
  std::pair<int, int> Find(const std::string& text) const;

 private:
  std::string Tmux(const std::vector<std::string>& args, int* status = nullptr) const;
  std::string m_socket;
};

// Runs a program to completion; its exit status, stdout in *out.
int RunProgram(const std::vector<std::string>& argv, std::string* out = nullptr,
               const std::map<std::string, std::string>& env = {});
