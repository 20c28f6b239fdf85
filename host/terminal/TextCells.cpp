#include "terminal/TextCells.h"

#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace termui {

namespace {

bool LocaleIsUtf8() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

}  // namespace

bool UseUtf8Locale() {
  std::setlocale(LC_ALL, "");
  if (LocaleIsUtf8()) return true;
  for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
    if (std::setlocale(LC_CTYPE, name) != nullptr && LocaleIsUtf8()) return true;
  }
  return false;
}

bool ChineseMessages() {
  static const bool chinese = [] {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
      const char* v = std::getenv(name);
      if (v != nullptr && *v != 0) return std::strncmp(v, "zh", 2) == 0;
    }
    return false;
  }();
  return chinese;
}

std::u32string ToCodePoints(const std::u16string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back(0xFFFD);
    } else {
      out.push_back(u);
    }
  }
  return out;
}

std::u16string FromCodePoints(const std::u32string& text) {
  std::u16string out;
  for (char32_t c : text) {
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

int CellWidth(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;
  if (c < 0x7F) return 1;
  const int w = ::wcwidth(static_cast<wchar_t>(c));
  if (w >= 0) return w > 2 ? 2 : w;
  // Unassigned or unknown to the locale: the terminal shows a replacement box of one column.
  return 1;
}

int DisplayWidth(const std::u32string& text) {
  int width = 0;
  for (char32_t c : text) width += CellWidth(c);
  return width;
}

int DisplayWidth(const std::u16string& text) { return DisplayWidth(ToCodePoints(text)); }

std::u32string FitWidth(const std::u32string& text, int width, bool ellipsis) {
  if (width <= 0) return {};
  if (DisplayWidth(text) <= width) return text;
  const int room = ellipsis ? width - 1 : width;
  std::u32string out;
  int used = 0;
  for (char32_t c : text) {
    const int w = CellWidth(c);
    if (used + w > room) break;
    out.push_back(c);
    used += w;
  }
  if (ellipsis) out.push_back(U'…');
  return out;
}

std::vector<std::u32string> WrapLines(const std::u32string& text, int width) {
  std::vector<std::u32string> lines(1);
  int used = 0;
  if (width < 2) width = 2;
  for (char32_t c : text) {
    if (c == U'\r') continue;
    if (c == U'\n') {
      lines.emplace_back();
      used = 0;
      continue;
    }
    if (c == U'\t') c = U' ';
    const int w = CellWidth(c);
    if (used + w > width) {
      lines.emplace_back();
      used = 0;
    }
    lines.back().push_back(c);
    used += w;
  }
  return lines;
}

}  // namespace termui
