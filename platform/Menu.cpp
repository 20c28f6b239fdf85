#include "platform/Menu.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/Resources.h"
#include "platform/Wnd.h"

IMPLEMENT_DYNAMIC(CMenu, CObject)

namespace {

struct Item {
  std::u16string text;
  UINT id = 0;
  UINT flags = 0;
  HMENU popup = nullptr;  // owned by this menu
};

struct MenuData {
  std::vector<Item> items;
  bool popup = false;
  CMenu* owner = nullptr;         // not owned; the object holding the handle
  std::unique_ptr<CMenu> shared;  // owned; the non-owning wrapper FromHandle hands out
};

struct Menus {
  std::unordered_map<uintptr_t, MenuData> menus;
  uintptr_t next = 1;
};

Menus& TheMenus() {
  static Menus* menus = new Menus;
  return *menus;
}

MenuData* Find(HMENU h) {
  if (h == nullptr) return nullptr;
  auto it = TheMenus().menus.find(reinterpret_cast<uintptr_t>(h));
  return it == TheMenus().menus.end() ? nullptr : &it->second;
}

HMENU NewMenu(bool popup) {
  Menus& m = TheMenus();
  const uintptr_t key = (m.next++) << 4;
  MenuData data;
  data.popup = popup;
  m.menus.emplace(key, std::move(data));
  return reinterpret_cast<HMENU>(key);
}

void Destroy(HMENU h) {
  MenuData* d = Find(h);
  if (d == nullptr) return;
  std::vector<HMENU> popups;
  for (const Item& item : d->items)
    if (item.popup) popups.push_back(item.popup);
  if (d->owner != nullptr) d->owner->m_hMenu = nullptr;
  if (d->shared) d->shared->m_hMenu = nullptr;
  TheMenus().menus.erase(reinterpret_cast<uintptr_t>(h));
  for (HMENU p : popups) Destroy(p);
}

HMENU Build(const std::vector<CMenuTemplateItem>& items, bool popup) {
  HMENU h = NewMenu(popup);
  for (const CMenuTemplateItem& t : items) {
    Item item;
    item.text = t.text;
    item.flags = t.flags;
    if (t.flags & MF_POPUP) {
      item.popup = Build(t.items, true);
      item.id = 0xFFFFFFFFu;
    } else {
      item.id = t.id;
    }
    Find(h)->items.push_back(std::move(item));
  }
  return h;
}

// Finds an item by position, or by command id searching popups too.
Item* Locate(HMENU h, UINT nItem, UINT nFlags) {
  MenuData* d = Find(h);
  if (d == nullptr) return nullptr;
  if (nFlags & MF_BYPOSITION) return nItem < d->items.size() ? &d->items[nItem] : nullptr;
  for (Item& item : d->items) {
    if (item.popup) {
      if (Item* found = Locate(item.popup, nItem, MF_BYCOMMAND)) return found;
      continue;
    }
    if (!(item.flags & MF_SEPARATOR) && item.id == nItem) return &item;
  }
  return nullptr;
}

void ViewItems(HMENU h, std::vector<CMenuItemView>& out) {
  MenuData* d = Find(h);
  if (d == nullptr) return;
  for (const Item& item : d->items) {
    CMenuItemView v;
    v.text = item.text;
    v.separator = (item.flags & MF_SEPARATOR) != 0;
    v.popup = item.popup != nullptr;
    v.id = v.popup || v.separator ? 0 : item.id;
    v.enabled = (item.flags & (MF_GRAYED | MF_DISABLED)) == 0;
    v.checked = (item.flags & MF_CHECKED) != 0;
    if (v.popup) ViewItems(item.popup, v.items);
    out.push_back(std::move(v));
  }
}

}  // namespace

int DaruMenuCount() { return static_cast<int>(TheMenus().menus.size()); }

CMenu::CMenu() : m_hMenu(nullptr) {}

CMenu::~CMenu() {
  MenuData* d = Find(m_hMenu);
  if (d != nullptr && d->shared.get() == this) {
    m_hMenu = nullptr;
    return;
  }
  if (d != nullptr && d->owner == this) DestroyMenu();
}

BOOL CMenu::LoadMenu(UINT nIDResource) {
  if (m_hMenu != nullptr) return FALSE;
  const CMenuTemplate* t = AfxFindMenu(nIDResource);
  if (t == nullptr) return FALSE;
  return Attach(Build(t->items, false));
}

BOOL CMenu::CreateMenu() { return m_hMenu == nullptr && Attach(NewMenu(false)); }
BOOL CMenu::CreatePopupMenu() { return m_hMenu == nullptr && Attach(NewMenu(true)); }

BOOL CMenu::DestroyMenu() {
  if (Find(m_hMenu) == nullptr) {
    m_hMenu = nullptr;
    return FALSE;
  }
  Destroy(m_hMenu);
  m_hMenu = nullptr;
  return TRUE;
}

BOOL CMenu::Attach(HMENU hMenu) {
  MenuData* d = Find(hMenu);
  if (d == nullptr || m_hMenu != nullptr) return FALSE;
  m_hMenu = hMenu;
  if (d->owner == nullptr) d->owner = this;
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU h = m_hMenu;
  if (MenuData* d = Find(h); d != nullptr && d->owner == this) d->owner = nullptr;
  m_hMenu = nullptr;
  return h;
}

CMenu* CMenu::FromHandle(HMENU hMenu) {
  MenuData* d = Find(hMenu);
  if (d == nullptr) return nullptr;
  if (d->owner != nullptr) return d->owner;
  if (!d->shared) {
    d->shared = std::make_unique<CMenu>();
    d->shared->m_hMenu = hMenu;
  }
  return d->shared.get();
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const std::u16string& text) {
  MenuData* d = Find(m_hMenu);
  if (d == nullptr) return FALSE;
  return InsertMenu(static_cast<UINT>(d->items.size()), nFlags | MF_BYPOSITION, nIDNewItem, text);
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const std::u16string& text) {
  MenuData* d = Find(m_hMenu);
  if (d == nullptr) return FALSE;
  Item item;
  item.text = text;
  item.flags = nFlags & ~MF_BYPOSITION;
  if (nFlags & MF_POPUP) {
    HMENU popup = reinterpret_cast<HMENU>(nIDNewItem);
    MenuData* p = Find(popup);
    if (p == nullptr) return FALSE;
    // The popup now belongs to this menu, not to the object that made it.
    if (p->owner != nullptr) p->owner->m_hMenu = nullptr;
    p->owner = nullptr;
    item.popup = popup;
    item.id = 0xFFFFFFFFu;
  } else {
    item.id = static_cast<UINT>(nIDNewItem);
  }
  size_t pos = d->items.size();
  if (nFlags & MF_BYPOSITION) {
    pos = std::min<size_t>(nPosition, d->items.size());
  } else {
    for (size_t i = 0; i < d->items.size(); ++i)
      if (d->items[i].id == nPosition && !d->items[i].popup) pos = i;
  }
  d->items.insert(d->items.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
  return TRUE;
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const std::u16string& text) {
  Item* item = Locate(m_hMenu, nPosition, nFlags);
  if (item == nullptr) return FALSE;
  item->text = text;
  item->flags = (nFlags & ~MF_BYPOSITION) | (item->popup ? MF_POPUP : 0);
  if (!item->popup) item->id = static_cast<UINT>(nIDNewItem);
  return TRUE;
}

BOOL CMenu::RemoveMenu(UINT nPosition, UINT nFlags) {
  MenuData* d = Find(m_hMenu);
  if (d == nullptr) return FALSE;
  for (size_t i = 0; i < d->items.size(); ++i) {
    const bool match = (nFlags & MF_BYPOSITION) ? i == nPosition : (!d->items[i].popup && d->items[i].id == nPosition);
    if (match) {
      d->items.erase(d->items.begin() + static_cast<std::ptrdiff_t>(i));
      return TRUE;
    }
  }
  return FALSE;
}

BOOL CMenu::DeleteMenu(UINT nPosition, UINT nFlags) {
  MenuData* d = Find(m_hMenu);
  if (d == nullptr) return FALSE;
  HMENU popup = nullptr;
  if (nFlags & MF_BYPOSITION) {
    if (nPosition >= d->items.size()) return FALSE;
    popup = d->items[nPosition].popup;
  }
  if (!RemoveMenu(nPosition, nFlags)) return FALSE;
  if (popup != nullptr) Destroy(popup);
  return TRUE;
}

int CMenu::GetMenuItemCount() const {
  MenuData* d = Find(m_hMenu);
  return d ? static_cast<int>(d->items.size()) : -1;
}

UINT CMenu::GetMenuItemID(int nPos) const {
  MenuData* d = Find(m_hMenu);
  if (d == nullptr || nPos < 0 || nPos >= static_cast<int>(d->items.size())) return 0xFFFFFFFFu;
  const Item& item = d->items[static_cast<size_t>(nPos)];
  if (item.popup) return 0xFFFFFFFFu;
  if (item.flags & MF_SEPARATOR) return 0;
  return item.id;
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const {
  Item* item = Locate(m_hMenu, nID, nFlags);
  if (item == nullptr) return 0xFFFFFFFFu;
  UINT state = item->flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_SEPARATOR | MF_DEFAULT);
  if (item->popup) {
    MenuData* p = Find(item->popup);
    state |= MF_POPUP | (p ? static_cast<UINT>(p->items.size()) << 8 : 0);
  }
  return state;
}

std::u16string CMenu::GetMenuString(UINT nIDItem, UINT nFlags) const {
  Item* item = Locate(m_hMenu, nIDItem, nFlags);
  return item ? item->text : std::u16string();
}

CMenu* CMenu::GetSubMenu(int nPos) const {
  MenuData* d = Find(m_hMenu);
  if (d == nullptr || nPos < 0 || nPos >= static_cast<int>(d->items.size())) return nullptr;
  return FromHandle(d->items[static_cast<size_t>(nPos)].popup);
}

UINT CMenu::EnableMenuItem(UINT nIDEnableItem, UINT nEnable) {
  Item* item = Locate(m_hMenu, nIDEnableItem, nEnable);
  if (item == nullptr) return 0xFFFFFFFFu;
  const UINT old = item->flags & (MF_GRAYED | MF_DISABLED);
  item->flags = (item->flags & ~(MF_GRAYED | MF_DISABLED)) | (nEnable & (MF_GRAYED | MF_DISABLED));
  return old;
}

UINT CMenu::CheckMenuItem(UINT nIDCheckItem, UINT nCheck) {
  Item* item = Locate(m_hMenu, nIDCheckItem, nCheck);
  if (item == nullptr) return 0xFFFFFFFFu;
  const UINT old = item->flags & MF_CHECKED;
  item->flags = (item->flags & ~MF_CHECKED) | (nCheck & MF_CHECKED);
  return old;
}

CPopupMenuView CMenu::View() const {
  CPopupMenuView view;
  ViewItems(m_hMenu, view.items);
  return view;
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT) {
  if (Find(m_hMenu) == nullptr) return FALSE;
  const HWND owner = pWnd ? pWnd->m_hWnd : nullptr;
  if (owner != nullptr) ::SendMessage(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(m_hMenu), 0);
  CPopupMenuView view = View();
  view.pt = POINT{x, y};
  view.owner = owner;
  view.flags = nFlags;
  const UINT id = GetUserInteraction()->TrackPopupMenu(view);
  const CMenuItemView* chosen = id ? view.FindById(id) : nullptr;
  if (chosen == nullptr || !chosen->enabled) return FALSE;
  if (nFlags & TPM_RETURNCMD) return static_cast<BOOL>(id);
  if (!(nFlags & TPM_NONOTIFY) && IsWindow(owner)) ::SendMessage(owner, WM_COMMAND, MAKEWPARAM(id, 0), 0);
  return TRUE;
}
