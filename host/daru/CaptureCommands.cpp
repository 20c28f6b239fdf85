#include "daru/CaptureCommands.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>

#include "daru/Capture.h"
#include "daru/Import.h"
#include "daru/Session.h"

namespace {

using nlohmann::json;

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

// The handler of save: files the page the request names.
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

// The handler of feed: files the item of an RSS information file.
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

}  // namespace

SaveCommand::SaveCommand() : Command("save", "file a web page under a label") {}

void SaveCommand::Define(CLI::App& cmd) {
  Request& r = m_request;
  cmd.add_option("URL", r.url, "the page's link")->required();
  cmd.add_option("TITLE", r.title, "the page's title")->required();
  cmd.add_option("--label", r.label, "the label (default: the default label)");
  cmd.add_option("--keywords", r.keywords, "keywords");
  cmd.add_option("--description", r.description, "a description");
  cmd.add_option("--comment", r.comment, "a comment");
  cmd.add_flag("--no-link", r.noLink, "when the page is stored already, only report it");
}

// Checked before the handler runs, whatever the handler does: a page needs a
// link and a title, as in the library's own add-article dialog.
void SaveCommand::Check() {
  if (m_request.url.empty()) throw UsageError("a page needs a link");
  if (m_request.title.empty()) throw UsageError("a page needs a title");
}

Report SaveCommand::Run(Context& c) { return Save(c.Catalogue(), m_request); }

FeedCommand::FeedCommand() : Command("feed", "file a feed item from an RSS information file") {}

void FeedCommand::Define(CLI::App& cmd) {
  Request& r = m_request;
  cmd.add_option("INFO-FILE", r.infoFile, "the item's information file")->required();
  cmd.add_option("--label", r.label, "the label (default: the channel's label under the favourite feeds)");
  cmd.add_option("--channel", r.channel, "the channel's title");
  cmd.add_option("--channel-link", r.channelLink, "the channel's link");
}

Report FeedCommand::Run(Context& c) { return Feed(c.Catalogue(), m_request, c.warnings); }

ImportCommand::ImportCommand() : Command("import", "file the items of an RSS or Atom feed, or a bookmark file") {}

void ImportCommand::Define(CLI::App& cmd) {
  Request& r = m_request;
  cmd.add_option("FILE-OR-URL", r.source, "a feed or bookmark file, or an http(s) address")->required();
  cmd.add_option("--label", r.label,
                 "the label (default: the channel's label under the favourite feeds; for bookmarks, the "
                 "label their folders go below)");
  cmd.add_option("--timeout", r.timeout, "seconds to wait for a feed from the network (default 30)");
}

void ImportCommand::Check() {
  if (m_request.timeout <= 0) throw UsageError("--timeout must be a number of seconds such as 30");
}

Report ImportCommand::Run(Context& c) { return Import(c.Catalogue(), m_request, c.warnings); }
