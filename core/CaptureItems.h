#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/DaruApi.h"
#include "core/Records.h"

// The data of one feed item, filled by the host or read from an RSS
// information file, and rebuilt from an article's description file.
class DARU_API CRSSSubItem {
 public:
  CRSSSubItem();
  CRSSSubItem(const CRSSSubItem& other);
  CRSSSubItem& operator=(const CRSSSubItem& other);
  ~CRSSSubItem();

  void AddMimeFile(CMimeFile file);
  // Whether the record carries any feed data: a page's description file
  // reads back as an empty record.
  bool HasData() const;
  // Reads an RSS information file: a root element holding newstitle with
  // title, pubdate, description, link and mime/url (a media file beside the
  // information file). sourceFile is set first, whatever follows; false when
  // the file cannot be read as XML.
  bool LoadRSSInfo(std::u16string path);
  // The media file an RSS information file names (newstitle/mime/url), as
  // written there; empty when it names none. LoadRSSInfo takes it only when
  // it is really a file beside the information file or below its folder.
  static std::u16string NamedMediaFile(std::u16string path);

  std::u16string link;
  std::u16string title;
  std::u16string description;
  std::u16string pubDate;
  std::u16string channelLink;
  std::u16string channelTitle;
  std::vector<CMimeFile> mimeFiles;
  std::u16string mimeUrl;     // full path of the enclosed media file
  std::u16string sourceFile;  // the information file last loaded
};

class DARU_API CPubSubItem {
 public:
  CPubSubItem();
  CPubSubItem(const CPubSubItem& other);
  CPubSubItem& operator=(const CPubSubItem& other);
  ~CPubSubItem();

  std::u16string text1;
  std::u16string text2;
};

class DARU_API CVersionSubItem {
 public:
  CVersionSubItem();
  CVersionSubItem(const CVersionSubItem& other);
  CVersionSubItem& operator=(const CVersionSubItem& other);
  ~CVersionSubItem();

  int number;
  std::u16string name;
  std::u16string text;
};

// A sub-record held by a capture item. Copies of an item share the object
// they hold; it is deleted once, when the last item holding it goes.
// Replacing the object with Set does not delete the one held before: a caller
// may lend an object for a while and take it back by setting null.
template <class T>
class CSubItemRef {
 public:
  T* get() const { return m_share ? m_share->object : nullptr; }
  void Set(T* object) {
    if (object == get()) return;
    if (m_share && m_share.use_count() == 1) m_share->object = nullptr;  // handed back, not ours to delete
    m_share = object ? std::make_shared<Share>(object) : nullptr;
  }

 private:
  struct Share {
    explicit Share(T* o) : object(o) {}
    Share(const Share&) = delete;
    Share& operator=(const Share&) = delete;
    ~Share() { delete object; }
    T* object;  // owned, unless handed back through Set
  };
  std::shared_ptr<Share> m_share;
};

// The capture item: one captured page or feed item on its way into the
// library. CArticle builds on it; the file operations here do nothing and are
// hidden by the article's working ones.
class DARU_API CItemExecute {
 public:
  CItemExecute();
  CItemExecute(const CItemExecute& other);
  CItemExecute& operator=(const CItemExecute& other);
  ~CItemExecute();

  std::u16string GetUrl() { return itemUrl; }
  void SetUrl(std::u16string url) { itemUrl = std::move(url); }
  std::u16string GetDescription() { return description; }
  void SetDescription(std::u16string text) { description = std::move(text); }
  std::u16string GetComment() { return comment; }
  void SetComment(std::u16string text) { comment = std::move(text); }

  CRSSSubItem* GetRSSSubItem() { return rssSubItem.get(); }
  CRSSSubItem* LoadRSS() { return rssSubItem.get(); }
  void SetRSSSubItem(CRSSSubItem* item) { rssSubItem.Set(item); }
  CPubSubItem* GetPubSubItem() { return pubSubItem.get(); }

  // Walks versions: a non-zero argument starts at the first element, zero steps
  // to the next one; null at the end, or when no walk over this item is under way.
  CVersionSubItem* GetVersionSubItem(int first);

  bool CreateDescriptionFile(std::u16string path, bool useFolder);
  void CreateMime(std::u16string path);
  std::u16string LoadDescription();
  std::u16string LoadComment();

  std::u16string itemUrl;
  std::u16string description;
  std::u16string comment;
  std::u16string reservedText;
  std::vector<CVersionSubItem> versions;
  CSubItemRef<CRSSSubItem> rssSubItem;
  CSubItemRef<CPubSubItem> pubSubItem;
};
