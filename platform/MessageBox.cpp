#include "platform/MessageBox.h"

#include <cstdio>

#include "core/TextConv.h"

namespace {

class NobodyThere : public IUserInteraction {
 public:
  int MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) override {
    std::fprintf(stderr, "%s%s%s\n", ToUtf8(caption).c_str(), caption.empty() ? "" : ": ", ToUtf8(text).c_str());
    switch (type & MB_TYPEMASK) {
      case MB_YESNO:
        return IDNO;
      case MB_OKCANCEL:
      case MB_YESNOCANCEL:
        return IDCANCEL;
      default:
        return IDOK;
    }
  }
};

NobodyThere g_nobody;
IUserInteraction* g_handler = nullptr;

}  // namespace

IUserInteraction::~IUserInteraction() = default;

IUserInteraction* SetUserInteraction(IUserInteraction* handler) {
  IUserInteraction* old = g_handler;
  g_handler = handler;
  return old;
}

IUserInteraction* GetUserInteraction() { return g_handler ? g_handler : &g_nobody; }

int AfxMessageBox(const std::u16string& text, UINT type, UINT) { return GetUserInteraction()->MessageBox(text, u"", type); }
