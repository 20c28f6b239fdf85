#pragma once

#include <string>

#include "base/DaruApi.h"
#include "core/CaptureItems.h"
#include "core/StdTime.h"

// The largest media file an article keeps a copy of: 1 GiB.
inline constexpr long long kMaxMediaFileSize = 1LL << 30;

// A stored article: one link, filed under one or more labels.
class DARU_API CArticle : public CItemExecute {
 public:
  CArticle();
  CArticle(const CArticle& other);
  CArticle& operator=(const CArticle& other);
  virtual ~CArticle();

  // The full path of the description file, from the current type and filename.
  std::u16string GetDescriptionFilename();

  // The article's files. These hide the capture item's no-op versions; the
  // content files do the work (core/ContentFileWork.h).
  // Writes the description file into the folder (useFolder) or into the folder
  // of the type code; true when the file was saved. A file that is there but
  // cannot be read is never replaced: the rewrite would lose what it holds.
  bool CreateDescriptionFile(std::u16string folderOrType, bool useFolder);
  // Writes the description file where the article's type keeps it, from what
  // the article holds now (load first what the file must keep): the one way
  // every capture and every edit of a stored article writes it.
  bool RewriteDescriptionFile() { return CreateDescriptionFile(type, false); }
  // The description file is there but cannot be read (damaged, too large,
  // not a regular file): the loads below read nothing from it.
  bool DescriptionFileIsUnreadable();
  // The description or comment in memory, else the one in the description file.
  std::u16string LoadDescription();
  std::u16string LoadComment();
  // Attaches the feed sub-record read from the description file; false when
  // the file cannot be read, and then no sub-record stays attached.
  bool LoadRssSubItem();
  // The same, keeping the sub-record only when it carries feed data: a page's
  // file reads back as an empty record, which a rewrite would write as an
  // empty feed element. A sub-record attached already stays as it is. True
  // when the attached sub-record carries feed data.
  bool LoadFeedDataToKeep();
  // Copies the media file into the article's folder as mime.zevm. The source
  // must be a regular file, not a symbolic link, of at most kMaxMediaFileSize
  // bytes; a copy that fails or comes out incomplete is not kept.
  void CreateMime(std::u16string source);

  int articleid;
  std::u16string filename;  // 32 hex digits of the link's MD5; names the description file
  std::u16string url;
  std::u16string title;
  std::u16string key1;
  std::u16string type;
  std::u16string descfile;
  std::u16string mimefile;
  int labels;
  int label;
  int version;
  CStdTime crdate;
  CStdTime brdate;
  CStdTime lmdate;
  bool readflag;
  bool impflag;
};
