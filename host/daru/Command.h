#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "daru/Output.h"
#include "daru/StoreChoice.h"

namespace CLI {
class App;
}
class Session;

// The options every command takes, before or after its name.
struct GlobalOptions {
  std::string root;  // --root, empty when not given
  bool rootGiven = false;
  std::string store;  // --store, empty when not given
  bool json = false;
};

// What a command runs with: where the library is, and the catalogue opened
// there when the command asked for it.
struct Context {
  std::filesystem::path root;
  StoreChoice store;
  Session* session = nullptr;  // borrowed; null for commands that open no catalogue
  std::vector<std::string>& warnings;
  std::string storeText;  // --store as given, for a daru the command starts itself
  bool json = false;      // --json: output for a program, no progress line

  Session& Catalogue() const { return *session; }
};

// One command of daru: its name and help, its options and its handler in one
// class, registered in the command table (CommandTable.cpp).
class Command {
 public:
  // path is the command's words, "label add" for a nested one.
  Command(std::string path, std::string help) : m_path(std::move(path)), m_help(std::move(help)) {}
  virtual ~Command() = default;
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  const std::string& Path() const { return m_path; }
  const std::string& Help() const { return m_help; }

  // Adds the command's options and arguments, bound to its own members.
  virtual void Define(CLI::App& cmd) = 0;
  // After parsing: throws UsageError for what the parser cannot say in words.
  virtual void Check() {}
  // Whether Run needs the catalogue opened (most commands do).
  virtual bool OpensCatalogue() const { return true; }
  // Carries the command out. Throws HostError when the library reports a
  // failure and UsageError when the request cannot be carried out as given.
  virtual Report Run(Context& c) = 0;

 private:
  std::string m_path;
  std::string m_help;
};

// Every command of daru, in the order help lists them.
std::vector<std::unique_ptr<Command>> CommandTable();
// The help of a word that groups commands ("label").
std::string CommandGroupHelp(const std::string& group);

// Runs the chosen command: resolves the data root and the store, opens the
// catalogue when the command needs it, and hands back its report.
Report RunCommand(Command& command, const GlobalOptions& global, std::vector<std::string>& warnings);

// The article id argument shared by the commands that take one.
struct ArticleIdArgument {
  std::string text;  // as typed; checked by Parse
  long long id = 0;

  void Define(CLI::App& cmd);
  void Check();
};

// An article id as typed: 1 to INT_MAX, digits only; UsageError otherwise.
long long ParseArticleId(const std::string& text);
