#include "daru/Session.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>

#include "daru/LibraryRoot.h"
#include "daru/Request.h"
#include "provision/DataRoot.h"

Session::Session(const std::filesystem::path& root, const StoreChoice& store) : m_root(root) {
  UseDataRoot(root);
  if (!store.IsProvisioned(root)) {
    std::error_code ec;
    const std::filesystem::path catalogue = provision::CatalogueFile(root);
    if (store.kind == StoreChoice::Kind::Sqlite &&
        std::filesystem::exists(std::filesystem::symlink_status(catalogue, ec)))
      throw HostError("the catalogue " + catalogue.string() + " is not a file");
    throw HostError("no catalogue in " + root.string() + " (run 'daru init' first)");
  }
  m_daru.reset(CDARU::Instance());
  if (!m_daru) throw HostError("out of memory");
  CDB* chosen = store.NewStore();
  if (chosen ? !m_daru->Init(chosen) : !m_daru->Init())
    throw HostError("cannot open the catalogue in " + root.string() + ": " + LastError("unknown error"));
  m_tree = m_daru->GetLabelTree();
}

std::string Session::LastError(const std::string& fallback) {
  std::string error = ToUtf8(m_daru->GetLastDBError());
  return error.empty() ? fallback : error;
}

namespace {

bool ParseId(std::string_view text, int& id) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, id);
  return !text.empty() && ec == std::errc() && ptr == end;
}

}  // namespace

CLabel* Session::ResolveLabel(const std::string& reference) {
  int id = 0;
  // "#7" is always the id.
  if (reference.size() > 1 && reference[0] == '#' && ParseId(std::string_view(reference).substr(1), id)) {
    if (CLabel* label = m_tree->FindLabel(id)) return label;
    throw HostError("no label " + reference);
  }
  std::vector<CLabel*> named;
  for (CLabel* label : m_tree->GetAllLabels())
    if (label->name == FromUtf8(reference)) named.push_back(label);
  CLabel* byId = ParseId(reference, id) ? m_tree->FindLabel(id) : nullptr;
  // A bare number that is also a label's name is not guessed at: the command
  // may remove what it names.
  if (byId && !named.empty() && !(named.size() == 1 && named.front() == byId))
    throw HostError("'" + reference + "' is the name of a label and the id of another; give '#" + reference +
                    "' for the id");
  if (byId) return byId;
  if (named.empty())
    throw HostError(ParseId(reference, id) ? "no label #" + reference : "no label named '" + reference + "'");
  if (named.size() > 1) {
    std::string ids;
    for (CLabel* label : named) ids += " #" + std::to_string(label->labelid);
    throw HostError("several labels are named '" + reference + "':" + ids + "; give the id as #ID");
  }
  return named.front();
}

CLabel* Session::DefaultLabel() {
  if (CLabel* label = m_tree->FindLabel(kDefaultLabelID)) return label;
  if (CLabel* head = m_tree->GetHeadLabel()) return head;
  throw HostError("the catalogue has no labels");
}

CArticle* Session::FindArticle(long long id) {
  CArticle pattern;
  pattern.articleid = static_cast<int>(id);
  int found = m_daru->QueryArticle(pattern, kArticleMaskID, false);
  if (found < 0) throw HostError("cannot read the catalogue: " + LastError("query failed"));
  if (found == 0) throw HostError("no article #" + std::to_string(id));
  return m_daru->GetArticleList().front();
}

void Session::Release(CArticle* article) {
  std::vector<CArticle*> listed = m_daru->GetArticleList();
  if (article && std::find(listed.begin(), listed.end(), article) == listed.end()) delete article;
}

int Session::CountArticles(CLabel* label) { return m_daru->QueryArticle(label, CArticle(), 0); }

std::vector<CLabel*> Session::LabelsOf(int articleid) {
  std::vector<CLabel*> labels;
  for (CLabel* label : m_tree->GetAllLabels()) {
    if (CountArticles(label) <= 0) continue;
    for (CArticle* article : m_daru->GetArticleList()) {
      if (article->articleid == articleid) {
        labels.push_back(label);
        break;
      }
    }
  }
  return labels;
}

nlohmann::json LabelJson(const CLabel* label) {
  return {{"id", label->labelid}, {"name", ToUtf8(label->name)}, {"parent", label->toplayer}};
}

nlohmann::json ArticleJson(const CArticle& a) {
  CStdTime created = a.crdate;
  CStdTime read = a.brdate;
  return {{"id", a.articleid},
          {"title", ToUtf8(a.title)},
          {"url", ToUtf8(a.url)},
          {"keywords", ToUtf8(a.key1)},
          {"type", ToUtf8(a.type)},
          {"type_name", TypeName(a.type)},
          {"filename", ToUtf8(a.filename)},
          {"labels", a.labels},
          {"label", a.label},
          {"version", a.version},
          {"read", a.readflag},
          {"important", a.impflag},
          {"created", created.GetTimeLong() != 0 ? nlohmann::json(IsoTime(created.GetTimeLong())) : nlohmann::json()},
          {"created_text", ToUtf8(created.GetFmtString())},
          {"created_epoch", created.GetTimeLong()},
          {"read_at", read.GetTimeLong() != 0 ? nlohmann::json(IsoTime(read.GetTimeLong())) : nlohmann::json()},
          {"read_at_text", ToUtf8(read.GetFmtString())},
          {"description_file", ToUtf8(a.descfile)}};
}

std::string TypeName(const std::u16string& type) {
  if (type == u"B") return "page";
  if (type == u"A") return "feed item";
  return ToUtf8(type);
}

nlohmann::json FeedJson(const CRSSSubItem& f) {
  const std::string published = IsoFeedDate(ToUtf8(f.pubDate));
  return {{"title", ToUtf8(f.title)},
          {"link", ToUtf8(f.link)},
          {"published", published.empty() ? nlohmann::json() : nlohmann::json(published)},
          {"published_text", ToUtf8(f.pubDate)},
          {"channel_title", ToUtf8(f.channelTitle)},
          {"channel_link", ToUtf8(f.channelLink)},
          {"media_source", ToUtf8(f.mimeUrl)}};
}

std::string TextJson(const std::u16string& text) {
  const std::string utf8 = ToUtf8(text);
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] != '\r') {
      out.push_back(utf8[i]);
    } else if (i + 1 >= utf8.size() || utf8[i + 1] != '\n') {
      out.push_back('\n');  // a lone CR ends a line too
    }
  }
  return out;
}

namespace {

// "+08:00" for an offset of seconds east of UTC.
std::string Offset(long seconds) {
  const char sign = seconds < 0 ? '-' : '+';
  const long a = (seconds < 0 ? -seconds : seconds) % 86400;
  char text[48];
  std::snprintf(text, sizeof text, "%c%02ld:%02ld", sign, a / 3600, a / 60 % 60);
  return text;
}

std::string Iso(const std::tm& tm, long offset) {
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text + Offset(offset);
}

// A date and time that exists, written with its offset.
std::string Checked(std::tm tm, long offset) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int year = tm.tm_year + 1900;
  if (year < 1 || year > 9999 || tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_mday > kDays[tm.tm_mon] ||
      tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 60 || offset < -86400 || offset > 86400)
    return "";
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (tm.tm_mon == 1 && tm.tm_mday == 29 && !leap) return "";
  return Iso(tm, offset);
}

bool Digits(const std::string& s, size_t at, size_t n, int& value) {
  if (at + n > s.size()) return false;
  value = 0;
  for (size_t i = at; i < at + n; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

// RFC 3339: 2024-05-10T18:00:00Z, 2024-05-10T20:00:00.5+02:00.
std::string FromRfc3339(const std::string& s) {
  std::tm tm{};
  int y, mo, d, h, mi, se;
  if (!Digits(s, 0, 4, y) || s.size() < 19 || s[4] != '-' || !Digits(s, 5, 2, mo) || s[7] != '-' ||
      !Digits(s, 8, 2, d) || (s[10] != 'T' && s[10] != 't' && s[10] != ' ') || !Digits(s, 11, 2, h) || s[13] != ':' ||
      !Digits(s, 14, 2, mi) || s[16] != ':' || !Digits(s, 17, 2, se))
    return "";
  size_t at = 19;
  if (at < s.size() && s[at] == '.') {
    ++at;
    while (at < s.size() && std::isdigit(static_cast<unsigned char>(s[at]))) ++at;
  }
  long offset = 0;
  if (at < s.size() && (s[at] == 'Z' || s[at] == 'z')) {
    ++at;
  } else if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
    int oh, om;
    if (!Digits(s, at + 1, 2, oh) || at + 3 >= s.size() || s[at + 3] != ':' || !Digits(s, at + 4, 2, om)) return "";
    offset = (s[at] == '-' ? -1 : 1) * (oh * 3600L + om * 60L);
    at += 6;
  } else {
    return "";  // a time without an offset names no moment
  }
  if (at != s.size()) return "";
  tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d, tm.tm_hour = h, tm.tm_min = mi, tm.tm_sec = se;
  return Checked(tm, offset);
}

// RFC 822 as RSS writes it: [Fri, ]10 May 2024 18:00[:00] +0000 (or GMT, UT, Z, EST ... PDT).
std::string FromRfc822(std::string s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t at = 0;
  while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at]))) ++at;
  if (const size_t comma = s.find(','); comma != std::string::npos) at = comma + 1;
  std::tm tm{};
  char month[4] = "";
  int day = 0, year = 0, hour = 0, minute = 0, second = 0, used = 0;
  const char* rest = s.c_str() + at;
  if (std::sscanf(rest, " %2d %3s %4d %2d:%2d%n", &day, month, &year, &hour, &minute, &used) != 5) return "";
  rest += used;
  if (*rest == ':') {
    int more = 0;
    if (std::sscanf(rest, ":%2d%n", &second, &more) != 1) return "";
    rest += more;
  }
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int mon = -1;
  for (int i = 0; i < 12; ++i)
    if (strncasecmp(month, kMonths[i], 3) == 0) mon = i;
  if (mon < 0) return "";
  if (year < 100) year += year < 50 ? 2000 : 1900;  // two-digit years of old feeds
  while (*rest == ' ') ++rest;
  const std::string zone = rest;
  long offset = 0;
  static const std::pair<const char*, int> kZones[] = {{"GMT", 0},  {"UT", 0},   {"UTC", 0},  {"Z", 0},
                                                       {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
                                                       {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}};
  bool known = false;
  for (const auto& [name, hours] : kZones)
    if (strcasecmp(zone.c_str(), name) == 0) offset = hours * 3600L, known = true;
  int zh = 0, zm = 0;
  if (!known) {
    if (zone.size() != 5 || (zone[0] != '+' && zone[0] != '-') || !Digits(zone, 1, 2, zh) || !Digits(zone, 3, 2, zm))
      return "";
    offset = (zone[0] == '-' ? -1 : 1) * (zh * 3600L + zm * 60L);
  }
  tm.tm_year = year - 1900, tm.tm_mon = mon, tm.tm_mday = day, tm.tm_hour = hour, tm.tm_min = minute,
  tm.tm_sec = second;
  return Checked(tm, offset);
}

}  // namespace

std::string IsoTime(long long seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return "";
  return Iso(tm, tm.tm_gmtoff);
}

std::string IsoFeedDate(const std::string& text) {
  std::string iso = FromRfc3339(text);
  return iso.empty() ? FromRfc822(text) : iso;
}
