#include "shared/SubscriptionUpdate.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace hostshared {

namespace {

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

BackgroundUpdate::~BackgroundUpdate() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
  }
  CloseFd(m_out);
  CloseFd(m_err);
}

bool BackgroundUpdate::Start(const std::vector<std::string>& argv, std::string& error) {
  if (m_pid > 0) {
    error = "an update is running";
    return false;
  }
  if (argv.empty()) {
    error = "no program to run";
    return false;
  }
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (::pipe2(err, O_CLOEXEC) != 0) {
    error = std::strerror(errno);
    ::close(out[0]);
    ::close(out[1]);
    return false;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The terminal belongs to the screen: no input, and no signal from its keys.
    ::setsid();
    const int null = ::open("/dev/null", O_RDONLY);
    if (null >= 0) ::dup2(null, STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  if (pid < 0) {
    error = std::strerror(errno);
    ::close(out[0]);
    ::close(err[0]);
    return false;
  }
  m_pid = pid;
  m_out = out[0];
  m_err = err[0];
  ::fcntl(m_out, F_SETFL, ::fcntl(m_out, F_GETFL) | O_NONBLOCK);
  ::fcntl(m_err, F_SETFL, ::fcntl(m_err, F_GETFL) | O_NONBLOCK);
  m_output.clear();
  m_errors.clear();
  m_progress.clear();
  m_status = 0;
  return true;
}

bool BackgroundUpdate::Drain(int& fd, std::string& into) {
  bool changed = false;
  char buffer[4096];
  while (fd >= 0) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      into.append(buffer, static_cast<size_t>(n));
      changed = true;
    } else if (n == 0) {
      CloseFd(fd);
    } else {
      if (errno != EINTR) break;
    }
  }
  return changed;
}

bool BackgroundUpdate::Poll() {
  if (m_pid <= 0) return false;
  bool changed = Drain(m_out, m_output);
  if (Drain(m_err, m_errors)) {
    // The progress line is rewritten in place: the text after the last carriage return.
    const size_t end = m_errors.find_last_not_of(" \r\n");
    if (end != std::string::npos) {
      const size_t start = m_errors.find_last_of("\r\n", end);
      m_progress = m_errors.substr(start == std::string::npos ? 0 : start + 1,
                                   end + 1 - (start == std::string::npos ? 0 : start + 1));
    }
    // Only the last line matters; the rest need not pile up.
    if (m_errors.size() > 65536) m_errors.erase(0, m_errors.size() - 4096);
    changed = true;
  }
  int status = 0;
  if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
    // What is still in the pipes comes before the end.
    Drain(m_out, m_output);
    CloseFd(m_out);
    CloseFd(m_err);
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    m_pid = -1;
    changed = true;
  }
  return changed;
}

std::string BackgroundUpdate::StatusText() const {
  if (Running()) {
    // "updating: 3/10 fetched, 1/10 filed" as "正在更新订阅 3/10 fetched, 1/10 filed".
    const size_t at = m_progress.find(": ");
    return "正在更新订阅 " + (at == std::string::npos ? m_progress : m_progress.substr(at + 2));
  }
  auto number = [this](const char* key) {
    // A key of the report itself, not of one feed's row: indented once.
    const std::string pattern = std::string("\n  \"") + key + "\": ";
    const size_t at = m_output.find(pattern);
    return at == std::string::npos ? std::string("?")
                                   : std::to_string(std::atol(m_output.c_str() + at + pattern.size()));
  };
  // Status 1 is a report with failed feeds in it; beyond that nothing was reported.
  return m_status > 1 || m_output.empty()
             ? "订阅更新失败"
             : "订阅已更新: " + number("new") + " 篇新文章, " + number("failed") + " 个失败";
}

namespace {

// The labels whose items are expanded, by id.
std::vector<int> ExpandedLabels(CTreeCtrl& tree) {
  std::vector<int> ids;
  std::vector<HTREEITEM> pending{tree.GetRootItem()};
  while (!pending.empty()) {
    HTREEITEM at = pending.back();
    pending.pop_back();
    for (; at != nullptr; at = tree.GetNextSiblingItem(at)) {
      const CLabel* label = reinterpret_cast<const CLabel*>(tree.GetItemData(at));
      if (label != nullptr && (tree.GetItemState(at, TVIS_EXPANDED) & TVIS_EXPANDED)) ids.push_back(label->labelid);
      if (HTREEITEM child = tree.GetChildItem(at)) pending.push_back(child);
    }
  }
  return ids;
}

HTREEITEM ItemOfLabel(CTreeCtrl& tree, HTREEITEM from, int labelid) {
  std::vector<HTREEITEM> pending{from};
  while (!pending.empty()) {
    HTREEITEM at = pending.back();
    pending.pop_back();
    for (; at != nullptr; at = tree.GetNextSiblingItem(at)) {
      const CLabel* label = reinterpret_cast<const CLabel*>(tree.GetItemData(at));
      if (label != nullptr && label->labelid == labelid) return at;
      if (HTREEITEM child = tree.GetChildItem(at)) pending.push_back(child);
    }
  }
  return nullptr;
}

}  // namespace

bool ReloadLabelTree(CTreeCtrl& tree, CLabelTree& labels, bool openFeeds, HTREEITEM* reselected) {
  if (reselected != nullptr) *reselected = nullptr;
  const HTREEITEM selected = tree.GetSelectedItem();
  const CLabel* shown = selected ? reinterpret_cast<const CLabel*>(tree.GetItemData(selected)) : nullptr;
  const int shownId = shown != nullptr ? shown->labelid : 0;
  std::vector<int> expanded = ExpandedLabels(tree);
  if (openFeeds) expanded.push_back(kFavRSSLabelID);
  if (!labels.LoadLabelTree()) return false;
  tree.DeleteAllItems();
  labels.InitLabelTreeCtrl(&tree);
  tree.Expand(tree.GetRootItem(), TVE_EXPAND);
  for (int id : expanded)
    if (HTREEITEM item = ItemOfLabel(tree, tree.GetRootItem(), id)) tree.Expand(item, TVE_EXPAND);
  HTREEITEM again = shownId != 0 ? ItemOfLabel(tree, tree.GetRootItem(), shownId) : nullptr;
  tree.SelectItem(again != nullptr ? again : tree.GetRootItem());
  if (again != nullptr) tree.EnsureVisible(again);
  if (reselected != nullptr) *reselected = again;
  return true;
}

}  // namespace hostshared
