#include "daru/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <climits>
#include <iostream>

#include "darulib.h"

namespace {

constexpr const char* kLabelHelp = "a label id or name";

void Id(CLI::App* cmd, Request& r) {
  cmd->add_option("ID", r.idText, "the article id (list, search and show print it)")->required();
}

// The chosen (sub)command's full name, "label add" for a nested one.
std::string Chosen(const CLI::App& app) {
  std::string name;
  for (const CLI::App* at = &app; !at->get_subcommands().empty();) {
    at = at->get_subcommands().front();
    name += (name.empty() ? "" : " ") + at->get_name();
  }
  return name;
}

std::vector<CLI::App*> Commands(CLI::App* app) {
  return app->get_subcommands([](CLI::App* sub) { return !sub->get_name().empty(); });
}

size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row[b.size()];
}

int Usage(const std::string& command, const std::string& text) {
  std::cerr << "daru: " << (command.empty() ? "" : command + ": ") << text << "\nRun 'daru "
            << (command.empty() ? "" : command + " ") << "--help' for more.\n";
  return 2;
}

// Walks the words the way the parser will and stops at the first one that
// should name a command but names none, before the parser calls it an
// unexpected argument.
std::optional<int> UnknownCommand(CLI::App& app, int argc, char** argv) {
  CLI::App* at = &app;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") return std::nullopt;
    if (word.size() > 1 && word[0] == '-') {
      if (word.find('=') != std::string::npos) continue;
      const CLI::Option* option = nullptr;
      for (CLI::App* scope = at; scope && !option; scope = scope->get_parent())
        option = scope->get_option_no_throw(word);
      if (option && option->get_type_size_max() > 0) ++i;  // its value
      continue;
    }
    std::vector<CLI::App*> commands = Commands(at);
    if (commands.empty()) return std::nullopt;  // the words of a command
    auto named = std::find_if(commands.begin(), commands.end(), [&](CLI::App* c) { return c->get_name() == word; });
    if (named != commands.end()) {
      at = *named;
      path += (path.empty() ? "" : " ") + word;
      continue;
    }
    std::string nearest;
    size_t best = SIZE_MAX;
    for (CLI::App* c : commands) {
      size_t d = Distance(word, c->get_name());
      if (d < best) best = d, nearest = c->get_name();
    }
    std::string text = "there is no command '" + word + "'";
    if (best <= std::max<size_t>(2, word.size() / 3))
      text += "; did you mean '" + (path.empty() ? "" : path + " ") + nearest + "'?";
    return Usage(path, text);
  }
  return std::nullopt;
}

// CLI11's messages name its own terms; people get them in words.
std::string InWords(const CLI::Error& e) {
  std::string text = e.what();
  if (e.get_name() == "RequiredError" && text.find("subcommand") != std::string::npos) return "give a command";
  if (e.get_name() == "ConversionError" || e.get_name() == "ValidationError") {
    if (text.find("--timeout") != std::string::npos) return "--timeout must be a number of seconds such as 30";
  }
  return text;
}

bool ParseId(const std::string& text, long long& id) {
  if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
  id = std::stoll(text);
  return id >= 1 && id <= INT_MAX;
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, Request& r) {
  CLI::App app{"daru keeps a library of saved pages and feed items, filed under labels.", "daru"};
  app.require_subcommand(1);
  // Global options may also follow the command.
  app.fallthrough();
  app.set_version_flag("--version", std::string("daru ") + DaruVersion(), "print the version and stop");
  CLI::Option* root = app.add_option("--root", r.root, "the data root (default: $DARU_HOME, else $XDG_DATA_HOME/daru)");
  app.add_flag("--json", r.json, "print JSON for scripts");
  app.add_option("--store", r.store,
                 "the catalogue: sqlite (DARU/darudb), access (DARU/Data/zevdata.mdb over ODBC) or "
                 "\"odbc:CONNECTION STRING\" (default: $DARU_STORE, else sqlite)");

  app.add_subcommand("init", "make the data root ready for use");
  app.add_subcommand("labels", "show the label tree with ids and article counts");

  CLI::App* label = app.add_subcommand("label", "add, rename, move or remove labels");
  label->require_subcommand(1);
  CLI::App* add = label->add_subcommand("add", "add a label");
  add->add_option("NAME", r.name, "the new label's name")->required();
  add->add_option("--parent", r.target, "the parent label (default: the head label)");
  CLI::App* rename = label->add_subcommand("rename", "rename a label");
  rename->add_option("LABEL", r.label, kLabelHelp)->required();
  rename->add_option("NAME", r.name, "the new name")->required();
  CLI::App* move = label->add_subcommand("move", "move a label with its branch under another label");
  move->add_option("LABEL", r.label, kLabelHelp)->required();
  move->add_option("PARENT", r.target, "the new parent label")->required();
  CLI::App* rmLabel = label->add_subcommand("rm", "remove a label and every label below it");
  rmLabel->add_option("LABEL", r.label, kLabelHelp)->required();
  rmLabel->add_flag("--yes,-y", r.yes, "do not ask, even when the branch holds articles");

  CLI::App* save = app.add_subcommand("save", "file a web page under a label");
  save->add_option("URL", r.url, "the page's link")->required();
  save->add_option("TITLE", r.title, "the page's title")->required();
  save->add_option("--label", r.label, "the label (default: the default label)");
  save->add_option("--keywords", r.keywords, "keywords");
  save->add_option("--description", r.description, "a description");
  save->add_option("--comment", r.comment, "a comment");
  save->add_flag("--no-link", r.noLink, "when the page is stored already, only report it");

  CLI::App* feed = app.add_subcommand("feed", "file a feed item from an RSS information file");
  feed->add_option("INFO-FILE", r.infoFile, "the item's information file")->required();
  feed->add_option("--label", r.label, "the label (default: the channel's label under the favourite feeds)");
  feed->add_option("--channel", r.channel, "the channel's title");
  feed->add_option("--channel-link", r.channelLink, "the channel's link");

  CLI::App* import = app.add_subcommand("import", "file the items of an RSS or Atom feed, or a bookmark file");
  import->add_option("FILE-OR-URL", r.source, "a feed or bookmark file, or an http(s) address")->required();
  import->add_option("--label", r.label,
                     "the label (default: the channel's label under the favourite feeds; for bookmarks, the "
                     "label their folders go below)");
  import->add_option("--timeout", r.timeout, "seconds to wait for a feed from the network (default 30)");

  CLI::App* exportCmd = app.add_subcommand("export", "write the articles of a label's branch, or all, to stdout");
  exportCmd->add_option("LABEL", r.label, kLabelHelp);
  exportCmd->add_option("--format", r.format, "json, html, bookmarks or opml (the subscriptions)")->required();

  CLI::App* subscribe = app.add_subcommand("subscribe", "fetch a feed, file its items and keep it for 'daru update'");
  subscribe->add_option("URL", r.url, "the feed's http(s) address")->required();
  subscribe->add_option("--label", r.label, "the label (default: the channel's label under the favourite feeds)");
  subscribe->add_option("--timeout", r.timeout, "seconds to wait for the feed (default 30)");
  app.add_subcommand("feeds", "list the subscriptions with their labels, items and last update");
  CLI::App* unsubscribe = app.add_subcommand("unsubscribe", "forget a subscription and, unless kept, its articles");
  unsubscribe->add_option("FEED", r.feeds, "the subscription's id or address")->required()->expected(1);
  unsubscribe->add_flag("--keep-articles", r.keepArticles, "keep the label and the articles");
  CLI::App* update = app.add_subcommand("update", "fetch every subscription (or those named) and file new items");
  update->add_option("FEED", r.feeds, "subscription ids or addresses (default: all)");
  update->add_option("--jobs,-j", r.jobs, "transfers at once (default 8)");
  update->add_option("--timeout", r.timeout, "seconds to wait for each feed (default 30)");
  update->add_flag("--progress", r.progress, "write the progress line to stderr also when it is no terminal");

  CLI::App* list = app.add_subcommand("list", "list the articles of a label, or all articles");
  list->add_option("LABEL", r.label, kLabelHelp);

  CLI::App* search = app.add_subcommand("search", "find articles by title or keywords (% and _ are wildcards)");
  search->add_option("TEXT", r.text, "the text to look for")->required();
  search->add_flag("--keywords", r.searchKeywords, "search the keywords instead of the titles");
  search->add_flag("--exact", r.exact, "match the whole title or keywords");

  CLI::App* show = app.add_subcommand("show", "show an article with its description, comment and feed data");
  Id(show, r);
  show->add_flag("--html", r.html, "print the description file rendered as HTML");

  CLI::App* edit = app.add_subcommand("edit", "change an article's title, keywords or description");
  Id(edit, r);
  edit->add_option("--title", r.newTitle, "the new title");
  edit->add_option("--keywords", r.keywords, "the new keywords");
  edit->add_option("--description", r.description, "the new description");

  CLI::App* open = app.add_subcommand("open", "open an article's link with xdg-open");
  Id(open, r);

  CLI::App* mark = app.add_subcommand("mark", "mark an article read, unread, important or unimportant");
  Id(mark, r);
  mark->add_option("STATE", r.state, "read, unread, important or unimportant")->required();

  CLI::App* comment = app.add_subcommand("comment", "set an article's comment");
  Id(comment, r);
  comment->add_option("TEXT", r.text, "the comment")->required();

  CLI::App* rm = app.add_subcommand("rm", "remove an article, or take it off one label");
  Id(rm, r);
  rm->add_option("--label", r.label, "remove it from this label only");

  CLI::App* check = app.add_subcommand(
      "check", "check the catalogue and the article files against each other (exit status 1 on problems)");
  check->add_flag("--repair", r.repair, "repair what can be repaired without losing anything");

  app.add_subcommand("ui", "work with the library full-screen in the terminal (keys and mouse)");

  if (std::optional<int> status = UnknownCommand(app, argc, argv)) return status;
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return Usage(Chosen(app), InWords(e));
  }
  // An empty --root would quietly fall back on the default root.
  if (root->count() > 0 && r.root.empty()) {
    return Usage(Chosen(app), "--root needs a folder");
  }
  r.command = Chosen(app);
  // Checked here rather than by the parser, so the message says what is wanted.
  if (!r.idText.empty() && !ParseId(r.idText, r.id))
    return Usage(r.command, "ID must be a number such as 12, not '" + r.idText + "'");
  if (r.command == "mark" && r.state != "read" && r.state != "unread" && r.state != "important" &&
      r.state != "unimportant")
    return Usage(r.command, "STATE must be read, unread, important or unimportant, not '" + r.state + "'");
  if (r.command == "export" && r.format != "json" && r.format != "html" && r.format != "bookmarks" &&
      r.format != "opml")
    return Usage(r.command, "--format must be json, html, bookmarks or opml, not '" + r.format + "'");
  if (r.command == "update" && (r.jobs < 1 || r.jobs > 256))
    return Usage(r.command, "--jobs must be a number of transfers from 1 to 256");
  if ((r.command == "import" || r.command == "subscribe" || r.command == "update") && r.timeout <= 0)
    return Usage(r.command, "--timeout must be a number of seconds such as 30");
  return std::nullopt;
}
