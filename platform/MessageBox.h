#pragma once

#include <string>

#include "core/DaruApi.h"

// Message boxes. Everything a person would be asked goes through one
// replaceable user-interaction handler: tests script it, an interactive host
// puts a person behind it.

using UINT = unsigned int;

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_TYPEMASK = 0xF;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class DARU_API IUserInteraction {
 public:
  virtual ~IUserInteraction();
  // Shows a modal message box and returns the button chosen (IDOK, IDYES, ...).
  virtual int MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) = 0;
};

// Installs the handler (borrowed; null restores the default) and returns the
// one it replaces. Without a handler nobody can answer: the text goes to
// stderr and the answer is the one that changes nothing (OK, No or Cancel).
DARU_API IUserInteraction* SetUserInteraction(IUserInteraction* handler);
DARU_API IUserInteraction* GetUserInteraction();

DARU_API int AfxMessageBox(const std::u16string& text, UINT type = MB_OK, UINT helpId = 0);
