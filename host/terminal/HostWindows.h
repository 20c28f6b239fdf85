#pragma once

#include <memory>
#include <string>

#include "terminal/Platform.h"

// The host's frame and the library's two windows, created and destroyed in
// the documented order: the label tree (its creation opens the catalogue),
// then the article list, then the connections between them and the frame.

namespace termui {

class HostWindows {
 public:
  HostWindows();
  ~HostWindows();
  HostWindows(const HostWindows&) = delete;
  HostWindows& operator=(const HostWindows&) = delete;

  // Creates the windows; false with the library's reason when the catalogue
  // cannot be opened (nothing is left created then). A store other than the
  // SQLite catalogue (owned from here on) is opened first, so that the tree's
  // creation finds the facade ready on it.
  bool Create(CHostWnd::Handler frameHandler, CDB* store, std::string* error);
  // Destroys the windows, then the facade.
  void Destroy();

  CHostWnd& Frame() { return *m_frame; }
  CDARUTreeCtrl* Tree() { return m_tree.get(); }
  CDARUListCtrl* List() { return m_list.get(); }
  // Extra styles of a list row and the header's sort arrow, as the list keeps them.
  uint16_t RowStyle(int row) const;
  int SortArrow(int column) const;

 private:
  std::unique_ptr<CHostWnd> m_frame;      // owned
  std::unique_ptr<CDARUTreeCtrl> m_tree;  // owned; the label tree
  std::unique_ptr<CDARUListCtrl> m_list;  // owned; the article list
  bool m_facade = false;                  // the facade was created and must be destroyed
};

}  // namespace termui
