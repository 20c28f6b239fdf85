#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/DaruApi.h"
#include "storage/DB.h"

class COdbcConnection;
class CSqlStatement;
class _com_error;
using COdbcRow = std::vector<std::optional<std::string>>;

// The catalogue store over an ODBC data source: by default the SQLite ODBC
// driver on DARU/Data/zevdata.mdb under the data root, or any data source a
// host names by connection string (a PostgreSQL server for a catalogue that
// several machines share). Its tables are 标签表, 文章表, 文章标签表 and
// 文章类型表. It keeps the same contract as the SQLite store, operation by
// operation; failures of the driver become the last error as a COM error text.
// The store factory never creates it; a host constructs it and may hand it to
// CDARU::Init.
class DARU_API CDBAccess : public CDB {
 public:
  CDBAccess();  // the embedded default
  explicit CDBAccess(std::u16string connectionString);
  // Copies share the connection.
  CDBAccess(const CDBAccess& other);
  CDBAccess& operator=(const CDBAccess& other);
  ~CDBAccess() override;

  bool InitDB() override;
  bool AddLabel(CLabel& label) override;
  bool UpdateLabel(CLabel& label) override;
  bool DeleteLabel(CLabel& label) override;
  bool QueryLabel(std::vector<CLabel*>& out, CLabel pattern, unsigned mask) override;
  bool QueryArticleType(std::vector<CArticleType>& out) override;
  bool QueryLabelToArticle(CLabelToArticle& link) override;
  bool AddLabelToArticle(CLabelToArticle& link) override;
  bool DeleteLabelToArticle(CLabelToArticle& link) override;
  bool AddArticle(CArticle& article) override;
  bool QueryArticle(std::vector<CArticle*>& out, CLabel* label, CArticle pattern, unsigned mask) override;
  bool QueryArticle(std::vector<CArticle*>& out, CArticle pattern, unsigned mask, bool like) override;
  bool UpdateArticle(CArticle& article) override;
  bool DeleteArticle(CArticle* article, CLabel* label) override;
  bool ReplaceArticleLabels(int articleid, const std::vector<int>& labelids, int& failedLabel) override;
  bool RenameLabel(CLabel& label) override;
  bool MoveLabel(CLabel& label) override;
  int FileArticle(CArticle& article, int labelid) override;

  bool AddSubscription(CSubscription& subscription) override;
  bool UpdateSubscription(const CSubscription& subscription) override;
  bool QuerySubscriptions(std::vector<CSubscription>& out) override;
  bool DeleteSubscription(int subscriptionid) override;

  // The connection string of the embedded default under the current data root.
  static std::u16string DefaultConnectionString();

 private:
  friend class CDBAccessTestAccess;

  // Runs a statement text as it stands; a failure becomes the last error.
  bool ExecuteSQL(COdbcConnection* connection, const std::u16string& statement);
  // The text of one field of a row; empty for NULL.
  std::u16string GetFieldValue(const COdbcRow& fields, int index);
  // The four-line text of a COM error: code, its meaning, source, description.
  std::u16string GetComError(const _com_error& error);
  // Kept for callers that embed texts themselves; no operation here does.
  std::u16string EscapeQuote(std::u16string text);

  // Runs one operation's body: a failure of the driver rolls back an open
  // transaction and becomes the last error, so no exception leaves the store.
  template <class Body>
  bool Guarded(Body&& body);
  COdbcConnection& Connection();
  // A catalogue statement on this store's tables, its values bound.
  long long Run(const CSqlStatement& statement);
  std::vector<COdbcRow> Rows(const CSqlStatement& statement);
  std::optional<long long> InsertRow(const CSqlStatement& statement, const char* keyColumn);
  // The articles a statement yields, appended to out; none when it fails.
  void LoadArticles(const CSqlStatement& statement, std::vector<CArticle*>& out);
  bool InsertLink(const CLabelToArticle& link);
  // Sets the article's label count to its number of links and returns it.
  int Recount(int articleid);
  // False with the last error set when the label's parent id lies in its own
  // branch, as the catalogue holds it now.
  bool ParentIsOutsideBranch(const CLabel& label);
  // Makes the subscription table when the catalogue has none yet.
  void EnsureSubscriptions();
  // A subscription operation's body; a driver failure becomes the last error.
  template <class Body>
  bool SubscriptionGuarded(Body&& body);

  std::u16string m_connectionString;              // empty: the embedded default
  std::shared_ptr<COdbcConnection> m_connection;  // shared with copies; null until InitDB succeeds
  bool m_subscriptionsReady = false;              // the subscription table is known to exist
};
