// A first look at darulib: prints the version and shows what the library
// already does with text, times and article locations.

#include <cstdio>
#include <string>

#include "darulib.h"

namespace {

void Line(const char* label, const std::u16string& text) { std::printf("  %-22s %s\n", label, ToUtf8(text).c_str()); }

}  // namespace

int main() {
  std::printf("darulib %s\n\n", DaruVersion());

  CStdTime t;
  t.MakeTime(2005, 2, 7, 9, 5, 0, 0);
  std::printf("Time values\n");
  Line("text form", t.GetFmtString());
  t.MakeTime(0, 0, 25, 0, 0, 0, 0);
  Line("25 days later", t.GetFmtString());
  CStdTime now = CStdTime::GetTickCount();
  Line("now", now.GetFmtString());

  std::printf("\nArticle locations\n");
  Line("data root", GetDataRoot());
  Line("catalogue", GetCatalogueFile());
  CArticle article;
  article.type = u"B";
  article.filename = u"0123456789abcdef0123456789abcdef";
  article.title = u"示例文章";
  Line("title", article.title);
  Line("description file", article.GetDescriptionFilename());
  return 0;
}
