#include "LibraryCatalogue.h"

#include <sqlite3.h>

#include <stdexcept>

#include "CatalogueGenerator.h"
#include "base/TextConv.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "facade/DARU.h"
#include "facade/LabelTree.h"
#include "platform/ModuleInfo.h"
#include "provision/DataRoot.h"
#include "storage/DB.h"
#include "storage/DBSqlite.h"
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
  m_daru = CDARU::Instance();
  if (m_daru == nullptr || !m_daru->Init()) throw std::runtime_error("cannot open the catalogue");
}

LibraryCatalogue::~LibraryCatalogue() {
  delete m_daru;
  DaruSetModuleFileName(u"");
  --gLiving;
}

CLabel* LibraryCatalogue::Label(int labelid) {
  CLabel* label = m_daru->GetLabelTree()->FindLabel(labelid);
  if (label == nullptr) throw std::runtime_error("no label " + std::to_string(labelid));
  return label;
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
  // A store of its own on the same catalogue sets up its connection as the
  // facade's store did.
  std::unique_ptr<CDB> store(CreateStore(1));
  if (!store || !store->InitDB()) throw std::runtime_error("cannot open the catalogue");
  CSQLiteDB& db = CDBSqliteTestAccess::Connection(*static_cast<CDBSqlite*>(store.get()));
  return db.Query(u"PRAGMA synchronous").GetInt(0, -1);
}

// As the label tree files a page from the browser without the dialog: the
// facade's capture, asked to report a stored link rather than file it.
bool LibraryCatalogue::Capture(int labelid, const std::string& url, const std::string& title) {
  CCaptureRequest request;
  request.label = Label(labelid);
  request.link = FromUtf8(url);
  request.title = FromUtf8(title);
  request.type = kBrowserType;
  request.fileStored = false;
  return m_daru->Capture(request).result == CaptureResult::New;
}

// As the label tree files a stored link under a further label once the user
// said yes.
bool LibraryCatalogue::FileUnder(int labelid, const std::string& url, const std::string& title) {
  CCaptureRequest request;
  request.label = Label(labelid);
  request.link = FromUtf8(url);
  request.title = FromUtf8(title);
  request.type = kBrowserType;
  return m_daru->Capture(request).result == CaptureResult::Filed;
}

bool LibraryCatalogue::WriteDescriptionFile(const std::string& url) {
  CArticle pattern;
  pattern.filename = FromUtf8(Md5Hex(url));
  if (m_daru->QueryArticle(pattern, kArticleMaskFilename, false) < 1) return false;
  CArticle* stored = m_daru->GetArticleList().front();
  return stored->CreateDescriptionFile(GetTypeFolder(stored->type), true);
}

int LibraryCatalogue::AddEmptyLabel() {
  CLabelTree* tree = m_daru->GetLabelTree();
  CLabel* label = tree->InsertLabel(tree->GetHeadLabel(), u"capture target");
  if (label == nullptr) throw std::runtime_error("cannot add a label");
  return label->labelid;
}

int LibraryCatalogue::QueryLabel(int labelid) {
  int n = m_daru->QueryArticle(Label(labelid), CArticle(), 0);
  m_listing = m_daru->GetArticleList();
  return n;
}

int LibraryCatalogue::SearchTitle(const std::string& text) {
  CArticle pattern;
  pattern.title = FromUtf8(text);
  int n = m_daru->QueryArticle(pattern, 2, true);
  m_listing = m_daru->GetArticleList();
  return n;
}

int LibraryCatalogue::LoadLabels() {
  CLabelTree* tree = m_daru->GetLabelTree();
  return tree->LoadLabelTree() ? static_cast<int>(tree->GetAllLabels().size()) : -1;
}

bool LibraryCatalogue::DeleteLabel(int labelid) { return m_daru->GetLabelTree()->DeleteLabel(Label(labelid)); }

int LibraryCatalogue::FlipReadFlag(int i) {
  if (i < 0 || i >= static_cast<int>(m_listing.size())) return 0;
  m_listing[i]->readflag = !m_listing[i]->readflag;
  return m_daru->UpdateArticle(*m_listing[i]) ? 1 : 0;
}

std::size_t LibraryCatalogue::ListedTextBytes() {
  std::size_t bytes = 0;
  for (const CArticle* a : m_listing)
    bytes +=
        (a->filename.size() + a->url.size() + a->title.size() + a->key1.size() + a->type.size()) * sizeof(char16_t);
  return bytes;
}

}  // namespace darubench
