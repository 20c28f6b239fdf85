#pragma once

#include <string>

#include "platform/MessageBox.h"

// Every message box of the library's windows carries the one caption: the
// questions with Yes and No and the question icon, everything else with OK.
inline constexpr char16_t kWindowMessageCaption[] = u"系统提示";

inline int WindowMessage(const std::u16string& text, UINT type = MB_OK) {
  return MessageBox(nullptr, text, kWindowMessageCaption, type);
}
