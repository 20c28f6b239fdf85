#include "daru/Edit.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "daru/Capture.h"
#include "daru/Request.h"
#include "daru/Session.h"
#include "shared/Launch.h"
#include "shared/OpenableLink.h"

extern char** environ;

namespace {

std::string What(const CArticle* a) { return "#" + std::to_string(a->articleid) + " " + Quoted(a->title); }

}  // namespace

EditCommand::EditCommand() : Command("edit", "change an article's title, keywords or description") {}

void EditCommand::Define(CLI::App& cmd) {
  m_id.Define(cmd);
  cmd.add_option("--title", m_newTitle, "the new title");
  cmd.add_option("--keywords", m_keywords, "the new keywords");
  cmd.add_option("--description", m_description, "the new description");
}

void EditCommand::Check() {
  m_id.Check();
  if (!m_newTitle && !m_keywords && !m_description) throw UsageError("give --title, --keywords or --description");
  if (m_newTitle && m_newTitle->empty()) throw UsageError("an article needs a title");
}

Report EditCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  // A copy of our own: the result list may be replaced before we are done.
  CArticle article(*s.FindArticle(m_id.id));
  nlohmann::json changed = nlohmann::json::array();
  if (m_newTitle && FromUtf8(*m_newTitle) != article.title) changed.push_back("title");
  if (m_keywords && FromUtf8(*m_keywords) != article.key1) changed.push_back("keywords");
  if (m_description && FromUtf8(*m_description) != article.LoadDescription()) changed.push_back("description");
  if (changed.empty())
    return Message(What(&article) + " is unchanged", {{"changed", changed}, {"article", ArticleJson(article)}});

  if (m_newTitle) article.title = FromUtf8(*m_newTitle);
  if (m_keywords) article.key1 = FromUtf8(*m_keywords);
  if (!s.Daru()->UpdateArticle(article))
    throw HostError("cannot change " + What(&article) + ": " + s.LastError("the catalogue refused it"));
  // The description file repeats title and keywords; the comment and feed data stay as they are.
  LoadForRewrite(&article);
  if (m_description) article.SetDescription(FromUtf8(*m_description));
  std::string why;
  if (!WriteDescription(&article, why)) throw HostError(why + " (the catalogue has the new texts)");
  std::string list;
  for (size_t i = 0; i < changed.size(); ++i)
    list += (i == 0 ? "" : i + 1 == changed.size() ? " and " : ", ") + changed[i].get<std::string>();
  nlohmann::json stored = ArticleJson(article);
  stored["description"] = ToUtf8(article.GetDescription());
  return Message("changed the " + list + " of " + What(&article), {{"changed", changed}, {"article", stored}});
}

OpenCommand::OpenCommand() : Command("open", "open an article's link with xdg-open (http, https and ftp links)") {}

void OpenCommand::Define(CLI::App& cmd) { m_id.Define(cmd); }

Report OpenCommand::Run(Context& c) {
  Session& s = c.Catalogue();
  CArticle* article = s.FindArticle(m_id.id);
  const std::string link = ToUtf8(article->url);
  if (link.empty()) throw HostError(What(article) + " has no link to open");
  if (const std::string why = WhyLinkIsNotOpened(link); !why.empty())
    throw HostError("the link of " + What(article) + " is not opened: " + why + " (" + link + ")");
  const std::string opener = hostshared::FindOnPath("xdg-open");
  if (opener.empty()) throw HostError("cannot open the link: there is no xdg-open on the PATH (install xdg-utils)");
  std::vector<std::string> args{opener, link};
  std::vector<char*> argv{args[0].data(), args[1].data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, opener.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
    throw HostError("cannot start " + opener);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw HostError("xdg-open could not open " + link +
                    (WIFEXITED(status) ? " (exit status " + std::to_string(WEXITSTATUS(status)) + ")" : ""));
  return Message("opened " + link, {{"article", ArticleJson(*article)}, {"link", link}});
}
