#include <optional>

#include "daru/ArticleCommands.h"
#include "daru/CaptureCommands.h"
#include "daru/CatalogueCommands.h"
#include "daru/Command.h"
#include "daru/Edit.h"
#include "daru/Export.h"
#include "daru/LabelCommands.h"
#include "daru/LibraryRoot.h"
#include "daru/Request.h"
#include "daru/Session.h"
#include "daru/SubscriptionCommands.h"

namespace {

template <class... Commands>
std::vector<std::unique_ptr<Command>> Table() {
  std::vector<std::unique_ptr<Command>> table;
  (table.push_back(std::make_unique<Commands>()), ...);
  return table;
}

}  // namespace

std::vector<std::unique_ptr<Command>> CommandTable() {
  return Table<InitCommand, LabelsCommand, LabelAddCommand, LabelRenameCommand, LabelMoveCommand, LabelRemoveCommand,
               SaveCommand, FeedCommand, ImportCommand, SubscribeCommand, FeedsCommand, UnsubscribeCommand, UpdateCommand,
               ExportCommand, ListCommand, SearchCommand, ShowCommand,
               EditCommand, OpenCommand, MarkCommand, CommentCommand, RemoveCommand, CheckCommand, UiCommand>();
}

std::string CommandGroupHelp(const std::string& group) {
  if (group == "label") return "add, rename, move or remove labels";
  return "";
}

Report RunCommand(Command& command, const GlobalOptions& global, std::vector<std::string>& warnings) {
  Context c{ResolveDataRoot(global.root), StoreChoice::Parse(global.store), nullptr, warnings, global.store, global.json};
  std::optional<Session> session;
  if (command.OpensCatalogue()) c.session = &session.emplace(c.root, c.store);
  return command.Run(c);
}
