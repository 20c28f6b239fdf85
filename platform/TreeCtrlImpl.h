#pragma once

// The tree control's own data and helpers, shared by its source files
// (state, geometry, input, painting). Not part of the platform's interface.

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ImageList.h"
#include "platform/TreeCtrl.h"

namespace treectrl {

constexpr int kStateIconWidth = 16;
constexpr int kDragDistance = 4;

}  // namespace treectrl

struct CTreeCtrl::Node {
  uintptr_t key = 0;
  Node* parent = nullptr;
  std::vector<Node*> children;
  std::u16string text;
  int image = 0;
  int selectedImage = 0;
  UINT state = 0;
  LPARAM data = 0;
  int cChildren = 0;  // 1 forces an expand button without children
};

struct CTreeCtrl::Impl {
  std::unordered_map<uintptr_t, std::unique_ptr<Node>> nodes;
  Node root;  // parent of the top-level items
  Node* caret = nullptr;
  Node* drop = nullptr;
  int top = 0;
  UINT indent = 19;
  short itemHeight = 0;                     // 0: from the image list
  CImageList* normal = nullptr;             // borrowed
  CImageList* state = nullptr;              // borrowed, or checkImages
  std::unique_ptr<CImageList> checkImages;  // owned; the state images of TVS_CHECKBOXES
  HWND edit = nullptr;
  HTREEITEM editItem = nullptr;
  HTREEITEM pressed = nullptr;
  CPoint pressPoint;
  bool leftDown = false;
};

namespace treectrl {

inline HTREEITEM H(const void* node, uintptr_t key) { return node ? reinterpret_cast<HTREEITEM>(key) : nullptr; }

template <class NodeT>
void Walk(NodeT* n, std::vector<NodeT*>& out) {
  for (NodeT* c : n->children) {
    out.push_back(c);
    if (c->state & TVIS_EXPANDED) Walk(c, out);
  }
}

template <class NodeT>
inline int Depth(const NodeT* n) {
  int d = -1;
  for (const NodeT* p = n; p->parent != nullptr; p = p->parent) ++d;
  return d;
}

template <class NodeT>
inline bool HasKids(const NodeT* n) {
  return !n->children.empty() || n->cChildren == 1;
}

template <class NodeT>
inline bool Within(const NodeT* node, const NodeT* ancestor) {
  for (const NodeT* p = node; p != nullptr; p = p->parent)
    if (p == ancestor) return true;
  return false;
}

}  // namespace treectrl
