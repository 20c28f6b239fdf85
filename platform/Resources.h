#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/WinTypes.h"

// Module resources: menus, dialog templates, bitmaps and strings by numeric
// id. Modules join a search chain; a lookup asks each module in chain order
// and takes the first that has the id, so a host's own module can sit in
// front of the library's.

struct DARU_API CMenuTemplateItem {
  std::u16string text;
  UINT id = 0;
  UINT flags = 0;                        // MF_POPUP, MF_SEPARATOR, MF_GRAYED, MF_CHECKED
  std::vector<CMenuTemplateItem> items;  // of a popup
};

struct DARU_API CMenuTemplate {
  std::vector<CMenuTemplateItem> items;
};

struct DARU_API CDialogItemTemplate {
  std::u16string className;  // "Button", "Edit", "Static", "SysTreeView32", "RichEdit20A", ...
  std::u16string text;
  UINT id = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  CRect rect;  // dialog units
};

struct DARU_API CDialogTemplate {
  DWORD style = 0;
  DWORD exStyle = 0;
  CRect rect;  // dialog units
  std::u16string caption;
  std::u16string fontFace;
  int pointSize = 8;
  std::vector<CDialogItemTemplate> items;
};

class DARU_API CResourceModule {
 public:
  explicit CResourceModule(std::u16string name);
  ~CResourceModule();
  CResourceModule(const CResourceModule&) = delete;
  CResourceModule& operator=(const CResourceModule&) = delete;

  const std::u16string& Name() const { return m_name; }

  void AddMenu(UINT id, CMenuTemplate menu);
  void AddDialog(UINT id, CDialogTemplate dialog);
  void AddBitmap(UINT id, CBitmapPixels bitmap);
  // Decodes a .bmp file image (uncompressed, 1, 4, 8, 24 or 32 bits); false when it is not one.
  bool AddBitmapFromBmp(UINT id, const std::vector<uint8_t>& file);
  void AddString(UINT id, std::u16string text);

  const CMenuTemplate* FindMenu(UINT id) const;
  const CDialogTemplate* FindDialog(UINT id) const;
  const CBitmapPixels* FindBitmap(UINT id) const;
  const std::u16string* FindString(UINT id) const;

 private:
  std::u16string m_name;
  std::map<UINT, CMenuTemplate> m_menus;
  std::map<UINT, CDialogTemplate> m_dialogs;
  std::map<UINT, CBitmapPixels> m_bitmaps;
  std::map<UINT, std::u16string> m_strings;
};

// The chain holds borrowed modules; a module must leave it before it is destroyed.
DARU_API void AfxInsertResourceModule(CResourceModule* module, bool atFront = false);
DARU_API void AfxRemoveResourceModule(CResourceModule* module);
DARU_API std::vector<CResourceModule*> AfxGetResourceChain();

DARU_API const CMenuTemplate* AfxFindMenu(UINT id);
DARU_API const CDialogTemplate* AfxFindDialogTemplate(UINT id);
DARU_API const CBitmapPixels* AfxFindBitmap(UINT id);
// The string resource; false (and text unchanged) when no module has it.
DARU_API bool AfxLoadString(UINT id, std::u16string& text);

// Decodes a .bmp file image; false for anything it does not understand.
DARU_API bool DaruDecodeBmp(const uint8_t* data, size_t size, CBitmapPixels& out);
