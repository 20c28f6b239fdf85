#include "daru/LabelCommands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <set>

#include "daru/Capture.h"
#include "daru/Request.h"
#include "daru/Session.h"
#include "daru/TerminalText.h"

namespace {

using nlohmann::json;

constexpr const char* kLabelHelp = "a label id or name";

// Deeper branches are listed flat with the labels outside the tree: the
// output (and the program's stack) stays bounded whatever the catalogue holds.
constexpr int kMaxShownDepth = 200;

json LabelNode(Session& s, CLabel* label, std::set<CLabel*>& seen, int depth = 0) {
  seen.insert(label);
  json node = LabelJson(label);
  node["articles"] = std::max(0, s.CountArticles(label));
  node["children"] = json::array();
  if (depth >= kMaxShownDepth) return node;
  for (CLabel* child = label->firstChild; child; child = child->nextSibling)
    if (!seen.count(child)) node["children"].push_back(LabelNode(s, child, seen, depth + 1));
  return node;
}

Report Labels(Session& s) {
  json data;
  const size_t count = s.Tree()->GetAllLabels().size();
  std::set<CLabel*> seen;
  CLabel* head = s.Tree()->GetHeadLabel();
  data["tree"] = head ? LabelNode(s, head, seen) : json();
  data["outside"] = json::array();
  std::vector<CLabel*> all = s.Tree()->GetAllLabels();
  // Branches whose parent is missing, then whatever is left (labels whose parents loop).
  for (CLabel* label : all)
    if (!seen.count(label) && label->parent == nullptr) data["outside"].push_back(LabelNode(s, label, seen));
  for (CLabel* label : all) {
    if (seen.count(label)) continue;
    seen.insert(label);
    json node = LabelJson(label);
    node["articles"] = std::max(0, s.CountArticles(label));
    node["children"] = json::array();
    data["outside"].push_back(node);
  }
  return Listing(Report::Kind::Labels, data, count);
}

void RefuseReserved(const CLabel* label, const char* what) {
  if (label->labelid < kFirstUserLabelID)
    throw HostError("label " + Named(label) + " belongs to the catalogue and cannot be " + what);
}

// Why the hierarchy refused a label the name under the parent: another
// label of that name is there already.
std::string TakenName(Session& s, CLabel* parent, const std::string& name, const CLabel* except = nullptr) {
  CLabel* taken = s.Tree()->FindChildLabel(parent, FromUtf8(name));
  if (!taken || taken == except) return "";
  return Named(parent) + " has a label named " + Quoted(taken->name) + " already (#" + std::to_string(taken->labelid) +
         ")";
}

bool InBranch(Session& s, const CLabel* top, const CLabel* label) {
  // Bounded: the walk ends even on parents that loop.
  size_t steps = s.Tree()->GetAllLabels().size() + 1;
  for (; label && steps > 0; label = label->parent, --steps)
    if (label == top) return true;
  return label != nullptr;
}

// The branch of the label, each label after every label below it. Iterative,
// and each label once: a branch may be deep, and a damaged catalogue's loops
// must not make it endless.
std::vector<CLabel*> BranchDeepestFirst(CLabel* top) {
  std::vector<CLabel*> order;  // each label before the labels below it
  std::set<CLabel*> seen{top};
  std::vector<CLabel*> pending{top};
  while (!pending.empty()) {
    CLabel* label = pending.back();
    pending.pop_back();
    order.push_back(label);
    for (CLabel* child = label->firstChild; child; child = child->nextSibling)
      if (seen.insert(child).second) pending.push_back(child);
  }
  return {order.rbegin(), order.rend()};
}

// The ids of the articles filed anywhere in the branch.
std::set<int> ArticlesIn(Session& s, const std::vector<CLabel*>& branch) {
  std::set<int> ids;
  for (CLabel* l : branch) {
    if (s.CountArticles(l) < 0)
      throw HostError("cannot read the articles of " + Named(l) + ": " + s.LastError("query failed"));
    for (CArticle* a : s.Daru()->GetArticleList()) ids.insert(a->articleid);
  }
  return ids;
}

// Asks on the terminal; anything but yes is no.
bool Confirmed(const std::string& question) {
  std::cerr << TerminalSafe(question) << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes";
}

}  // namespace

LabelsCommand::LabelsCommand() : Command("labels", "show the label tree with ids and article counts") {}

Report LabelsCommand::Run(Context& c) { return Labels(c.Catalogue()); }

LabelAddCommand::LabelAddCommand() : Command("label add", "add a label") {}

void LabelAddCommand::Define(CLI::App& cmd) {
  cmd.add_option("NAME", m_name, "the new label's name")->required();
  cmd.add_option("--parent", m_parent, "the parent label (default: the head label)");
}

void LabelAddCommand::Check() {
  if (m_name.empty()) throw UsageError("a label needs a name");
}

Report LabelAddCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  CLabel* parent = m_parent.empty() ? s.Tree()->GetHeadLabel() : s.ResolveLabel(m_parent);
  if (!parent) throw HostError("the catalogue has no head label");
  CLabel* label = s.Tree()->InsertLabel(parent, FromUtf8(m_name));
  if (!label) {
    const std::string taken = TakenName(s, parent, m_name);
    throw HostError("cannot add the label: " + (taken.empty() ? s.LastError("the catalogue refused it") : taken));
  }
  return Message("added label " + Named(label) + " under " + Named(parent), {{"label", LabelJson(label)}});
}

LabelRenameCommand::LabelRenameCommand() : Command("label rename", "rename a label") {}

void LabelRenameCommand::Define(CLI::App& cmd) {
  cmd.add_option("LABEL", m_label, kLabelHelp)->required();
  cmd.add_option("NAME", m_name, "the new name")->required();
}

void LabelRenameCommand::Check() {
  if (m_name.empty()) throw UsageError("a label needs a name");
}

Report LabelRenameCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  CLabel* label = s.ResolveLabel(m_label);
  RefuseReserved(label, "renamed");
  const std::string old = Named(label);
  if (!s.Tree()->UpdateLabel(label, FromUtf8(m_name), static_cast<unsigned>(label->toplayer))) {
    const std::string taken = label->parent ? TakenName(s, label->parent, m_name, label) : "";
    throw HostError("cannot rename label " + old + ": " +
                    (taken.empty() ? s.LastError("the catalogue refused it") : taken));
  }
  return Message("renamed label " + old + " to " + Quoted(label->name), {{"label", LabelJson(label)}});
}

LabelMoveCommand::LabelMoveCommand() : Command("label move", "move a label with its branch under another label") {}

void LabelMoveCommand::Define(CLI::App& cmd) {
  cmd.add_option("LABEL", m_label, kLabelHelp)->required();
  cmd.add_option("PARENT", m_parent, "the new parent label")->required();
}

Report LabelMoveCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  CLabel* label = s.ResolveLabel(m_label);
  CLabel* parent = s.ResolveLabel(m_parent);
  if (label == s.Tree()->GetHeadLabel()) throw HostError("the head label cannot be moved");
  if (InBranch(s, label, parent))
    throw HostError("cannot move label " + Named(label) + " under itself or its own branch");
  if (!s.Tree()->MoveLabel(label, parent)) {
    const std::string taken = label->parent == parent ? "" : TakenName(s, parent, ToUtf8(label->name), label);
    throw HostError("cannot move label " + Named(label) + ": " +
                    (taken.empty() ? s.LastError("the catalogue refused it") : taken));
  }
  return Message("moved label " + Named(label) + " under " + Named(parent), {{"label", LabelJson(label)}});
}

LabelRemoveCommand::LabelRemoveCommand() : Command("label rm", "remove a label and every label below it") {}

void LabelRemoveCommand::Define(CLI::App& cmd) {
  cmd.add_option("LABEL", m_label, kLabelHelp)->required();
  cmd.add_flag("--yes,-y", m_yes, "do not ask, even when the branch holds articles");
}

Report LabelRemoveCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  CLabel* label = s.ResolveLabel(m_label);
  RefuseReserved(label, "removed");
  std::vector<CLabel*> branch = BranchDeepestFirst(label);
  const std::string name = Named(label);
  const std::set<int> held = ArticlesIn(s, branch);
  if (!held.empty() && !m_yes) {
    std::string what = "label " + name +
                       (branch.size() > 1 ? " with " + std::to_string(branch.size() - 1) + " label(s) below it" : "") +
                       " holds " + std::to_string(held.size()) + " article(s)";
    if (!isatty(STDIN_FILENO)) throw UsageError(what + "; give --yes to remove it (nothing was removed)");
    if (!Confirmed("Remove " + what + "? Articles filed nowhere else go with it."))
      throw HostError("label " + name + " was not removed");
  }
  json removed = json::array();
  for (CLabel* l : branch) {
    // As in the label tree window: descendants first, their failures not fatal.
    if (s.Tree()->DeleteLabel(l)) {
      removed.push_back(l->labelid);
    } else if (l == label) {
      throw HostError("cannot remove label " + name + ": " + s.LastError("the catalogue refused it"));
    }
  }
  // An article goes with the labels only when it was filed under no other.
  json gone = json::array();
  for (int id : held) {
    CArticle pattern;
    pattern.articleid = id;
    if (s.Daru()->QueryArticle(pattern, kArticleMaskID, false) == 0) gone.push_back(id);
  }
  std::string text = "removed label " + name;
  if (removed.size() > 1) text += " and " + std::to_string(removed.size() - 1) + " label(s) below it";
  text += "; " + std::to_string(gone.size()) + " article(s) filed under no other label went with them";
  if (held.size() > gone.size()) text += ", " + std::to_string(held.size() - gone.size()) + " stay under other labels";
  return Message(text,
                 {{"removed", removed}, {"articles_removed", gone}, {"articles_kept", held.size() - gone.size()}});
}
