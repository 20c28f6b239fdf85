#include "daru/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <climits>
#include <iostream>
#include <map>

#include "daru/Request.h"
#include "daru/TerminalText.h"
#include "darulib.h"

namespace {

std::vector<CLI::App*> Subcommands(CLI::App* app) {
  return app->get_subcommands([](CLI::App* sub) { return !sub->get_name().empty(); });
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
  std::cerr << "daru: " << (command.empty() ? "" : command + ": ") << TerminalSafe(text) << "\nRun 'daru "
            << (command.empty() ? "" : command + " ") << "--help' for more.\n";
  return 2;
}

// The nearest of the names, when it is near enough to be what was meant.
std::string Nearest(const std::string& word, const std::vector<std::string>& names) {
  std::string nearest;
  size_t best = SIZE_MAX;
  for (const std::string& name : names) {
    size_t d = Distance(word, name);
    if (d < best) best = d, nearest = name;
  }
  return best <= std::max<size_t>(2, word.size() / 3) ? nearest : "";
}

const CLI::Option* FindOption(CLI::App* at, const std::string& name) {
  for (CLI::App* scope = at; scope; scope = scope->get_parent())
    if (const CLI::Option* option = scope->get_option_no_throw(name)) return option;
  return nullptr;
}

// Walks the words the way the parser will and stops at the first one that
// should name a command or an option but names none, before the parser calls
// it an unexpected argument or asks for a command instead.
std::optional<int> UnknownWord(CLI::App& app, int argc, char** argv) {
  CLI::App* at = &app;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--") return std::nullopt;
    // A negative number is a value, not an option (the command says whether it takes one).
    if (word.size() > 1 && word[0] == '-' && !std::isdigit(static_cast<unsigned char>(word[1]))) {
      const std::string name = word.substr(0, word.find('='));
      if (name == "-h" || name == "--help" || name == "--version") continue;
      const CLI::Option* option = FindOption(at, name);
      if (!option) {
        // -abc may be short flags together; leave those to the parser.
        if (name.size() > 2 && name[1] != '-') continue;
        std::string text = "there is no option '" + name + "'";
        std::vector<std::string> names;
        for (CLI::App* scope = at; scope; scope = scope->get_parent())
          for (const CLI::Option* o : scope->get_options())
            for (const std::string& l : o->get_lnames()) names.push_back("--" + l);
        std::string near = name.rfind("--", 0) == 0 ? Nearest(name, names) : "";
        if (!near.empty()) text += "; did you mean '" + near + "'?";
        return Usage(path, text);
      }
      // "--root=" gives an empty value, which the parser would take for none at all.
      if (word.size() == name.size() + 1 && option->get_expected_max() > 0)
        return Usage(path, name + (name == "--root" ? " needs a folder" : " needs a value"));
      // Flags take no value: the next word is the command or an argument.
      if (option->get_expected_max() > 0 && word.find('=') == std::string::npos) ++i;
      continue;
    }
    std::vector<CLI::App*> commands = Subcommands(at);
    if (commands.empty()) continue;  // the words of a command; its options still follow
    auto named = std::find_if(commands.begin(), commands.end(), [&](CLI::App* c) { return c->get_name() == word; });
    if (named != commands.end()) {
      at = *named;
      path += (path.empty() ? "" : " ") + word;
      continue;
    }
    std::vector<std::string> names;
    for (CLI::App* c : commands) names.push_back(c->get_name());
    std::string text = "there is no command '" + word + "'";
    std::string near = Nearest(word, names);
    if (!near.empty()) text += "; did you mean '" + (path.empty() ? "" : path + " ") + near + "'?";
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

// Every command takes the global options, before or after its name, and
// lists them in its own help. They are bound to the same variables wherever
// they are given.
void AddGlobalOptions(CLI::App* app, GlobalOptions& g, std::vector<CLI::Option*>& roots) {
  roots.push_back(app->add_option("--root", g.root, "the data root (default: $DARU_HOME, else $XDG_DATA_HOME/daru)")
                      ->group("Global options"));
  app->add_flag("--json", g.json, "print JSON for scripts")->group("Global options");
  app->add_option("--store", g.store,
                  "the catalogue: sqlite (DARU/darudb), access (DARU/Data/zevdata.mdb over ODBC) or "
                  "\"odbc:CONNECTION STRING\" (default: $DARU_STORE, else sqlite)")
      ->group("Global options");
}

}  // namespace

std::optional<int> ParseCommandLine(int argc, char** argv, const std::vector<std::unique_ptr<Command>>& commands,
                                    GlobalOptions& global, Command*& chosen) {
  CLI::App app{"daru keeps a library of saved pages and feed items, filed under labels.", "daru"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("daru ") + DaruVersion(), "print the version and stop");
  std::vector<CLI::Option*> roots;
  AddGlobalOptions(&app, global, roots);

  std::map<CLI::App*, Command*> byApp;
  for (const std::unique_ptr<Command>& command : commands) {
    CLI::App* parent = &app;
    std::string path = command->Path();
    for (size_t space; (space = path.find(' ')) != std::string::npos; path = path.substr(space + 1)) {
      const std::string group = path.substr(0, space);
      CLI::App* found = nullptr;
      for (CLI::App* sub : Subcommands(parent))
        if (sub->get_name() == group) found = sub;
      if (!found) {
        found = parent->add_subcommand(group, CommandGroupHelp(group));
        found->require_subcommand(1);
        AddGlobalOptions(found, global, roots);
      }
      parent = found;
    }
    CLI::App* cmd = parent->add_subcommand(path, command->Help());
    AddGlobalOptions(cmd, global, roots);
    command->Define(*cmd);
    byApp[cmd] = command.get();
  }

  if (std::optional<int> status = UnknownWord(app, argc, argv)) return status;
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
  const std::string path = Chosen(app);
  // An empty --root would quietly fall back on the default root.
  global.rootGiven = std::any_of(roots.begin(), roots.end(), [](CLI::Option* o) { return o->count() > 0; });
  if (global.rootGiven && global.root.empty()) return Usage(path, "--root needs a folder");

  CLI::App* at = &app;
  while (!at->get_subcommands().empty()) at = at->get_subcommands().front();
  auto found = byApp.find(at);
  if (found == byApp.end()) return Usage(path, "give a command");
  chosen = found->second;
  try {
    chosen->Check();
  } catch (const UsageError& e) {
    return Usage(path, e.what());
  }
  return std::nullopt;
}

void ArticleIdArgument::Define(CLI::App& cmd) {
  cmd.add_option("ID", text, "the article id (list, search and show print it)")->required();
}

void ArticleIdArgument::Check() { id = ParseArticleId(text); }

long long ParseArticleId(const std::string& text) {
  long long id = 0;
  bool ok = !text.empty() && text.size() <= 10 && std::all_of(text.begin(), text.end(), ::isdigit);
  if (ok) id = std::stoll(text);
  if (!ok || id < 1 || id > INT_MAX) throw UsageError("ID must be a number such as 12, not '" + text + "'");
  return id;
}
