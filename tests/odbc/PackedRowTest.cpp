// Rows asked for as one text each and split back into their fields, and the
// integer reading of a field.

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "storage/OdbcPackedRow.h"

namespace {

// Each field as "NULL" or its text, after the row has been split whole.
std::vector<std::string> Json(std::string_view row) {
  std::vector<COdbcField> fields;
  std::string decoded;
  if (!SplitJsonRow(row, fields, decoded)) return {"<rejected>"};
  std::vector<std::string> out;
  for (const COdbcField& f : fields) out.push_back(f.IsNull() ? "NULL" : std::string(f.text));
  return out;
}

std::vector<std::string> Record(std::string_view row) {
  std::vector<COdbcField> fields;
  std::string decoded;
  if (!SplitRecordRow(row, fields, decoded)) return {"<rejected>"};
  std::vector<std::string> out;
  for (const COdbcField& f : fields) out.push_back(f.IsNull() ? "NULL" : std::string(f.text));
  return out;
}

using Fields = std::vector<std::string>;

COdbcField TextField(std::string_view text) {
  COdbcField f;
  f.kind = COdbcField::Kind::Text;
  f.text = text;
  return f;
}

}  // namespace

TEST(PackedRows, JsonArraysGiveTheirStringsNumbersAndNulls) {
  EXPECT_EQ(Json(R"([1,"e0","标题 e0","",null,-12,1.5,"null"])"),
            (Fields{"1", "e0", "标题 e0", "", "NULL", "-12", "1.5", "null"}));
  EXPECT_EQ(Json(" [ 7 , \"x\" ] "), (Fields{"7", "x"}));
  EXPECT_EQ(Json("[]"), Fields{});
  // Every escape, and several escaped strings in one row: the earlier ones
  // must still read right after the later ones are decoded.
  EXPECT_EQ(Json(R"(["a\"b\\c\/d","\b\f\n\r\t","\u0001\u00e9\u4e2d","\ud83d\ude00","\ud800x",3])"),
            (Fields{"a\"b\\c/d", "\b\f\n\r\t", "\x01é中", "😀", "\xED\xA0\x80x", "3"}));
}

TEST(PackedRows, MalformedJsonRowsAreRejected) {
  for (const char* bad : {"", "[", "[1", "[1,]", "[,1]", "[1 2]", "[\"open]", "[\"bad \\q escape\"]", "[\"\\u12\"]",
                          "[1] x", "{\"a\":1}", "[[1]]", "1,2"})
    EXPECT_EQ(Json(bad), Fields{"<rejected>"}) << bad;
}

TEST(PackedRows, RecordTextsGiveNullsEmptyStringsAndQuotedTexts) {
  EXPECT_EQ(Record(R"x((1,p0,http://example.com/p0,"标题 p0","",B,,T))x"),
            (Fields{"1", "p0", "http://example.com/p0", "标题 p0", "", "B", "NULL", "T"}));
  // Doubled quotes and backslashes, and what forces quotes: commas,
  // parentheses, spaces. Each quoted field must survive the next one's copy.
  EXPECT_EQ(Record(R"x(("say ""hi""","a\\b","x,y","(z)",plain,"""",",",))x"),
            (Fields{"say \"hi\"", "a\\b", "x,y", "(z)", "plain", "\"", ",", "NULL"}));
  EXPECT_EQ(Record("()"), Fields{"NULL"});
}

TEST(PackedRows, MalformedRecordTextsAreRejected) {
  for (const char* bad : {"", "(", ")", "1,2", "(1,2", "1,2)", "(\"open)", "(\"a\"b)", "(1)x", "(\"a\\)"})
    EXPECT_EQ(Record(bad), Fields{"<rejected>"}) << bad;
}

TEST(OdbcFields, IntegersAreReadAsStrtollReadsThem) {
  EXPECT_EQ(TextField("42").Int(), 42);
  EXPECT_EQ(TextField("  -17abc").Int(), -17);
  EXPECT_EQ(TextField("\t+8").Int(), 8);
  EXPECT_EQ(TextField("2.9").Int(), 2);
  EXPECT_EQ(TextField("x1").Int(), 0);
  EXPECT_EQ(TextField("").Int(), 0);
  EXPECT_EQ(TextField("-").Int(), 0);
  EXPECT_EQ(TextField("9223372036854775807").Int(), LLONG_MAX);
  EXPECT_EQ(TextField("9223372036854775808").Int(), LLONG_MAX);
  EXPECT_EQ(TextField("-9223372036854775808").Int(), LLONG_MIN);
  EXPECT_EQ(TextField("-99999999999999999999").Int(), LLONG_MIN);
  EXPECT_EQ(TextField("4294967296").Int(), 4294967296LL);

  COdbcField null;
  EXPECT_EQ(null.Int(), 0);
  EXPECT_EQ(null.Text(), "");
  COdbcField number;
  number.kind = COdbcField::Kind::Number;
  number.number = -5;
  EXPECT_EQ(number.Int(), -5);
  EXPECT_EQ(number.Text(), "-5");
}
