#include "storage/OdbcError.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

#include "base/U16Format.h"

namespace {

bool Has(const std::string& lowered, const char* part) { return lowered.find(part) != std::string::npos; }

// The system texts of the codes a store can meet; the rest have none.
const std::pair<uint32_t, const char16_t*> kMeanings[] = {
    {0x80004001u, u"Not implemented"},
    {0x80004002u, u"No such interface supported"},
    {0x80004003u, u"Invalid pointer"},
    {0x80004004u, u"Operation aborted"},
    {0x80004005u, u"Unspecified error"},
    {0x8000FFFFu, u"Catastrophic failure"},
    {0x80040154u, u"Class not registered"},
    {0x80070005u, u"Access is denied."},
    {0x8007000Eu, u"Not enough storage is available to complete this operation."},
    {0x80070057u, u"The parameter is incorrect."},
};

}  // namespace

HRESULT HResultFromDiagnostic(const std::string& sqlstate, const std::string& message) {
  const std::string cls = sqlstate.substr(0, 2);
  if (sqlstate == "42S02" || sqlstate == "42P01") return DB_E_NOTABLE;
  if (cls == "42" || cls == "37") return DB_E_ERRORSINCOMMAND;
  if (cls == "23") return DB_E_INTEGRITYVIOLATION;
  if (cls == "28") return DB_SEC_E_AUTH_FAILED;
  if (sqlstate == "HY001" || sqlstate == "53200") return E_OUTOFMEMORY;
  std::string lowered = message;
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  // The PostgreSQL driver reports a refused login as a failed connection.
  if (Has(lowered, "authentication failed")) return DB_SEC_E_AUTH_FAILED;
  if (sqlstate == "HY000") {
    // The SQLite driver reports every engine failure under this one state.
    if (Has(lowered, "no such table")) return DB_E_NOTABLE;
    if (Has(lowered, "syntax error") || Has(lowered, "unrecognized token") || Has(lowered, "no such column") ||
        Has(lowered, "incomplete input"))
      return DB_E_ERRORSINCOMMAND;
    if (Has(lowered, "constraint")) return DB_E_INTEGRITYVIOLATION;
    if (Has(lowered, "out of memory")) return E_OUTOFMEMORY;
  }
  return E_FAIL;
}

std::u16string ComErrorMeaning(HRESULT hr) {
  const uint32_t code = static_cast<uint32_t>(hr);
  for (const auto& [known, text] : kMeanings)
    if (known == code) return text;
  const uint32_t facility = (code >> 16) & 0x1FFF;
  const uint32_t low = code & 0xFFFF;
  if (FAILED(hr) && facility == 4 && low > 0x0200) return Fmt(u"IDispatch error #%d", static_cast<int>(low - 0x0200));
  return Fmt(u"Unknown error 0x%0lX", static_cast<unsigned long>(code));
}

std::u16string ComErrorText(const _com_error& error) {
  return Fmt(u"Code = %08lx\nCode meaning = %s\nSource = %s\nDescription = %s",
             static_cast<unsigned long>(static_cast<uint32_t>(error.Error())), ComErrorMeaning(error.Error()),
             error.Source(), error.Description());
}

std::u16string ComErrorLine(const _com_error& error) {
  std::u16string description = error.Description();
  for (char16_t& c : description)
    if (c == u'\n' || c == u'\r') c = u' ';
  return Fmt(u"Code = %08lx; Code meaning = %s; Source = %s; Description = %s",
             static_cast<unsigned long>(static_cast<uint32_t>(error.Error())), ComErrorMeaning(error.Error()),
             error.Source(), description);
}
