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

int CDB::CaptureArticle(CArticle& article, const CNewArticleMarks& marks) {
  CArticle pattern;
  pattern.filename = article.filename;
  std::vector<CArticle*> found;
  if (!article.filename.empty() && !QueryArticle(found, pattern, kArticleMaskFilename, false)) return -1;
  std::vector<std::unique_ptr<CArticle>> owned(found.begin(), found.end());
  if (owned.empty()) {
    if (!AddArticle(article)) return -1;
    article.labels = 1;
    article.version = 1;
    // A store without its own capture stores the marks in a second write,
    // and takes the row back out when that fails.
    const CNewArticleMarks plain;
    if (marks.read == plain.read && marks.important == plain.important) return 0;
    article.readflag = marks.read;
    article.impflag = marks.important;
    if (UpdateArticle(article)) return 0;
    const std::u16string why = GetLastDBError();
    DeleteArticle(&article, nullptr);
    SetLastDBError(why);
    return -1;
  }
  CArticle& stored = *owned.front();
  CLabelToArticle link(article.label, stored.articleid);
  int result = 2;
  if (!QueryLabelToArticle(link)) {
    if (!AddLabelToArticle(link)) return -1;
    ++stored.labels;
    if (!UpdateArticle(stored)) return -1;
    result = 1;
  }
  TakeStoredRow(article, stored);
  return result;
}

int CDB::FindOrAddLabel(CLabel& label) {
  std::vector<CLabel*> found;
  if (!QueryLabel(found, label, kLabelMaskName | kLabelMaskParent)) return -1;
  std::vector<std::unique_ptr<CLabel>> owned(found.begin(), found.end());
  if (owned.empty()) return AddLabel(label) ? 0 : -1;
  label.labelid = owned.front()->labelid;
  label.name = owned.front()->name;
  label.toplayer = owned.front()->toplayer;
  return 1;
}

void CDB::TakeStoredRow(CArticle& article, const CArticle& row) {
  // Where the caller files it (label) and what it carries for its files stay.
  article.articleid = row.articleid;
  article.filename = row.filename;
  article.url = row.url;
  article.title = row.title;
  article.key1 = row.key1;
  article.type = row.type;
  article.descfile = row.descfile;
  article.labels = row.labels;
  article.version = row.version;
  article.readflag = row.readflag;
  article.impflag = row.impflag;
  article.crdate = row.crdate;
  article.brdate = row.brdate;
  article.lmdate = row.lmdate;
}

namespace {
constexpr const char16_t* kNoSubscriptions = u"此存储不保存订阅。";
}

bool CDB::AddSubscription(CSubscription&) {
  SetLastDBError(kNoSubscriptions);
  return false;
}

bool CDB::UpdateSubscription(const CSubscription&) {
  SetLastDBError(kNoSubscriptions);
  return false;
}

bool CDB::QuerySubscriptions(std::vector<CSubscription>&) {
  SetLastDBError(kNoSubscriptions);
  return false;
}

bool CDB::DeleteSubscription(int) {
  SetLastDBError(kNoSubscriptions);
  return false;
}
