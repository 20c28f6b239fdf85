#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Resources.h"

// Reads resources written as a resource script (UTF-8 text) into a module, so
// menus, dialog templates and strings can be kept as data. Understood:
//
//   #define NAME value                 names for ids and styles (the Windows style names are known)
//   id MENU BEGIN ... END              POPUP "text" BEGIN ... END, MENUITEM "text", id [, GRAYED | INACTIVE | CHECKED],
//                                      MENUITEM SEPARATOR
//   id DIALOG[EX] x, y, cx, cy         then STYLE, EXSTYLE, CAPTION "text", FONT size, "face"[, ...],
//   BEGIN ... END                      and controls: LTEXT, RTEXT, CTEXT, EDITTEXT, PUSHBUTTON, DEFPUSHBUTTON,
//                                      GROUPBOX, CHECKBOX, AUTOCHECKBOX, RADIOBUTTON, AUTORADIOBUTTON, CONTROL
//   id BITMAP "file"                   the file's bytes come from the reader given
//   STRINGTABLE BEGIN id "text" ... END
//
// '{' and '}' may stand for BEGIN and END; "" in a text is a quote, and \n,
// \t, \\ and \" are escapes. Style expressions combine names and numbers with
// '|' and drop bits with NOT. Other preprocessor lines and LANGUAGE are skipped.
// Returns false with a message naming the line when the script is not understood;
// resources before the error have been added.

using DaruResourceFileReader = std::function<bool(const std::string& file, std::vector<uint8_t>& bytes)>;

DARU_API bool DaruLoadResourceScript(CResourceModule& module, std::string_view script, std::string* error,
                                     const DaruResourceFileReader& readFile = nullptr);
