#include "daru/CatalogueCommands.h"

#include <CLI/CLI.hpp>

#include "daru/LibraryRoot.h"
#include "daru/Provisioning.h"
#include "daru/Request.h"
#include "darulib.h"
#include "terminal/TerminalUi.h"

using nlohmann::json;

InitCommand::InitCommand() : Command("init", "make the data root ready for use") {}

Report InitCommand::Run(Context& c) { return InitDataRoot(c.root, c.store); }

CheckCommand::CheckCommand()
    : Command("check", "check the catalogue and the article files against each other (exit status 1 on problems)") {}

void CheckCommand::Define(CLI::App& cmd) {
  cmd.add_flag("--repair", m_repair, "repair what can be repaired without losing anything");
}

// Works on the files alone: a catalogue the facade cannot open is what it is for.
Report CheckCommand::Run(Context& c) {
  if (c.store.kind != StoreChoice::Kind::Sqlite) throw UsageError("daru check works on the SQLite catalogue only");
  const std::filesystem::path& root = c.root;
  UseDataRoot(root);
  CCatalogueCheck check;
  if (!check.Run(m_repair))
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
    if (m_repair)
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

UiCommand::UiCommand() : Command("ui", "work with the library full-screen in the terminal (keys and mouse)") {}

Report UiCommand::Run(Context& c) {
  // The same data root and store rules as every other command.
  UseDataRoot(c.root);
  if (!c.store.IsProvisioned(c.root))
    throw HostError("no catalogue in " + c.root.string() + " (run 'daru init' first)");
  // The terminal host prints its own messages; the report only carries its status.
  Report report{Report::Kind::Document, {{"text", ""}}};
  // R updates the subscriptions with a daru of its own on the same catalogue.
  std::vector<std::string> update{"/proc/self/exe", "--root", c.root.string()};
  if (!c.storeText.empty()) update.insert(update.end(), {"--store", c.storeText});
  update.insert(update.end(), {"update", "--progress", "--json"});
  report.status = RunTerminalUi(c.root, c.store.NewStore(), update);
  return report;
}
