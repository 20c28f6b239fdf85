#include "daru/Commands.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <set>

#include "daru/Capture.h"
#include "daru/Edit.h"
#include "daru/Export.h"
#include "daru/HtmlView.h"
#include "daru/Import.h"
#include "daru/LibraryRoot.h"
#include "daru/Provisioning.h"
#include "daru/Session.h"

namespace {

using nlohmann::json;

// --- labels ---------------------------------------------------------------

// Deeper branches are listed flat with the labels outside the tree: the
// output (and the program's stack) stays bounded whatever the catalogue holds.
constexpr int kMaxShownDepth = 200;

json LabelNode(Session& s, CLabel* label, std::set<CLabel*>& seen, int depth = 0) {
  seen.insert(label);
  json node = LabelJson(label);
  node["articles"] = std::max(0, s.CountArticles(label));
  node["children"] = json::array();
  if (depth >= kMaxShownDepth) return node;
  for (CLabel* child = label->firstChild; child; child = child->nextSibling)
    if (!seen.count(child)) node["children"].push_back(LabelNode(s, child, seen, depth + 1));
  return node;
}

Report Labels(Session& s) {
  json data;
  std::set<CLabel*> seen;
  CLabel* head = s.Tree()->GetHeadLabel();
  data["tree"] = head ? LabelNode(s, head, seen) : json();
  data["outside"] = json::array();
  std::vector<CLabel*> all = s.Tree()->GetAllLabels();
  // Branches whose parent is missing, then whatever is left (labels whose parents loop).
  for (CLabel* label : all)
    if (!seen.count(label) && label->parent == nullptr) data["outside"].push_back(LabelNode(s, label, seen));
  for (CLabel* label : all) {
    if (seen.count(label)) continue;
    seen.insert(label);
    json node = LabelJson(label);
    node["articles"] = std::max(0, s.CountArticles(label));
    node["children"] = json::array();
    data["outside"].push_back(node);
  }
  return {Report::Kind::Labels, data};
}

void RefuseReserved(const CLabel* label, const char* what) {
  if (label->labelid < kFirstUserLabelID)
    throw HostError("label " + Named(label) + " belongs to the catalogue and cannot be " + what);
}

Report LabelAdd(Session& s, const Request& r) {
  if (r.name.empty()) throw UsageError("a label needs a name");
  CLabel* parent = r.target.empty() ? s.Tree()->GetHeadLabel() : s.ResolveLabel(r.target);
  if (!parent) throw HostError("the catalogue has no head label");
  CLabel* label = s.Tree()->InsertLabel(parent, FromUtf8(r.name));
  if (!label) throw HostError("cannot add the label: " + s.LastError("the catalogue refused it"));
  return Message("added label " + Named(label) + " under " + Named(parent), {{"label", LabelJson(label)}});
}

Report LabelRename(Session& s, const Request& r) {
  if (r.name.empty()) throw UsageError("a label needs a name");
  CLabel* label = s.ResolveLabel(r.label);
  RefuseReserved(label, "renamed");
  const std::string old = Named(label);
  if (!s.Tree()->UpdateLabel(label, FromUtf8(r.name), static_cast<unsigned>(label->toplayer)))
    throw HostError("cannot rename label " + old + ": " + s.LastError("the catalogue refused it"));
  return Message("renamed label " + old + " to " + Quoted(label->name), {{"label", LabelJson(label)}});
}

bool InBranch(Session& s, const CLabel* top, const CLabel* label) {
  // Bounded: the walk ends even on parents that loop.
  size_t steps = s.Tree()->GetAllLabels().size() + 1;
  for (; label && steps > 0; label = label->parent, --steps)
    if (label == top) return true;
  return label != nullptr;
}

Report LabelMove(Session& s, const Request& r) {
  CLabel* label = s.ResolveLabel(r.label);
  CLabel* parent = s.ResolveLabel(r.target);
  if (label == s.Tree()->GetHeadLabel()) throw HostError("the head label cannot be moved");
  if (InBranch(s, label, parent))
    throw HostError("cannot move label " + Named(label) + " under itself or its own branch");
  if (!s.Tree()->MoveLabel(label, parent))
    throw HostError("cannot move label " + Named(label) + ": " + s.LastError("the catalogue refused it"));
  return Message("moved label " + Named(label) + " under " + Named(parent), {{"label", LabelJson(label)}});
}

// The branch of the label, each label after every label below it. Iterative,
// and each label once: a branch may be deep, and a damaged catalogue's loops
// must not make it endless.
std::vector<CLabel*> BranchDeepestFirst(CLabel* top) {
  std::vector<CLabel*> order;  // each label before the labels below it
  std::set<CLabel*> seen{top};
  std::vector<CLabel*> pending{top};
  while (!pending.empty()) {
    CLabel* label = pending.back();
    pending.pop_back();
    order.push_back(label);
    for (CLabel* child = label->firstChild; child; child = child->nextSibling)
      if (seen.insert(child).second) pending.push_back(child);
  }
  return {order.rbegin(), order.rend()};
}

// The ids of the articles filed anywhere in the branch.
std::set<int> ArticlesIn(Session& s, const std::vector<CLabel*>& branch) {
  std::set<int> ids;
  for (CLabel* l : branch) {
    if (s.CountArticles(l) < 0)
      throw HostError("cannot read the articles of " + Named(l) + ": " + s.LastError("query failed"));
    for (CArticle* a : s.Daru()->GetArticleList()) ids.insert(a->articleid);
  }
  return ids;
}

// Asks on the terminal; anything but yes is no.
bool Confirmed(const std::string& question) {
  std::cerr << question << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "Yes";
}

Report LabelRemove(Session& s, const Request& r) {
  CLabel* label = s.ResolveLabel(r.label);
  RefuseReserved(label, "removed");
  std::vector<CLabel*> branch = BranchDeepestFirst(label);
  const std::string name = Named(label);
  const std::set<int> held = ArticlesIn(s, branch);
  if (!held.empty() && !r.yes) {
    std::string what = "label " + name +
                       (branch.size() > 1 ? " with " + std::to_string(branch.size() - 1) + " label(s) below it" : "") +
                       " holds " + std::to_string(held.size()) + " article(s)";
    if (!isatty(STDIN_FILENO)) throw UsageError(what + "; give --yes to remove it (nothing was removed)");
    if (!Confirmed("Remove " + what + "? Articles filed nowhere else go with it."))
      throw HostError("label " + name + " was not removed");
  }
  json removed = json::array();
  for (CLabel* l : branch) {
    // As in the label tree window: descendants first, their failures not fatal.
    if (s.Tree()->DeleteLabel(l)) {
      removed.push_back(l->labelid);
    } else if (l == label) {
      throw HostError("cannot remove label " + name + ": " + s.LastError("the catalogue refused it"));
    }
  }
  // An article goes with the labels only when it was filed under no other.
  json gone = json::array();
  for (int id : held) {
    CArticle pattern;
    pattern.articleid = id;
    if (s.Daru()->QueryArticle(pattern, kArticleMaskID, false) == 0) gone.push_back(id);
  }
  std::string text = "removed label " + name;
  if (removed.size() > 1) text += " and " + std::to_string(removed.size() - 1) + " label(s) below it";
  text += "; " + std::to_string(gone.size()) + " article(s) filed under no other label went with them";
  if (held.size() > gone.size()) text += ", " + std::to_string(held.size() - gone.size()) + " stay under other labels";
  return Message(text,
                 {{"removed", removed}, {"articles_removed", gone}, {"articles_kept", held.size() - gone.size()}});
}

// --- captures ---------------------------------------------------------------

std::string Outcome(int result) {
  switch (result) {
    case 0:
      return "new";
    case 1:
      return "filed";
    case 2:
      return "exists";
    default:
      return "already_filed";
  }
}

Report CaptureReport(Session& s, CArticle* article, CLabel* label, int result) {
  std::string text = "#" + std::to_string(article->articleid) + " " + Quoted(article->title);
  switch (result) {
    case 0:
      text = "saved " + text + " under " + Named(label);
      break;
    case 1:
      text = "already stored as " + text + "; now also under " + Named(label);
      break;
    case 2:
      text = "already stored as " + text + "; not filed under " + Named(label);
      break;
    default:
      text = "already stored as " + text + " under " + Named(label);
      break;
  }
  return Message(text, {{"result", Outcome(result)}, {"label", LabelJson(label)}, {"article", ArticleJson(*article)}});
}

Report Save(Session& s, const Request& r) {
  if (r.url.empty()) throw UsageError("a page needs a link");
  CLabel* label = r.label.empty() ? s.DefaultLabel() : s.ResolveLabel(r.label);
  CCaptureRequest request;
  request.label = label;
  request.link = FromUtf8(r.url);
  request.title = FromUtf8(r.title);
  request.keywords = FromUtf8(r.keywords.value_or(""));
  request.type = kBrowserType;
  if (r.description) request.description = FromUtf8(*r.description);
  if (r.comment) request.comment = FromUtf8(*r.comment);
  // A stored page gets new texts only where they were given; the rest of its
  // file stays. --no-link only reports a stored page: it changes nothing.
  request.replaceStoredTexts = !r.noLink;
  request.fileStored = !r.noLink;
  CCaptureOutcome outcome = CaptureOrFail(s, request, "cannot save the page");
  CArticle* article = outcome.Article();
  const int result = ResultCode(outcome.result);
  if (result == 0) return CaptureReport(s, article, label, result);

  // Its title and keywords are the catalogue's: only edit changes them.
  json changed = json::array();
  json ignored = json::array();
  for (const std::u16string& text : outcome.changed) changed.push_back(ToUtf8(text));
  for (const std::u16string& text : outcome.kept) ignored.push_back(ToUtf8(text));
  if (FromUtf8(r.title) != article->title) ignored.push_back("title");
  if (r.keywords && FromUtf8(*r.keywords) != article->key1) ignored.push_back("keywords");
  Report report = CaptureReport(s, article, label, result);
  std::string text = report.data["message"];
  auto words = [](const json& list) {
    std::string out;
    for (size_t i = 0; i < list.size(); ++i)
      out += (i == 0 ? "" : i + 1 == list.size() ? " and " : ", ") + list[i].get<std::string>();
    return out;
  };
  if (outcome.restored) text += "; restored its description file";
  if (!changed.empty()) text += "; changed its " + words(changed);
  if (!ignored.empty())
    text += "; kept its stored " + words(ignored) + " (change them with 'daru edit " +
            std::to_string(article->articleid) + "')";
  report.data["message"] = text;
  report.data["changed"] = changed;
  report.data["ignored"] = ignored;
  report.data["restored"] = outcome.restored;
  report.data["article"]["description"] = ToUtf8(article->LoadDescription());
  report.data["article"]["comment"] = ToUtf8(article->LoadComment());
  return report;
}

Report Feed(Session& s, const Request& r, std::vector<std::string>& warnings) {
  if (r.label.empty() && r.channel.empty()) throw UsageError("feed: give --label or --channel");
  std::error_code ec;
  const std::filesystem::path info = std::filesystem::absolute(r.infoFile, ec).lexically_normal();
  if (ec || !std::filesystem::is_regular_file(info, ec)) throw HostError("no feed item file " + r.infoFile);
  CRSSSubItem item;
  if (!item.LoadRSSInfo(FromUtf8(info.string()))) throw HostError("cannot read the feed item file " + info.string());
  // Any well-formed XML file loads; one without an item's title and link is
  // not a feed item.
  if (item.title.empty() && item.link.empty())
    throw HostError("the file " + info.string() + " holds no feed item (no newstitle with a title or a link)");
  const std::u16string named = CRSSSubItem::NamedMediaFile(FromUtf8(info.string()));
  item.channelTitle = FromUtf8(r.channel);
  item.channelLink = FromUtf8(r.channelLink);

  CLabel* label = r.label.empty() ? ChannelLabel(s, item.channelTitle) : s.ResolveLabel(r.label);
  // An item without a link is known by its information file, and stores no link.
  CCaptureRequest request;
  request.label = label;
  request.storeLink = !item.link.empty();
  request.link = request.storeLink ? item.link : FromUtf8(info.string());
  request.title = item.title;
  request.type = kFeedType;
  request.description = item.description;
  request.feedItem = &item;
  request.media = item.mimeUrl;
  request.mediaFolder = FromUtf8(info.parent_path().string());
  CCaptureOutcome outcome = CaptureOrFail(s, request, "cannot store the feed item");
  if (outcome.media == MediaOutcome::Refused) {
    warnings.push_back(MediaWarning(item.mimeUrl, outcome.mediaCheck));
  } else if (outcome.result == CaptureResult::New && item.mimeUrl.empty() && !named.empty()) {
    warnings.push_back("the media file '" + ToUtf8(named) +
                       "' is not a file beside the feed item file or below its folder; it was not copied");
  }
  Report report = CaptureReport(s, outcome.Article(), label, ResultCode(outcome.result));
  if (outcome.restored) {
    report.data["message"] = report.data["message"].get<std::string>() + "; restored its description file";
    report.data["restored"] = true;
  }
  if (!item.mimeUrl.empty()) report.data["media_source"] = ToUtf8(item.mimeUrl);
  return report;
}

// --- articles ---------------------------------------------------------------

Report ArticleList(Session& s, json data) {
  std::vector<CArticle*> list = s.Daru()->GetArticleList();
  std::vector<json> rows;
  for (CArticle* a : list) rows.push_back(ArticleJson(*a));
  // Newest first, as a reader scans them.
  std::stable_sort(rows.begin(), rows.end(), [](const json& a, const json& b) {
    auto ka = std::make_pair(a["created_epoch"].get<long>(), a["id"].get<int>());
    auto kb = std::make_pair(b["created_epoch"].get<long>(), b["id"].get<int>());
    return ka > kb;
  });
  data["articles"] = rows;
  return {Report::Kind::Articles, data};
}

Report List(Session& s, const Request& r) {
  json data;
  int found;
  if (r.label.empty()) {
    data["label"] = nullptr;
    found = s.Daru()->QueryArticle(CArticle(), 0, false);
  } else {
    CLabel* label = s.ResolveLabel(r.label);
    data["label"] = LabelJson(label);
    found = s.Daru()->QueryArticle(label, CArticle(), 0);
  }
  if (found < 0) throw HostError("cannot list the articles: " + s.LastError("query failed"));
  return ArticleList(s, data);
}

Report Search(Session& s, const Request& r) {
  if (r.text.empty()) throw UsageError("search: give a text to look for");
  CArticle pattern;
  if (r.searchKeywords)
    pattern.key1 = FromUtf8(r.text);
  else
    pattern.title = FromUtf8(r.text);
  int found = s.Daru()->QueryArticle(pattern, r.searchKeywords ? kArticleMaskKeywords : kArticleMaskTitle, !r.exact);
  if (found < 0) throw HostError("cannot search: " + s.LastError("query failed"));
  return ArticleList(s, {{"search", r.text}, {"field", r.searchKeywords ? "keywords" : "title"}, {"exact", r.exact}});
}

Report Show(Session& s, const Request& r) {
  // A copy of our own: finding the article's labels replaces the result list.
  CArticle article(*s.FindArticle(r.id));
  if (r.html) {
    return {Report::Kind::Raw,
            {{"id", article.articleid},
             {"text", RenderDescription(article.GetDescriptionFilename(), GetDaruFolder() + u"/default.xslt")}}};
  }
  json a = ArticleJson(article);
  a["description"] = ToUtf8(article.LoadDescription());
  a["comment"] = ToUtf8(article.LoadComment());
  if (article.LoadRssSubItem() && HasFeedData(article.GetRSSSubItem())) {
    CRSSSubItem* feed = article.GetRSSSubItem();
    json f = {{"title", ToUtf8(feed->title)},
              {"link", ToUtf8(feed->link)},
              {"published", ToUtf8(feed->pubDate)},
              {"channel_title", ToUtf8(feed->channelTitle)},
              {"channel_link", ToUtf8(feed->channelLink)},
              {"media_source", ToUtf8(feed->mimeUrl)}};
    if (IsSafeFolderName(article.filename) && PathExists(GetMediaCopyPath(article.filename), true))
      f["media_copy"] = ToUtf8(GetMediaCopyPath(article.filename));
    a["feed"] = f;
  }
  json labels = json::array();
  for (CLabel* label : s.LabelsOf(article.articleid)) labels.push_back(LabelJson(label));
  a["filed_under"] = labels;
  return {Report::Kind::Article, {{"article", a}}};
}

Report Mark(Session& s, const Request& r) {
  CArticle* article = s.FindArticle(r.id);
  const bool read = r.state == "read" || r.state == "unread";
  const bool on = r.state == "read" || r.state == "important";
  bool& flag = read ? article->readflag : article->impflag;
  const std::string what = "#" + std::to_string(article->articleid) + " " + Quoted(article->title);
  if (flag == on) return Message(what + " is " + r.state + " already", {{"article", ArticleJson(*article)}});
  flag = on;
  if (read && on) article->brdate.SetNowTime();
  if (!s.Daru()->UpdateArticle(*article))
    throw HostError("cannot mark " + what + ": " + s.LastError("the catalogue refused it"));
  return Message("marked " + what + " " + r.state, {{"article", ArticleJson(*article)}});
}

Report Comment(Session& s, const Request& r) {
  CArticle* article = s.FindArticle(r.id);
  LoadForRewrite(article);
  article->SetComment(FromUtf8(r.text));
  std::string why;
  if (!WriteDescription(article, why)) throw HostError(why);
  return Message("commented #" + std::to_string(article->articleid) + " " + Quoted(article->title),
                 {{"article", ArticleJson(*article)}});
}

Report Remove(Session& s, const Request& r) {
  CArticle* article = s.FindArticle(r.id);
  const int id = article->articleid;
  const std::string what = "#" + std::to_string(id) + " " + Quoted(article->title);
  const std::u16string filename = article->filename;
  const std::u16string type = article->type;
  CLabel* label = r.label.empty() ? nullptr : s.ResolveLabel(r.label);
  // On success the facade destroys the listed article: only the copies above remain.
  if (!s.Daru()->DeleteArticle(article, label)) {
    throw HostError("cannot remove " + what + (label ? " from " + Named(label) : std::string()) + ": " +
                    s.LastError(label ? "it is not filed under that label" : "the catalogue refused it"));
  }
  bool gone = label == nullptr;
  if (label) {
    CArticle pattern;
    pattern.articleid = id;
    gone = s.Daru()->QueryArticle(pattern, kArticleMaskID, false) == 0;
  } else {
    // The catalogue keeps the files of an article removed as a whole; the host does not want them.
    RemoveArticleFiles(type, filename);
  }
  std::string text = label ? "removed " + what + " from " + Named(label) : "removed " + what;
  if (label && gone) text += "; it was under no other label and is gone";
  return Message(text, {{"removed", id}, {"label", label ? LabelJson(label) : json()}, {"gone", gone}});
}

// --- the catalogue as a whole ----------------------------------------------

// Works on the files alone: a catalogue the facade cannot open is what it is for.
Report Check(const std::filesystem::path& root, const Request& r) {
  UseDataRoot(root);
  CCatalogueCheck check;
  if (!check.Run(r.repair))
    throw HostError("cannot check the catalogue in " + root.string() + ": " + ToUtf8(check.GetError()));
  json findings = json::array();
  size_t repaired = 0;
  for (const CCatalogueCheck::Finding& f : check.GetFindings()) {
    findings.push_back(
        {{"fault", ToUtf8(CCatalogueCheck::FaultName(f.fault))}, {"text", ToUtf8(f.text)}, {"repaired", f.repaired}});
    repaired += f.repaired ? 1 : 0;
  }
  const size_t found = check.GetFindings().size();
  std::string text = "the catalogue in " + root.string() + " is consistent";
  if (found > 0) {
    text = std::to_string(found) + " problem(s) found";
    if (r.repair)
      text += ", " + std::to_string(repaired) + " repaired" +
              (repaired < found ? "; the others need a person" : "; run 'daru check' again to confirm");
    else
      text += "; 'daru check --repair' repairs what can be repaired safely";
  }
  Report report{Report::Kind::Findings,
                {{"root", root.string()},
                 {"clean", check.IsClean()},
                 {"findings", findings},
                 {"found", found},
                 {"repaired", repaired},
                 {"message", text}}};
  report.status = check.IsClean() ? 0 : 1;
  return report;
}

}  // namespace

Report RunCommand(const Request& r, std::vector<std::string>& warnings) {
  const std::filesystem::path root = ResolveDataRoot(r.root);
  const StoreChoice store = StoreChoice::Parse(r.store);
  if (r.command == "init") return InitDataRoot(root, store);
  if (r.command == "check") {
    if (store.kind != StoreChoice::Kind::Sqlite) throw UsageError("daru check works on the SQLite catalogue only");
    return Check(root, r);
  }

  Session s(root, store);
  if (r.command == "labels") return Labels(s);
  if (r.command == "label add") return LabelAdd(s, r);
  if (r.command == "label rename") return LabelRename(s, r);
  if (r.command == "label move") return LabelMove(s, r);
  if (r.command == "label rm") return LabelRemove(s, r);
  if (r.command == "save") return Save(s, r);
  if (r.command == "feed") return Feed(s, r, warnings);
  if (r.command == "list") return List(s, r);
  if (r.command == "search") return Search(s, r);
  if (r.command == "show") return Show(s, r);
  if (r.command == "mark") return Mark(s, r);
  if (r.command == "comment") return Comment(s, r);
  if (r.command == "rm") return Remove(s, r);
  if (r.command == "import") return Import(s, r, warnings);
  if (r.command == "export") return Export(s, r, warnings);
  if (r.command == "edit") return Edit(s, r, warnings);
  if (r.command == "open") return Open(s, r);
  throw UsageError("unknown command " + r.command);
}
