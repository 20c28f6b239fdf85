#include "platform/MessageMap.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

CCmdTarget::CCmdTarget() = default;
CCmdTarget::~CCmdTarget() = default;

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

namespace {

bool Matches(const AFX_MSGMAP_ENTRY& e, UINT nMessage, UINT nCode, UINT nID) {
  return e.nMessage == nMessage && e.nCode == nCode && nID >= e.nID && nID <= e.nLastID;
}

}  // namespace

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn != nullptr; ++e)
      if (Matches(*e, nMessage, nCode, nID)) return e;
  }
  return nullptr;
}

bool CCmdTarget::DispatchToMap(UINT nMessage, UINT nCode, UINT nID, AFX_MSGCALL& call) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn != nullptr; ++e)
      if (Matches(*e, nMessage, nCode, nID) && e->pfn(this, call)) return true;
  }
  return false;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, UINT nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
  if (pHandlerInfo != nullptr) {
    if (FindMessageEntry(WM_COMMAND, nCode, nID) == nullptr) return FALSE;
    pHandlerInfo->pTarget = this;
    return TRUE;
  }
  AFX_MSGCALL call{WM_COMMAND, MAKEWPARAM(nID, nCode == CN_UPDATE_COMMAND_UI ? 0 : nCode), 0, 0, pExtra};
  return DispatchToMap(WM_COMMAND, nCode, nID, call) ? TRUE : FALSE;
}
