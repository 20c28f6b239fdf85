#include "daru/Edit.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "daru/Capture.h"

extern char** environ;

namespace {

std::string What(const CArticle* a) { return "#" + std::to_string(a->articleid) + " " + Quoted(a->title); }

// The program on the PATH, or empty.
std::string OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / program;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return "";
}

// A link names its scheme first; one that does not (or starts with '-') could
// be taken for a file or an option by the opener.
bool HasScheme(const std::string& link) {
  size_t colon = link.find(':');
  if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(link[0]))) return false;
  for (size_t i = 1; i < colon; ++i) {
    char c = link[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  std::string scheme = link.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme != "javascript" && scheme != "data";
}

}  // namespace

Report Edit(Session& s, const Request& r, std::vector<std::string>& warnings) {
  if (!r.newTitle && !r.keywords && !r.description) throw UsageError("edit: give --title, --keywords or --description");
  if (r.newTitle && r.newTitle->empty()) throw UsageError("an article needs a title");
  // A copy of our own: the result list may be replaced before we are done.
  CArticle article(*s.FindArticle(r.id));
  nlohmann::json changed = nlohmann::json::array();
  if (r.newTitle && FromUtf8(*r.newTitle) != article.title) changed.push_back("title");
  if (r.keywords && FromUtf8(*r.keywords) != article.key1) changed.push_back("keywords");
  if (r.description && FromUtf8(*r.description) != article.LoadDescription()) changed.push_back("description");
  if (changed.empty())
    return Message(What(&article) + " is unchanged", {{"changed", changed}, {"article", ArticleJson(article)}});

  if (r.newTitle) article.title = FromUtf8(*r.newTitle);
  if (r.keywords) article.key1 = FromUtf8(*r.keywords);
  if (!s.Daru()->UpdateArticle(article))
    throw HostError("cannot change " + What(&article) + ": " + s.LastError("the catalogue refused it"));
  // The description file repeats title and keywords; the comment and feed data stay as they are.
  LoadForRewrite(&article);
  if (r.description) article.SetDescription(FromUtf8(*r.description));
  std::string why;
  if (!WriteDescription(&article, why)) throw HostError(why + " (the catalogue has the new texts)");
  std::string list;
  for (size_t i = 0; i < changed.size(); ++i)
    list += (i == 0 ? "" : i + 1 == changed.size() ? " and " : ", ") + changed[i].get<std::string>();
  nlohmann::json stored = ArticleJson(article);
  stored["description"] = ToUtf8(article.GetDescription());
  return Message("changed the " + list + " of " + What(&article), {{"changed", changed}, {"article", stored}});
}

Report Open(Session& s, const Request& r) {
  CArticle* article = s.FindArticle(r.id);
  const std::string link = ToUtf8(article->url);
  if (link.empty()) throw HostError(What(article) + " has no link to open");
  if (!HasScheme(link)) throw HostError("the link of " + What(article) + " is no address that can be opened: " + link);
  const std::string opener = OnPath("xdg-open");
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
