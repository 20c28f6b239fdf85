// The subscription table of an ODBC catalogue (订阅表), beside the four.

#include <string>

#include "base/TextConv.h"
#include "platform/ComError.h"
#include "storage/DBAccess.h"
#include "storage/OdbcConnection.h"
#include "storage/OdbcError.h"

namespace {

constexpr const char* kSelect =
    "SELECT subscriptionid, url, title, labelid, etag, lastmodified, lastfetched, lasterror FROM 订阅表"
    " ORDER BY subscriptionid";

std::string Text(const COdbcRow& row, size_t index) {
  return index < row.size() && row[index] ? *row[index] : std::string();
}

long long Number(const COdbcRow& row, size_t index) {
  return index < row.size() && row[index] ? std::strtoll(row[index]->c_str(), nullptr, 10) : 0;
}

}  // namespace

template <class Body>
bool CDBAccess::SubscriptionGuarded(Body&& body) {
  try {
    return body();
  } catch (const _com_error& e) {
    if (m_connection && m_connection->InTransaction()) m_connection->Rollback();
    SetLastDBError(GetComError(e));
  } catch (const std::bad_alloc&) {
    SetLastDBError(GetComError(_com_error(E_OUTOFMEMORY)));
  }
  return false;
}

void CDBAccess::EnsureSubscriptions() {
  if (m_subscriptionsReady) return;
  COdbcConnection& db = Connection();
  const bool pg = db.GetDialect() == COdbcConnection::Dialect::PostgreSQL;
  const std::string key = pg ? " SERIAL PRIMARY KEY" : " INTEGER PRIMARY KEY AUTOINCREMENT";
  const std::string time = pg ? " BIGINT DEFAULT 0" : " INTEGER DEFAULT 0";
  db.Execute("CREATE TABLE IF NOT EXISTS 订阅表(subscriptionid" + key +
             ", url TEXT NOT NULL UNIQUE, title TEXT, labelid INTEGER DEFAULT 0, etag TEXT, lastmodified TEXT,"
             " lastfetched" +
             time + ", lasterror TEXT)");
  m_subscriptionsReady = true;
}

bool CDBAccess::AddSubscription(CSubscription& s) {
  if (s.url.empty()) {
    SetLastDBError(u"未提供订阅的地址。");
    return false;
  }
  return SubscriptionGuarded([&] {
    EnsureSubscriptions();
    COdbcConnection& db = Connection();
    // The unique address refuses a second row whoever inserts it; the look-up
    // first only gives the refusal its own words.
    if (!db.Query("SELECT subscriptionid FROM 订阅表 WHERE url=?", {COdbcValue(s.url)}).empty()) {
      SetLastDBError(u"已经订阅了这个地址。");
      return false;
    }
    std::optional<long long> id =
        db.Insert("INSERT INTO 订阅表(url,title,labelid,etag,lastmodified,lastfetched,lasterror) VALUES(?,?,?,?,?,?,?)",
                  {COdbcValue(s.url), COdbcValue(s.title), COdbcValue(s.labelid), COdbcValue(s.etag),
                   COdbcValue(s.lastModified), COdbcValue(s.lastFetched), COdbcValue(s.lastError)},
                  "subscriptionid");
    if (!id) return false;
    s.subscriptionid = static_cast<int>(*id);
    return true;
  });
}

bool CDBAccess::UpdateSubscription(const CSubscription& s) {
  return SubscriptionGuarded([&] {
    EnsureSubscriptions();
    return Connection().Execute(
               "UPDATE 订阅表 SET url=?,title=?,labelid=?,etag=?,lastmodified=?,lastfetched=?,"
               "lasterror=? WHERE subscriptionid=?",
               {COdbcValue(s.url), COdbcValue(s.title), COdbcValue(s.labelid), COdbcValue(s.etag),
                COdbcValue(s.lastModified), COdbcValue(s.lastFetched), COdbcValue(s.lastError),
                COdbcValue(s.subscriptionid)}) > 0;
  });
}

bool CDBAccess::QuerySubscriptions(std::vector<CSubscription>& out) {
  return SubscriptionGuarded([&] {
    EnsureSubscriptions();
    std::vector<COdbcRow> rows = Connection().Query(kSelect);
    for (const COdbcRow& row : rows) {
      CSubscription s;
      s.subscriptionid = static_cast<int>(Number(row, 0));
      s.url = FromUtf8(Text(row, 1));
      s.title = FromUtf8(Text(row, 2));
      s.labelid = static_cast<int>(Number(row, 3));
      s.etag = FromUtf8(Text(row, 4));
      s.lastModified = FromUtf8(Text(row, 5));
      s.lastFetched = Number(row, 6);
      s.lastError = FromUtf8(Text(row, 7));
      out.push_back(std::move(s));
    }
    return true;
  });
}

bool CDBAccess::DeleteSubscription(int subscriptionid) {
  return SubscriptionGuarded([&] {
    EnsureSubscriptions();
    return Connection().Execute("DELETE FROM 订阅表 WHERE subscriptionid=?", {COdbcValue(subscriptionid)}) > 0;
  });
}
