#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "storage/SqlStatement.h"

// One field of a row being read, valid while its row is handed over: NULL, a
// number the engine gave as one, or UTF-8 text.
struct CCatalogueField {
  enum class Kind { Null, Number, Text };
  Kind kind = Kind::Null;
  long long number = 0;
  std::string_view text;

  bool IsNull() const { return kind == Kind::Null; }
  // The leading decimal integer, as strtoll reads it; 0 for NULL.
  long long Int() const;
  // The text; a number in decimal; empty for NULL.
  std::string Text() const;
};
using CCatalogueFields = std::span<const CCatalogueField>;

// What one engine's statements spell differently, as data the catalogue's
// statements are built with.
struct CCatalogueDialect {
  // How an article row can be asked for as one text: a row of fourteen
  // fields costs some drivers more than the query does.
  enum class RowPacking { None, JsonArray, Record };

  // The catalogue's four tables.
  std::u16string label;
  std::u16string article;
  std::u16string link;
  std::u16string type;
  // Beside the four: the subscriptions, with how the engine spells an
  // automatic key and a 64-bit integer column.
  std::u16string subscription = u"subscription";
  std::u16string autoKey = u"INTEGER PRIMARY KEY AUTOINCREMENT";
  std::u16string bigInt = u"INTEGER";
  // A pattern match that ignores case, as SQLite's LIKE does, and takes a
  // backslash as a character, followed by its ? placeholder.
  std::u16string like = u"LIKE ?";
  RowPacking packing = RowPacking::None;
};

// What the catalogue's operations need of a database engine. The operations
// are written once over it; a store supplies the engine and its messages.
// Every failure of the engine is thrown as the engine's own error, which
// Attempt turns into the store's message.
class CCatalogueEngine {
 public:
  using RowHandler = std::function<void(CCatalogueFields)>;

  virtual ~CCatalogueEngine() = default;

  virtual const CCatalogueDialect& Dialect() const = 0;
  // Runs body; a failure of the engine comes back as the message the store
  // reports, and nothing is thrown. Null when body ran through.
  virtual std::optional<std::u16string> Attempt(const std::function<void()>& body) = 0;

  // The number of rows the statement inserted, changed or deleted.
  virtual long long Execute(const CSqlStatement& statement) = 0;
  // Hands each row to onRow, whose fields are valid during the call only
  // (it must not run statements itself). onRestart: the rows come once more
  // from the first.
  virtual void Rows(const CSqlStatement& statement, const RowHandler& onRow,
                    const std::function<void()>& onRestart) = 0;
  // The rows of an article query, the fourteen columns of the article table
  // in their order; packed is the same query asking for each row as one text
  // in the dialect's packing, for an engine that reads those faster.
  virtual void ArticleRows(const CSqlStatement& plain, const CSqlStatement* packed, const RowHandler& onRow,
                           const std::function<void()>& onRestart) {
    Rows(plain, onRow, onRestart);
  }
  // Inserts one row and returns the key the engine gave it (keyColumn), not
  // another writer's; null when no row went in.
  virtual std::optional<long long> Insert(const CSqlStatement& statement, const char* keyColumn) = 0;

  // A writing transaction. Other writers wait from its start, so that what
  // it reads stays true until it ends; where the engine locks by table,
  // lockTable (one of the dialect's tables, or null) is held till the end.
  virtual void Begin(const std::u16string* lockTable) = 0;
  virtual void Commit() = 0;
  virtual void Rollback() noexcept = 0;
};

// One transaction on an engine, rolled back unless committed, so that any
// failure inside leaves the catalogue as it was.
class CEngineTransaction {
 public:
  explicit CEngineTransaction(CCatalogueEngine& engine, const std::u16string* lockTable = nullptr) : m_engine(engine) {
    m_engine.Begin(lockTable);
  }
  ~CEngineTransaction() {
    if (!m_committed) m_engine.Rollback();
  }
  CEngineTransaction(const CEngineTransaction&) = delete;
  CEngineTransaction& operator=(const CEngineTransaction&) = delete;
  void Commit() {
    m_engine.Commit();
    m_committed = true;
  }

 private:
  CCatalogueEngine& m_engine;  // borrowed: the store's engine
  bool m_committed = false;
};
