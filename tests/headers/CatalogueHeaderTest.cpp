// The catalogue header must live beside a terminal program's headers: curses
// defines TRUE, FALSE and many short macros, and a host may name its own
// windows HWND or RECT.
#include <curses.h>

#include "darulib.h"

// Names the windows' header declares; were any of them in the catalogue
// header, these would not compile.
struct HWND__ {};
using HWND = int;
struct RECT {
  int left;
};
struct CWnd {};
struct CTreeCtrl {
  int item;
};
inline int SendMessage(int message) { return message; }

#include <gtest/gtest.h>

#include <type_traits>

// The stores' engines stay behind the library: neither the SQLite access
// layer nor the ODBC connection is defined for a host.
class CSQLiteDB;
class CSQLiteException;
class CSqlStatement;
class COdbcConnection;
template <class T, class = void>
struct IsDefined : std::false_type {};
template <class T>
struct IsDefined<T, std::void_t<decltype(sizeof(T))>> : std::true_type {};
static_assert(!IsDefined<CSQLiteDB>::value && !IsDefined<CSQLiteException>::value && !IsDefined<CSqlStatement>::value &&
              !IsDefined<COdbcConnection>::value);

TEST(CatalogueHeader, CompilesBesideCursesAndHostWindowNames) {
  static_assert(TRUE == 1 && FALSE == 0, "curses' own TRUE and FALSE stay in force");
  struct tm fields {};
  fields.tm_year = 105;
  fields.tm_mon = 2;
  fields.tm_mday = 7;
  fields.tm_hour = 9;
  fields.tm_min = 5;
  const CStdTime time(fields);
  EXPECT_EQ(time.GetFmtString(), u"2005/03/07  9:05:00");
  CArticle article;
  article.title = u"标题";
  EXPECT_EQ(ToUtf8(article.title), "标题");
  EXPECT_EQ(SendMessage(3), 3);
  EXPECT_EQ(CTreeCtrl{4}.item, 4);
}
