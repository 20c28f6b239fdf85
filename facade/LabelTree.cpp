#include "facade/LabelTree.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <utility>

#include "facade/LabelItemWork.h"
#include "storage/DB.h"

CLabelTree* CLabelTree::_instance = nullptr;

namespace {

// Constant-initialised, so the windows may install their work from any
// load-time initialiser, whatever the order.
constinit const CLabelItemWork* g_labelItemWork = nullptr;

}  // namespace

void InstallLabelItemWork(const CLabelItemWork* work) { g_labelItemWork = work; }

namespace {

// The first label of each id. The engine hands out ids in sequence, so they
// are usually dense and a table by id serves; otherwise a sorted list does.
class LabelIndex {
 public:
  explicit LabelIndex(const std::vector<CLabel*>& labels) {
    int maxId = 0;
    bool positive = true;
    for (const CLabel* label : labels) {
      positive = positive && label->labelid > 0;
      maxId = std::max(maxId, label->labelid);
    }
    if (positive && static_cast<size_t>(maxId) <= 4 * labels.size() + 1024) {
      m_table.assign(static_cast<size_t>(maxId) + 1, nullptr);
      for (CLabel* label : labels)
        if (m_table[label->labelid] == nullptr) m_table[label->labelid] = label;
      return;
    }
    m_sorted.reserve(labels.size());
    for (CLabel* label : labels) m_sorted.emplace_back(label->labelid, label);
    std::stable_sort(m_sorted.begin(), m_sorted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  }

  CLabel* Find(int labelid) const {
    if (!m_table.empty())
      return labelid > 0 && static_cast<size_t>(labelid) < m_table.size() ? m_table[labelid] : nullptr;
    auto found = std::lower_bound(m_sorted.begin(), m_sorted.end(), labelid,
                                  [](const auto& entry, int id) { return entry.first < id; });
    return found != m_sorted.end() && found->first == labelid ? found->second : nullptr;
  }

 private:
  std::vector<CLabel*> m_table;                   // by id; borrowed pointers
  std::vector<std::pair<int, CLabel*>> m_sorted;  // by id, first of equal ids first; borrowed pointers
};

}  // namespace

CLabelTree::CLabelTree() : m_pDB(nullptr), m_pHeadLabel(nullptr), m_pFavRSSLabel(nullptr) {}

CLabelTree* CLabelTree::Instance(CDB* db) {
  if (_instance == nullptr) {
    _instance = new (std::nothrow) CLabelTree();
    if (_instance) _instance->m_pDB = db;
  }
  return _instance;
}

CLabelTree::~CLabelTree() {
  for (CLabel* label : m_labels) delete label;
  for (CLabel* label : m_retired) delete label;
  m_labels.clear();
  m_retired.clear();
  if (_instance == this) _instance = nullptr;
}

void CLabelTree::RetireAll() {
  m_retired.insert(m_retired.end(), m_labels.begin(), m_labels.end());
  m_labels.clear();
  m_pHeadLabel = nullptr;
  m_pFavRSSLabel = nullptr;
}

bool CLabelTree::LoadLabelTree() {
  if (m_pDB == nullptr) return false;
  // Read into a list of our own, so a failed read leaves the hierarchy as it was.
  std::vector<CLabel*> loaded;
  if (!m_pDB->QueryLabel(loaded, CLabel(), 0)) {
    for (CLabel* label : loaded) delete label;
    return false;
  }
  // A reload keeps the earlier objects alive: tree items may still point to them.
  RetireAll();
  m_labels = std::move(loaded);
  for (CLabel* label : m_labels) label->parent = label->nextSibling = label->firstChild = nullptr;

  // Rows come ordered by parent id, so one parent's children are consecutive
  // and the parent is looked up once per group. The lookup goes through an
  // index of the labels sorted by id, the first of equal ids first (what a
  // search from the start would find): a search per group would make a load
  // of thousands of labels quadratic.
  const LabelIndex byId(m_labels);
  CLabel* parent = nullptr;
  CLabel* lastAppended = nullptr;
  for (CLabel* label : m_labels) {
    if (label->labelid == kFavRSSLabelID) m_pFavRSSLabel = label;
    if (label->toplayer == 0) {
      m_pHeadLabel = label;
      continue;
    }
    if (parent == nullptr || parent->labelid != label->toplayer) {
      parent = byId.Find(label->toplayer);
      lastAppended = nullptr;
      if (parent == nullptr) continue;
    }
    // A row naming itself as parent would make a loop; it stays outside the tree.
    if (parent == label) continue;
    if (lastAppended) {
      lastAppended->nextSibling = label;
      label->parent = parent;
    } else {
      AppendChild(parent, label);
    }
    lastAppended = label;
  }
  CutLoops();
  return true;
}

void CLabelTree::CutLoops() {
  // A damaged catalogue (or two processes that once moved two labels under
  // each other) may hold parents that loop. Every walk over the tree must
  // end, so one label of each loop is taken out of its parent's chain and
  // stays outside the tree, like a label whose parent is missing. Iterative:
  // a chain of labels may be as deep as the catalogue is long.
  enum : unsigned char { kNew, kOnPath, kDone };
  std::vector<unsigned char> state(m_labels.size(), kNew);
  std::unordered_map<const CLabel*, size_t> index;
  index.reserve(m_labels.size());
  for (size_t i = 0; i < m_labels.size(); ++i) index.emplace(m_labels[i], i);
  std::vector<CLabel*> path;
  for (size_t i = 0; i < m_labels.size(); ++i) {
    path.clear();
    for (CLabel* at = m_labels[i]; at;) {
      auto found = index.find(at);
      if (found == index.end()) break;
      unsigned char& s = state[found->second];
      if (s == kDone) break;
      if (s == kOnPath) {
        Unlink(at->parent, at);
        break;
      }
      s = kOnPath;
      path.push_back(at);
      at = at->parent;
    }
    for (CLabel* on : path) state[index[on]] = kDone;
  }
}

CLabel* CLabelTree::InsertLabel(CLabel* parent, std::u16string name) {
  if (parent == nullptr || m_pDB == nullptr) return nullptr;
  if (FindChildLabel(parent, name)) return nullptr;
  CLabel* label = new CLabel();
  label->name = std::move(name);
  label->labelid = 0;
  label->toplayer = parent->labelid;
  label->parent = parent;
  if (!m_pDB->AddLabel(*label)) {
    delete label;
    return nullptr;
  }
  m_labels.push_back(label);
  AppendChild(parent, label);
  return label;
}

CLabel* CLabelTree::FindOrInsertLabel(CLabel* parent, std::u16string name) {
  if (parent == nullptr || m_pDB == nullptr) return nullptr;
  CLabel row;
  row.name = std::move(name);
  row.toplayer = parent->labelid;
  if (m_pDB->FindOrAddLabel(row) < 0) return nullptr;
  if (CLabel* known = FindLabel(row.labelid)) return known;
  CLabel* label = new CLabel(row);
  label->parent = parent;
  m_labels.push_back(label);
  AppendChild(parent, label);
  return label;
}

bool CLabelTree::UpdateLabel(CLabel* label, std::u16string name, unsigned parentId) {
  if (label == nullptr || m_pDB == nullptr) return false;
  const int newParentId = static_cast<int>(parentId);
  const int oldParentId = label->toplayer;
  const bool moving = newParentId != oldParentId;
  CLabel* target = moving ? FindLabel(newParentId) : label->parent;
  if (moving && target && IsInBranch(label, target)) return false;  // would cut the branch off the tree
  if (CLabel* same = target ? FindChildLabel(target, name) : nullptr; same && same != label) return false;
  // Only what changes is written, so a rename and a move of the same label by
  // another process both hold; the store also checks the move against the
  // catalogue as it is now.
  CLabel row = *label;
  row.name = std::move(name);
  row.toplayer = newParentId;
  bool written;
  if (moving && row.name != label->name)
    written = m_pDB->UpdateLabel(row);
  else if (moving)
    written = m_pDB->MoveLabel(row);
  else
    written = m_pDB->RenameLabel(row);
  if (!written) return false;
  label->name = row.name;
  label->toplayer = row.toplayer;
  if (row.toplayer == oldParentId) return true;

  if (label->parent) Unlink(label->parent, label);
  CLabel* newParent = FindLabel(row.toplayer);
  if (newParent == nullptr || IsInBranch(label, newParent)) return false;  // stays out of the tree
  AppendChild(newParent, label);
  return true;
}

bool CLabelTree::MoveLabel(CLabel* label, CLabel* newParent) {
  if (label == nullptr || newParent == nullptr || m_pDB == nullptr) return false;
  if (label->toplayer == 0 || label == m_pHeadLabel) return false;
  if (std::find(m_labels.begin(), m_labels.end(), newParent) == m_labels.end()) return false;
  if (IsInBranch(label, newParent)) return false;
  if (CLabel* same = FindChildLabel(newParent, label->name); same && same != label) return false;

  CLabel row = *label;
  row.toplayer = newParent->labelid;
  if (!m_pDB->MoveLabel(row)) return false;
  label->toplayer = row.toplayer;
  label->name = row.name;  // the stored name: another process may have renamed it
  // A label outside the tree has no chain to leave; the move brings it in.
  if (label->parent) Unlink(label->parent, label);
  AppendChild(newParent, label);
  return true;
}

bool CLabelTree::DeleteLabel(CLabel* label) {
  if (label == nullptr || m_pDB == nullptr) return false;
  if (!m_pDB->DeleteLabel(*label)) return false;
  CLabel* parent = FindLabel(label->toplayer);
  if (parent == nullptr) return false;
  Unlink(parent, label);

  auto it = std::find_if(m_labels.begin(), m_labels.end(), [&](CLabel* l) { return l->labelid == label->labelid; });
  if (it != m_labels.end()) {
    CLabel* removed = *it;
    m_labels.erase(it);
    m_retired.push_back(removed);
    // The feed capture files new channels under this label; it must not use a deleted one.
    if (removed == m_pFavRSSLabel) m_pFavRSSLabel = nullptr;
  }
  return true;
}

CLabel* CLabelTree::FindLabel(int labelid) {
  for (CLabel* label : m_labels)
    if (label->labelid == labelid) return label;
  return nullptr;
}

CLabel* CLabelTree::FindChildLabel(const CLabel* parent, const std::u16string& name) {
  if (parent == nullptr) return nullptr;
  for (CLabel* child = parent->firstChild; child; child = child->nextSibling)
    if (child->name == name) return child;
  return nullptr;
}

void CLabelTree::AppendChild(CLabel* parent, CLabel* child) {
  child->parent = parent;
  child->nextSibling = nullptr;
  if (parent->firstChild == nullptr) {
    parent->firstChild = child;
    return;
  }
  CLabel* last = parent->firstChild;
  while (last->nextSibling) last = last->nextSibling;
  last->nextSibling = child;
}

void CLabelTree::Unlink(CLabel* parent, CLabel* child) {
  if (parent->firstChild == child) {
    parent->firstChild = child->nextSibling;
  } else {
    for (CLabel* prev = parent->firstChild; prev; prev = prev->nextSibling) {
      if (prev->nextSibling == child) {
        prev->nextSibling = child->nextSibling;
        break;
      }
    }
  }
  child->nextSibling = nullptr;
  child->parent = nullptr;
}

bool CLabelTree::IsInBranch(CLabel* label, CLabel* candidate) const {
  // Bounded, so parent links that loop (from a damaged catalogue) cannot hang us;
  // a walk that does not end counts as inside.
  size_t steps = m_labels.size() + m_retired.size() + 1;
  for (CLabel* at = candidate; at; at = at->parent) {
    if (at == label || steps-- == 0) return true;
  }
  return false;
}

void CLabelTree::InitLabelTreeCtrl(CTreeCtrl* pTreeCtrl) {
  const CLabelItemWork* work = g_labelItemWork;
  if (work == nullptr || pTreeCtrl == nullptr || m_pHeadLabel == nullptr) return;
  _TREEITEM* root = work->insertLabelItem(pTreeCtrl, m_pHeadLabel, nullptr);
  if (root == nullptr) return;
  InitChildNode(m_pHeadLabel->firstChild, root, pTreeCtrl);
  work->expandChildren(pTreeCtrl, root);
}

void CLabelTree::InitChildNode(CLabel* label, _TREEITEM* parentItem, CTreeCtrl* pTreeCtrl) {
  const CLabelItemWork* work = g_labelItemWork;
  if (work == nullptr) return;
  // Depth first with a stack of our own: a hierarchy as deep as a damaged
  // catalogue can make it costs no call stack, and a chain of links that
  // loops ends once every label has had its item.
  std::vector<std::pair<CLabel*, _TREEITEM*>> pending{{label, parentItem}};
  size_t budget = m_labels.size() + m_retired.size();
  while (!pending.empty()) {
    CLabel* current = pending.back().first;
    if (current == nullptr) {
      pending.pop_back();
      continue;
    }
    _TREEITEM* const parent = pending.back().second;
    pending.back().first = current->nextSibling;
    if (budget-- == 0) return;
    _TREEITEM* item = work->insertLabelItem(pTreeCtrl, current, parent);
    if (item == nullptr) return;
    if (current->firstChild) pending.emplace_back(current->firstChild, item);
  }
}
