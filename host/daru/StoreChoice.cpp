#include "daru/StoreChoice.h"

#include <cstdlib>

#include "daru/Request.h"
#include "darulib.h"
#include "provision/DataRoot.h"
#include "provision/OdbcCatalogue.h"

namespace {

constexpr const char* kOdbcPrefix = "odbc:";

}  // namespace

StoreChoice StoreChoice::Parse(const std::string& option) {
  std::string text = option;
  if (text.empty()) {
    const char* env = std::getenv("DARU_STORE");
    text = env ? env : "";
  }
  StoreChoice choice;
  if (text.empty() || text == "sqlite") return choice;
  if (text == "access") {
    choice.kind = Kind::Access;
    return choice;
  }
  if (text.rfind(kOdbcPrefix, 0) == 0 && text.size() > std::char_traits<char>::length(kOdbcPrefix)) {
    choice.kind = Kind::Odbc;
    choice.connection = text.substr(std::char_traits<char>::length(kOdbcPrefix));
    return choice;
  }
  throw UsageError("unknown store '" + text + "': use sqlite, access or \"odbc:CONNECTION STRING\"");
}

std::string StoreChoice::Describe() const {
  switch (kind) {
    case Kind::Sqlite:
      return "the SQLite catalogue";
    case Kind::Access:
      return "the ODBC catalogue DARU/Data/zevdata.mdb";
    case Kind::Odbc:
      return "the ODBC data source";
  }
  return {};
}

CDB* StoreChoice::NewStore() const {
  switch (kind) {
    case Kind::Sqlite:
      return nullptr;
    case Kind::Access:
      return new CDBAccess();
    case Kind::Odbc:
      return new CDBAccess(FromUtf8(connection));
  }
  return nullptr;
}

bool StoreChoice::IsProvisioned(const std::filesystem::path& root) const {
  std::error_code ec;
  switch (kind) {
    case Kind::Sqlite:
      return std::filesystem::is_regular_file(provision::CatalogueFile(root), ec);
    case Kind::Access:
      return std::filesystem::is_regular_file(provision::DaruFolder(root) / "Data" / "zevdata.mdb", ec);
    case Kind::Odbc:
      return std::filesystem::is_directory(provision::DaruFolder(root), ec);
  }
  return false;
}

bool StoreChoice::Provision(const std::filesystem::path& root, std::string& error, bool* created) const {
  if (kind != Kind::Sqlite && created != nullptr) *created = !IsProvisioned(root);
  switch (kind) {
    case Kind::Sqlite:
      return provision::ProvisionDataRoot(root, &error, created);
    case Kind::Access:
      return provision::ProvisionOdbcStore(root, "", &error);
    case Kind::Odbc:
      return provision::ProvisionOdbcStore(root, connection, &error);
  }
  return false;
}
