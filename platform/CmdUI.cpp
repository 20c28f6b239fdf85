#include "platform/CmdUI.h"

#include "platform/Menu.h"
#include "platform/MessageMap.h"
#include "platform/Wnd.h"

CCmdUI::CCmdUI()
    : m_nID(0),
      m_nIndex(0),
      m_pMenu(nullptr),
      m_pSubMenu(nullptr),
      m_pOther(nullptr),
      m_bEnableChanged(FALSE),
      m_bContinueRouting(FALSE),
      m_nIndexMax(0),
      m_pParentMenu(nullptr) {}

CCmdUI::~CCmdUI() = default;

void CCmdUI::Enable(BOOL bOn) {
  if (m_pMenu != nullptr) {
    m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
  } else if (m_pOther != nullptr) {
    m_pOther->EnableWindow(bOn);
  }
  m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) {
  if (m_pMenu != nullptr) {
    m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
  } else if (m_pOther != nullptr) {
    m_pOther->SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck), 0);
  }
}

void CCmdUI::SetRadio(BOOL bOn) { SetCheck(bOn ? 1 : 0); }

void CCmdUI::SetText(const std::u16string& text) {
  if (m_pMenu != nullptr) {
    const UINT state = m_pMenu->GetMenuState(m_nIndex, MF_BYPOSITION);
    if (state == 0xFFFFFFFFu) return;
    m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | (state & (MF_GRAYED | MF_DISABLED | MF_CHECKED)), m_nID, text);
  } else if (m_pOther != nullptr) {
    m_pOther->SetWindowText(text);
  }
}

void CCmdUI::ContinueRouting() { m_bContinueRouting = TRUE; }

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  if (pTarget == nullptr) return FALSE;
  m_bEnableChanged = FALSE;
  const BOOL handled = pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
  if (bDisableIfNoHndler && !m_bEnableChanged) {
    AFX_CMDHANDLERINFO info{nullptr};
    const BOOL hasHandler = pTarget->OnCmdMsg(m_nID, CN_COMMAND, this, &info);
    Enable(hasHandler);
  }
  return handled;
}

void DaruUpdateMenuUI(CMenu* pPopup, CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
  if (pPopup == nullptr || pTarget == nullptr) return;
  CCmdUI state;
  state.m_pMenu = pPopup;
  for (int index = 0; index < pPopup->GetMenuItemCount(); ++index) {
    state.m_nIndexMax = static_cast<UINT>(pPopup->GetMenuItemCount());
    state.m_nIndex = static_cast<UINT>(index);
    state.m_nID = pPopup->GetMenuItemID(index);
    if (state.m_nID == 0) continue;  // separator
    if (state.m_nID == 0xFFFFFFFFu) {
      DaruUpdateMenuUI(pPopup->GetSubMenu(index), pTarget, bDisableIfNoHndler);
      continue;
    }
    state.m_pSubMenu = nullptr;
    state.DoUpdate(pTarget, bDisableIfNoHndler && state.m_nID < 0xF000);
  }
}
