#include "LibraryCatalogue.h"

#include <sqlite3.h>

#include <stdexcept>

#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "core/DARU.h"
#include "core/TextConv.h"
#include "fixtures/DaruAccess.h"
#include "platform/ModuleInfo.h"
#include "provision/DataRoot.h"
#include "storage/DB.h"
#include "storage/StorageAccess.h"

namespace darubench {

namespace {

int gLiving = 0;

}  // namespace

LibraryCatalogue::LibraryCatalogue(const std::filesystem::path& cached, const std::filesystem::path& workFolder,
                                   const std::string& name, const std::string& journalMode)
    : m_ownRoot(std::make_unique<WorkingRoot>(cached, workFolder, name, journalMode)), m_root(m_ownRoot.get()) {
  Open();
}

LibraryCatalogue::LibraryCatalogue(const WorkingRoot& root) : m_root(&root) { Open(); }

void LibraryCatalogue::Open() {
  if (gLiving++ != 0) throw std::logic_error("one library catalogue at a time");
  DaruSetModuleFileName(m_root->ModuleFile());
  m_store = CreateStore(1);
  if (m_store == nullptr || !m_store->InitDB()) throw std::runtime_error("cannot open the catalogue");
  auto& types = CDARUTestAccess::Types(CDARU::Instance());
  types.clear();
  if (!m_store->QueryArticleType(types)) throw std::runtime_error("cannot load the article types");
}

LibraryCatalogue::~LibraryCatalogue() {
  ClearListing();
  delete m_store;
  CDARUTestAccess::Types(CDARU::Instance()).clear();
  DaruSetModuleFileName(u"");
  --gLiving;
}

std::string LibraryCatalogue::ProvisionedJournalMode() {
  static std::string mode;
  if (!mode.empty()) return mode;
  char folder[] = "/tmp/darubench-provision-XXXXXX";
  if (mkdtemp(folder) == nullptr) throw std::runtime_error("cannot make a temporary folder");
  std::string error;
  if (!provision::ProvisionDataRoot(folder, &error)) throw std::runtime_error("provisioning failed: " + error);
  sqlite3* db = nullptr;
  sqlite3_open_v2(provision::CatalogueFile(folder).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &s, nullptr);
  if (sqlite3_step(s) == SQLITE_ROW) mode = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
  sqlite3_finalize(s);
  sqlite3_close_v2(db);
  std::filesystem::remove_all(folder);
  for (char& c : mode) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return mode;
}

int LibraryCatalogue::Synchronous() {
  CSQLiteDB& db = CDBSqliteTestAccess::Connection(*static_cast<CDBSqlite*>(m_store));
  CSQLiteQuery q = db.Query(u"PRAGMA synchronous");
  return q.GetInt(0, -1);
}

bool LibraryCatalogue::Capture(int labelid, const std::string& url, const std::string& title) {
  std::u16string link = FromUtf8(url);
  CArticle pattern;
  pattern.filename = FromUtf8(Md5Hex(ToUtf8(link)));
  std::vector<CArticle*> found;
  bool ok = m_store->QueryArticle(found, pattern, 4, true);
  bool exists = !found.empty();
  for (CArticle* a : found) delete a;
  if (!ok || exists) return false;
  CArticle article;
  article.filename = pattern.filename;
  article.url = link;
  article.title = FromUtf8(title);
  article.type = u"B";
  article.label = labelid;
  article.crdate.SetNowTime();
  article.descfile = article.GetDescriptionFilename();
  if (!m_store->AddArticle(article)) return false;
  return article.CreateDescriptionFile(GetTypeFolder(u"B"), true);
}

bool LibraryCatalogue::FileUnder(int labelid, const std::string& url, const std::string&) {
  CArticle pattern;
  pattern.filename = FromUtf8(Md5Hex(url));
  std::vector<CArticle*> found;
  bool ok = m_store->QueryArticle(found, pattern, 4, true) && !found.empty();
  bool filed = false;
  if (ok) {
    CArticle& a = *found.front();
    CLabelToArticle link(labelid, a.articleid);
    if (!m_store->QueryLabelToArticle(link) && m_store->AddLabelToArticle(link)) {
      ++a.labels;
      filed = m_store->UpdateArticle(a);
    }
  }
  for (CArticle* a : found) delete a;
  return filed;
}

int LibraryCatalogue::AddEmptyLabel() {
  CLabel label;
  label.name = u"capture target";
  label.toplayer = 1;
  if (!m_store->AddLabel(label)) throw std::runtime_error("cannot add a label");
  return label.labelid;
}

void LibraryCatalogue::ClearListing() {
  for (CArticle* a : m_listing) delete a;
  m_listing.clear();
}

int LibraryCatalogue::QueryLabel(int labelid) {
  ClearListing();
  CLabel label;
  label.labelid = labelid;
  return m_store->QueryArticle(m_listing, &label, CArticle(), 0) ? static_cast<int>(m_listing.size()) : -1;
}

int LibraryCatalogue::SearchTitle(const std::string& text) {
  ClearListing();
  CArticle pattern;
  pattern.title = FromUtf8(text);
  return m_store->QueryArticle(m_listing, pattern, 2, true) ? static_cast<int>(m_listing.size()) : -1;
}

int LibraryCatalogue::LoadLabels() {
  std::vector<CLabel*> labels;
  bool ok = m_store->QueryLabel(labels, CLabel(), 0);
  int n = static_cast<int>(labels.size());
  for (CLabel* l : labels) delete l;
  return ok ? n : -1;
}

bool LibraryCatalogue::DeleteLabel(int labelid) {
  CLabel label;
  label.labelid = labelid;
  return m_store->DeleteLabel(label);
}

int LibraryCatalogue::FlipReadFlag(int i) {
  if (i < 0 || i >= static_cast<int>(m_listing.size())) return 0;
  m_listing[i]->readflag = !m_listing[i]->readflag;
  return m_store->UpdateArticle(*m_listing[i]) ? 1 : 0;
}

std::size_t LibraryCatalogue::ListedTextBytes() {
  std::size_t bytes = 0;
  for (const CArticle* a : m_listing)
    bytes +=
        (a->filename.size() + a->url.size() + a->title.size() + a->key1.size() + a->type.size()) * sizeof(char16_t);
  return bytes;
}

}  // namespace darubench
