#include "core/ArticleLocations.h"

#include <algorithm>

#include "platform/ModuleInfo.h"

namespace {

std::u16string FolderOfType(std::u16string_view typeCode) {
  std::u16string folder = FindTypePath(typeCode);
  for (auto& c : folder)
    if (c == u'\\') c = u'/';
  return folder;
}

}  // namespace

std::vector<CArticleType>& daru::ArticleTypeTable() {
  static std::vector<CArticleType> table;
  return table;
}

std::u16string daru::FindTypePath(const std::vector<CArticleType>& types, std::u16string_view typeCode) {
  for (const CArticleType& t : types)
    if (t.type == typeCode) return t.path;
  return {};
}

std::u16string daru::FindTypePath(std::u16string_view typeCode) { return FindTypePath(ArticleTypeTable(), typeCode); }

// Paths are built in place: every loaded article computes its description
// file path, so a temporary per step would show in large listings.
std::u16string daru::GetDataRoot() {
  std::u16string module = DaruGetModuleFileName();
  size_t cut = module.rfind(u'/');
  if (cut == std::u16string::npos) return {};
  module.resize(cut);
  return module;
}

std::u16string daru::GetDaruFolder() {
  std::u16string folder = GetDataRoot();
  folder += u"/DARU";
  return folder;
}

std::u16string daru::GetCatalogueFile() { return GetDaruFolder() + u"/darudb"; }

std::u16string daru::GetTypeFolder(std::u16string_view typeCode) {
  std::u16string folder = GetDaruFolder();
  folder += u'/';
  folder += FolderOfType(typeCode);
  return folder;
}

void CDescriptionPaths::Fill(std::u16string_view typeCode, std::u16string_view filename, std::u16string& out) {
  auto known = std::find_if(m_folders.begin(), m_folders.end(), [&](const auto& f) { return f.first == typeCode; });
  if (known == m_folders.end())
    known = m_folders.emplace(m_folders.end(), std::u16string(typeCode), GetTypeFolder(typeCode) + u'/');
  out.reserve(known->second.size() + filename.size() + kDescriptionSuffix.size());
  out = known->second;
  out += filename;
  out += kDescriptionSuffix;
}

std::u16string daru::DescriptionFilePath(std::u16string_view typeCode, std::u16string_view filename) {
  std::u16string path = GetTypeFolder(typeCode);
  path.reserve(path.size() + 1 + filename.size() + 4);
  path += u'/';
  path += filename;
  path += kDescriptionSuffix;
  return path;
}

std::u16string daru::GetArticleFolder(std::u16string_view filename) {
  return GetTypeFolder(kFeedType) + u"/" + std::u16string(filename);
}

std::u16string daru::GetMediaCopyPath(std::u16string_view filename) {
  return GetArticleFolder(filename) + u"/" + kMediaCopyName;
}

bool daru::IsArticleName(std::u16string_view name) {
  if (name.size() != kArticleNameLength) return false;
  for (char16_t c : name)
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) return false;
  return true;
}

bool daru::IsSafeFolderName(std::u16string_view name) {
  if (name.empty() || name == u"." || name == u"..") return false;
  for (char16_t c : name)
    if (c == u'/' || c == u'\\' || c == 0) return false;
  return true;
}

bool daru::IsSafeTypePath(std::u16string_view path) {
  if (path.empty() || path.front() == u'/' || path.front() == u'\\') return false;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of(u"/\\", start);
    if (end == std::u16string_view::npos) end = path.size();
    std::u16string_view part = path.substr(start, end - start);
    if (part == u"..") return false;
    for (char16_t c : part)
      if (c == 0) return false;
    start = end + 1;
  }
  return true;
}
