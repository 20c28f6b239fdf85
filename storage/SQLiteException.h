#pragma once

#include <string>

// The one error type of the SQLite access layer. Its message reads
// "NAME[code]: detail", NAME being the engine's name for the code.
//
// Codes are the engine's result codes, or 1000 for the layer's own errors. An
// extended result code (primary code in the low byte) is named after its
// primary code but keeps its full value, so nothing the engine said is lost.
class CSQLiteException {
 public:
  // The layer's own code and its three detail texts.
  static constexpr int kLayerError = 1000;
  static constexpr const char* kNotOpen = "Database not open";
  static constexpr const char* kNullMachine = "Null Virtual Machine pointer";
  static constexpr const char* kBadFieldIndex = "Invalid field index requested";

  // detail may be null; when engineAllocated it came from the engine's
  // allocator and is released here, right after formatting.
  CSQLiteException(int code, char* detail, bool engineAllocated);
  CSQLiteException(int code, const char* detail);
  CSQLiteException(const CSQLiteException& other);
  CSQLiteException& operator=(const CSQLiteException& other);
  virtual ~CSQLiteException();

  int Code() const { return m_code; }
  // The narrow (UTF-8) message; empty if the engine could not allocate it.
  const char* Message() const { return m_message ? m_message : ""; }
  // The message as the stores report it.
  std::u16string MessageW() const;

  static const char* CodeName(int code);

 private:
  void Format(const char* detail);

  int m_code;
  char* m_message;  // owned, allocated by sqlite3_mprintf; may be null
};
