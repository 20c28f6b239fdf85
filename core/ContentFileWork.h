#pragma once

#include <string>

class CArticle;
class CRSSSubItem;

// The work behind the file members of CArticle and CRSSSubItem: writing and
// reading description files, the media copy and RSS information files. It
// belongs to the content files (content/), which install it when the library
// loads; the records only forward to it, so the model links without them.
// Until it is installed the members act as the capture item's do: nothing is
// read or written.
struct CContentFileWork {
  bool (*createDescriptionFile)(CArticle& article, const std::u16string& folderOrType, bool useFolder);
  bool (*descriptionFileIsUnreadable)(CArticle& article);
  std::u16string (*loadDescription)(CArticle& article);
  std::u16string (*loadComment)(CArticle& article);
  bool (*loadRssSubItem)(CArticle& article);
  void (*createMime)(CArticle& article, const std::u16string& source);
  bool (*loadRssInfo)(CRSSSubItem& item, const std::u16string& path);
  std::u16string (*namedMediaFile)(const std::u16string& path);
};

// Installs the work (the content files do, once, at load time); null uninstalls it.
void InstallContentFileWork(const CContentFileWork* work);
// The installed work, or null.
const CContentFileWork* ContentFileWork();
