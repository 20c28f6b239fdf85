#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// What the command line asked for, after parsing. Texts are as given (UTF-8).
struct Request {
  std::string command;  // "init", "labels", "label add", ..., "rm"
  std::string root;     // --root, empty when not given
  std::string store;    // --store, empty when not given
  bool json = false;

  std::string label;   // a label reference: an id or a name
  std::string target;  // a second label reference (label move)
  std::string name;
  std::string url;
  std::string title;
  std::optional<std::string> keywords;
  std::optional<std::string> description;
  std::optional<std::string> comment;
  std::string infoFile;
  std::string channel;
  std::string channelLink;
  std::string text;
  bool searchKeywords = false;
  bool exact = false;
  bool noLink = false;
  bool html = false;
  long long id = 0;
  std::string state;  // read, unread, important, unimportant
  bool repair = false;
  std::string source;                   // import: a file path or an http(s) address
  long timeout = 30;                    // import: seconds for a fetch
  std::string format;                   // export: json, html or bookmarks
  bool yes = false;                     // label rm: no question asked
  std::optional<std::string> newTitle;  // edit --title
  std::string idText;                   // the ID as typed; checked into id after parsing
  std::vector<std::string> feeds;       // update: the subscriptions named (all when empty); unsubscribe: one
  int jobs = 8;                         // update: transfers at once
  bool keepArticles = false;            // unsubscribe --keep-articles
  bool progress = false;                // update --progress: the progress line also when not on a terminal
};

// A failure the library or the catalogue reported: one line for stderr, exit status 1.
class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A request that parsed but cannot be carried out as given: exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
