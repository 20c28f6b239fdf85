#pragma once

#include <optional>
#include <stdexcept>
#include <string>

// What a capture command (save, feed, import) was asked for, after parsing.
// Texts are as given (UTF-8). The other commands keep their options in their
// own classes (see Command.h).
struct Request {
  std::string label;  // a label reference: an id or a name
  // save
  std::string url;
  std::string title;
  std::optional<std::string> keywords;
  std::optional<std::string> description;
  std::optional<std::string> comment;
  bool noLink = false;
  // feed
  std::string infoFile;
  std::string channel;
  std::string channelLink;
  // import
  std::string source;  // a file path or an http(s) address
  long timeout = 30;   // seconds for a fetch
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
