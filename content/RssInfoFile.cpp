// Reading an RSS information file into a feed sub-record.

#include <string>
#include <string_view>

#include "base/TextConv.h"
#include "content/CaptureItems.h"
#include "content/MediaCheck.h"
#include "content/PathOps.h"
#include "content/XmlDocument.h"
#include "core/ArticleLocations.h"

namespace {

// The media file must lie beside the information file (or below its folder):
// the url text comes from outside and may not point anywhere else, nor be a
// pattern that stands for some other file.
bool IsBesideInfoFile(std::u16string_view url) {
  return IsSafeTypePath(url) && url.find_first_of(u"*?") == std::u16string_view::npos;
}

// Up to and including the last separator; empty for a bare file name, so the
// media file is then looked for beside it in the current folder.
std::u16string FolderOf(const std::u16string& path) {
  size_t cut = path.rfind(u'/');
  return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut + 1);
}

}  // namespace

bool CRSSSubItem::LoadRSSInfo(std::u16string path) {
  sourceFile = path;
  CXmlDocument xml;
  if (!xml.LoadFile(path)) return false;
  // Each search goes on after the element found before, so the children are
  // found only in the order title, pubdate, description, link, mime.
  if (xml.FindChild(u"newstitle")) {
    xml.StepIn();
    if (xml.FindChild(u"title")) title = xml.GetChildText();
    if (xml.FindChild(u"pubdate")) pubDate = xml.GetChildText();
    if (xml.FindChild(u"description")) description = xml.GetChildText();
    link = xml.FindChild(u"link") ? xml.GetChildText() : std::u16string();
    if (xml.FindChild(u"mime")) {
      xml.StepIn();
      if (xml.FindChild(u"url")) {
        std::u16string url = xml.GetChildText();
        std::u16string media = FolderOf(path) + url;
        // A file too large to copy is still the item's media file: the capture
        // says why it kept no copy.
        const MediaCheck check = IsBesideInfoFile(url) ? CheckMediaFile(media, FolderOf(path)) : MediaCheck::Outside;
        if (check == MediaCheck::Accepted || check == MediaCheck::TooLarge) mimeUrl = media;
      }
    }
  }
  xml.ReleaseDocument();
  return true;
}

std::u16string CRSSSubItem::NamedMediaFile(std::u16string path) {
  CXmlDocument xml;
  if (!xml.LoadFile(path) || !xml.FindChild(u"newstitle")) return {};
  xml.StepIn();
  if (!xml.FindChild(u"mime")) return {};
  xml.StepIn();
  return xml.FindChild(u"url") ? xml.GetChildText() : std::u16string();
}
