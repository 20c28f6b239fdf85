#include "storage/CatalogueCheck.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <utility>

#include "base/Files.h"
#include "base/TextConv.h"
#include "base/U16Format.h"
#include "content/PathOps.h"
#include "content/XmlDocument.h"
#include "core/Article.h"
#include "core/ArticleLocations.h"
#include "storage/SQLiteDB.h"

namespace fs = std::filesystem;

namespace {

// A copy a description file was being written to before it replaced the file.
bool IsUnfinishedDescription(std::u16string_view name) {
  const std::u16string target = PartCopyTarget(name);
  return target.ends_with(kDescriptionSuffix) &&
         IsArticleName(
             std::u16string_view(target).substr(0, target.size() - std::u16string_view(kDescriptionSuffix).size()));
}

// A type folder as one comparable relative path: '\' and '/' alike, no empty
// or "." components.
std::u16string NormalFolder(std::u16string_view folder) {
  std::string text = ToUtf8(folder);
  for (char& c : text)
    if (c == '\\') c = '/';
  std::u16string out = FromUtf8(fs::path(text).lexically_normal().generic_string());
  while (!out.empty() && out.back() == u'/') out.pop_back();
  return out;
}

std::u16string Ids(const std::vector<int>& ids) {
  std::u16string out;
  for (int id : ids) out += (out.empty() ? u"#" : u", #") + FromUtf8(std::to_string(id));
  return out;
}

}  // namespace

struct CCatalogueCheck::Snapshot {
  struct Label {
    std::u16string name;
    int toplayer = 0;
  };
  struct Article {
    std::u16string filename, url, title, key1, type;
    int labels = 0;
    int label = 0;
    std::set<int> linkedLabels;  // distinct labels linked, planned repairs applied
  };
  std::map<int, Label> labels;
  std::map<int, Article> articles;
  std::map<std::pair<int, int>, int> links;  // (article, label) -> rows
  std::vector<CArticleType> types;           // the first type of a code counts
};

// One run: reads the snapshot, plans every repair on it in memory so that the
// findings are the same with and without repair, and carries the repairs out
// when asked.
class CCatalogueCheck::Runner {
 public:
  Runner(CCatalogueCheck& check, CSQLiteDB& db, bool repair) : m_check(check), m_db(db), m_repair(repair) {}

  void Run() {
    bool intact = CheckIntegrity();
    m_repair = m_repair && intact;
    Load();
    CheckLabels();
    CheckLinks();
    CheckDuplicateArticles();
    CheckCounts();
    CheckSubscriptions();
    CheckTypeFolders();
    CheckArticleFiles();
    CheckOrphans();
  }

 private:
  // Records a finding and runs its fix. A fix always applies itself to the
  // snapshot, so later checks see the planned state, but it changes the
  // catalogue (Sql) and the files (Files) only when repairing.
  template <class Fix>
  void Found(Fault fault, std::u16string text, Fix fix) {
    bool fixed = fix();
    m_check.m_findings.push_back({fault, std::move(text), m_repair && fixed});
  }
  void Found(Fault fault, std::u16string text) { m_check.m_findings.push_back({fault, std::move(text), false}); }
  bool Sql(const std::u16string& statement) {
    if (m_repair) m_db.Execute(statement);
    return true;
  }
  bool Files() const { return m_repair; }

  bool CheckIntegrity() {
    CSQLiteQuery rows = m_db.Query(u"PRAGMA integrity_check");
    bool intact = true;
    while (!rows.IsEof()) {
      std::u16string line = rows.GetString(0, u"");
      if (line != u"ok") {
        intact = false;
        Found(Integrity, u"the catalogue file is damaged: " + line);
      }
      rows.NextRow();
    }
    rows.Finalize();
    return intact;
  }

  void Load() {
    // The label, article and link tables by their column names, the type
    // table by position, as the store reads them.
    CSQLiteQuery labels = m_db.Query(u"SELECT labelid, name, toplayer FROM label");
    while (!labels.IsEof()) {
      Snapshot::Label& l = m_s.labels[labels.GetInt(0, 0)];
      l.name = labels.GetString(1, u"");
      l.toplayer = labels.GetInt(2, 0);
      labels.NextRow();
    }
    labels.Finalize();

    CSQLiteQuery articles =
        m_db.Query(u"SELECT articleid, filename, url, title, key1, type, labels, label FROM article");
    while (!articles.IsEof()) {
      Snapshot::Article& a = m_s.articles[articles.GetInt(0, 0)];
      a.filename = articles.GetString(1, u"");
      a.url = articles.GetString(2, u"");
      a.title = articles.GetString(3, u"");
      a.key1 = articles.GetString(4, u"");
      a.type = articles.GetString(5, u"");
      a.labels = articles.GetInt(6, 0);
      a.label = articles.GetInt(7, 0);
      articles.NextRow();
    }
    articles.Finalize();

    CSQLiteQuery links =
        m_db.Query(u"SELECT articleid, labelid, COUNT(*) FROM articletolabel GROUP BY articleid, labelid");
    while (!links.IsEof()) {
      m_s.links[{links.GetInt(0, 0), links.GetInt(1, 0)}] = links.GetInt(2, 0);
      links.NextRow();
    }
    links.Finalize();

    CSQLiteQuery types = m_db.Query(u"SELECT * FROM articletype");
    while (!types.IsEof()) {
      std::u16string code = types.GetString(1, u"");
      std::u16string folder = types.GetString(2, u"");
      m_s.types.emplace_back(0, std::move(code), std::move(folder));
      types.NextRow();
    }
    types.Finalize();
  }

  std::u16string LabelText(int id) {
    auto it = m_s.labels.find(id);
    return Fmt(u"label #%d", id) + (it != m_s.labels.end() ? u" '" + it->second.name + u"'" : u"");
  }

  void CheckLabels() {
    std::vector<int> heads;
    for (const auto& [id, l] : m_s.labels)
      if (l.toplayer == 0) heads.push_back(id);
    if (heads.empty())
      Found(HeadLabel, u"the catalogue has no head label");
    else if (heads.size() > 1)
      Found(HeadLabel, u"the catalogue has " + FromUtf8(std::to_string(heads.size())) + u" head labels: " + Ids(heads));
    m_head = heads.size() == 1 ? heads.front() : 0;

    // A label that the head cannot be reached from is missing from the tree:
    // it goes under the head label, which keeps its own branch with it.
    auto reparent = [this](int id) {
      if (m_head == 0) return false;
      m_s.labels[id].toplayer = m_head;
      return Sql(Fmt(u"UPDATE label SET toplayer=%d WHERE labelid=%d", m_head, id));
    };
    // Lambdas below capture plain names: not every compiler captures bindings.
    for (auto& entry : m_s.labels) {
      const int id = entry.first;
      const int missing = entry.second.toplayer;
      if (missing == 0 || m_s.labels.count(missing)) continue;
      Found(MissingParent, LabelText(id) + Fmt(u" names the missing parent #%d", missing),
            [&] { return reparent(id); });
    }

    std::map<int, int> state;  // 1 on the walk under way, 2 decided
    for (const auto& entry : m_s.labels) {
      std::vector<int> walk;
      int id = entry.first;
      while (!state.count(id)) {
        state[id] = 1;
        walk.push_back(id);
        int parent = m_s.labels[id].toplayer;
        if (parent == 0 || !m_s.labels.count(parent)) break;
        if (state.count(parent) && state[parent] == 1) {
          std::vector<int> loop(std::find(walk.begin(), walk.end(), parent), walk.end());
          std::sort(loop.begin(), loop.end());
          int cut = loop.front();
          Found(LabelCycle, u"the labels " + Ids(loop) + u" are each other's parents", [&] { return reparent(cut); });
          break;
        }
        id = parent;
      }
      for (int w : walk) state[w] = 2;
    }
  }

  void CheckLinks() {
    for (const auto& entry : m_s.links) {
      const int articleid = entry.first.first;
      const int labelid = entry.first.second;
      const int rows = entry.second;
      bool article = m_s.articles.count(articleid) > 0;
      bool label = m_s.labels.count(labelid) > 0;
      if (rows > 1 && article && label)
        Found(DuplicateLink, Fmt(u"article #%d is linked to label #%d %d times", articleid, labelid, rows), [&] {
          return Sql(Fmt(u"DELETE FROM articletolabel WHERE articleid=%d AND labelid=%d", articleid, labelid)) &&
                 Sql(Fmt(u"INSERT INTO articletolabel(articleid,labelid) VALUES(%d,%d)", articleid, labelid));
        });
      auto drop = [&] {
        return Sql(Fmt(u"DELETE FROM articletolabel WHERE articleid=%d AND labelid=%d", articleid, labelid));
      };
      if (!article)
        Found(LinkWithoutArticle, Fmt(u"a link to label #%d names the missing article #%d", labelid, articleid), drop);
      else if (!label)
        Found(LinkWithoutLabel, Fmt(u"article #%d is linked to the missing label #%d", articleid, labelid), drop);
      // The count of an article is checked against the links that stay.
      if (article && label) m_s.articles[articleid].linkedLabels.insert(labelid);
    }
  }

  void CheckDuplicateArticles() {
    std::map<std::pair<std::u16string, std::u16string>, std::vector<int>> byName;  // (filename, type) -> ids
    std::map<std::u16string, std::set<std::u16string>> typesOfName;
    for (const auto& [id, a] : m_s.articles) {
      byName[{a.filename, a.type}].push_back(id);
      typesOfName[a.filename].insert(a.type);
    }
    for (auto& group : byName) {
      const std::u16string& filename = group.first.first;
      const std::vector<int>& ids = group.second;
      if (ids.size() < 2) continue;
      int keeper = ids.front();  // ids ascend: the first capture
      std::vector<int> others(ids.begin() + 1, ids.end());
      Found(DuplicateArticle, u"the articles " + Ids(ids) + u" share the folder name '" + filename + u"'",
            [&] { return Merge(keeper, others); });
    }
    // The same folder name under two types has two description files; which
    // one the user means is not for the check to decide.
    for (const auto& [filename, types] : typesOfName)
      if (types.size() > 1) {
        std::vector<int> ids;
        for (const auto& [id, a] : m_s.articles)
          if (a.filename == filename) ids.push_back(id);
        Found(DuplicateArticle,
              u"the articles " + Ids(ids) + u" share the folder name '" + filename + u"' under different types");
      }
  }

  // Files the keeper under every label of the others, then removes the others.
  bool Merge(int keeper, const std::vector<int>& others) {
    Snapshot::Article& k = m_s.articles[keeper];
    for (int other : others) {
      for (int labelid : m_s.articles[other].linkedLabels)
        if (k.linkedLabels.insert(labelid).second)
          Sql(Fmt(u"INSERT INTO articletolabel(articleid,labelid) VALUES(%d,%d)", keeper, labelid));
      Sql(Fmt(u"DELETE FROM articletolabel WHERE articleid=%d", other));
      Sql(Fmt(u"DELETE FROM article WHERE articleid=%d", other));
      m_s.articles.erase(other);
    }
    return true;
  }

  void CheckCounts() {
    for (auto& entry : m_s.articles) {
      const int id = entry.first;
      Snapshot::Article& a = entry.second;
      if (a.linkedLabels.empty()) {
        int target = 0;
        for (int candidate : {a.label, kDefaultLabelID, m_head})
          if (candidate != 0 && m_s.labels.count(candidate)) {
            target = candidate;
            break;
          }
        Found(UnfiledArticle, Fmt(u"article #%d is filed under no label", id), [&] {
          if (target == 0) return false;
          a.linkedLabels.insert(target);
          return Sql(Fmt(u"INSERT INTO articletolabel(articleid,labelid) VALUES(%d,%d)", id, target));
        });
      }
      int links = static_cast<int>(a.linkedLabels.size());
      if (a.labels != links)
        Found(LabelCount, Fmt(u"article #%d has the label count %d but %d link(s)", id, a.labels, links), [&] {
          a.labels = links;
          return Sql(Fmt(u"UPDATE article SET labels=%d WHERE articleid=%d", links, id));
        });
    }
  }

  // The folder of a type code below the DARU folder, as the facade finds it;
  // empty when the type is unknown or its folder unsafe.
  std::u16string TypeFolder(const std::u16string& code) {
    std::u16string folder = FindTypePath(m_s.types, code);
    return IsSafeTypePath(folder) ? NormalFolder(folder) : std::u16string();
  }
  std::u16string Absolute(const std::u16string& folder) { return GetDaruFolder() + u"/" + folder; }

  // The table is made when first needed, so a catalogue without it is sound.
  void CheckSubscriptions() {
    CSQLiteQuery table = m_db.Query(u"SELECT count(*) FROM sqlite_master WHERE type='table' AND name='subscription'");
    const bool exists = !table.IsEof() && table.GetInt(0, 0) > 0;
    table.Finalize();
    if (!exists) return;
    std::vector<std::pair<int, int>> orphans;  // (subscription, label)
    std::vector<std::u16string> urls;
    CSQLiteQuery rows = m_db.Query(u"SELECT subscriptionid, labelid, url FROM subscription ORDER BY subscriptionid");
    while (!rows.IsEof()) {
      const int labelid = rows.GetInt(1, 0);
      if (labelid != 0 && !m_s.labels.count(labelid)) {
        orphans.emplace_back(rows.GetInt(0, 0), labelid);
        urls.push_back(rows.GetString(2, u""));
      }
      rows.NextRow();
    }
    rows.Finalize();
    for (size_t i = 0; i < orphans.size(); ++i) {
      const auto [id, labelid] = orphans[i];
      Found(SubscriptionLabel,
            Fmt(u"subscription #%d (", id) + urls[i] +
                Fmt(u") files its items under label #%d, which does not exist", labelid),
            [&] { return Sql(Fmt(u"UPDATE subscription SET labelid=0 WHERE subscriptionid=%d", id)); });
    }
  }

  void CheckTypeFolders() {
    std::set<std::u16string> seenCodes;
    for (const CArticleType& t : m_s.types) {
      const std::u16string& code = t.type;
      const std::u16string& folder = t.path;
      if (!seenCodes.insert(code).second) continue;
      if (!IsSafeTypePath(folder)) {
        Found(UnsafeRow,
              u"the article type '" + code + u"' names the folder '" + folder + u"' outside the DARU folder");
        continue;
      }
      std::u16string path = Absolute(NormalFolder(folder));
      if (!m_folders.insert(NormalFolder(folder)).second || FolderExists(path)) continue;
      Found(MissingTypeFolder, u"the folder '" + path + u"' of the article type '" + code + u"' is missing", [&] {
        if (!Files()) return false;
        std::error_code ec;
        fs::create_directories(ToUtf8(path), ec);
        return !ec;
      });
    }
  }

  // What a rebuilt description file lacks, and how it gets it back.
  std::u16string WrittenAnew() const {
    if (!m_repair) return {};
    return u"; written anew from the catalogue row, without description, comment or feed data: capturing its link "
           u"again (save, feed, import) brings them back";
  }

  bool Rewrite(const Snapshot::Article& a, const std::u16string& folder) {
    CArticle article;
    article.filename = a.filename;
    article.url = a.url;
    article.title = a.title;
    article.key1 = a.key1;
    article.type = a.type;
    return article.CreateDescriptionFile(folder, true);
  }

  // A free name beside the file for a damaged copy, so that no earlier copy is overwritten.
  static std::string AsideName(const std::string& file) {
    std::string aside = file + ".damaged";
    for (int n = 1; fs::exists(fs::symlink_status(aside)); ++n) aside = file + ".damaged." + std::to_string(n);
    return aside;
  }

  void CheckArticleFiles() {
    for (const auto& entry : m_s.articles) {
      const int id = entry.first;
      const Snapshot::Article& a = entry.second;
      if (!IsSafeFolderName(a.filename)) {
        Found(UnsafeRow, Fmt(u"article #%d has the folder name '", id) + a.filename + u"', which is not a plain name");
        continue;
      }
      bool known = false;
      for (const CArticleType& t : m_s.types) known = known || t.type == a.type;
      if (!known) {
        Found(UnknownType, Fmt(u"article #%d has the unknown type '", id) + a.type + u"'");
        continue;
      }
      std::u16string folder = TypeFolder(a.type);
      if (folder.empty()) continue;  // reported with its type
      std::u16string dir = Absolute(folder);
      std::u16string file = dir + u"/" + a.filename + std::u16string(kDescriptionSuffix);
      std::error_code ec;
      fs::file_status st = fs::symlink_status(ToUtf8(file), ec);
      if (!fs::is_regular_file(st)) {
        Found(MissingDescription, Fmt(u"article #%d has no description file ", id) + file + WrittenAnew(),
              [&] { return Files() && Rewrite(a, dir); });
        continue;
      }
      CXmlDocument xml;
      if (xml.LoadFile(file)) continue;
      Found(BadDescription, Fmt(u"the description file %s of article #%d cannot be read", file, id) + WrittenAnew(),
            [&] {
              if (!Files()) return false;
              std::string from = ToUtf8(file);
              std::error_code renamed;
              fs::rename(from, AsideName(from), renamed);
              return !renamed && Rewrite(a, dir);
            });
    }
  }

  void CheckOrphans() {
    // What may lie in each type folder: description files of the articles of
    // the types that use the folder, and any article's media folder.
    std::map<std::u16string, std::set<std::u16string>> described;
    std::set<std::u16string> names;
    for (const auto& [id, a] : m_s.articles) {
      names.insert(a.filename);
      std::u16string folder = TypeFolder(a.type);
      if (!folder.empty()) described[folder].insert(a.filename);
    }
    for (const std::u16string& folder : m_folders) {
      std::u16string dir = Absolute(folder);
      std::error_code ec;
      std::vector<fs::directory_entry> entries;
      for (fs::directory_iterator it(ToUtf8(dir), ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
      std::sort(entries.begin(), entries.end());
      for (const fs::directory_entry& entry : entries) {
        std::u16string name = FromUtf8(entry.path().filename().string());
        std::u16string path = dir + u"/" + name;
        std::error_code sec;
        fs::file_status st = entry.symlink_status(sec);
        const std::u16string_view stem = std::u16string_view(name).substr(0, kArticleNameLength);
        if (fs::is_regular_file(st) && name.size() == kArticleNameLength + kDescriptionSuffix.size() &&
            name.ends_with(kDescriptionSuffix) && IsArticleName(stem) &&
            !described[folder].count(std::u16string(stem))) {
          Found(OrphanDescription, u"the description file " + path + u" belongs to no article",
                [&] { return Files() && DeletePath(path, true); });
        } else if (fs::is_directory(st) && IsArticleName(name) && !names.count(name)) {
          Found(OrphanFolder, u"the article folder " + path + u" belongs to no article",
                [&] { return Files() && DeletePath(path, false); });
        } else if (fs::is_regular_file(st) && IsUnfinishedDescription(name)) {
          Leftover(path);
        } else if (fs::is_directory(st) && IsArticleName(name)) {
          // Every unfinished copy of the media file (each write has its own).
          for (const fs::directory_entry& inside : fs::directory_iterator(ToUtf8(path), sec)) {
            std::u16string copy = FromUtf8(inside.path().filename().string());
            if (PartCopyTarget(copy) == kMediaCopyName && fs::is_regular_file(inside.symlink_status(sec)))
              Leftover(path + u"/" + copy);
          }
        }
      }
    }
  }

  // Files are written through a copy that replaces them once complete;
  // one that is still there was left by a write that never finished.
  void Leftover(const std::u16string& path) {
    Found(LeftoverFile, u"the unfinished write " + path + u" was left behind",
          [&] { return Files() && DeletePath(path, true); });
  }

  CCatalogueCheck& m_check;  // borrowed: receives the findings
  CSQLiteDB& m_db;           // borrowed: the check's connection
  bool m_repair;
  Snapshot m_s;
  int m_head = 0;
  std::set<std::u16string> m_folders;  // distinct safe type folders, normalised
};

CCatalogueCheck::CCatalogueCheck() : m_ran(false) {}
CCatalogueCheck::~CCatalogueCheck() = default;

bool CCatalogueCheck::Run(bool repair) {
  m_findings.clear();
  m_error.clear();
  m_ran = false;
  // The check never creates what it looks at.
  if (!FolderExists(GetDaruFolder())) {
    m_error = u"the DARU folder " + GetDaruFolder() + u" does not exist";
    return false;
  }
  std::error_code ec;
  if (!fs::is_regular_file(ToUtf8(GetCatalogueFile()), ec)) {
    m_error = u"the catalogue " + GetCatalogueFile() + u" does not exist";
    return false;
  }
  try {
    CSQLiteDB db;
    db.Open(GetCatalogueFile());
    CSQLiteTransaction transaction(db, repair ? CSQLiteTransaction::Write : CSQLiteTransaction::Read);
    Runner(*this, db, repair).Run();
    transaction.Commit();
  } catch (const CSQLiteException& e) {
    m_error = e.MessageW();
    // Nothing of the repair was committed to the catalogue; the files stay as repaired.
    for (Finding& f : m_findings)
      if (f.fault < MissingTypeFolder) f.repaired = false;
    return false;
  }
  m_ran = true;
  return true;
}

size_t CCatalogueCheck::Count(Fault fault) const {
  return static_cast<size_t>(
      std::count_if(m_findings.begin(), m_findings.end(), [fault](const Finding& f) { return f.fault == fault; }));
}

size_t CCatalogueCheck::Remaining() const {
  return static_cast<size_t>(
      std::count_if(m_findings.begin(), m_findings.end(), [](const Finding& f) { return !f.repaired; }));
}

const char16_t* CCatalogueCheck::FaultName(Fault fault) {
  switch (fault) {
    case Integrity:
      return u"integrity";
    case HeadLabel:
      return u"head-label";
    case MissingParent:
      return u"missing-parent";
    case LabelCycle:
      return u"label-cycle";
    case DuplicateLink:
      return u"duplicate-link";
    case LinkWithoutArticle:
      return u"link-without-article";
    case LinkWithoutLabel:
      return u"link-without-label";
    case DuplicateArticle:
      return u"duplicate-article";
    case LabelCount:
      return u"label-count";
    case UnfiledArticle:
      return u"unfiled-article";
    case UnsafeRow:
      return u"unsafe-row";
    case UnknownType:
      return u"unknown-type";
    case SubscriptionLabel:
      return u"subscription-label";
    case MissingTypeFolder:
      return u"missing-type-folder";
    case MissingDescription:
      return u"missing-description";
    case BadDescription:
      return u"bad-description";
    case OrphanDescription:
      return u"orphan-description";
    case OrphanFolder:
      return u"orphan-folder";
    case LeftoverFile:
      return u"leftover-file";
  }
  return u"unknown";
}
