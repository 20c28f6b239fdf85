#include "core/StdTime.h"

#include "base/U16Format.h"

CStdTime::CStdTime()
    : m_sec(0),
      m_min(0),
      m_hour(0),
      m_mday(0),
      m_mon(0),
      m_year(0),
      m_wday(0),
      m_yday(0),
      // Daylight saving not determined: mktime then decides it for the date.
      m_isdst(-1) {}

CStdTime::CStdTime(struct tm value) { FromTm(value); }

CStdTime::~CStdTime() = default;

CStdTime CStdTime::operator=(const CStdTime& other) {
  m_sec = other.m_sec;
  m_min = other.m_min;
  m_hour = other.m_hour;
  m_mday = other.m_mday;
  m_mon = other.m_mon;
  m_year = other.m_year;
  m_wday = other.m_wday;
  m_yday = other.m_yday;
  m_isdst = other.m_isdst;
  m_seconds = other.m_seconds;
  return *this;
}

struct tm CStdTime::ToTm() const {
  struct tm t {};
  t.tm_sec = m_sec;
  t.tm_min = m_min;
  t.tm_hour = m_hour;
  t.tm_mday = m_mday;
  t.tm_mon = m_mon;
  t.tm_year = m_year;
  t.tm_wday = m_wday;
  t.tm_yday = m_yday;
  t.tm_isdst = m_isdst;
  return t;
}

void CStdTime::FromTm(const struct tm& t) {
  m_sec = t.tm_sec;
  m_min = t.tm_min;
  m_hour = t.tm_hour;
  m_mday = t.tm_mday;
  m_mon = t.tm_mon;
  m_year = t.tm_year;
  m_wday = t.tm_wday;
  m_yday = t.tm_yday;
  m_isdst = t.tm_isdst;
  m_seconds = kUnknownSeconds;
}

std::u16string CStdTime::GetFmtString() const {
  if (m_year == 0) return {};
  return Fmt(u"%d/%.2d/%.2d %2d:%.2d:%.2d", m_year + 1900, m_mon + 1, m_mday, m_hour, m_min, m_sec);
}

bool CStdTime::SetTimeOfString(std::u16string) { return false; }

CStdTime CStdTime::GetTickCount() {
  CStdTime now;
  now.SetNowTime();
  return now;
}

void CStdTime::SetNowTime() {
  time_t t = time(nullptr);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return;
  FromTm(local);
  m_seconds = static_cast<long>(t);
}

long CStdTime::GetTimeLong() {
  if (m_year == 0) return 0;
  // Fields that came from a count of seconds (the local time of a capture, a
  // catalogue row) give that count back without a conversion.
  if (m_seconds != kUnknownSeconds) return m_seconds;
  struct tm t = ToTm();
  // mktime's -1 is also one second before 1970; only a failure leaves the
  // day of the week it cannot compute untouched.
  t.tm_wday = -1;
  time_t result = mktime(&t);
  if (result == static_cast<time_t>(-1) && t.tm_wday == -1) return -1;
  FromTm(t);
  m_seconds = static_cast<long>(result);
  return m_seconds;
}

void CStdTime::SetTimeLong(long value) {
  // 0 is the empty time; any other value, before 1970 or after 2038, is a time.
  if (value == 0) return;
  time_t t = static_cast<time_t>(value);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return;
  FromTm(local);
  m_seconds = value;
}

bool CStdTime::MakeTime(int year, int month, int day, int hour, int minute, int second, int week) {
  m_seconds = kUnknownSeconds;
  if (m_year == 0)
    m_year = year - 1900;
  else
    m_year += year;
  m_mon += month;
  m_mday += day;
  m_hour += hour;
  m_min += minute;
  m_sec += second;
  m_wday += week;
  struct tm t = ToTm();
  if (mktime(&t) == static_cast<time_t>(-1)) return false;
  FromTm(t);
  return true;
}
