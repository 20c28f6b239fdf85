#include "daru/Capture.h"

#include "daru/Request.h"

Report Message(std::string text, nlohmann::json data) {
  data["message"] = std::move(text);
  return {Report::Kind::Message, std::move(data)};
}

std::string Quoted(const std::u16string& text) { return "'" + ToUtf8(text) + "'"; }
std::string Named(const CLabel* label) { return Quoted(label->name) + " #" + std::to_string(label->labelid); }

bool HasFeedData(CRSSSubItem* item) {
  return item && !(item->title.empty() && item->link.empty() && item->pubDate.empty() && item->channelTitle.empty() &&
                   item->channelLink.empty() && item->mimeUrl.empty() && item->mimeFiles.empty());
}

void LoadForRewrite(CArticle* article) {
  article->LoadDescription();
  article->LoadComment();
  article->LoadRssSubItem();
  // A file without feed data gives an empty feed record, which would add an empty feed element; drop it.
  CRSSSubItem* feed = article->GetRSSSubItem();
  if (feed && !HasFeedData(feed)) {
    article->SetRSSSubItem(nullptr);
    delete feed;
  }
}

bool WriteDescription(CArticle* article, std::string& why) {
  if (article->CreateDescriptionFile(GetTypeFolder(article->type), true)) return true;
  const std::string file = ToUtf8(article->GetDescriptionFilename());
  if (article->DescriptionFileIsUnreadable())
    why = "the description file " + file +
          " cannot be read, so it is kept as it is ('daru check --repair' sets it aside)";
  else
    why = "cannot write the description file " + file;
  return false;
}

void UndoCapture(Session& s, CArticle* article, CLabel* label, int result, const std::string& why) {
  if (result == 0 || result == 1) {
    CArticle copy(*article);
    if (!s.Daru()->DeleteArticle(&copy, label))
      throw HostError(why + "; undoing the capture failed too: " + s.LastError("the catalogue refused it"));
  }
  throw HostError(why + (result == 0 || result == 1 ? "; nothing was saved" : ""));
}

CLabel* ChannelLabel(Session& s, const std::u16string& channel) {
  CLabel* fav = s.Tree()->GetFavRSSLabel();
  if (!fav) throw HostError("the catalogue has no favourite-feeds label (#2)");
  for (CLabel* child = fav->firstChild; child; child = child->nextSibling)
    if (child->name == channel) return child;
  CLabel* label = s.Tree()->InsertLabel(fav, channel);
  if (!label) throw HostError("cannot add a label for the channel: " + s.LastError("the catalogue refused it"));
  return label;
}
