#pragma once

#include <string>

#include "platform/WinTypes.h"

class CCmdTarget;
class CMenu;
class CWnd;

// The update-UI request for one command: a handler enables, checks or
// renames the menu item (or control) it stands for.
class DARU_API CCmdUI {
 public:
  CCmdUI();
  virtual ~CCmdUI();

  UINT m_nID;
  UINT m_nIndex;
  CMenu* m_pMenu;     // not owned; the menu holding the item, or null
  CMenu* m_pSubMenu;  // not owned; the popup the item opens, or null
  CWnd* m_pOther;     // not owned; a control standing for the command, or null
  BOOL m_bEnableChanged;
  BOOL m_bContinueRouting;
  UINT m_nIndexMax;
  CMenu* m_pParentMenu;  // not owned

  virtual void Enable(BOOL bOn = TRUE);
  virtual void SetCheck(int nCheck = 1);
  virtual void SetRadio(BOOL bOn = TRUE);
  virtual void SetText(const std::u16string& text);
  void ContinueRouting();

  // Asks the target's update handler. When no handler set the enabled state
  // and bDisableIfNoHndler is set, the item is enabled exactly when the
  // target has a command handler for it.
  BOOL DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
};

// Runs the update-UI pass over every command item of the popup and its popups.
DARU_API void DaruUpdateMenuUI(CMenu* pPopup, CCmdTarget* pTarget, BOOL bDisableIfNoHndler = TRUE);
