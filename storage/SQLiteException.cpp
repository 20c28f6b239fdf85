#include "storage/SQLiteException.h"

#include <sqlite3.h>

#include <iterator>
#include <string>

#include "base/TextConv.h"

namespace {

// The names of the engine's primary codes 0 to 28, in code order.
constexpr const char* kCodeNames[] = {
    "SQLITE_OK",       "SQLITE_ERROR",      "SQLITE_INTERNAL", "SQLITE_PERM",      "SQLITE_ABORT", "SQLITE_BUSY",
    "SQLITE_LOCKED",   "SQLITE_NOMEM",      "SQLITE_READONLY", "SQLITE_INTERRUPT", "SQLITE_IOERR", "SQLITE_CORRUPT",
    "SQLITE_NOTFOUND", "SQLITE_FULL",       "SQLITE_CANTOPEN", "SQLITE_PROTOCOL",  "SQLITE_EMPTY", "SQLITE_SCHEMA",
    "SQLITE_TOOBIG",   "SQLITE_CONSTRAINT", "SQLITE_MISMATCH", "SQLITE_MISUSE",    "SQLITE_NOLFS", "SQLITE_AUTH",
    "SQLITE_FORMAT",   "SQLITE_RANGE",      "SQLITE_NOTADB",   "SQLITE_NOTICE",    "SQLITE_WARNING",
};

}  // namespace

const char* CSQLiteException::CodeName(int code) {
  if (code == kLayerError) return "CPPSQLITE_ERROR";
  // Extended codes carry their primary code in the low byte.
  if (code > 0xff) code &= 0xff;
  if (code == SQLITE_ROW) return "SQLITE_ROW";
  if (code == SQLITE_DONE) return "SQLITE_DONE";
  if (code >= 0 && code < static_cast<int>(std::size(kCodeNames))) return kCodeNames[code];
  return "UNKNOWN_ERROR";
}

CSQLiteException::CSQLiteException(int code, char* detail, bool engineAllocated) : m_code(code), m_message(nullptr) {
  Format(detail);
  if (engineAllocated) sqlite3_free(detail);
}

CSQLiteException::CSQLiteException(int code, const char* detail) : m_code(code), m_message(nullptr) { Format(detail); }

CSQLiteException::CSQLiteException(const CSQLiteException& other)
    : m_code(other.m_code),
      m_message(other.m_message ? sqlite3_mprintf("%s", other.m_message) : nullptr),
      m_fallback(m_message ? std::string() : std::string(other.Message())) {}

CSQLiteException& CSQLiteException::operator=(const CSQLiteException& other) {
  if (this == &other) return *this;
  char* copy = other.m_message ? sqlite3_mprintf("%s", other.m_message) : nullptr;
  m_fallback = copy ? std::string() : std::string(other.Message());
  sqlite3_free(m_message);
  m_code = other.m_code;
  m_message = copy;
  return *this;
}

CSQLiteException::~CSQLiteException() { sqlite3_free(m_message); }

void CSQLiteException::Format(const char* detail) {
  m_message = sqlite3_mprintf("%s[%d]: %s", CodeName(m_code), m_code, detail ? detail : "");
  if (m_message == nullptr)
    m_fallback = std::string(CodeName(m_code)) + "[" + std::to_string(m_code) + "]: " + (detail ? detail : "");
}

std::u16string CSQLiteException::MessageW() const { return FromUtf8(Message()); }
