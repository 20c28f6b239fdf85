#include "platform/Resources.h"

#include <algorithm>

namespace {

std::vector<CResourceModule*>& Chain() {
  static std::vector<CResourceModule*>* chain = new std::vector<CResourceModule*>;
  return *chain;
}

template <class T>
const T* Lookup(const std::map<UINT, T>& map, UINT id) {
  auto it = map.find(id);
  return it == map.end() ? nullptr : &it->second;
}

uint32_t U16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

CResourceModule::CResourceModule(std::u16string name) : m_name(std::move(name)) {}

CResourceModule::~CResourceModule() { AfxRemoveResourceModule(this); }

void CResourceModule::AddMenu(UINT id, CMenuTemplate menu) { m_menus[id] = std::move(menu); }
void CResourceModule::AddDialog(UINT id, CDialogTemplate dialog) { m_dialogs[id] = std::move(dialog); }
void CResourceModule::AddBitmap(UINT id, CBitmapPixels bitmap) { m_bitmaps[id] = std::move(bitmap); }
void CResourceModule::AddString(UINT id, std::u16string text) { m_strings[id] = std::move(text); }

bool CResourceModule::AddBitmapFromBmp(UINT id, const std::vector<uint8_t>& file) {
  CBitmapPixels px;
  if (!DaruDecodeBmp(file.data(), file.size(), px)) return false;
  AddBitmap(id, std::move(px));
  return true;
}

const CMenuTemplate* CResourceModule::FindMenu(UINT id) const { return Lookup(m_menus, id); }
const CDialogTemplate* CResourceModule::FindDialog(UINT id) const { return Lookup(m_dialogs, id); }
const CBitmapPixels* CResourceModule::FindBitmap(UINT id) const { return Lookup(m_bitmaps, id); }
const std::u16string* CResourceModule::FindString(UINT id) const { return Lookup(m_strings, id); }

void AfxInsertResourceModule(CResourceModule* module, bool atFront) {
  if (module == nullptr) return;
  AfxRemoveResourceModule(module);
  if (atFront) {
    Chain().insert(Chain().begin(), module);
  } else {
    Chain().push_back(module);
  }
}

void AfxRemoveResourceModule(CResourceModule* module) {
  Chain().erase(std::remove(Chain().begin(), Chain().end(), module), Chain().end());
}

std::vector<CResourceModule*> AfxGetResourceChain() { return Chain(); }

const CMenuTemplate* AfxFindMenu(UINT id) {
  for (CResourceModule* m : Chain())
    if (const CMenuTemplate* t = m->FindMenu(id)) return t;
  return nullptr;
}

const CDialogTemplate* AfxFindDialogTemplate(UINT id) {
  for (CResourceModule* m : Chain())
    if (const CDialogTemplate* t = m->FindDialog(id)) return t;
  return nullptr;
}

const CBitmapPixels* AfxFindBitmap(UINT id) {
  for (CResourceModule* m : Chain())
    if (const CBitmapPixels* b = m->FindBitmap(id)) return b;
  return nullptr;
}

bool AfxLoadString(UINT id, std::u16string& text) {
  for (CResourceModule* m : Chain()) {
    if (const std::u16string* s = m->FindString(id)) {
      text = *s;
      return true;
    }
  }
  return false;
}

bool DaruDecodeBmp(const uint8_t* data, size_t size, CBitmapPixels& out) {
  if (data == nullptr || size < 54 || data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t offBits = U32(data + 10);
  const uint32_t headerSize = U32(data + 14);
  if (headerSize < 40 || 14 + static_cast<size_t>(headerSize) > size) return false;
  const int32_t width = static_cast<int32_t>(U32(data + 18));
  const int32_t rawHeight = static_cast<int32_t>(U32(data + 22));
  const uint32_t bpp = U16(data + 28);
  const uint32_t compression = U32(data + 30);
  uint32_t colours = U32(data + 46);
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || width > 65536) return false;
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;
  if (height > 65536) return false;
  if (compression != 0 && !(compression == 3 && bpp == 32)) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;
  std::vector<COLORREF> palette;
  if (bpp <= 8) {
    if (colours == 0 || colours > (1u << bpp)) colours = 1u << bpp;
    const size_t palStart = 14 + static_cast<size_t>(headerSize);
    if (palStart + static_cast<size_t>(colours) * 4 > size) return false;
    for (uint32_t i = 0; i < colours; ++i) {
      const uint8_t* q = data + palStart + static_cast<size_t>(i) * 4;
      palette.push_back(RGB(q[2], q[1], q[0]));
    }
  }
  const size_t stride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
  if (offBits > size || stride * static_cast<size_t>(height) > size - offBits) return false;
  CBitmapPixels px;
  px.width = width;
  px.height = height;
  px.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    const int32_t srcRow = topDown ? y : height - 1 - y;
    const uint8_t* row = data + offBits + stride * static_cast<size_t>(srcRow);
    for (int32_t x = 0; x < width; ++x) {
      COLORREF c = 0;
      const size_t ux = static_cast<size_t>(x);
      switch (bpp) {
        case 1:
        case 4:
        case 8: {
          const size_t bit = ux * bpp;
          const uint32_t shift = 8 - bpp - static_cast<uint32_t>(bit % 8);
          const uint32_t index = (row[bit / 8] >> shift) & ((1u << bpp) - 1);
          c = index < palette.size() ? palette[index] : 0;
          break;
        }
        case 24:
          c = RGB(row[ux * 3 + 2], row[ux * 3 + 1], row[ux * 3]);
          break;
        default:
          c = RGB(row[ux * 4 + 2], row[ux * 4 + 1], row[ux * 4]);
          break;
      }
      px.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + ux] = c;
    }
  }
  out = std::move(px);
  return true;
}
