#pragma once

#include <string>
#include <vector>

#include "base/DaruApi.h"
#include "core/Records.h"

class CDB;
class CTreeCtrl;   // a tree window; the hierarchy only hands it on
struct _TREEITEM;  // a tree item handle (HTREEITEM) of the window layer

// Every label of the catalogue, in memory and linked into a tree, kept in step
// with the store: inserting, renaming, moving and deleting a label goes
// through here. Created and destroyed by the content facade.
class DARU_API CLabelTree {
 public:
  // The singleton; the first call creates it on the given store, later calls
  // ignore the argument.
  static CLabelTree* Instance(CDB* db);
  virtual ~CLabelTree();

  CLabelTree(const CLabelTree&) = delete;
  CLabelTree& operator=(const CLabelTree&) = delete;

  void SetDB(CDB* db) { m_pDB = db; }
  CLabel* GetHeadLabel() { return m_pHeadLabel; }
  CLabel* GetFavRSSLabel() { return m_pFavRSSLabel; }

  // Reads every label and links the tree. A label whose parent is unknown is
  // kept but stays outside the tree.
  bool LoadLabelTree();
  // A new last child of the parent; null when the store refuses it or the
  // parent has a child of that name already.
  CLabel* InsertLabel(CLabel* parent, std::u16string name);
  // The child of the parent with exactly this name, made when there is none,
  // also when another process is making it at the same moment: the catalogue
  // decides in one transaction. A label another process made joins the
  // hierarchy here. Null when the store fails.
  CLabel* FindOrInsertLabel(CLabel* parent, std::u16string name);
  // Renames the label and, when the parent id differs, re-links it as the last
  // child of that label. Refused when another child of the parent it ends
  // under has the name.
  bool UpdateLabel(CLabel* label, std::u16string name, unsigned parentId);
  // Deletes the one label (its children stay where they are). The object stays
  // valid until the hierarchy goes, since tree items may still point to it.
  bool DeleteLabel(CLabel* label);
  // Moves the label with its branch to the end of the new parent's children.
  // Refused for the head label, for a target inside the label's own branch
  // and for a target with another child of the label's name.
  bool MoveLabel(CLabel* label, CLabel* newParent);

  // The label with the id, or null; labels outside the tree included.
  CLabel* FindLabel(int labelid);
  // The parent's child with the name, or null. Sibling names are unique: a
  // name is how people tell labels apart.
  CLabel* FindChildLabel(const CLabel* parent, const std::u16string& name);
  // Every label in load and insert order (borrowed pointers).
  std::vector<CLabel*> GetAllLabels() { return m_labels; }

  // Puts one item per label of the hierarchy into the tree window, depth
  // first, and expands the first level. In a label tree window the label of
  // its default id becomes its default. The items are made by the windows'
  // CLabelItemWork (facade/LabelItemWork.h).
  void InitLabelTreeCtrl(CTreeCtrl* pTreeCtrl);

 protected:
  CLabelTree();

 private:
  friend class CLabelTreeTestAccess;

  // Items for the label and its following siblings, with their branches, under the parent item.
  void InitChildNode(CLabel* label, _TREEITEM* parentItem, CTreeCtrl* pTreeCtrl);
  void AppendChild(CLabel* parent, CLabel* child);
  // Takes one label of each parent loop out of the tree.
  void CutLoops();
  static void Unlink(CLabel* parent, CLabel* child);
  // True when candidate is the label itself or lies in its branch.
  bool IsInBranch(CLabel* label, CLabel* candidate) const;
  void RetireAll();

  CDB* m_pDB;                      // borrowed: the facade owns the store
  CLabel* m_pHeadLabel;            // borrowed from m_labels
  CLabel* m_pFavRSSLabel;          // borrowed from m_labels
  std::vector<CLabel*> m_labels;   // owned, every element
  std::vector<CLabel*> m_retired;  // owned: labels taken out of the hierarchy, kept alive for borrowers

  static CLabelTree* _instance;
};
