#include "daru/Session.h"

#include <algorithm>
#include <charconv>

#include "daru/LibraryRoot.h"
#include "daru/Request.h"
#include "provision/DataRoot.h"

Session::Session(const std::filesystem::path& root, const StoreChoice& store) : m_root(root) {
  UseDataRoot(root);
  if (!store.IsProvisioned(root)) {
    std::error_code ec;
    const std::filesystem::path catalogue = provision::CatalogueFile(root);
    if (store.kind == StoreChoice::Kind::Sqlite &&
        std::filesystem::exists(std::filesystem::symlink_status(catalogue, ec)))
      throw HostError("the catalogue " + catalogue.string() + " is not a file");
    throw HostError("no catalogue in " + root.string() + " (run 'daru init' first)");
  }
  m_daru.reset(CDARU::Instance());
  if (!m_daru) throw HostError("out of memory");
  CDB* chosen = store.NewStore();
  if (chosen ? !m_daru->Init(chosen) : !m_daru->Init())
    throw HostError("cannot open the catalogue in " + root.string() + ": " + LastError("unknown error"));
  m_tree = m_daru->GetLabelTree();
}

std::string Session::LastError(const std::string& fallback) {
  std::string error = ToUtf8(m_daru->GetLastDBError());
  return error.empty() ? fallback : error;
}

namespace {

bool ParseId(std::string_view text, int& id) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, id);
  return !text.empty() && ec == std::errc() && ptr == end;
}

}  // namespace

CLabel* Session::ResolveLabel(const std::string& reference) {
  int id = 0;
  // "#7" is always the id.
  if (reference.size() > 1 && reference[0] == '#' && ParseId(std::string_view(reference).substr(1), id)) {
    if (CLabel* label = m_tree->FindLabel(id)) return label;
    throw HostError("no label " + reference);
  }
  std::vector<CLabel*> named;
  for (CLabel* label : m_tree->GetAllLabels())
    if (label->name == FromUtf8(reference)) named.push_back(label);
  CLabel* byId = ParseId(reference, id) ? m_tree->FindLabel(id) : nullptr;
  // A bare number that is also a label's name is not guessed at: the command
  // may remove what it names.
  if (byId && !named.empty() && !(named.size() == 1 && named.front() == byId))
    throw HostError("'" + reference + "' is the name of a label and the id of another; give '#" + reference +
                    "' for the id");
  if (byId) return byId;
  if (named.empty())
    throw HostError(ParseId(reference, id) ? "no label #" + reference : "no label named '" + reference + "'");
  if (named.size() > 1) {
    std::string ids;
    for (CLabel* label : named) ids += " #" + std::to_string(label->labelid);
    throw HostError("several labels are named '" + reference + "':" + ids + "; give the id as #ID");
  }
  return named.front();
}

CLabel* Session::DefaultLabel() {
  if (CLabel* label = m_tree->FindLabel(kDefaultLabelID)) return label;
  if (CLabel* head = m_tree->GetHeadLabel()) return head;
  throw HostError("the catalogue has no labels");
}

CArticle* Session::FindArticle(long long id) {
  CArticle pattern;
  pattern.articleid = static_cast<int>(id);
  int found = m_daru->QueryArticle(pattern, kArticleMaskID, false);
  if (found < 0) throw HostError("cannot read the catalogue: " + LastError("query failed"));
  if (found == 0) throw HostError("no article #" + std::to_string(id));
  return m_daru->GetArticleList().front();
}

void Session::Release(CArticle* article) {
  std::vector<CArticle*> listed = m_daru->GetArticleList();
  if (article && std::find(listed.begin(), listed.end(), article) == listed.end()) delete article;
}

int Session::CountArticles(CLabel* label) { return m_daru->QueryArticle(label, CArticle(), 0); }

std::vector<CLabel*> Session::LabelsOf(int articleid) {
  std::vector<CLabel*> labels;
  for (CLabel* label : m_tree->GetAllLabels()) {
    if (CountArticles(label) <= 0) continue;
    for (CArticle* article : m_daru->GetArticleList()) {
      if (article->articleid == articleid) {
        labels.push_back(label);
        break;
      }
    }
  }
  return labels;
}

nlohmann::json LabelJson(const CLabel* label) {
  return {{"id", label->labelid}, {"name", ToUtf8(label->name)}, {"parent", label->toplayer}};
}

nlohmann::json ArticleJson(const CArticle& a) {
  CStdTime created = a.crdate;
  CStdTime read = a.brdate;
  return {{"id", a.articleid},
          {"title", ToUtf8(a.title)},
          {"url", ToUtf8(a.url)},
          {"keywords", ToUtf8(a.key1)},
          {"type", ToUtf8(a.type)},
          {"type_name", TypeName(a.type)},
          {"filename", ToUtf8(a.filename)},
          {"labels", a.labels},
          {"label", a.label},
          {"version", a.version},
          {"read", a.readflag},
          {"important", a.impflag},
          {"created", ToUtf8(created.GetFmtString())},
          {"created_epoch", created.GetTimeLong()},
          {"read_at", ToUtf8(read.GetFmtString())},
          {"description_file", ToUtf8(a.descfile)}};
}

std::string TypeName(const std::u16string& type) {
  if (type == u"B") return "page";
  if (type == u"A") return "feed item";
  return ToUtf8(type);
}
