#include "base/U16Format.h"

#include <stdexcept>

#include "base/TextConv.h"

namespace {

struct Conversion {
  bool left = false, zero = false, plus = false, space = false, alt = false;
  int width = -1;
  int precision = -1;
  int longs = 0;   // number of 'l'
  int shorts = 0;  // number of 'h'
  bool size = false;
  char16_t conv = 0;
};

[[noreturn]] void Fail(const char* what) { throw std::logic_error(std::string("format: ") + what); }

std::u16string Digits(unsigned long long v, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::u16string d;
  do {
    d.insert(d.begin(), static_cast<char16_t>(set[v % base]));
    v /= base;
  } while (v != 0);
  return d;
}

void Pad(std::u16string& out, const Conversion& s, std::u16string_view prefix, std::u16string body, bool numeric) {
  size_t len = prefix.size() + body.size();
  size_t width = s.width > 0 ? static_cast<size_t>(s.width) : 0;
  if (len >= width) {
    out.append(prefix).append(body);
    return;
  }
  size_t fill = width - len;
  if (s.left) {
    out.append(prefix).append(body).append(fill, u' ');
  } else if (s.zero && numeric && s.precision < 0) {
    out.append(prefix).append(fill, u'0').append(body);
  } else {
    out.append(fill, u' ').append(prefix).append(body);
  }
}

unsigned long long Narrow(unsigned long long v, const Conversion& s) {
  if (s.longs > 0 || s.size) return v;
  if (s.shorts == 1) return v & 0xFFFFULL;
  if (s.shorts >= 2) return v & 0xFFULL;
  return v & 0xFFFFFFFFULL;
}

void FormatOne(std::u16string& out, const Conversion& s, const CFmtArg& a) {
  using K = CFmtArg::Kind;
  switch (s.conv) {
    case u'd':
    case u'i': {
      if (a.kind() != K::Signed && a.kind() != K::Unsigned) Fail("%d needs an integer");
      bool neg = a.kind() == K::Signed && a.AsSigned() < 0;
      unsigned long long mag = a.kind() == K::Signed
                                   ? (neg ? 0ULL - static_cast<unsigned long long>(a.AsSigned())
                                          : static_cast<unsigned long long>(a.AsSigned()))
                                   : a.AsUnsigned();
      std::u16string body = (s.precision == 0 && mag == 0) ? u"" : Digits(mag, 10, false);
      if (s.precision > 0 && body.size() < static_cast<size_t>(s.precision))
        body.insert(0, s.precision - body.size(), u'0');
      std::u16string_view sign = neg ? u"-" : s.plus ? u"+" : s.space ? u" " : u"";
      Pad(out, s, sign, body, true);
      return;
    }
    case u'u':
    case u'x':
    case u'X':
    case u'o': {
      if (a.kind() != K::Signed && a.kind() != K::Unsigned) Fail("%u/%x needs an integer");
      unsigned long long v = a.kind() == K::Signed ? Narrow(static_cast<unsigned long long>(a.AsSigned()), s)
                                                   : a.AsUnsigned();
      unsigned base = s.conv == u'u' ? 10 : s.conv == u'o' ? 8 : 16;
      std::u16string body = (s.precision == 0 && v == 0) ? u"" : Digits(v, base, s.conv == u'X');
      if (s.precision > 0 && body.size() < static_cast<size_t>(s.precision))
        body.insert(0, s.precision - body.size(), u'0');
      std::u16string_view prefix;
      if (s.alt && v != 0) prefix = s.conv == u'x' ? u"0x" : s.conv == u'X' ? u"0X" : s.conv == u'o' ? u"0" : u"";
      Pad(out, s, prefix, body, true);
      return;
    }
    case u'c': {
      if (a.kind() != K::Signed && a.kind() != K::Unsigned) Fail("%c needs a character");
      std::u16string body(1, static_cast<char16_t>(a.kind() == K::Signed ? a.AsSigned() : a.AsUnsigned()));
      Pad(out, s, u"", body, false);
      return;
    }
    case u's': {
      std::u16string body;
      if (a.kind() == K::Text16) {
        body.assign(a.Text16());
      } else if (a.kind() == K::Text8) {
        body = FromUtf8(a.Text8());
      } else {
        Fail("%s needs a text");
      }
      if (s.precision >= 0 && body.size() > static_cast<size_t>(s.precision)) body.resize(s.precision);
      Pad(out, s, u"", std::move(body), false);
      return;
    }
    default:
      Fail("unsupported conversion");
  }
}

}  // namespace

std::u16string daru::FormatArgs(std::u16string_view fmt, const CFmtArg* args, size_t count) {
  std::u16string out;
  out.reserve(fmt.size() + 16 * count);
  size_t next = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    char16_t c = fmt[i];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    if (++i >= fmt.size()) Fail("template ends in %");
    if (fmt[i] == u'%') {
      out.push_back(u'%');
      continue;
    }
    Conversion s;
    for (; i < fmt.size(); ++i) {
      char16_t f = fmt[i];
      if (f == u'-') s.left = true;
      else if (f == u'0') s.zero = true;
      else if (f == u'+') s.plus = true;
      else if (f == u' ') s.space = true;
      else if (f == u'#') s.alt = true;
      else break;
    }
    for (; i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9'; ++i) s.width = (s.width < 0 ? 0 : s.width) * 10 + (fmt[i] - u'0');
    if (i < fmt.size() && fmt[i] == u'.') {
      s.precision = 0;
      for (++i; i < fmt.size() && fmt[i] >= u'0' && fmt[i] <= u'9'; ++i) s.precision = s.precision * 10 + (fmt[i] - u'0');
    }
    for (; i < fmt.size(); ++i) {
      if (fmt[i] == u'l') ++s.longs;
      else if (fmt[i] == u'h') ++s.shorts;
      else if (fmt[i] == u'z') s.size = true;
      else break;
    }
    if (i >= fmt.size()) Fail("incomplete conversion");
    s.conv = fmt[i];
    if (next >= count) Fail("too few arguments");
    FormatOne(out, s, args[next++]);
  }
  if (next != count) Fail("too many arguments");
  return out;
}
