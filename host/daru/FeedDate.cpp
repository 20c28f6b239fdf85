#include "daru/FeedDate.h"

#include <cctype>

namespace {

bool IsLeap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysIn(long long year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the date, proleptic Gregorian.
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::optional<long long> Moment(long long year, int month, int day, int hour, int minute, int second,
                                long long offsetSeconds) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysIn(year, month)) return std::nullopt;
  // 24:00:00 is no time of day here; a leap second counts as the second before.
  if (hour > 23 || minute > 59 || second > 60) return std::nullopt;
  if (second == 60) second = 59;
  return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;
}

class Cursor {
 public:
  explicit Cursor(const std::string& s) : m_s(s) {}
  bool End() const { return m_at >= m_s.size(); }
  char Peek() const { return End() ? '\0' : m_s[m_at]; }
  void Skip() { ++m_at; }
  void Blanks() {
    while (!End() && (Peek() == ' ' || Peek() == '\t')) ++m_at;
  }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++m_at;
    return true;
  }
  // Exactly n digits, or between min and max when max is given.
  bool Digits(size_t min, size_t max, long long& out) {
    size_t n = 0;
    out = 0;
    while (n < max && !End() && std::isdigit(static_cast<unsigned char>(Peek()))) {
      out = out * 10 + (Peek() - '0');
      ++m_at;
      ++n;
    }
    return n >= min;
  }
  std::string Word() {
    std::string w;
    while (!End() && std::isalpha(static_cast<unsigned char>(Peek())))
      w.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(m_s[m_at++]))));
    return w;
  }

 private:
  const std::string& m_s;
  size_t m_at = 0;
};

// "+hh:mm", "+hhmm", "+hh" after the sign.
bool NumericZone(Cursor& c, long long& offset) {
  const bool minus = c.Peek() == '-';
  if (!c.Take('+') && !c.Take('-')) return false;
  long long h = 0, m = 0;
  if (!c.Digits(2, 2, h)) return false;
  c.Take(':');
  if (!c.End() && std::isdigit(static_cast<unsigned char>(c.Peek())) && !c.Digits(2, 2, m)) return false;
  if (h > 23 || m > 59) return false;
  offset = (minus ? -1 : 1) * (h * 3600 + m * 60);
  return true;
}

// The zone names of RFC 822, and the ones feeds use besides.
bool NamedZone(const std::string& name, long long& offset) {
  struct Zone {
    const char* name;
    int hours;
  };
  static const Zone zones[] = {{"UT", 0},   {"UTC", 0},  {"GMT", 0},  {"Z", 0},    {"EST", -5}, {"EDT", -4},
                               {"CST", -6}, {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
  for (const Zone& z : zones)
    if (name == z.name) {
      offset = z.hours * 3600LL;
      return true;
    }
  // The military letters are too often written with the wrong sign to be
  // believed; RFC 1123 says to read them as UTC.
  if (name.size() == 1 && name[0] != 'J') {
    offset = 0;
    return true;
  }
  return false;
}

int MonthNumber(const std::string& word) {
  static const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  if (word.size() < 3) return 0;
  for (int i = 0; i < 12; ++i)
    if (word.compare(0, 3, months[i]) == 0) return i + 1;
  return 0;
}

std::optional<long long> Rfc3339(const std::string& s) {
  Cursor c(s);
  long long year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, offset = 0;
  if (!c.Digits(4, 4, year) || !c.Take('-') || !c.Digits(2, 2, month) || !c.Take('-') || !c.Digits(2, 2, day))
    return std::nullopt;
  if (c.End()) return Moment(year, static_cast<int>(month), static_cast<int>(day), 0, 0, 0, 0);
  if (!c.Take('T') && !c.Take('t') && !c.Take(' ')) return std::nullopt;
  if (!c.Digits(2, 2, hour) || !c.Take(':') || !c.Digits(2, 2, minute)) return std::nullopt;
  if (c.Take(':')) {
    if (!c.Digits(2, 2, second)) return std::nullopt;
    if (c.Take('.') || c.Take(',')) {
      long long fraction = 0;
      if (!c.Digits(1, 18, fraction)) return std::nullopt;
    }
  }
  if (c.Take('Z') || c.Take('z')) {
    offset = 0;
  } else if (c.Peek() == '+' || c.Peek() == '-') {
    if (!NumericZone(c, offset)) return std::nullopt;
  }
  c.Blanks();
  if (!c.End()) return std::nullopt;
  return Moment(year, static_cast<int>(month), static_cast<int>(day), static_cast<int>(hour), static_cast<int>(minute),
                static_cast<int>(second), offset);
}

std::optional<long long> Rfc822(const std::string& s) {
  Cursor c(s);
  c.Blanks();
  // An optional day name, with or without its comma.
  if (std::isalpha(static_cast<unsigned char>(c.Peek()))) {
    c.Word();
    c.Take(',');
    c.Blanks();
  }
  long long day = 0, year = 0, hour = 0, minute = 0, second = 0, offset = 0;
  if (!c.Digits(1, 2, day)) return std::nullopt;
  c.Blanks();
  c.Take('-');
  const int month = MonthNumber(c.Word());
  if (month == 0) return std::nullopt;
  c.Take('.');
  c.Take('-');
  c.Blanks();
  if (!c.Digits(2, 4, year)) return std::nullopt;
  // Two-digit years as RFC 2822 reads them; three digits add 1900.
  if (year < 50)
    year += 2000;
  else if (year < 1000)
    year += 1900;
  c.Blanks();
  if (!c.Digits(1, 2, hour) || !c.Take(':') || !c.Digits(2, 2, minute)) return std::nullopt;
  if (c.Take(':') && !c.Digits(2, 2, second)) return std::nullopt;
  c.Blanks();
  if (c.Peek() == '+' || c.Peek() == '-') {
    if (!NumericZone(c, offset)) return std::nullopt;
  } else if (!c.End()) {
    const std::string zone = c.Word();
    if (!NamedZone(zone, offset)) return std::nullopt;
  }
  c.Blanks();
  // A comment such as "(PST)" may follow the zone.
  if (c.Take('(')) {
    while (!c.End() && c.Peek() != ')') c.Skip();
    if (!c.Take(')')) return std::nullopt;
    c.Blanks();
  }
  if (!c.End()) return std::nullopt;
  return Moment(year, month, static_cast<int>(day), static_cast<int>(hour), static_cast<int>(minute),
                static_cast<int>(second), offset);
}

std::string Trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

}  // namespace

std::optional<long long> ParseFeedDate(const std::string& text) {
  const std::string s = Trimmed(text);
  if (s.empty() || s.size() > 64) return std::nullopt;
  if (s.size() >= 10 && std::isdigit(static_cast<unsigned char>(s[0])) && s[4] == '-') return Rfc3339(s);
  return Rfc822(s);
}
