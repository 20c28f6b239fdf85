#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/OdbcConnection.h"
#include "storage/SqlStatement.h"

// A catalogue statement as the ODBC store runs it: the same template with the
// store's own table names (标签表, 文章表, 文章标签表, 文章类型表), as UTF-8, with
// the values bound, not written in.
struct CAccessStatement {
  std::string sql;
  std::vector<COdbcValue> values;
};

// A table name of the template is a name after FROM, INTO or UPDATE, one
// more in a FROM list, or one that qualifies a column; a column that shares a
// table's name ("label") stays. On PostgreSQL a LIKE compares case-blind, as
// SQLite's does, and takes a backslash as a character.
std::string AccessTemplate(std::u16string_view catalogueTemplate, COdbcConnection::Dialect dialect);
CAccessStatement ForAccess(const CSqlStatement& statement, COdbcConnection::Dialect dialect);

// An article query of the store (every column of 文章表, as SELECT * or
// SELECT 文章表.* gives them) with each row asked for as one text of the
// fourteen columns in their order: on SQLite a JSON array, on PostgreSQL a
// row value. nullopt for any other statement or engine.
std::optional<std::string> PackedArticleQuery(const std::string& accessSql, COdbcConnection::Dialect dialect);
