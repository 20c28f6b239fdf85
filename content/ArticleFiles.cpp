// The article's description file and media copy.

#include "content/ArticleFiles.h"

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Files.h"
#include "base/TextConv.h"
#include "content/PathOps.h"
#include "content/RssInfoFile.h"
#include "content/XmlDocument.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "core/ContentFileWork.h"

namespace {

constexpr char16_t kSkeleton[] =
    u"<?xml version=\"1.0\" ?><?xml-stylesheet href=\"../default.xslt\" type=\"text/xsl\" ?><Article></Article>";

// Every description starts from the skeleton; it is parsed once per thread
// and copied, which costs a fraction of a parse.
const CXmlDocument& Skeleton() {
  thread_local CXmlDocument skeleton;
  thread_local const bool parsed = skeleton.LoadText(kSkeleton);
  (void)parsed;
  return skeleton;
}

// A type folder that the catalogue names outside the DARU folder is never used.
bool TypeFolderIsSafe(std::u16string_view typeCode) {
  std::u16string folder = FindTypePath(typeCode);
  return folder.empty() || IsSafeTypePath(folder);
}

// The description file of a catalogue row, or false when its filename or type
// folder would lead outside the type folder.
bool DescriptionFileOf(const CArticle& article, std::u16string& path) {
  if (!IsSafeFolderName(article.filename) || !TypeFolderIsSafe(article.type)) return false;
  path = DescriptionFilePath(article.type, article.filename);
  return true;
}

}  // namespace

namespace {

// A folder given by path may not climb: the type folder a catalogue names is
// joined to the DARU folder, and "../.." would lead out of the data root.
bool ClimbsOut(std::u16string_view folder) {
  size_t start = 0;
  while (start <= folder.size()) {
    size_t end = folder.find_first_of(u"/\\", start);
    if (end == std::u16string_view::npos) end = folder.size();
    if (folder.substr(start, end - start) == u"..") return true;
    start = end + 1;
  }
  return false;
}

bool ExistsUnreadable(const std::u16string& path) {
  struct stat st {};
  if (lstat(ToUtf8(path).c_str(), &st) != 0) return false;
  CXmlDocument existing;
  return !existing.LoadFile(path);
}

}  // namespace

bool WriteDescriptionFile(const CArticle& article, std::u16string folderOrType, bool useFolder) {
  const std::u16string& filename = article.filename;
  const std::u16string& type = article.type;
  if (!IsSafeFolderName(filename)) return false;
  if (useFolder) {
    // The folder the caller names, and the article's own type folder, which
    // callers name through the catalogue's type table.
    if (ClimbsOut(folderOrType) || (!type.empty() && !TypeFolderIsSafe(type))) return false;
  } else {
    if (!TypeFolderIsSafe(folderOrType)) return false;
    folderOrType = GetTypeFolder(folderOrType);
  }
  std::u16string path = folderOrType + u"/" + filename + u".xml";

  CXmlDocument xml;
  if (!xml.LoadCopy(Skeleton())) return false;
  xml.FindSibling();
  xml.AddChild(u"Title", article.title);
  if (!article.url.empty()) xml.AddChild(u"URL", article.url);
  xml.AddChild(u"FileName", filename);
  xml.AddChild(u"Key", article.key1);
  xml.AddChild(u"Description", article.description);
  xml.AddChild(u"Comment", article.comment);
  if (const CRSSSubItem* rss = article.rssSubItem.get()) {
    xml.AddChild(u"RSS");
    xml.StepIn();
    xml.AddChild(u"Title", rss->title);
    xml.AddChild(u"Link", rss->link);
    xml.AddChild(u"PubDate", rss->pubDate);
    xml.AddChild(u"ChannelTitle", rss->channelTitle);
    xml.AddChild(u"ChannelLink", rss->channelLink);
    if (!rss->mimeUrl.empty()) {
      xml.AddChild(u"mime");
      xml.StepIn();
      xml.AddChild(u"url", rss->mimeUrl);
      // One attachment element per attachment, so each reads back as written.
      for (const CMimeFile& file : rss->mimeFiles) {
        xml.AddChild(u"attachment");
        xml.StepIn();
        xml.AddChild(u"filename", file.filename);
        xml.AddChild(u"description", file.description);
        xml.StepOut();
      }
    }
  }
  // A file that is there but cannot be read is not replaced: whatever it
  // holds (a description, a comment, feed data) was not read into this
  // rewrite and would be lost. The catalogue check sets it aside.
  bool saved = xml.SaveFile(path, [&path] {
    CXmlDocument existing;
    return existing.LoadFile(path);
  });
  xml.ReleaseDocument();
  return saved;
}

bool DescriptionFileIsUnreadable(const CArticle& article) {
  std::u16string path;
  return DescriptionFileOf(article, path) && ExistsUnreadable(path);
}

namespace {

// The text of the element, kept in the field, when the field is empty.
std::u16string LoadText(const CArticle& article, std::u16string& field, const char16_t* element) {
  if (!field.empty()) return field;
  std::u16string path;
  if (article.filename.empty() || !DescriptionFileOf(article, path)) return {};
  CXmlDocument xml;
  if (!xml.LoadFile(path)) return {};
  if (xml.FindChild(element)) field = xml.GetChildText();
  xml.ReleaseDocument();
  return field;
}

}  // namespace

std::u16string LoadDescriptionText(CArticle& article) { return LoadText(article, article.description, u"Description"); }

std::u16string LoadCommentText(CArticle& article) { return LoadText(article, article.comment, u"Comment"); }

bool LoadFeedData(CArticle& article) {
  if (article.GetRSSSubItem() != nullptr) return true;
  std::u16string path;
  if (!DescriptionFileOf(article, path)) return false;
  CXmlDocument xml;
  if (!xml.LoadFile(path)) return false;

  auto rss = std::make_unique<CRSSSubItem>();
  if (xml.FindChild(u"RSS")) {
    xml.StepIn();
    auto text = [&xml](const char16_t* name) { return xml.FindChild(name) ? xml.GetChildText() : std::u16string(); };
    rss->title = text(u"Title");
    rss->link = text(u"Link");
    rss->pubDate = text(u"PubDate");
    rss->channelTitle = text(u"ChannelTitle");
    rss->channelLink = text(u"ChannelLink");
    rss->description.clear();
    if (xml.FindChild(u"mime")) {
      xml.StepIn();
      if (xml.FindChild(u"url")) {
        rss->mimeUrl = xml.GetChildText();
        // Every filename/description pair of every attachment element: files
        // that hold all pairs in one element read back as fully as ours.
        while (xml.FindChild(u"attachment")) {
          xml.StepIn();
          std::optional<CMimeFile> pending;  // a filename still waiting for its description
          while (xml.FindChild()) {
            std::u16string name = xml.GetChildName();
            if (AsciiCaseEqual(name, u"filename")) {
              if (pending) rss->AddMimeFile(*pending);
              pending.emplace();
              pending->filename = xml.GetChildText();
            } else if (AsciiCaseEqual(name, u"description") && pending) {
              pending->description = xml.GetChildText();
              rss->AddMimeFile(*pending);
              pending.reset();
            }
          }
          if (pending) rss->AddMimeFile(*pending);
          xml.StepOut();
        }
      }
    }
  }
  xml.ReleaseDocument();
  article.SetRSSSubItem(rss.release());
  return true;
}

bool CopyMediaFile(CArticle& article, const std::u16string& source) {
  if (!IsSafeFolderName(article.filename) || !TypeFolderIsSafe(kFeedType)) return false;
  if (!PathExists(source, true)) return false;
  std::u16string folder = GetArticleFolder(article.filename);
  if (!PathExists(folder, false) && mkdir(ToUtf8(folder).c_str(), 0777) != 0) return false;
  // The source is remembered whether the copy succeeds or not.
  article.mimefile = source;
  return ReplaceFileWithCopy(ToUtf8(source), ToUtf8(GetMediaCopyPath(article.filename)), kMaxMediaFileSize);
}

namespace {

const CContentFileWork kContentFileWork{
    [](CArticle& article, const std::u16string& folderOrType, bool useFolder) {
      return WriteDescriptionFile(article, folderOrType, useFolder);
    },
    [](CArticle& article) { return DescriptionFileIsUnreadable(article); },
    LoadDescriptionText,
    LoadCommentText,
    LoadFeedData,
    [](CArticle& article, const std::u16string& source) { CopyMediaFile(article, source); },
    LoadRssInfoFile,
    NamedMediaFile,
};

// The records' file members work from the moment the library is loaded.
const bool g_installed = (InstallContentFileWork(&kContentFileWork), true);

}  // namespace

// Programs that link the static archive name this symbol to the linker, so
// the installation above is linked in although nothing calls into this file.
extern "C" const int daru_content_files_anchor = 0;
