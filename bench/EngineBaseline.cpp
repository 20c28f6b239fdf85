#include "EngineBaseline.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <unordered_map>

#include "CatalogueGenerator.h"

namespace darubench {

namespace {

std::string Column(sqlite3_stmt* s, int i) {
  const unsigned char* text = sqlite3_column_text(s, i);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(s, i)))
              : std::string();
}

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void AppendEscaped(std::string& out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      default:
        out += c;
    }
  }
}

void Element(std::string& out, const char* name, const std::string& text) {
  out += '<';
  out += name;
  if (text.empty()) {
    out += "/>";
    return;
  }
  out += '>';
  AppendEscaped(out, text);
  out += "</";
  out += name;
  out += '>';
}

}  // namespace

EngineCatalogue::EngineCatalogue(const std::filesystem::path& dataRoot, int synchronous)
    : m_webFolder(dataRoot / "DARU" / "web"), m_syncFiles(synchronous >= 2) {
  std::filesystem::path file = dataRoot / "DARU" / "darudb";
  if (sqlite3_open_v2(file.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot open " + file.string());
  sqlite3_busy_timeout(m_db, 60000);
  std::string pragma = "PRAGMA synchronous=" + std::to_string(synchronous);
  sqlite3_exec(m_db, pragma.c_str(), nullptr, nullptr, nullptr);

  m_begin = Prepare("BEGIN");
  m_commit = Prepare("COMMIT");
  m_rollback = Prepare("ROLLBACK");
  m_byFilename = Prepare("SELECT * FROM article WHERE filename=?1");
  m_insertArticle = Prepare(
      "INSERT INTO article(url,filename,title,key1,type,labels,label,version,readflag,impflag,crdate,brdate,lmdate)"
      " VALUES(?1,?2,?3,?4,?5,1,?6,1,'T','F',?7,0,0)");
  m_insertLink = Prepare("INSERT INTO articletolabel(articleid,labelid) VALUES(?1,?2)");
  m_findLink = Prepare("SELECT * FROM articletolabel WHERE articleid=?1 AND labelid=?2");
  m_updateArticle = Prepare(
      "UPDATE article SET title=?1,key1=?2,labels=?3,version=?4,readflag=?5,impflag=?6,crdate=?7,brdate=?8,"
      "lmdate=?9 WHERE articleid=?10");
  m_labelArticles = Prepare(
      "SELECT article.* FROM article,articletolabel WHERE article.articleid=articletolabel.articleid AND "
      "articletolabel.labelid=?1");
  m_searchTitle = Prepare("SELECT * FROM article WHERE title LIKE ?1");
  m_deleteLabel = Prepare("DELETE FROM label WHERE labelid=?1");
  m_labelLinks = Prepare("SELECT * FROM articletolabel WHERE labelid=?1");
  m_decrement = Prepare("UPDATE article SET labels=labels-1 WHERE articleid=?1");
  m_deleteOrphans = Prepare("DELETE FROM article WHERE labels<1");
  m_deleteLinks = Prepare("DELETE FROM articletolabel WHERE labelid=?1");
  m_labels = Prepare("SELECT * FROM label order by toplayer,labelid");
}

EngineCatalogue::~EngineCatalogue() {
  for (sqlite3_stmt* s : m_statements) sqlite3_finalize(s);
  sqlite3_close_v2(m_db);
}

sqlite3_stmt* EngineCatalogue::Prepare(const char* sql) {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string(sqlite3_errmsg(m_db)) + ": " + sql);
  m_statements.push_back(s);
  return s;
}

void EngineCatalogue::Run(sqlite3_stmt* stmt) {
  int rc = sqlite3_step(stmt);
  sqlite3_reset(stmt);
  if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(m_db));
}

void EngineCatalogue::ReadArticles(sqlite3_stmt* s, std::vector<EngineArticle>& out) {
  while (sqlite3_step(s) == SQLITE_ROW) {
    EngineArticle& a = out.emplace_back();
    a.articleid = sqlite3_column_int64(s, 0);
    a.filename = Column(s, 1);
    a.url = Column(s, 2);
    a.title = Column(s, 3);
    a.key1 = Column(s, 4);
    a.type = Column(s, 5);
    a.labels = sqlite3_column_int(s, 6);
    a.label = sqlite3_column_int(s, 7);
    a.version = sqlite3_column_int(s, 8);
    a.readflag = Column(s, 9) != "F";
    a.impflag = Column(s, 10) != "F";
    a.crdate = sqlite3_column_int64(s, 11);
    a.brdate = sqlite3_column_int64(s, 12);
    a.lmdate = sqlite3_column_int64(s, 13);
  }
  sqlite3_reset(s);
}

bool EngineCatalogue::FindByFilename(const std::string& filename, EngineArticle& out) {
  BindText(m_byFilename, 1, filename);
  std::vector<EngineArticle> rows;
  ReadArticles(m_byFilename, rows);
  if (rows.empty()) return false;
  out = std::move(rows.front());
  return true;
}

std::string EngineCatalogue::DescriptionXml(const std::string& title, const std::string& url,
                                            const std::string& filename) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<?xml-stylesheet href=\"../default.xslt\" type=\"text/xsl\" ?>\n<Article>";
  Element(xml, "Title", title);
  if (!url.empty()) Element(xml, "URL", url);
  Element(xml, "FileName", filename);
  Element(xml, "Key", "");
  Element(xml, "Description", "");
  Element(xml, "Comment", "");
  xml += "</Article>\n";
  return xml;
}

std::int64_t EngineCatalogue::Capture(int labelid, const std::string& url, const std::string& title) {
  std::string filename = Md5Hex(url);
  EngineArticle existing;
  if (FindByFilename(filename, existing)) return 0;
  Run(m_begin);
  BindText(m_insertArticle, 1, url);
  BindText(m_insertArticle, 2, filename);
  BindText(m_insertArticle, 3, title);
  BindText(m_insertArticle, 4, "");
  BindText(m_insertArticle, 5, "B");
  sqlite3_bind_int(m_insertArticle, 6, labelid);
  sqlite3_bind_int64(m_insertArticle, 7, static_cast<std::int64_t>(std::time(nullptr)));
  Run(m_insertArticle);
  std::int64_t id = sqlite3_last_insert_rowid(m_db);
  sqlite3_bind_int64(m_insertLink, 1, id);
  sqlite3_bind_int(m_insertLink, 2, labelid);
  Run(m_insertLink);
  Run(m_commit);

  std::string xml = DescriptionXml(title, url, filename);
  std::string path = (m_webFolder / (filename + ".xml")).string();
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0 || write(fd, xml.data(), xml.size()) != static_cast<ssize_t>(xml.size()))
    throw std::runtime_error("cannot write " + path);
  // Where the commits wait for the disk (synchronous FULL), so does the file,
  // as darulib's file policy has it: the file, then its folder entry.
  if (m_syncFiles) {
    int dir = open(m_webFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool synced = fsync(fd) == 0 && dir >= 0 && fsync(dir) == 0;
    if (dir >= 0) close(dir);
    if (!synced) throw std::runtime_error("cannot sync " + path);
  }
  if (close(fd) != 0) throw std::runtime_error("cannot write " + path);
  return id;
}

bool EngineCatalogue::FileUnder(int labelid, const std::string& url) {
  EngineArticle a;
  if (!FindByFilename(Md5Hex(url), a)) return false;
  sqlite3_bind_int64(m_findLink, 1, a.articleid);
  sqlite3_bind_int(m_findLink, 2, labelid);
  bool linked = sqlite3_step(m_findLink) == SQLITE_ROW;
  sqlite3_reset(m_findLink);
  if (linked) return false;
  sqlite3_bind_int64(m_insertLink, 1, a.articleid);
  sqlite3_bind_int(m_insertLink, 2, labelid);
  Run(m_insertLink);
  ++a.labels;
  return UpdateArticle(a);
}

std::vector<EngineArticle> EngineCatalogue::LabelArticles(int labelid) {
  std::vector<EngineArticle> out;
  sqlite3_bind_int(m_labelArticles, 1, labelid);
  ReadArticles(m_labelArticles, out);
  return out;
}

std::vector<EngineArticle> EngineCatalogue::SearchTitle(const std::string& text) {
  std::vector<EngineArticle> out;
  std::string pattern = "%" + text + "%";
  BindText(m_searchTitle, 1, pattern);
  ReadArticles(m_searchTitle, out);
  return out;
}

bool EngineCatalogue::DeleteLabel(int labelid) {
  Run(m_begin);
  sqlite3_bind_int(m_deleteLabel, 1, labelid);
  Run(m_deleteLabel);
  if (sqlite3_changes(m_db) <= 0) {
    Run(m_rollback);
    return false;
  }
  sqlite3_bind_int(m_labelLinks, 1, labelid);
  while (sqlite3_step(m_labelLinks) == SQLITE_ROW) {
    sqlite3_bind_int64(m_decrement, 1, sqlite3_column_int64(m_labelLinks, 1));
    Run(m_decrement);
  }
  sqlite3_reset(m_labelLinks);
  Run(m_deleteOrphans);
  sqlite3_bind_int(m_deleteLinks, 1, labelid);
  Run(m_deleteLinks);
  Run(m_commit);
  return true;
}

bool EngineCatalogue::UpdateArticle(const EngineArticle& a) {
  sqlite3_stmt* s = m_updateArticle;
  BindText(s, 1, a.title);
  BindText(s, 2, a.key1);
  sqlite3_bind_int(s, 3, a.labels);
  sqlite3_bind_int(s, 4, a.version);
  sqlite3_bind_text(s, 5, a.readflag ? "T" : "F", 1, SQLITE_STATIC);
  sqlite3_bind_text(s, 6, a.impflag ? "T" : "F", 1, SQLITE_STATIC);
  sqlite3_bind_int64(s, 7, a.crdate);
  sqlite3_bind_int64(s, 8, a.brdate);
  sqlite3_bind_int64(s, 9, a.lmdate);
  sqlite3_bind_int64(s, 10, a.articleid);
  Run(s);
  return sqlite3_changes(m_db) > 0;
}

int EngineCatalogue::AddEmptyLabel() {
  if (sqlite3_exec(m_db, "INSERT INTO label(name,toplayer) VALUES('capture target',1)", nullptr, nullptr, nullptr) !=
      SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(m_db));
  return static_cast<int>(sqlite3_last_insert_rowid(m_db));
}

std::vector<EngineLabel> EngineCatalogue::LoadLabels() {
  std::vector<EngineLabel> labels;
  while (sqlite3_step(m_labels) == SQLITE_ROW) {
    EngineLabel& l = labels.emplace_back();
    l.labelid = sqlite3_column_int(m_labels, 0);
    l.name = Column(m_labels, 1);
    l.toplayer = sqlite3_column_int(m_labels, 2);
  }
  sqlite3_reset(m_labels);
  std::unordered_map<int, EngineLabel*> byId;
  byId.reserve(labels.size());
  for (EngineLabel& l : labels) byId.emplace(l.labelid, &l);
  EngineLabel* lastChild = nullptr;
  for (EngineLabel& l : labels) {
    auto it = byId.find(l.toplayer);
    if (l.toplayer == 0 || it == byId.end()) continue;
    EngineLabel* parent = it->second;
    if (lastChild && lastChild->parent == parent) {
      lastChild->nextSibling = &l;
    } else {
      parent->firstChild = &l;
    }
    l.parent = parent;
    lastChild = &l;
  }
  return labels;
}

}  // namespace darubench
