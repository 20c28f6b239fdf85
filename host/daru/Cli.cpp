#include "daru/Cli.h"

#include <CLI/CLI.hpp>
#include <climits>
#include <iostream>

namespace {

constexpr const char* kLabelHelp = "a label id or name";

void Id(CLI::App* cmd, Request& r) {
  cmd->add_option("ID", r.id, "the article id")->required()->check(CLI::Range(1LL, static_cast<long long>(INT_MAX)));
}

// The chosen (sub)command's full name, "label add" for a nested one.
std::string Chosen(CLI::App& app) {
  std::string name;
  for (CLI::App* at = &app; !at->get_subcommands().empty();) {
    at = at->get_subcommands().front();
    name += (name.empty() ? "" : " ") + at->get_name();
  }
  return name;
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, Request& r) {
  CLI::App app{"daru keeps a library of saved pages and feed items, filed under labels.", "daru"};
  app.require_subcommand(1);
  // Global options may also follow the command.
  app.fallthrough();
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

  CLI::App* list = app.add_subcommand("list", "list the articles of a label, or all articles");
  list->add_option("LABEL", r.label, kLabelHelp);

  CLI::App* search = app.add_subcommand("search", "find articles by title or keywords");
  search->add_option("TEXT", r.text, "the text to look for")->required();
  search->add_flag("--keywords", r.searchKeywords, "search the keywords instead of the titles");
  search->add_flag("--exact", r.exact, "match the whole title or keywords");

  CLI::App* show = app.add_subcommand("show", "show an article with its description, comment and feed data");
  Id(show, r);
  show->add_flag("--html", r.html, "print the description file rendered as HTML");

  CLI::App* mark = app.add_subcommand("mark", "mark an article read, unread, important or unimportant");
  Id(mark, r);
  mark->add_option("STATE", r.state, "read, unread, important or unimportant")
      ->required()
      ->check(CLI::IsMember({"read", "unread", "important", "unimportant"}));

  CLI::App* comment = app.add_subcommand("comment", "set an article's comment");
  Id(comment, r);
  comment->add_option("TEXT", r.text, "the comment")->required();

  CLI::App* rm = app.add_subcommand("rm", "remove an article, or take it off one label");
  Id(rm, r);
  rm->add_option("--label", r.label, "remove it from this label only");

  CLI::App* check = app.add_subcommand(
      "check", "check the catalogue and the article files against each other (exit status 1 on problems)");
  check->add_flag("--repair", r.repair, "repair what can be repaired without losing anything");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int status = app.exit(e);
    return status == 0 ? 0 : 2;
  }
  // An empty --root would quietly fall back on the default root.
  if (root->count() > 0 && r.root.empty()) {
    std::cerr << "daru: --root needs a folder\n";
    return 2;
  }
  r.command = Chosen(app);
  return std::nullopt;
}
