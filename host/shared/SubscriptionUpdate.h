#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "shared/HostPlatform.h"

// Runs 'daru update' as a process of its own while the windows go on: it has
// its own connection to the catalogue, and the windows keep theirs. The host
// polls it for the progress line and, at the end, for its report.

namespace hostshared {

class BackgroundUpdate {
 public:
  BackgroundUpdate() = default;
  // An update still running is stopped and waited for.
  ~BackgroundUpdate();
  BackgroundUpdate(const BackgroundUpdate&) = delete;
  BackgroundUpdate& operator=(const BackgroundUpdate&) = delete;

  // Starts the program (argv[0] is its path) with its output read here;
  // false with the reason when it cannot start or one is running already.
  bool Start(const std::vector<std::string>& argv, std::string& error);
  bool Running() const { return m_pid > 0; }
  // Reads what has come and notices the end; true when something changed.
  bool Poll();

  // The last progress line written, as written.
  const std::string& Progress() const { return m_progress; }
  // Once it has ended: its exit status and what it printed on stdout.
  int Status() const { return m_status; }
  const std::string& Output() const { return m_output; }

  // What the status line says of it: the progress while it runs ("正在更新订阅
  // 3/10 ..."), then how many new articles came and how many feeds failed.
  std::string StatusText() const;

 private:
  bool Drain(int& fd, std::string& into);

  pid_t m_pid = -1;
  int m_out = -1;  // owned: the child's stdout
  int m_err = -1;  // owned: the child's stderr
  std::string m_output;
  std::string m_errors;
  std::string m_progress;
  int m_status = 0;
};

// Reads the labels from the catalogue again and fills the tree with them,
// keeping the labels that were open open (and the favourite feeds, where an
// update's new channels appear, when openFeeds) and the selected label
// selected, or else the root. The old labels stay alive, so items that point
// to them are safe until refilled. False, with the tree as it was, when the
// catalogue cannot be read. *reselected gets the item of the label that was
// selected, or null.
bool ReloadLabelTree(CTreeCtrl& tree, CLabelTree& labels, bool openFeeds, HTREEITEM* reselected);

}  // namespace hostshared
