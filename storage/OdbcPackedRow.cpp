#include "storage/OdbcPackedRow.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The four hex digits at text[at], or -1.
long Hex4(std::string_view text, size_t at) {
  if (at + 4 > text.size()) return -1;
  long value = 0;
  for (size_t i = at; i < at + 4; ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The string whose opening quote is at text[at]; at moves past its closing
// quote. Every escape is shorter than what it stands for, so decoded never
// outgrows the room reserved for the whole row and earlier views stay put.
bool ReadString(std::string_view text, size_t& at, std::string& decoded, std::string_view& value) {
  const size_t start = ++at;
  while (at < text.size() && text[at] != '"' && text[at] != '\\') ++at;
  if (at >= text.size()) return false;
  if (text[at] == '"') {
    value = text.substr(start, at - start);
    ++at;
    return true;
  }
  const size_t first = decoded.size();
  decoded.append(text, start, at - start);
  while (at < text.size() && text[at] != '"') {
    if (text[at] != '\\') {
      decoded += text[at++];
      continue;
    }
    if (++at >= text.size()) return false;
    const char escape = text[at++];
    switch (escape) {
      case '"':
      case '\\':
      case '/':
        decoded += escape;
        break;
      case 'b':
        decoded += '\b';
        break;
      case 'f':
        decoded += '\f';
        break;
      case 'n':
        decoded += '\n';
        break;
      case 'r':
        decoded += '\r';
        break;
      case 't':
        decoded += '\t';
        break;
      case 'u': {
        long unit = Hex4(text, at);
        if (unit < 0) return false;
        at += 4;
        char32_t c = static_cast<char32_t>(unit);
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && text[at] == '\\' && text[at + 1] == 'u') {
          long low = Hex4(text, at + 2);
          if (low >= 0xDC00 && low <= 0xDFFF) {
            c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
            at += 6;
          }
        }
        // A lone surrogate keeps its own three bytes, as the text converter
        // writes one.
        AppendUtf8(decoded, c);
        break;
      }
      default:
        return false;
    }
  }
  if (at >= text.size()) return false;
  ++at;
  value = std::string_view(decoded).substr(first);
  return true;
}

}  // namespace

bool SplitJsonRow(std::string_view row, std::vector<COdbcField>& fields, std::string& decoded) {
  fields.clear();
  decoded.clear();
  decoded.reserve(row.size());
  size_t at = 0;
  auto skipSpace = [&] {
    while (at < row.size() && IsSpace(row[at])) ++at;
  };
  skipSpace();
  if (at >= row.size() || row[at] != '[') return false;
  ++at;
  skipSpace();
  if (at < row.size() && row[at] == ']') {
    ++at;
    skipSpace();
    return at == row.size();
  }
  for (;;) {
    skipSpace();
    if (at >= row.size()) return false;
    COdbcField& field = fields.emplace_back();
    if (row[at] == '"') {
      field.kind = COdbcField::Kind::Text;
      if (!ReadString(row, at, decoded, field.text)) return false;
    } else if (row.substr(at, 4) == "null") {
      at += 4;
    } else {
      // A number (or true/false) as the engine printed it.
      const size_t start = at;
      while (at < row.size() && row[at] != ',' && row[at] != ']' && !IsSpace(row[at]) && row[at] != '"' &&
             row[at] != '[' && row[at] != '{')
        ++at;
      if (at == start) return false;
      field.kind = COdbcField::Kind::Text;
      field.text = row.substr(start, at - start);
    }
    skipSpace();
    if (at >= row.size()) return false;
    if (row[at] == ',') {
      ++at;
      continue;
    }
    if (row[at] != ']') return false;
    ++at;
    skipSpace();
    return at == row.size();
  }
}

bool SplitRecordRow(std::string_view row, std::vector<COdbcField>& fields, std::string& decoded) {
  fields.clear();
  decoded.clear();
  decoded.reserve(row.size());
  if (row.size() < 2 || row.front() != '(' || row.back() != ')') return false;
  size_t at = 1;
  for (;;) {
    COdbcField& field = fields.emplace_back();
    if (row[at] == '"') {
      // A quoted field is viewed where it stands unless it holds a doubled
      // quote or a backslash; then what it stands for is copied, never more
      // than the row holds, so earlier views into decoded stay put.
      const size_t start = ++at;
      const size_t first = decoded.size();
      bool copied = false;
      for (;;) {
        const size_t quote = row.find('"', at);
        if (quote == std::string_view::npos || quote + 1 >= row.size()) return false;
        const size_t backslash = row.substr(0, quote).find('\\', at);
        const size_t stop = backslash != std::string_view::npos ? backslash : quote;
        if (stop == quote && row[quote + 1] != '"') {
          if (copied) {
            decoded.append(row, at, stop - at);
            field.text = std::string_view(decoded).substr(first);
          } else {
            field.text = row.substr(start, stop - start);
          }
          at = stop + 1;
          break;
        }
        // A doubled quote, or a backslash and the character it keeps.
        decoded.append(row, at, stop - at);
        decoded += row[stop + 1];
        copied = true;
        at = stop + 2;
      }
      field.kind = COdbcField::Kind::Text;
    } else {
      // An unquoted field holds no comma and no parenthesis: it ends at the
      // next comma, or at the row's closing parenthesis.
      size_t stop = row.substr(0, row.size() - 1).find(',', at);
      if (stop == std::string_view::npos) stop = row.size() - 1;
      if (stop > at) {
        field.kind = COdbcField::Kind::Text;
        field.text = row.substr(at, stop - at);
      }
      at = stop;
    }
    if (at >= row.size()) return false;
    if (row[at] == ',') {
      ++at;
      continue;
    }
    if (row[at] != ')') return false;
    return at + 1 == row.size();
  }
}
