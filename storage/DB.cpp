#include "storage/DB.h"

#include <memory>

CDB::CDB() = default;
CDB::CDB(const CDB& other) : m_lastError(other.m_lastError) {}
CDB& CDB::operator=(const CDB& other) {
  m_lastError = other.m_lastError;
  return *this;
}
CDB::~CDB() = default;

std::u16string CDB::GetLastDBError() { return m_lastError; }

bool CDB::ReplaceArticleLabels(int, const std::vector<int>&, int& failedLabel) {
  failedLabel = 0;
  SetLastDBError(u"此存储不能一次替换文章的全部标签。");
  return false;
}

void CDB::SetLastDBError(std::u16string text) { m_lastError = std::move(text); }

bool CDB::RenameLabel(CLabel& label) { return UpdateLabel(label); }

bool CDB::MoveLabel(CLabel& label) { return UpdateLabel(label); }

int CDB::FileArticle(CArticle& article, int labelid) {
  CLabelToArticle link(labelid, article.articleid);
  if (QueryLabelToArticle(link)) return 1;
  if (!AddLabelToArticle(link)) return -1;
  ++article.labels;
  return UpdateArticle(article) ? 0 : -1;
}

namespace {

// The catalogue's fields of a row, and nothing of the capture item: a feed
// item lent to the record must stay the lender's.
void TakeRow(CArticle& record, const CArticle& row) {
  record.articleid = row.articleid;
  record.filename = row.filename;
  record.url = row.url;
  record.title = row.title;
  record.key1 = row.key1;
  record.type = row.type;
  record.descfile = row.descfile;
  record.labels = row.labels;
  record.label = row.label;
  record.version = row.version;
  record.crdate = row.crdate;
  record.brdate = row.brdate;
  record.lmdate = row.lmdate;
  record.readflag = row.readflag;
  record.impflag = row.impflag;
}

// The stored row of the folder name, or null; the lowest id when a damaged
// catalogue holds more than one.
std::unique_ptr<CArticle> StoredNamed(CDB& db, const std::u16string& filename, bool& failed) {
  CArticle pattern;
  pattern.filename = filename;
  std::vector<CArticle*> found;
  failed = !db.QueryArticle(found, pattern, kArticleMaskFilename, false);
  std::unique_ptr<CArticle> first;
  for (CArticle* article : found) {
    std::unique_ptr<CArticle> owned(article);
    if (!failed && article->filename == filename && (!first || article->articleid < first->articleid))
      first = std::move(owned);
  }
  return first;
}

}  // namespace

// Without a transaction of its own a store can only look, then write: two
// processes may then both find the link new. The stores of the library
// override this.
int CDB::CaptureArticle(CArticle& article) {
  bool failed = false;
  std::unique_ptr<CArticle> stored = StoredNamed(*this, article.filename, failed);
  if (failed) return -1;
  if (stored) {
    const int label = article.label;
    CArticle row(*stored);
    const int filed = FileArticle(row, label);
    if (filed < 0) return -1;
    TakeRow(article, row);
    return filed == 0 ? 1 : 2;
  }
  if (!AddArticle(article)) return -1;
  article.labels = 1;
  article.version = 1;
  return 0;
}

int CDB::FindOrAddLabel(CLabel& label) {
  CLabel pattern;
  pattern.name = label.name;
  pattern.toplayer = label.toplayer;
  std::vector<CLabel*> found;
  const bool queried = QueryLabel(found, pattern, kLabelMaskName | kLabelMaskParent);
  const CLabel* first = nullptr;
  for (const CLabel* l : found)
    if (l->name == label.name && l->toplayer == label.toplayer && (!first || l->labelid < first->labelid)) first = l;
  int result = -1;
  if (queried && first) {
    label.labelid = first->labelid;
    result = 1;
  } else if (queried) {
    result = AddLabel(label) ? 0 : -1;
  }
  for (CLabel* l : found) delete l;
  return result;
}
