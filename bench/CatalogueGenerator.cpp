#include "CatalogueGenerator.h"

#include <openssl/evp.h>
#include <sqlite3.h>

#include <array>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "base/TextConv.h"
#include "provision/DataRoot.h"

namespace darubench {

namespace {

// Bump when the generated rows change, so that cached catalogues are rebuilt.
constexpr const char* kGeneratorStamp = "darubench catalogue v2";

// SplitMix64: a fixed function of its input, so the n-th article is the same
// on every machine and in every shape.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// A stream of numbers drawn from one seed.
class Draw {
 public:
  explicit Draw(std::uint64_t seed) : m_state(Mix(seed)) {}
  std::uint64_t Next() { return m_state = Mix(m_state); }
  // 0 <= result < n
  std::uint64_t Below(std::uint64_t n) { return n == 0 ? 0 : Next() % n; }

 private:
  std::uint64_t m_state;
};

// Title words of a mixed library: English and Chinese, none containing the
// search word.
constexpr std::array kWords = {
    "market",   "policy",    "climate",  "energy",    "science",  "health",   "report",   "election", "budget",
    "research", "storm",     "river",    "city",      "railway",  "museum",   "festival", "harvest",  "trade",
    "software", "network",   "security", "privacy",   "browser",  "database", "library",  "archive",  "feed",
    "update",   "review",    "release",  "interview", "analysis", "summit",   "council",  "court",    "bank",
    "housing",  "school",    "teacher",  "student",   "hospital", "vaccine",  "ocean",    "forest",   "mountain",
    "desert",   "satellite", "rocket",   "telescope", "galaxy",   "planet",   "comet",    "orbit",    "engine",
    "battery",  "solar",     "wind",     "grid",      "carbon",   "steel",    "copper",   "wheat",    "coffee",
    "tea",      "music",     "film",     "novel",     "poetry",   "painting", "theatre",  "dance",    "football",
    "tennis",   "marathon",  "olympic",  "record",    "weekly",   "daily",    "morning",  "evening",  "winter",
    "summer",   "spring",    "autumn",   "northern",  "southern", "coastal",  "urban",    "rural",    "global",
    "local",    "new",       "old",      "first",     "last",     "major",    "minor",    "rising",   "falling",
    "经济",     "政策",      "气候",     "能源",      "科学",     "健康",     "报告",     "选举",     "预算",
    "研究",     "城市",      "铁路",     "博物馆",    "节日",     "丰收",     "贸易",     "软件",     "网络",
    "安全",     "隐私",      "浏览器",   "数据库",    "图书馆",   "档案",     "新闻",     "评论",     "发布",
    "访问",     "分析",      "会议",     "法院",      "银行",     "住房",     "学校",     "医院",     "海洋",
    "森林",     "山脉",      "卫星",     "火箭",      "行星",     "电池",     "太阳能",   "音乐",     "电影"};

constexpr std::array kHosts = {"news.example.com", "www.example.org",     "daily.example.net", "blog.example.com",
                               "tech.example.org", "science.example.net", "www.example.cn",    "rss.example.com"};
constexpr std::array kSections = {"world", "tech", "science", "culture", "sport", "economy", "opinion", "local"};

const char* Word(Draw& d) { return kWords[d.Below(kWords.size())]; }

std::string Title(Draw& d, bool withSearchWord) {
  int words = 5 + static_cast<int>(d.Below(6));
  int searchAt = withSearchWord ? static_cast<int>(d.Below(words)) : -1;
  std::string title;
  for (int i = 0; i < words; ++i) {
    if (i > 0) title += ' ';
    if (i == searchAt) {
      title += kSearchWord;
    } else {
      std::string w = Word(d);
      if (i == 0 && w[0] >= 'a' && w[0] <= 'z') w[0] = static_cast<char>(w[0] - 'a' + 'A');
      title += w;
    }
  }
  return title;
}

std::string Slug(Draw& d) {
  std::string slug;
  for (int i = 0; i < 3; ++i) {
    const char* w = kWords[d.Below(kWords.size() / 2 + 50)];  // mostly the English words
    if (static_cast<unsigned char>(w[0]) >= 0x80) w = "item";
    if (i > 0) slug += '-';
    slug += w;
  }
  return slug;
}

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
struct StmtFinalizer {
  void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

Db OpenDb(const std::filesystem::path& file) {
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK) throw std::runtime_error("cannot open " + file.string());
  sqlite3_busy_timeout(db.get(), 60000);
  return db;
}

void Exec(sqlite3* db, const std::string& sql) {
  char* detail = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &detail) != SQLITE_OK) {
    std::string text = detail ? detail : "error";
    sqlite3_free(detail);
    throw std::runtime_error(text + ": " + sql);
  }
}

Stmt Prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sqlite3_errmsg(db)) + ": " + sql);
  return Stmt(raw);
}

void StepDone(sqlite3* db, sqlite3_stmt* stmt) {
  if (sqlite3_step(stmt) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
}

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void Generate(const std::filesystem::path& root, const CatalogueShape& shape) {
  std::string error;
  if (!provision::ProvisionDataRoot(root, &error)) throw std::runtime_error("provisioning failed: " + error);
  Db db = OpenDb(provision::CatalogueFile(root));
  Exec(db.get(), "BEGIN IMMEDIATE;");

  // Labels 4.. hang below a label made earlier, so the hierarchy is a random
  // tree under the head label; about half of the labels have children.
  Stmt label = Prepare(db.get(), "INSERT INTO label(labelid,name,toplayer) VALUES(?1,?2,?3)");
  for (int id = kDefaultLabelID + 1; id <= shape.labels; ++id) {
    Draw d(0x1abe1000ULL + static_cast<std::uint64_t>(id));
    sqlite3_bind_int(label.get(), 1, id);
    BindText(label.get(), 2, std::string(Word(d)) + " " + std::to_string(id));
    sqlite3_bind_int(label.get(), 3, 1 + static_cast<int>(d.Below(static_cast<std::uint64_t>(id - 1))));
    StepDone(db.get(), label.get());
  }

  Stmt article = Prepare(db.get(),
                         "INSERT INTO article(articleid,filename,url,title,key1,type,labels,label,version,readflag,"
                         "impflag,crdate,brdate,lmdate) VALUES(?1,?2,?3,?4,?5,?6,?7,?8,1,?9,?10,?11,?12,0)");
  Stmt link = Prepare(db.get(), "INSERT INTO articletolabel(labelid,articleid) VALUES(?1,?2)");
  const int bigStride = std::max(1, shape.articles / kBigLabelArticles);
  // Labels an ordinary article goes under: every label but the head and the big one.
  auto otherLabel = [&](Draw& d) {
    for (;;) {
      int id = 2 + static_cast<int>(d.Below(static_cast<std::uint64_t>(shape.labels - 1)));
      if (id != kBigLabelId) return id;
    }
  };
  for (int n = 0; n < shape.articles; ++n) {
    GeneratedArticle text = ArticleText(static_cast<std::uint64_t>(n));
    Draw d(0xa471c1e0000ULL + static_cast<std::uint64_t>(n));
    std::vector<int> labels;
    bool inBig = shape.labels >= kBigLabelId && n % bigStride == 0;
    if (inBig && d.Below(2) == 0) {
      labels.push_back(kBigLabelId);  // half of the big label's articles have it only (at first)
    } else {
      labels.push_back(otherLabel(d));
      if (inBig) labels.push_back(kBigLabelId);
    }
    if (d.Below(10) < 3) {
      int extra = otherLabel(d);
      if (extra != labels[0]) labels.push_back(extra);
    }
    std::string key;
    for (int k = d.Below(10) < 4 ? 1 + static_cast<int>(d.Below(3)) : 0; k > 0; --k) {
      if (!key.empty()) key += ' ';
      key += Word(d);
    }
    bool read = d.Below(10) < 7;
    long long crdate = 1500000000LL + static_cast<long long>(d.Below(5LL * 365 * 86400));
    sqlite3_stmt* a = article.get();
    sqlite3_bind_int(a, 1, n + 1);
    BindText(a, 2, Md5Hex(text.url));
    BindText(a, 3, text.url);
    BindText(a, 4, text.title);
    BindText(a, 5, key);
    BindText(a, 6, d.Below(5) == 0 ? "A" : "B");
    sqlite3_bind_int(a, 7, static_cast<int>(labels.size()));
    sqlite3_bind_int(a, 8, labels[0]);
    BindText(a, 9, read ? "T" : "F");
    BindText(a, 10, d.Below(20) == 0 ? "T" : "F");
    sqlite3_bind_int64(a, 11, crdate);
    sqlite3_bind_int64(a, 12, read ? crdate + static_cast<long long>(d.Below(30 * 86400)) : 0);
    StepDone(db.get(), a);
    for (int l : labels) {
      sqlite3_bind_int(link.get(), 1, l);
      sqlite3_bind_int(link.get(), 2, n + 1);
      StepDone(db.get(), link.get());
    }
  }
  Exec(db.get(), "COMMIT;");
}

}  // namespace

std::string CatalogueShape::Name() const { return "a" + std::to_string(articles) + "-l" + std::to_string(labels); }

GeneratedArticle ArticleText(std::uint64_t n) {
  Draw d(0x7e47000000ULL + n);
  GeneratedArticle a;
  a.title = Title(d, d.Below(1000) < static_cast<std::uint64_t>(kSearchWordPerMille));
  a.url = std::string("https://") + kHosts[d.Below(kHosts.size())] + "/" + kSections[d.Below(kSections.size())] + "/" +
          std::to_string(2017 + d.Below(6)) + "/" + std::to_string(1 + d.Below(12)) + "/" + std::to_string(n) + "-" +
          Slug(d) + ".html";
  return a;
}

GeneratedArticle FreshArticleText(std::uint64_t n) {
  GeneratedArticle a = ArticleText(n);
  size_t path = a.url.find('/', 8);
  a.url = a.url.substr(0, path) + "/captured" + a.url.substr(path);
  return a;
}

std::string Md5Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr) != 1) return {};
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < size; ++i) {
    out += hex[digest[i] >> 4];
    out += hex[digest[i] & 15];
  }
  return out;
}

std::filesystem::path CachedCatalogue(const std::filesystem::path& cacheFolder, const CatalogueShape& shape) {
  namespace fs = std::filesystem;
  fs::path root = cacheFolder / shape.Name();
  fs::path stamp = root / "generated";
  {
    std::ifstream in(stamp);
    std::string line;
    if (in && std::getline(in, line) && line == kGeneratorStamp) return root;
  }
  fs::remove_all(root);
  fs::path building = cacheFolder / (shape.Name() + ".building");
  fs::remove_all(building);
  fs::create_directories(building);
  Generate(building, shape);
  std::ofstream(building / "generated") << kGeneratorStamp << "\n";
  fs::rename(building, root);
  return root;
}

WorkingRoot::WorkingRoot(const std::filesystem::path& cached, const std::filesystem::path& workFolder,
                         const std::string& name, const std::string& journalMode)
    : m_path(workFolder / name) {
  namespace fs = std::filesystem;
  fs::remove_all(m_path);
  fs::create_directories(m_path / "DARU");
  for (const auto& entry : fs::directory_iterator(cached / "DARU")) {
    if (entry.is_directory()) fs::create_directories(m_path / "DARU" / entry.path().filename());
  }
  for (const char* extra : {"-wal", "-shm", "-journal"})
    if (fs::exists(cached / "DARU" / (std::string("darudb") + extra)))
      throw std::runtime_error("cached catalogue was not closed cleanly: " + cached.string());
  fs::copy_file(cached / "DARU" / "darudb", catalogue());
  Db db = OpenDb(catalogue());
  Stmt mode = Prepare(db.get(), ("PRAGMA journal_mode=" + journalMode).c_str());
  std::string got;
  if (sqlite3_step(mode.get()) == SQLITE_ROW) got = reinterpret_cast<const char*>(sqlite3_column_text(mode.get(), 0));
  for (char& c : got) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (got != journalMode) throw std::runtime_error("journal mode " + journalMode + " not taken: " + got);
}

WorkingRoot::~WorkingRoot() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

std::u16string WorkingRoot::ModuleFile() const { return FromUtf8((m_path / "daru").string()); }

}  // namespace darubench
