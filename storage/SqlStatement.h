#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One statement of a store: a fixed template in which every value stands as a
// ? placeholder, and the typed values that fill the placeholders in order.
// Values never become statement text, so no quoting can go wrong and an
// engine compiles each template once. The SQLite access layer binds the
// values; a store over another engine binds them the same way, or renders the
// statement as text where it has no parameters.
//
//   CSqlStatement(u"UPDATE label SET name=?,toplayer=? WHERE labelid=?").Text(name).Int(parent).Int(id)
class CSqlStatement {
 public:
  using Value = std::variant<long long, std::u16string>;

  CSqlStatement() = default;
  // Room for a value per placeholder of the text is made at once: the
  // values of an insert would otherwise move several times while growing.
  explicit CSqlStatement(std::u16string_view text) : m_template(text) {
    m_values.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), u'?')));
  }

  // Appends template text: a fixed fragment with its own placeholders.
  CSqlStatement& Sql(std::u16string_view fragment) {
    m_template += fragment;
    return *this;
  }
  // The value of the next placeholder.
  CSqlStatement& Int(long long value) {
    m_values.emplace_back(value);
    return *this;
  }
  CSqlStatement& Text(std::u16string value) {
    m_values.emplace_back(std::move(value));
    return *this;
  }

  const std::u16string& Template() const { return m_template; }
  const std::vector<Value>& Values() const { return m_values; }

  // The statement as text with its values written in: integers in decimal,
  // texts in single quotes with every quote doubled. For an engine without
  // parameters, and for people reading a statement.
  std::u16string Render() const;

 private:
  std::u16string m_template;
  std::vector<Value> m_values;
};
