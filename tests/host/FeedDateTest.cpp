// Feed dates as feeds write them, read into moments.

#include <gtest/gtest.h>

#include "daru/FeedDate.h"

namespace {

// 2003-06-10T04:00:00Z
constexpr long long kJune10 = 1055217600;

TEST(FeedDate, Rfc822WithEveryKindOfZoneNamesTheSameMoment) {
  for (const char* text :
       {"Tue, 10 Jun 2003 04:00:00 GMT", "Tue, 10 Jun 2003 04:00:00 +0000", "10 Jun 2003 04:00:00 UT",
        "Tue, 10 Jun 2003 06:00:00 +0200", "Tue, 10 Jun 2003 00:00:00 EDT", "Mon, 09 Jun 2003 21:00:00 PDT",
        "Mon, 9 Jun 2003 23:30:00 -0430", "Tue, 10 Jun 03 04:00:00 GMT", "  Tue,10 Jun 2003 04:00 Z  ",
        "Tue, 10 June 2003 04:00:00 GMT", "Tue, 10 Jun 2003 05:00:00 +01:00", "Tue, 10 Jun 2003 04:00:00 GMT (UTC)"}) {
    SCOPED_TRACE(text);
    std::optional<long long> t = ParseFeedDate(text);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(*t, kJune10);
  }
}

TEST(FeedDate, Rfc3339HonoursOffsetsAndFractions) {
  for (const char* text :
       {"2003-06-10T04:00:00Z", "2003-06-10T04:00:00.250Z", "2003-06-10t04:00:00z", "2003-06-10T06:00:00+02:00",
        "2003-06-09T23:00:00-05:00", "2003-06-10 04:00:00Z", "2003-06-10T04:00Z", "2003-06-10T04:00:00"}) {
    SCOPED_TRACE(text);
    std::optional<long long> t = ParseFeedDate(text);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(*t, kJune10);
  }
  EXPECT_EQ(ParseFeedDate("2003-06-10"), kJune10 - 4 * 3600);
}

TEST(FeedDate, CalendarEdgesAndYearsBeyondThirtyTwoBits) {
  EXPECT_EQ(ParseFeedDate("1970-01-01T00:00:00Z"), 0);
  EXPECT_EQ(ParseFeedDate("2000-02-29T00:00:00Z"), 951782400);
  EXPECT_EQ(ParseFeedDate("2040-01-01T00:00:00Z"), 2208988800LL);
  EXPECT_EQ(ParseFeedDate("1960-01-01T00:00:00Z"), -315619200LL);
  // Two-digit years: 49 is 2049, 50 is 1950.
  EXPECT_EQ(ParseFeedDate("Sat, 01 Jan 50 00:00:00 GMT"), -631152000LL);
  EXPECT_EQ(ParseFeedDate("Fri, 01 Jan 49 00:00:00 GMT"), 2493072000LL);
  // A leap second is the second before.
  EXPECT_EQ(ParseFeedDate("2016-12-31T23:59:60Z"), 1483228799LL);
  // The zone moves the day across a month's and a year's end.
  EXPECT_EQ(ParseFeedDate("Fri, 31 Dec 1999 23:00:00 -0100"), 946684800LL);
}

TEST(FeedDate, TextThatNamesNoMomentGivesNone) {
  for (const char* text :
       {"", "   ", "yesterday", "2003-02-29T00:00:00Z", "2003-13-01T00:00:00Z", "2003-06-31", "2003-06-10T24:00:00Z",
        "2003-06-10T04:61:00Z", "Tue, 32 Jun 2003 04:00:00 GMT", "Tue, 10 Foo 2003 04:00:00 GMT",
        "Tue, 10 Jun 2003 04:00:00 XYZ", "Tue, 10 Jun 2003 04:00:00 +2500", "2003-06-10T04:00:00+0200 trailing",
        "Tue, 10 Jun 2003", "10 Jun 2003 04:00:00 GMT extra", "2003-06-10T04:00:00.Z",
        "Tue, 10 Jun 2003 04:00:00 GMT (unclosed"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseFeedDate(text).has_value());
  }
  // Long hostile text is refused without reading it all.
  EXPECT_FALSE(ParseFeedDate(std::string(100000, '9')).has_value());
}

}  // namespace
