#include "platform/UserInteraction.h"

#include <cstdio>

#include "base/TextConv.h"
#include "base/U16Format.h"
#include "platform/MessageBox.h"
#include "platform/ModalSession.h"

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

std::u16string WithoutMnemonics(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    out.push_back(text[i]);
  }
  return out;
}

const CMenuItemView* Search(const std::vector<CMenuItemView>& items, UINT id, const std::u16string* text) {
  for (const CMenuItemView& item : items) {
    if (item.popup) {
      if (const CMenuItemView* found = Search(item.items, id, text)) return found;
      continue;
    }
    if (item.separator) continue;
    if (text ? (WithoutMnemonics(item.text) == WithoutMnemonics(*text)) : item.id == id) return &item;
  }
  return nullptr;
}

void DescribeItems(const std::vector<CMenuItemView>& items, int depth, std::u16string& out) {
  for (const CMenuItemView& item : items) {
    out.append(static_cast<size_t>(depth) * 2, u' ');
    if (item.separator) {
      out += u"----\n";
      continue;
    }
    out += item.text;
    if (!item.popup) out += Fmt(u" [%u]", item.id);
    if (!item.enabled) out += u" (disabled)";
    if (item.checked) out += u" (checked)";
    out += u"\n";
    if (item.popup) DescribeItems(item.items, depth + 1, out);
  }
}

}  // namespace

const CMenuItemView* CPopupMenuView::FindById(UINT id) const { return Search(items, id, nullptr); }

const CMenuItemView* CPopupMenuView::FindByText(const std::u16string& text) const { return Search(items, 0, &text); }

std::u16string CPopupMenuView::Describe() const {
  std::u16string out;
  DescribeItems(items, 0, out);
  return out;
}

IUserInteraction::~IUserInteraction() = default;

UINT IUserInteraction::TrackPopupMenu(const CPopupMenuView&) { return 0; }

// Doing nothing is enough: a dialog loop closes a dialog the user left alone as cancelled.
void IUserInteraction::OperateDialog(CModalSession&) {}

IUserInteraction* daru::SetUserInteraction(IUserInteraction* handler) {
  IUserInteraction* old = g_handler;
  g_handler = handler;
  return old;
}

IUserInteraction* daru::GetUserInteraction() { return g_handler ? g_handler : &g_nobody; }
