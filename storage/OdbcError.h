#pragma once

#include <string>

#include "platform/ComError.h"

// OLE DB failure codes that ODBC diagnostics are reported as.
constexpr HRESULT DB_E_ERRORSINCOMMAND = static_cast<HRESULT>(0x80040E14u);
constexpr HRESULT DB_E_INTEGRITYVIOLATION = static_cast<HRESULT>(0x80040E2Fu);
constexpr HRESULT DB_E_NOTABLE = static_cast<HRESULT>(0x80040E37u);
constexpr HRESULT DB_SEC_E_AUTH_FAILED = static_cast<HRESULT>(0x80040E4Du);

// A failure of the driver manager or a driver, as the COM error a data
// provider raises, with the SQLSTATE kept for callers that tell failures apart.
class COdbcError : public _com_error {
 public:
  COdbcError(HRESULT hr, std::u16string source, std::u16string description, std::string sqlstate)
      : _com_error(hr, std::move(source), std::move(description)), m_sqlstate(std::move(sqlstate)) {}
  const std::string& SqlState() const { return m_sqlstate; }

 private:
  std::string m_sqlstate;
};

// The failure code for a diagnostic: by SQLSTATE class, and for the engine
// failures that a driver reports all alike (HY000), by what the text tells.
HRESULT HResultFromDiagnostic(const std::string& sqlstate, const std::string& message);

// The system's text for a code: a known code's message, "IDispatch error #n"
// for interface-defined failures above 0x0200, else "Unknown error 0x...".
std::u16string ComErrorMeaning(HRESULT hr);

// "Code = ...\nCode meaning = ...\nSource = ...\nDescription = ...".
std::u16string ComErrorText(const _com_error& error);
// The same four parts on one line, separated by "; ", as a store's last error
// reads: a message of a command line tool or a dialog is one line.
std::u16string ComErrorLine(const _com_error& error);
