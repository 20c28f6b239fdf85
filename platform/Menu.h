#pragma once

#include <string>

#include "platform/RuntimeClass.h"
#include "platform/UserInteraction.h"
#include "platform/WinUser.h"

class CWnd;

// Menus: loaded from the resource chain or built in code, with items,
// separators and popups and their enabled and checked states.
class DARU_API CMenu : public CObject {
  DECLARE_DYNAMIC(CMenu)
 public:
  CMenu();
  ~CMenu() override;  // destroys the menu it holds
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  HMENU m_hMenu;  // owned; null when empty

  BOOL LoadMenu(UINT nIDResource);
  BOOL CreateMenu();
  BOOL CreatePopupMenu();
  // Destroys the menu and its popups.
  BOOL DestroyMenu();
  BOOL Attach(HMENU hMenu);
  HMENU Detach();
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }
  // The object owning the handle, or a shared non-owning one; null for an unknown handle.
  static CMenu* FromHandle(HMENU hMenu);

  // With MF_POPUP, nIDNewItem is the HMENU of the popup, which this menu then owns.
  BOOL AppendMenu(UINT nFlags, UINT_PTR nIDNewItem = 0, const std::u16string& text = u"");
  BOOL InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, const std::u16string& text = u"");
  BOOL ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem = 0, const std::u16string& text = u"");
  BOOL RemoveMenu(UINT nPosition, UINT nFlags);
  BOOL DeleteMenu(UINT nPosition, UINT nFlags);

  int GetMenuItemCount() const;
  // The command id; 0 for a separator, 0xFFFFFFFF for a popup or a bad position.
  UINT GetMenuItemID(int nPos) const;
  // MF_ flags of the item (by command or by position); 0xFFFFFFFF when there is no such item.
  UINT GetMenuState(UINT nID, UINT nFlags) const;
  std::u16string GetMenuString(UINT nIDItem, UINT nFlags) const;
  CMenu* GetSubMenu(int nPos) const;
  // Returns the previous MF_GRAYED / MF_DISABLED state, 0xFFFFFFFF when there is no such item.
  UINT EnableMenuItem(UINT nIDEnableItem, UINT nEnable);
  UINT CheckMenuItem(UINT nIDCheckItem, UINT nCheck);

  // Shows the popup: the owner gets WM_INITMENUPOPUP, the user chooses, and
  // the choice arrives at the owner as WM_COMMAND after the menu has closed
  // (with TPM_RETURNCMD it is returned instead). FALSE when dismissed.
  BOOL TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect = nullptr);

  // The menu as the user sees it.
  CPopupMenuView View() const;
};

// How many menus exist now; tests use it to find leaks.
int DaruMenuCount();  // tests only
