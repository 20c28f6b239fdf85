#include <gtest/gtest.h>

#include "core/StdTime.h"
#include "fixtures/TempDir.h"

namespace {

CStdTime Make(int y, int mo, int d, int h, int mi, int s) {
  CStdTime t;
  EXPECT_TRUE(t.MakeTime(y, mo, d, h, mi, s, 0));
  return t;
}

}  // namespace

TEST(StdTime, EmptyTimeHasNoTextAndZeroInteger) {
  CStdTime t;
  EXPECT_EQ(t.GetYear(), 0);
  EXPECT_EQ(t.GetFmtString(), u"");
  EXPECT_EQ(t.GetTimeLong(), 0);
  t.SetTimeLong(0);
  EXPECT_EQ(t.GetFmtString(), u"");
  EXPECT_FALSE(t.SetTimeOfString(u"2005/03/07  9:05:00"));
  EXPECT_EQ(t.GetFmtString(), u"");
}

TEST(StdTime, TextFormPadsTheHourWithASpace) {
  ScopedTimeZone tz("UTC0");
  EXPECT_EQ(Make(2005, 2, 7, 9, 5, 0).GetFmtString(), u"2005/03/07  9:05:00");
  EXPECT_EQ(Make(2005, 11, 31, 23, 59, 59).GetFmtString(), u"2005/12/31 23:59:59");
  CStdTime t = Make(2005, 2, 7, 9, 5, 0);
  EXPECT_EQ(t.GetMonth(), 2);
  EXPECT_EQ(t.GetYear(), 105);
  EXPECT_EQ(t.GetWeek(), 1);  // a Monday
  EXPECT_EQ(t.GetDays(), 65);
}

TEST(StdTime, MakeTimeCarriesAcrossMonthAndYearEnds) {
  ScopedTimeZone tz("UTC0");
  CStdTime t = Make(2005, 0, 31, 0, 0, 0);
  ASSERT_TRUE(t.MakeTime(0, 0, 1, 0, 0, 0, 0));
  EXPECT_EQ(t.GetFmtString(), u"2005/02/01  0:00:00");

  CStdTime leap = Make(2004, 1, 28, 12, 0, 0);
  ASSERT_TRUE(leap.MakeTime(0, 0, 1, 0, 0, 0, 0));
  EXPECT_EQ(leap.GetFmtString(), u"2004/02/29 12:00:00");

  CStdTime eve = Make(2005, 11, 31, 23, 59, 59);
  ASSERT_TRUE(eve.MakeTime(0, 0, 0, 0, 0, 1, 0));
  EXPECT_EQ(eve.GetFmtString(), u"2006/01/01  0:00:00");
  ASSERT_TRUE(eve.MakeTime(1, 13, 0, 0, 0, 0, 0));  // one year and thirteen months on
  EXPECT_EQ(eve.GetFmtString(), u"2008/02/01  0:00:00");
}

TEST(StdTime, GetTimeLongNormalisesTheValue) {
  ScopedTimeZone tz("UTC0");
  struct tm raw {};
  raw.tm_year = 105;
  raw.tm_mon = 0;
  raw.tm_mday = 32;
  raw.tm_hour = 10;
  CStdTime t(raw);
  EXPECT_EQ(t.GetFmtString(), u"2005/01/32 10:00:00");  // shown as it is until normalised
  EXPECT_EQ(t.GetTimeLong(), 1107252000L);
  EXPECT_EQ(t.GetFmtString(), u"2005/02/01 10:00:00");
}

TEST(StdTime, IntegerFormReadsAsLocalTime) {
  {
    ScopedTimeZone tz("CST-8");
    CStdTime t;
    t.SetTimeLong(86400);
    EXPECT_EQ(t.GetFmtString(), u"1970/01/02  8:00:00");
    EXPECT_EQ(t.GetTimeLong(), 86400);
  }
  {
    ScopedTimeZone tz("UTC0");
    CStdTime t;
    t.SetTimeLong(86400);
    EXPECT_EQ(t.GetFmtString(), u"1970/01/02  0:00:00");
  }
}

TEST(StdTime, IntegerFormSurvivesRepeatedRoundTrips) {
  // Times on both sides of daylight-saving changes, beyond 2038, and before
  // 1970 (-1 is a second before it, not a failure).
  const long samples[] = {1,           86400,       1110186300, 1143961200, 1162105200, 1710054000,
                          4102444800L, 2208988800L, -1,         -5,         -946771200L};
  for (const char* zone : {"UTC0", "EST5EDT,M3.2.0,M11.1.0", "CST-8", "NZST-12NZDT,M9.5.0,M4.1.0/3"}) {
    ScopedTimeZone tz(zone);
    for (long value : samples) {
      CStdTime t;
      t.SetTimeLong(value);
      for (int round = 0; round < 5; ++round) {
        long stored = t.GetTimeLong();
        ASSERT_EQ(stored, value) << zone << " round " << round;
        CStdTime loaded;
        loaded.SetTimeLong(stored);
        t = loaded;
      }
    }
  }
}

// A time read from a count of seconds gives that count back; once its fields
// change, the count follows them, in the time and in its copies.
TEST(StdTime, ChangedFieldsGiveTheirOwnCount) {
  ScopedTimeZone tz("UTC0");
  CStdTime t;
  t.SetTimeLong(86400);
  CStdTime copy = t;
  ASSERT_TRUE(t.MakeTime(0, 0, 1, 2, 0, 0, 0));
  EXPECT_EQ(t.GetTimeLong(), 2 * 86400 + 2 * 3600);
  EXPECT_EQ(copy.GetTimeLong(), 86400);
  copy = t;
  EXPECT_EQ(copy.GetTimeLong(), 2 * 86400 + 2 * 3600);
  copy.SetTimeLong(0);  // 0 leaves the time as it was
  EXPECT_EQ(copy.GetTimeLong(), 2 * 86400 + 2 * 3600);
  // Fields given whole are converted, not taken for an earlier count.
  struct tm raw {};
  raw.tm_year = 70;
  raw.tm_mday = 3;
  copy = CStdTime(raw);
  EXPECT_EQ(copy.GetTimeLong(), 2 * 86400);
}

TEST(StdTime, CopiesAreWholeValues) {
  ScopedTimeZone tz("UTC0");
  CStdTime a = Make(2010, 5, 15, 8, 30, 0);
  CStdTime b;
  CStdTime c = (b = a);
  a.MakeTime(0, 0, 1, 0, 0, 0, 0);
  EXPECT_EQ(b.GetFmtString(), u"2010/06/15  8:30:00");
  EXPECT_EQ(c.GetFmtString(), u"2010/06/15  8:30:00");
  EXPECT_EQ(a.GetFmtString(), u"2010/06/16  8:30:00");
}

TEST(StdTime, NowIsCurrent) {
  CStdTime now = CStdTime::GetTickCount();
  long seconds = now.GetTimeLong();
  EXPECT_LE(std::labs(seconds - static_cast<long>(time(nullptr))), 2);
  EXPECT_GT(now.GetYear(), 120);
}
