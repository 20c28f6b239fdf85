#include "storage/DBAccess.h"

#include <sys/stat.h>

#include <memory>

#include "base/TextConv.h"
#include "base/U16Format.h"
#include "core/ArticleLocations.h"
#include "storage/OdbcApi.h"
#include "storage/OdbcEngine.h"

namespace {

const std::u16string kMissingComponents = u"本机缺少程序运行所需MDAC组件，请安装该组件后再运行。";
constexpr const char16_t* kNotConnected = u"未能正确连接到数据库,请先调用InitDB连接数据库。";

// The embedded catalogue's password travels with the connection string; the
// driver ignores what it cannot use.
constexpr const char16_t* kDefaultConnection =
    u"Driver=SQLite3;Database=%s/DARU/Data/zevdata.mdb;PWD=2#4!6&;Timeout=60000;";

// The embedded catalogue's file under the current data root.
std::string EmbeddedFile() { return ToUtf8(GetDataRoot()) + "/DARU/Data/zevdata.mdb"; }

// A file its owner may not write is read-only for everyone, root included,
// as the SQLite store takes it.
bool IsReadOnlyFile(const std::string& file) {
  struct stat st {};
  return stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0;
}

// The driver a connection string names (its Driver= setting), empty when it
// names none.
std::u16string DriverNamed(const std::u16string& connection) {
  size_t at = 0;
  while (at < connection.size()) {
    size_t end = connection.find(u';', at);
    if (end == std::u16string::npos) end = connection.size();
    std::u16string setting = connection.substr(at, end - at);
    const size_t equals = setting.find(u'=');
    if (equals != std::u16string::npos) {
      std::u16string key = setting.substr(0, equals);
      while (!key.empty() && key.front() == u' ') key.erase(key.begin());
      while (!key.empty() && key.back() == u' ') key.pop_back();
      for (char16_t& c : key)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
      if (key == u"driver") {
        std::u16string value = setting.substr(equals + 1);
        if (value.size() >= 2 && value.front() == u'{' && value.back() == u'}')
          value = value.substr(1, value.size() - 2);
        return value;
      }
    }
    at = end + 1;
  }
  return {};
}

}  // namespace

CDBAccess::CDBAccess() : m_engine(std::make_unique<COdbcEngine>()) {}
CDBAccess::CDBAccess(std::u16string connectionString)
    : m_connectionString(std::move(connectionString)), m_engine(std::make_unique<COdbcEngine>()) {}
CDBAccess::CDBAccess(const CDBAccess& other)
    : CCatalogueStore(other),
      m_connectionString(other.m_connectionString),
      m_engine(std::make_unique<COdbcEngine>(*other.m_engine)) {}
CDBAccess& CDBAccess::operator=(const CDBAccess& other) {
  if (this == &other) return *this;
  CCatalogueStore::operator=(other);
  m_connectionString = other.m_connectionString;
  *m_engine = *other.m_engine;
  return *this;
}
CDBAccess::~CDBAccess() = default;

CCatalogueEngine& CDBAccess::Engine() { return *m_engine; }

std::u16string CDBAccess::DefaultConnectionString() { return Fmt(kDefaultConnection, GetDataRoot()); }

std::u16string CDBAccess::GetComError(const _com_error& error) { return ComErrorText(error); }

std::u16string CDBAccess::EscapeQuote(std::u16string text) { return text; }

std::u16string CDBAccess::GetFieldValue(const COdbcRow& fields, int index) {
  if (index < 0 || static_cast<size_t>(index) >= fields.size() || !fields[index]) return {};
  return FromUtf8(*fields[index]);
}

bool CDBAccess::ExecuteSQL(COdbcConnection* connection, const std::u16string& statement) {
  try {
    if (connection == nullptr || !connection->IsOpen()) throw _com_error(E_POINTER);
    connection->Execute(ToUtf8(statement));
    return true;
  } catch (const _com_error& e) {
    SetLastDBError(ComErrorLine(e));
    return false;
  }
}

bool CDBAccess::InitDB() {
  const bool embedded = m_connectionString.empty();
  const std::u16string text = embedded ? DefaultConnectionString() : m_connectionString;
  auto connection = std::make_shared<COdbcConnection>();
  try {
    // A separator in the data root would end the file name early and let the
    // rest of the folder name be read as further settings.
    if (embedded && GetDataRoot().find_first_of(u";{}") != std::u16string::npos)
      throw _com_error(E_INVALIDARG, u"",
                       u"the data root holds a character (; { }) that a connection string cannot carry");
    connection->Open(ToUtf8(text));
    if (connection->GetDialect() == COdbcConnection::Dialect::SQLite) {
      // As the SQLite store does: with a write-ahead log a commit need not
      // wait for the disk, and the catalogue stays whole after a power cut.
      std::vector<COdbcRow> mode = connection->Query("PRAGMA journal_mode");
      const bool wal = !mode.empty() && !mode[0].empty() && mode[0][0] == "wal";
      // The driver opens the file for writing whoever may write it (root
      // may write any file); a file its owner may not write stays as it is.
      if (embedded && IsReadOnlyFile(EmbeddedFile()))
        connection->Execute("PRAGMA query_only=1");
      else if (wal)
        connection->Execute("PRAGMA synchronous=NORMAL");
    }
  } catch (const COdbcError& e) {
    // No driver manager at all; no driver where the string names one (or
    // its library cannot load); the embedded default's driver missing,
    // which is a component the library itself needs.
    const bool noDriver = e.SqlState() == "IM003" || e.SqlState() == "IM002";
    const std::u16string driver = embedded ? u"SQLite3" : DriverNamed(text);
    if (OdbcApi() == nullptr)
      SetLastDBError(kMissingComponents);
    else if (noDriver && embedded)
      SetLastDBError(kMissingComponents + (u"(ODBC驱动程序“" + driver + u"”: " + e.Description() + u")"));
    else if (noDriver && !driver.empty())
      SetLastDBError(u"本机缺少ODBC驱动程序“" + driver + u"”，请安装该驱动程序后再运行。(" + e.Description() + u")");
    else
      SetLastDBError(ComErrorLine(e));
    return false;
  } catch (const _com_error& e) {
    SetLastDBError(ComErrorLine(e));
    return false;
  }
  m_engine->Attach(std::move(connection));
  return true;
}

bool CDBAccess::AddLabel(CLabel& label) {
  if (!m_engine->Shared() || !m_engine->Shared()->IsOpen()) {
    SetLastDBError(kNotConnected);
    return false;
  }
  return CCatalogueStore::AddLabel(label);
}
