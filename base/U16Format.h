#pragma once

#include <array>
#include <concepts>
#include <string>
#include <string_view>

#include "base/DaruApi.h"

// printf-style formatting into UTF-16 for the statement and message templates.
// Each argument carries its own type, so a template that names the wrong kind
// of argument, or too few, throws std::logic_error instead of reading garbage.
// Supported: %d %i %u %x %X %o %c %s %%, flags - 0 + space #, a width, a
// precision (minimum digits for integers, maximum units for texts) and the
// length modifiers h hh l ll z, which only decide the width of %x/%u/%o on a
// negative argument. %s takes UTF-16 or UTF-8 text.

class DARU_API CFmtArg {
 public:
  enum class Kind { Signed, Unsigned, Text16, Text8 };

  template <std::signed_integral T>
  CFmtArg(T v) : m_kind(Kind::Signed), m_int(static_cast<long long>(v)) {}
  template <std::unsigned_integral T>
  requires(!std::same_as<T, bool>) CFmtArg(T v) : m_kind(Kind::Unsigned), m_uint(static_cast<unsigned long long>(v)) {}
  CFmtArg(bool v) : m_kind(Kind::Signed), m_int(v ? 1 : 0) {}
  CFmtArg(char16_t v) : m_kind(Kind::Unsigned), m_uint(v) {}
  CFmtArg(char v) : m_kind(Kind::Signed), m_int(static_cast<unsigned char>(v)) {}
  CFmtArg(const std::u16string& v) : m_kind(Kind::Text16), m_text16(v) {}
  CFmtArg(std::u16string_view v) : m_kind(Kind::Text16), m_text16(v) {}
  CFmtArg(const char16_t* v) : m_kind(Kind::Text16), m_text16(v ? v : u"") {}
  CFmtArg(const std::string& v) : m_kind(Kind::Text8), m_text8(v) {}
  CFmtArg(std::string_view v) : m_kind(Kind::Text8), m_text8(v) {}
  CFmtArg(const char* v) : m_kind(Kind::Text8), m_text8(v ? v : "") {}

  Kind kind() const { return m_kind; }
  long long AsSigned() const { return m_int; }
  unsigned long long AsUnsigned() const { return m_uint; }
  std::u16string_view Text16() const { return m_text16; }
  std::string_view Text8() const { return m_text8; }

 private:
  Kind m_kind;
  union {
    long long m_int;
    unsigned long long m_uint;
  };
  std::u16string_view m_text16;
  std::string_view m_text8;
};

namespace daru {
DARU_API std::u16string FormatArgs(std::u16string_view fmt, const CFmtArg* args, size_t count);
}  // namespace daru
using daru::FormatArgs;

template <class... A>
std::u16string Fmt(std::u16string_view fmt, const A&... args) {
  const std::array<CFmtArg, sizeof...(A)> list{CFmtArg(args)...};
  return FormatArgs(fmt, list.data(), list.size());
}
