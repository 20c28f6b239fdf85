#pragma once

#include "platform/RuntimeClass.h"
#include "platform/WinUser.h"

// Message maps: per class an ordered table of (message or notification, id,
// handler). Dispatch walks the most derived class's table first, entry by
// entry, then its base class's, so the first matching entry wins and a class
// falls back to its base for anything it does not handle.

class CCmdTarget;
class CCmdUI;

// Command notification codes as OnCmdMsg sees them.
constexpr UINT CN_COMMAND = 0;
constexpr UINT CN_UPDATE_COMMAND_UI = 0xFFFFFFFFu;

// One message on its way to a handler.
struct AFX_MSGCALL {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result;
  void* pExtra;  // the CCmdUI of an update-UI pass; not owned
};

// Calls the handler; false when the handler declined (the _EX forms).
using AFX_PTHUNK = bool (*)(CCmdTarget* pTarget, AFX_MSGCALL& call);

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;  // WM_..., WM_COMMAND for commands and update UI, WM_REFLECT_BASE + WM_NOTIFY for reflected ones
  UINT nCode;     // notification or command code
  UINT nID;       // first control or command id
  UINT nLastID;   // last id of the range
  AFX_PTHUNK pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

struct AFX_CMDHANDLERINFO {
  CCmdTarget* pTarget;
};

class DARU_API CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  CCmdTarget();
  ~CCmdTarget() override;

  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;

  // Routes a command (CN_COMMAND) or an update-UI request (CN_UPDATE_COMMAND_UI,
  // pExtra the CCmdUI) through the message map. With pHandlerInfo only asks
  // whether there is a handler and calls nothing.
  virtual BOOL OnCmdMsg(UINT nID, UINT nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);

  // The first entry for the message, code and id, searching this class's
  // table and then its bases'; null when there is none.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
  // Calls the first matching entry that accepts; false when none did.
  bool DispatchToMap(UINT nMessage, UINT nCode, UINT nID, AFX_MSGCALL& call);
};

#define DECLARE_MESSAGE_MAP()                       \
 public:                                            \
  static const AFX_MSGMAP* GetThisMessageMap();     \
  const AFX_MSGMAP* GetMessageMap() const override; \
                                                    \
 protected:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = theClass;                                    \
    using TheBaseClass = baseClass;                                                 \
    static const AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                       \
  { 0, 0, 0, 0, nullptr }                                                                       \
  }                                                                                             \
  ;                                                                                             \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
  return &messageMap;                                                                           \
  }

#define DARU_THUNK(body) [](CCmdTarget* pTarget_, AFX_MSGCALL& call_) -> bool { body }
#define DARU_THIS static_cast<ThisClass*>(pTarget_)

// void memberFxn()
#define ON_COMMAND(id, memberFxn)                                         \
  {                                                                       \
    WM_COMMAND, CN_COMMAND, static_cast<UINT>(id), static_cast<UINT>(id), \
        DARU_THUNK((void)call_; DARU_THIS->memberFxn(); return true;)     \
  }                                                                       \
  ,
// void memberFxn(UINT id)
#define ON_COMMAND_RANGE(id, idLast, memberFxn)                                                 \
  {                                                                                             \
    WM_COMMAND, CN_COMMAND, static_cast<UINT>(id), static_cast<UINT>(idLast),                   \
        DARU_THUNK(DARU_THIS->memberFxn(static_cast<UINT>(LOWORD(call_.wParam))); return true;) \
  }                                                                                             \
  ,
// void memberFxn(CCmdUI* pCmdUI)
#define ON_UPDATE_COMMAND_UI(id, memberFxn)                                                \
  {                                                                                        \
    WM_COMMAND, CN_UPDATE_COMMAND_UI, static_cast<UINT>(id), static_cast<UINT>(id),        \
        DARU_THUNK(DARU_THIS->memberFxn(static_cast<CCmdUI*>(call_.pExtra)); return true;) \
  }                                                                                        \
  ,
// void memberFxn()
#define ON_BN_CLICKED(id, memberFxn) ON_COMMAND(id, memberFxn)
// void memberFxn(NMHDR* pNMHDR, LRESULT* pResult), for a child's notification
#define ON_NOTIFY(wNotifyCode, id, memberFxn)                                                                 \
  {                                                                                                           \
    WM_NOTIFY, static_cast<UINT>(wNotifyCode), static_cast<UINT>(id), static_cast<UINT>(id),                  \
        DARU_THUNK(DARU_THIS->memberFxn(reinterpret_cast<NMHDR*>(call_.lParam), &call_.result); return true;) \
  }                                                                                                           \
  ,
// void memberFxn(NMHDR* pNMHDR, LRESULT* pResult), for the control's own notification
#define ON_NOTIFY_REFLECT(wNotifyCode, memberFxn)                                                             \
  {                                                                                                           \
    WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(wNotifyCode), 0, 0,                                        \
        DARU_THUNK(DARU_THIS->memberFxn(reinterpret_cast<NMHDR*>(call_.lParam), &call_.result); return true;) \
  }                                                                                                           \
  ,
// BOOL memberFxn(NMHDR* pNMHDR, LRESULT* pResult): FALSE lets the parent see it too
#define ON_NOTIFY_REFLECT_EX(wNotifyCode, memberFxn)                                                             \
  {                                                                                                              \
    WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(wNotifyCode), 0, 0,                                           \
        DARU_THUNK(return DARU_THIS->memberFxn(reinterpret_cast<NMHDR*>(call_.lParam), &call_.result) != FALSE;) \
  }                                                                                                              \
  ,
// LRESULT memberFxn(WPARAM, LPARAM)
#define ON_MESSAGE(message, memberFxn)                                                            \
  {                                                                                               \
    static_cast<UINT>(message), 0, 0, 0,                                                          \
        DARU_THUNK(call_.result = DARU_THIS->memberFxn(call_.wParam, call_.lParam); return true;) \
  }                                                                                               \
  ,
