#pragma once

#include <string>
#include <vector>

// Text as a terminal shows it: code points that take two columns (CJK, full
// width forms), one, or none (combining marks, controls). The widths come
// from the C library's wcwidth for the UTF-8 locale the terminal runs in, so
// the columns we count are the columns the terminal moves by.

namespace termui {

// Puts the program in a UTF-8 character locale (the user's own when it is
// one, else C.UTF-8); false when none is available.
bool UseUtf8Locale();

// The host's own texts (hint bar, help, status line) are Chinese when the
// messages locale (LC_ALL, else LC_MESSAGES, else LANG) is a zh one, English
// otherwise. The windows' texts come from the library and stay as they are.
bool ChineseMessages();
inline const char* Tr(const char* zh, const char* en) { return ChineseMessages() ? zh : en; }

// The code points of UTF-16 text; a lone surrogate becomes U+FFFD.
std::u32string ToCodePoints(const std::u16string& text);
std::u16string FromCodePoints(const std::u32string& text);

// Columns a code point takes: 0, 1 or 2. Controls count 0 (they are never drawn).
int CellWidth(char32_t c);
int DisplayWidth(const std::u32string& text);
int DisplayWidth(const std::u16string& text);

// The longest prefix of text that fits in width columns; with an ellipsis,
// a text that does not fit ends in "…" within the width.
std::u32string FitWidth(const std::u32string& text, int width, bool ellipsis = false);

// Breaks text into lines of at most width columns at line breaks and, where
// a line is too long, before the code point that does not fit.
std::vector<std::u32string> WrapLines(const std::u32string& text, int width);

}  // namespace termui
