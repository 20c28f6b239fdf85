#pragma once

#include <sql.h>
#include <sqlext.h>

// The ODBC driver manager's functions, looked up when first needed rather than
// linked: a machine without unixODBC still loads the library, and the store
// that needs it reports the missing component instead.
struct COdbcApi {
#define DARU_ODBC_FUNCTIONS(X) \
  X(SQLAllocHandle)            \
  X(SQLFreeHandle)             \
  X(SQLSetEnvAttr)             \
  X(SQLSetConnectAttr)         \
  X(SQLDriverConnect)          \
  X(SQLDisconnect)             \
  X(SQLGetInfo)                \
  X(SQLGetDiagRec)             \
  X(SQLExecDirect)             \
  X(SQLPrepare)                \
  X(SQLExecute)                \
  X(SQLBindParameter)          \
  X(SQLRowCount)               \
  X(SQLNumResultCols)          \
  X(SQLFetch)                  \
  X(SQLGetData)                \
  X(SQLBindCol)                \
  X(SQLDescribeCol)            \
  X(SQLSetStmtAttr)            \
  X(SQLFreeStmt)               \
  X(SQLEndTran)
#define DARU_ODBC_MEMBER(name) decltype(&::name) name = nullptr;
  DARU_ODBC_FUNCTIONS(DARU_ODBC_MEMBER)
#undef DARU_ODBC_MEMBER
};

// The driver manager's functions, or null when it is not installed. Loaded
// once per process and never unloaded.
const COdbcApi* OdbcApi();
