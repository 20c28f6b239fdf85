#include "platform/MessageBox.h"

#include "platform/WinUser.h"

bool daru::MessageBoxHasButton(UINT type, int button) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return button == IDOK;
    case MB_OKCANCEL:
      return button == IDOK || button == IDCANCEL;
    case MB_ABORTRETRYIGNORE:
      return button == IDABORT || button == IDRETRY || button == IDIGNORE;
    case MB_YESNOCANCEL:
      return button == IDYES || button == IDNO || button == IDCANCEL;
    case MB_YESNO:
      return button == IDYES || button == IDNO;
    case MB_RETRYCANCEL:
      return button == IDRETRY || button == IDCANCEL;
    default:
      return false;
  }
}

int AfxMessageBox(const std::u16string& text, UINT type, UINT) {
  return GetUserInteraction()->MessageBox(text, u"", type);
}

int daru::MessageBox(HWND, const std::u16string& text, const std::u16string& caption, UINT type) {
  return GetUserInteraction()->MessageBox(text, caption, type);
}
