#include "base/TextConv.h"

#include <cstdint>
#include <cstring>

namespace {

void PutUnit(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
bool IsCont(unsigned char b) { return (b & 0xC0) == 0x80; }

// One sequence starting with a byte of 0x80 or above at s[i]; 0 bytes when it
// is malformed.
size_t DecodeSequence(const unsigned char* s, size_t i, size_t n, char32_t& cp) {
  const unsigned char b = s[i];
  size_t len = 0;
  char32_t min = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2;
    cp = b & 0x1F;
    min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3;
    cp = b & 0x0F;
    min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4;
    cp = b & 0x07;
    min = 0x10000;
  }
  if (len == 0 || i + len > n) return 0;
  for (size_t k = 1; k < len; ++k) {
    if (!IsCont(s[i + k])) return 0;
    cp = (cp << 6) | (s[i + k] & 0x3F);
  }
  return cp < min || cp > 0x10FFFF ? 0 : len;
}

template <class Char>
bool CaseEqual(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto x = a[i];
    auto y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<Char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<Char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::string daru::ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t u = text[i];
    if (IsHigh(u) && i + 1 < text.size() && IsLow(text[i + 1])) {
      char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      PutUnit(out, cp);
      ++i;
    } else {
      PutUnit(out, u);  // lone surrogates take the three-byte form like any other unit
    }
  }
  return out;
}

void daru::FromUtf8(std::string_view text, std::u16string& out) {
  // No byte yields more than one unit (a four-byte sequence yields two), so
  // the result fits in as many units as there are bytes; it is written in
  // place and cut to size at the end.
  out.resize(text.size());
  char16_t* d = out.data();
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    // Links, folder names and most keywords are ASCII: eight bytes at a time
    // while no byte has its high bit set.
    while (i + 8 <= n) {
      std::uint64_t block;
      std::memcpy(&block, s + i, 8);
      if (block & 0x8080808080808080ULL) break;
      for (size_t k = 0; k < 8; ++k) d[k] = s[i + k];
      d += 8;
      i += 8;
    }
    if (i >= n) break;
    unsigned char b = s[i];
    if (b < 0x80) {
      *d++ = b;
      ++i;
      continue;
    }
    char32_t cp = 0;
    const size_t len = DecodeSequence(s, i, n, cp);
    if (len == 0) {
      *d++ = 0xFFFD;
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      *d++ = static_cast<char16_t>(0xD800 + (cp >> 10));
      *d++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *d++ = static_cast<char16_t>(cp);  // includes surrogate units kept in three bytes
    }
    i += len;
  }
  out.resize(static_cast<size_t>(d - out.data()));
}

std::u16string daru::FromUtf8(std::string_view text) {
  std::u16string out;
  FromUtf8(text, out);
  // Text held for long (catalogue rows) should not keep much unused room.
  if (out.size() * 4 < text.size() * 3) out.shrink_to_fit();
  return out;
}

char32_t daru::NextCodePoint(std::string_view text, size_t& at) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  if (s[at] < 0x80) return s[at++];
  char32_t cp = 0;
  const size_t len = DecodeSequence(s, at, text.size(), cp);
  at += len == 0 ? 1 : len;
  return len == 0 ? 0xFFFD : cp;
}

bool daru::AsciiCaseEqual(std::string_view a, std::string_view b) { return CaseEqual(a, b); }
bool daru::AsciiCaseEqual(std::u16string_view a, std::u16string_view b) { return CaseEqual(a, b); }
