#include "storage/DB.h"

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
