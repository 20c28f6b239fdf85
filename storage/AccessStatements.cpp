#include "storage/AccessStatements.h"

#include <cctype>

#include "base/TextConv.h"

namespace {

const char* AccessTable(const std::string& name) {
  if (name == "label") return "标签表";
  if (name == "article") return "文章表";
  if (name == "articletolabel") return "文章标签表";
  if (name == "articletype") return "文章类型表";
  return nullptr;
}

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string Upper(std::string word) {
  for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return word;
}

}  // namespace

std::string AccessTemplate(std::u16string_view catalogueTemplate, COdbcConnection::Dialect dialect) {
  const std::string text = ToUtf8(catalogueTemplate);
  std::string out;
  out.reserve(text.size() + 32);
  std::string previous;     // the last word or punctuation seen, upper case
  bool inFromList = false;  // after FROM, until the next keyword
  bool lastWasTable = false;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\'') {  // a literal passes unchanged
      size_t end = text.find('\'', i + 1);
      end = end == std::string::npos ? text.size() : end + 1;
      out.append(text, i, end - i);
      i = end;
      previous = "'";
      continue;
    }
    if (!IsWordChar(c)) {
      out += c;
      if (c == ',') {
        previous = ",";
      } else if (c != ' ' && c != '\n' && c != '\t') {
        previous = std::string(1, c);
        if (c != '*' && c != '.') inFromList = false;
      }
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && IsWordChar(text[end])) ++end;
    const std::string word = text.substr(i, end - i);
    const std::string keyword = Upper(word);
    const bool qualifies = end < text.size() && text[end] == '.';
    const bool tablePlace = previous == "FROM" || previous == "INTO" || previous == "UPDATE" ||
                            (previous == "," && inFromList && lastWasTable);
    const char* table = (qualifies || tablePlace) ? AccessTable(word) : nullptr;
    if (table != nullptr) {
      out += table;
    } else if (keyword == "LIKE" && dialect == COdbcConnection::Dialect::PostgreSQL) {
      out += "ILIKE";
    } else {
      out += word;
    }
    if (keyword == "FROM")
      inFromList = true;
    else if (table == nullptr && !qualifies)
      inFromList = inFromList && keyword == "AS";
    lastWasTable = table != nullptr && !qualifies;
    previous = keyword;
    i = end;
    // The value of a LIKE follows at once: the pattern's backslash is no escape.
    if (keyword == "LIKE" && dialect == COdbcConnection::Dialect::PostgreSQL) {
      size_t mark = text.find('?', i);
      if (mark != std::string::npos) {
        out.append(text, i, mark + 1 - i);
        out += " ESCAPE ''";
        i = mark + 1;
      }
    }
  }
  return out;
}

CAccessStatement ForAccess(const CSqlStatement& statement, COdbcConnection::Dialect dialect) {
  CAccessStatement out;
  out.sql = AccessTemplate(statement.Template(), dialect);
  out.values.reserve(statement.Values().size());
  for (const CSqlStatement::Value& value : statement.Values()) {
    if (const long long* number = std::get_if<long long>(&value))
      out.values.emplace_back(*number);
    else
      out.values.emplace_back(std::get<std::u16string>(value));
  }
  return out;
}

std::optional<std::string> PackedArticleQuery(const std::string& accessSql, COdbcConnection::Dialect dialect) {
  static const std::string kAll = "SELECT * FROM 文章表";
  static const std::string kQualified = "SELECT 文章表.* FROM ";
  static const std::string kColumns =
      "(文章表.articleid,文章表.filename,文章表.url,文章表.title,文章表.key1,文章表.type,文章表.labels,文章表.label,"
      "文章表.version,文章表.readflag,文章表.impflag,文章表.crdate,文章表.brdate,文章表.lmdate) FROM ";
  // PostgreSQL forms a row of named columns faster than it copies the
  // table's whole row.
  static const std::string kJsonArray = "SELECT json_array" + kColumns;
  static const std::string kRecord = "SELECT ROW" + kColumns;
  const std::string* packed = dialect == COdbcConnection::Dialect::SQLite       ? &kJsonArray
                              : dialect == COdbcConnection::Dialect::PostgreSQL ? &kRecord
                                                                                : nullptr;
  if (packed == nullptr) return std::nullopt;
  if (accessSql.rfind(kAll, 0) == 0 && (accessSql.size() == kAll.size() || accessSql[kAll.size()] == ' '))
    return *packed + accessSql.substr(std::string("SELECT * FROM ").size());
  if (accessSql.rfind(kQualified, 0) == 0) return *packed + accessSql.substr(kQualified.size());
  return std::nullopt;
}
