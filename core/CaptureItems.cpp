#include "core/CaptureItems.h"

#include "core/ContentFileWork.h"

CRSSSubItem::CRSSSubItem() = default;
CRSSSubItem::CRSSSubItem(const CRSSSubItem& other) = default;
CRSSSubItem& CRSSSubItem::operator=(const CRSSSubItem& other) = default;
CRSSSubItem::~CRSSSubItem() = default;

void CRSSSubItem::AddMimeFile(CMimeFile file) { mimeFiles.push_back(std::move(file)); }

bool CRSSSubItem::HasData() const {
  return !(title.empty() && link.empty() && pubDate.empty() && channelTitle.empty() && channelLink.empty() &&
           mimeUrl.empty() && mimeFiles.empty());
}

// The reading is the content files' work; without it nothing is read.
bool CRSSSubItem::LoadRSSInfo(std::u16string path) {
  const CContentFileWork* work = ContentFileWork();
  if (work == nullptr) {
    sourceFile = std::move(path);
    return false;
  }
  return work->loadRssInfo(*this, path);
}

std::u16string CRSSSubItem::NamedMediaFile(std::u16string path) {
  const CContentFileWork* work = ContentFileWork();
  return work != nullptr ? work->namedMediaFile(path) : std::u16string();
}

CPubSubItem::CPubSubItem() = default;
CPubSubItem::CPubSubItem(const CPubSubItem& other) = default;
CPubSubItem& CPubSubItem::operator=(const CPubSubItem& other) = default;
CPubSubItem::~CPubSubItem() = default;

CVersionSubItem::CVersionSubItem() : number(1), name(u"none") {}
CVersionSubItem::CVersionSubItem(const CVersionSubItem& other) = default;
CVersionSubItem& CVersionSubItem::operator=(const CVersionSubItem& other) = default;
CVersionSubItem::~CVersionSubItem() = default;

CItemExecute::CItemExecute() = default;
CItemExecute::CItemExecute(const CItemExecute& other) = default;
CItemExecute& CItemExecute::operator=(const CItemExecute& other) = default;
namespace {

// One walk over versions at a time for the whole process. The walk remembers
// its item and an index rather than an iterator, so a walk never reads past
// the item's versions, even when they change in between.
struct VersionWalk {
  const CItemExecute* item = nullptr;
  size_t index = 0;
};
VersionWalk g_versionWalk;

}  // namespace

CItemExecute::~CItemExecute() {
  if (g_versionWalk.item == this) g_versionWalk = {};
}

CVersionSubItem* CItemExecute::GetVersionSubItem(int first) {
  if (first != 0) {
    g_versionWalk = {this, 0};
  } else if (g_versionWalk.item == this && g_versionWalk.index < versions.size()) {
    ++g_versionWalk.index;
  } else {
    return nullptr;
  }
  return g_versionWalk.index < versions.size() ? &versions[g_versionWalk.index] : nullptr;
}

bool CItemExecute::CreateDescriptionFile(std::u16string, bool) { return false; }
void CItemExecute::CreateMime(std::u16string) {}
std::u16string CItemExecute::LoadDescription() { return {}; }
std::u16string CItemExecute::LoadComment() { return {}; }
