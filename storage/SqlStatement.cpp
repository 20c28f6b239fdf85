#include "storage/SqlStatement.h"

#include <string>

std::u16string CSqlStatement::Render() const {
  std::u16string out;
  out.reserve(m_template.size() + 16 * m_values.size());
  size_t next = 0;
  bool quoted = false;  // a ? inside a literal of the template is no placeholder
  for (char16_t c : m_template) {
    if (c == u'\'') quoted = !quoted;
    if (c != u'?' || quoted || next >= m_values.size()) {
      out += c;
      continue;
    }
    const Value& value = m_values[next++];
    if (const long long* number = std::get_if<long long>(&value)) {
      for (char digit : std::to_string(*number)) out += static_cast<char16_t>(digit);
    } else {
      out += u'\'';
      for (char16_t t : std::get<std::u16string>(value)) {
        out += t;
        if (t == u'\'') out += u'\'';
      }
      out += u'\'';
    }
  }
  return out;
}
