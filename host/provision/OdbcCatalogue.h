#pragma once

#include <filesystem>
#include <string>

// Provisions a data root whose catalogue lives in an ODBC data source: the
// embedded default (the SQLite ODBC driver on DARU/Data/zevdata.mdb) or a
// PostgreSQL database named by connection string. Creates the four tables
// 标签表, 文章表, 文章标签表 and 文章类型表 with their columns in the order the
// store reads them, defaults for the columns an insert may leave out, the
// indexes, the fixed labels and the two article types; then the DARU folder,
// the type folders and the stylesheet, as for the SQLite catalogue. Tables
// that exist are left as they are.

namespace provision {

// The embedded default's connection string for a data root (UTF-8).
std::string EmbeddedOdbcConnection(const std::filesystem::path& root);

// connection empty: the embedded default. True when the catalogue and the
// folders are ready; otherwise false with the reason in error (UTF-8).
bool ProvisionOdbcStore(const std::filesystem::path& root, const std::string& connection, std::string* error = nullptr);

}  // namespace provision
