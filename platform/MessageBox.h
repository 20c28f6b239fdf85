#pragma once

#include <string>

#include "base/DaruApi.h"
#include "platform/UserInteraction.h"
#include "platform/WinTypes.h"

// Message boxes. Everything a person would be asked goes through one
// replaceable user-interaction handler (UserInteraction.h): tests script it,
// an interactive host puts a person behind it.

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_ICONASTERISK = MB_ICONINFORMATION;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_TYPEMASK = 0xF;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

DARU_API int AfxMessageBox(const std::u16string& text, UINT type = MB_OK, UINT helpId = 0);

namespace daru {
// Whether a box of that type has the button (IDOK, IDCANCEL, IDYES, ...).
DARU_API bool MessageBoxHasButton(UINT type, int button);
// The owner window is not shown to the user; the text, caption and type are.
DARU_API int MessageBox(HWND hWnd, const std::u16string& text, const std::u16string& caption, UINT type);
}  // namespace daru
using daru::MessageBox;
using daru::MessageBoxHasButton;
