#pragma once

#include <climits>
#include <ctime>
#include <string>

#include "base/DaruApi.h"

// A calendar time in the fields of the C library's broken-down local time.
// Year 0 is the empty time: its text is empty and its integer form is 0.
class DARU_API CStdTime {
 public:
  CStdTime();
  CStdTime(struct tm value);
  CStdTime(const CStdTime& other) = default;
  ~CStdTime();
  CStdTime operator=(const CStdTime& other);

  int GetSecond() const { return m_sec; }
  int GetMinute() const { return m_min; }
  int GetHour() const { return m_hour; }
  int GetDay() const { return m_mday; }
  int GetMonth() const { return m_mon; }  // 0-based
  int GetYear() const { return m_year; }  // years since 1900
  int GetWeek() const { return m_wday; }  // 0 is Sunday
  int GetDays() const { return m_yday; }  // day of the year, 0-based
  int GetDaylight() const { return m_isdst; }

  // "2005/03/07  9:05:00"; empty for the empty time.
  std::u16string GetFmtString() const;
  // Parsing text is not supported: always false, the value stays as it was.
  bool SetTimeOfString(std::u16string text);

  static CStdTime GetTickCount();
  void SetNowTime();

  // Seconds since the epoch, reading the value as local time; 0 for the empty
  // time, -1 when it cannot be represented. Normalises the fields in place.
  long GetTimeLong();
  // The inverse of GetTimeLong: the value becomes the local time of t, any
  // time a 64-bit count of seconds holds. 0 leaves the time as it was.
  void SetTimeLong(long t);

  // On the empty time the year is a full year; otherwise every argument is an
  // offset added to its field. The result is normalised; false when it cannot be.
  bool MakeTime(int year, int month, int day, int hour, int minute, int second, int week);

 private:
  struct tm ToTm() const;
  void FromTm(const struct tm& t);

  int m_sec;
  int m_min;
  int m_hour;
  int m_mday;
  int m_mon;
  int m_year;
  int m_wday;
  int m_yday;
  int m_isdst;
  // The count of seconds the fields were last set from or converted to, so
  // that reading it back does not convert them again; kUnknownSeconds when
  // the fields changed since (no date has that count).
  static constexpr long kUnknownSeconds = LONG_MIN;
  long m_seconds = kUnknownSeconds;
};
