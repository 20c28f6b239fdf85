// The subscription table of the SQLite catalogue.

#include "storage/DBSqlite.h"
#include "storage/SqlStatement.h"

namespace {

// One row per address; the rows that the labels, articles and links are
// made of do not change.
constexpr const char16_t* kCreate =
    u"CREATE TABLE IF NOT EXISTS subscription(subscriptionid INTEGER PRIMARY KEY AUTOINCREMENT,"
    u" url TEXT NOT NULL UNIQUE, title TEXT, labelid INTEGER DEFAULT 0, etag TEXT, lastmodified TEXT,"
    u" lastfetched INTEGER DEFAULT 0, lasterror TEXT)";

constexpr const char16_t* kSelect =
    u"SELECT subscriptionid, url, title, labelid, etag, lastmodified, lastfetched, lasterror FROM subscription"
    u" ORDER BY subscriptionid";

}  // namespace

void CDBSqlite::EnsureSubscriptions() {
  if (m_subscriptionsReady) return;
  m_db.Execute(kCreate);
  m_subscriptionsReady = true;
}

bool CDBSqlite::AddSubscription(CSubscription& s) {
  if (s.url.empty()) {
    SetLastDBError(u"未提供订阅的地址。");
    return false;
  }
  return Guarded([&] {
    EnsureSubscriptions();
    CSQLiteTransaction transaction(m_db, CSQLiteTransaction::Write);
    CSQLiteQuery kept = m_db.Query(CSqlStatement(u"SELECT subscriptionid FROM subscription WHERE url=?").Text(s.url));
    const bool exists = !kept.IsEof();
    kept.Finalize();
    if (exists) {
      SetLastDBError(u"已经订阅了这个地址。");
      return false;
    }
    if (m_db.Execute(
            CSqlStatement(u"INSERT INTO subscription(url,title,labelid,etag,lastmodified,lastfetched,lasterror)"
                          u" VALUES(?,?,?,?,?,?,?)")
                .Text(s.url)
                .Text(s.title)
                .Int(s.labelid)
                .Text(s.etag)
                .Text(s.lastModified)
                .Int(s.lastFetched)
                .Text(s.lastError)) <= 0)
      return false;
    const int id = static_cast<int>(m_db.LastInsertRowId());
    transaction.Commit();
    s.subscriptionid = id;
    return true;
  });
}

bool CDBSqlite::UpdateSubscription(const CSubscription& s) {
  return Guarded([&] {
    EnsureSubscriptions();
    return m_db.Execute(CSqlStatement(u"UPDATE subscription SET url=?,title=?,labelid=?,etag=?,lastmodified=?,"
                                      u"lastfetched=?,lasterror=? WHERE subscriptionid=?")
                            .Text(s.url)
                            .Text(s.title)
                            .Int(s.labelid)
                            .Text(s.etag)
                            .Text(s.lastModified)
                            .Int(s.lastFetched)
                            .Text(s.lastError)
                            .Int(s.subscriptionid)) > 0;
  });
}

bool CDBSqlite::QuerySubscriptions(std::vector<CSubscription>& out) {
  return Guarded([&] {
    EnsureSubscriptions();
    CSQLiteQuery rows = m_db.Query(std::u16string(kSelect));
    std::vector<CSubscription> read;
    while (!rows.IsEof()) {
      CSubscription s;
      s.subscriptionid = rows.GetInt(0, 0);
      s.url = rows.GetString(1, u"");
      s.title = rows.GetString(2, u"");
      s.labelid = rows.GetInt(3, 0);
      s.etag = rows.GetString(4, u"");
      s.lastModified = rows.GetString(5, u"");
      s.lastFetched = rows.GetInt64(6, 0);
      s.lastError = rows.GetString(7, u"");
      read.push_back(std::move(s));
      rows.NextRow();
    }
    rows.Finalize();
    out.insert(out.end(), read.begin(), read.end());
    return true;
  });
}

bool CDBSqlite::DeleteSubscription(int subscriptionid) {
  return Guarded([&] {
    EnsureSubscriptions();
    return m_db.Execute(CSqlStatement(u"DELETE FROM subscription WHERE subscriptionid=?").Int(subscriptionid)) > 0;
  });
}
