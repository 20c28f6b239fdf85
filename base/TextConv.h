#pragma once

#include <string>
#include <string_view>

#include "base/DaruApi.h"

// The one converter between the library's UTF-16 text and the UTF-8 text that
// the catalogue, the file system and the XML engine see.
//
// A lone surrogate is written as its own three-byte sequence and read back as
// that same unit, so any UTF-16 text survives the trip to UTF-8 and back.
// Bytes that form no sequence (from a foreign catalogue or file) read as
// U+FFFD each; nothing is ever dropped silently or read past the end.

namespace daru {
DARU_API std::string ToUtf8(std::u16string_view text);
DARU_API std::u16string FromUtf8(std::string_view text);
// The same into out, reusing its room: for a caller that converts many texts
// in a row and copies each one out at its exact size.
DARU_API void FromUtf8(std::string_view text, std::u16string& out);

// Decodes the code point at text[at] and moves at past it, by the same rules
// as FromUtf8: bytes that form no sequence give U+FFFD and one byte each; a
// surrogate kept in three bytes gives that surrogate. at must be < size.
DARU_API char32_t NextCodePoint(std::string_view text, size_t& at);

// Equal but for the case of ASCII letters (element names, keywords).
DARU_API bool AsciiCaseEqual(std::string_view a, std::string_view b);
DARU_API bool AsciiCaseEqual(std::u16string_view a, std::u16string_view b);
}  // namespace daru
using daru::AsciiCaseEqual;
using daru::FromUtf8;
using daru::NextCodePoint;
using daru::ToUtf8;
