#include "storage/CatalogueStore.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <set>
#include <utility>

#include "base/TextConv.h"
#include "base/U16Format.h"
#include "content/PathOps.h"
#include "core/ArticleLocations.h"
#include "storage/CatalogueEngine.h"
#include "storage/CatalogueStatements.h"

namespace {

// The leading decimal integer of a field (atoi rules, clamped to int); 0 for NULL.
int IntField(CCatalogueFields row, size_t index) {
  const long long value = index < row.size() ? row[index].Int() : 0;
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// The time columns hold 64-bit values.
long long Int64Field(CCatalogueFields row, size_t index) { return index < row.size() ? row[index].Int() : 0; }

// The text of a field; empty for NULL.
std::u16string TextField(CCatalogueFields row, size_t index) {
  if (index >= row.size() || row[index].IsNull()) return {};
  if (row[index].kind == CCatalogueField::Kind::Number) return FromUtf8(row[index].Text());
  return FromUtf8(row[index].text);
}

// A flag is set unless its text is "F"; NULL sets it.
bool FlagField(CCatalogueFields row, size_t index) {
  return !(index < row.size() && row[index].kind == CCatalogueField::Kind::Text && row[index].text == "F");
}

// Fills a record from an article row (the columns in the table's order)
// without its description file path.
void ReadArticleRow(CCatalogueFields row, CArticle& article) {
  article.articleid = IntField(row, 0);
  article.filename = TextField(row, 1);
  article.url = TextField(row, 2);
  article.title = TextField(row, 3);
  article.key1 = TextField(row, 4);
  article.type = TextField(row, 5);
  article.labels = IntField(row, 6);
  article.label = IntField(row, 7);
  article.version = IntField(row, 8);
  article.readflag = FlagField(row, 9);
  article.impflag = FlagField(row, 10);
  article.crdate.SetTimeLong(Int64Field(row, 11));
  article.brdate.SetTimeLong(Int64Field(row, 12));
  article.lmdate.SetTimeLong(Int64Field(row, 13));
}

constexpr const char16_t* kNoLabelName = u"未提供一个有效的标签名。";

}  // namespace

bool CCatalogueStore::Guarded(const std::function<bool()>& body) {
  bool result = false;
  if (std::optional<std::u16string> failure = Engine().Attempt([&] { result = body(); })) {
    SetLastDBError(std::move(*failure));
    return false;
  }
  return result;
}

long long CCatalogueStore::FirstInt(const CSqlStatement& statement, long long fallback) {
  std::optional<long long> value;
  Engine().Rows(
      statement,
      [&](CCatalogueFields row) {
        if (!value) value = row.empty() ? 0 : row[0].Int();
      },
      [&] { value.reset(); });
  return value ? *value : fallback;
}

bool CCatalogueStore::AnyRow(const CSqlStatement& statement) {
  bool any = false;
  Engine().Rows(
      statement, [&](CCatalogueFields) { any = true; }, [&] { any = false; });
  return any;
}

bool CCatalogueStore::InsertLink(int articleid, int labelid) {
  return Engine().Execute(CCatalogueStatements(Engine().Dialect()).InsertLink(articleid, labelid)) > 0;
}

int CCatalogueStore::Recount(int articleid) {
  const CCatalogueStatements sql(Engine().Dialect());
  Engine().Execute(sql.Recount(articleid));
  return static_cast<int>(FirstInt(sql.CountLinks(articleid), 0));
}

bool CCatalogueStore::ReadArticle(int articleid, CArticle& row) {
  CArticle pattern;
  pattern.articleid = articleid;
  std::vector<CArticle*> found;
  LoadArticles([&](const CCatalogueStatements& sql,
                   bool packed) { return sql.QueryArticle(pattern, kArticleMaskID, false, packed); },
               found);
  std::vector<std::unique_ptr<CArticle>> owned(found.begin(), found.end());
  if (owned.empty()) return false;
  row = *owned[0];
  return true;
}

bool CCatalogueStore::AddLabel(CLabel& label) {
  if (label.name.empty()) {
    SetLastDBError(kNoLabelName);
    return false;
  }
  return Guarded([&] {
    // The key of the row this connection inserted, whatever another writer added since.
    std::optional<long long> labelid =
        Engine().Insert(CCatalogueStatements(Engine().Dialect()).InsertLabel(label), "labelid");
    if (!labelid) return false;
    label.labelid = static_cast<int>(*labelid);
    return true;
  });
}

int CCatalogueStore::FindOrAddLabel(CLabel& label) {
  if (label.name.empty()) {
    SetLastDBError(kNoLabelName);
    return -1;
  }
  int result = -1;
  Guarded([&] {
    CCatalogueEngine& engine = Engine();
    const CCatalogueStatements sql(engine.Dialect());
    // Other writers wait, so that two processes asking for one name make it once.
    CEngineTransaction transaction(engine, &engine.Dialect().label);
    std::optional<CLabel> found;
    engine.Rows(
        sql.QueryLabel(label, kLabelMaskName | kLabelMaskParent),
        [&](CCatalogueFields row) {
          if (found) return;
          found.emplace();
          found->labelid = IntField(row, 0);
          found->name = TextField(row, 1);
          found->toplayer = IntField(row, 2);
        },
        [&] { found.reset(); });
    if (found) {
      transaction.Commit();
      label.labelid = found->labelid;
      label.name = found->name;
      label.toplayer = found->toplayer;
      result = 1;
      return true;
    }
    std::optional<long long> labelid = engine.Insert(sql.InsertLabel(label), "labelid");
    if (!labelid) return false;
    transaction.Commit();
    label.labelid = static_cast<int>(*labelid);
    result = 0;
    return true;
  });
  return result;
}

bool CCatalogueStore::UpdateLabel(CLabel& label) {
  return Guarded([&] {
    CCatalogueEngine& engine = Engine();
    CEngineTransaction transaction(engine, &engine.Dialect().label);
    if (!ParentIsOutsideBranch(label)) return false;
    if (engine.Execute(CCatalogueStatements(engine.Dialect()).UpdateLabel(label)) <= 0) return false;
    transaction.Commit();
    return true;
  });
}

bool CCatalogueStore::RenameLabel(CLabel& label) {
  return Guarded([&] {
    CCatalogueEngine& engine = Engine();
    const CCatalogueStatements sql(engine.Dialect());
    CEngineTransaction transaction(engine);
    if (engine.Execute(sql.RenameLabel(label)) <= 0) return false;
    const int toplayer = static_cast<int>(FirstInt(sql.ParentOf(label.labelid), label.toplayer));
    transaction.Commit();
    label.toplayer = toplayer;
    return true;
  });
}

bool CCatalogueStore::MoveLabel(CLabel& label) {
  return Guarded([&] {
    CCatalogueEngine& engine = Engine();
    const CCatalogueStatements sql(engine.Dialect());
    // The label table is held: two processes moving labels under each other
    // must not make a loop.
    CEngineTransaction transaction(engine, &engine.Dialect().label);
    if (!ParentIsOutsideBranch(label)) return false;
    if (engine.Execute(sql.MoveLabel(label)) <= 0) return false;
    CLabel pattern;
    pattern.labelid = label.labelid;
    std::u16string name = label.name;
    engine.Rows(
        sql.QueryLabel(pattern, kLabelMaskID), [&](CCatalogueFields row) { name = TextField(row, 1); }, [] {});
    transaction.Commit();
    label.name = std::move(name);
    return true;
  });
}

bool CCatalogueStore::ParentIsOutsideBranch(const CLabel& label) {
  // Up the parents the catalogue holds now (another process may have moved a
  // label since ours were loaded); a walk that meets a loop already there
  // ends after as many steps as there are labels.
  const CCatalogueStatements sql(Engine().Dialect());
  long long steps = FirstInt(sql.CountLabels(), 0);
  for (int at = label.toplayer; at != 0 && steps-- >= 0;) {
    if (at == label.labelid) {
      SetLastDBError(Fmt(u"label #%d cannot be moved under itself or a label of its own branch", label.labelid));
      return false;
    }
    at = static_cast<int>(FirstInt(sql.ParentOf(at), 0));
  }
  return true;
}

bool CCatalogueStore::DeleteLabel(CLabel& label) {
  std::vector<CArticle> gone;
  const bool deleted = Guarded([&] {
    CCatalogueEngine& engine = Engine();
    const CCatalogueStatements sql(engine.Dialect());
    CEngineTransaction transaction(engine);
    if (engine.Execute(sql.DeleteLabel(label.labelid)) <= 0) return false;
    std::set<int> held;
    engine.Rows(
        sql.LinksOfLabel(label.labelid), [&](CCatalogueFields link) { held.insert(IntField(link, 1)); },
        [&] { held.clear(); });
    engine.Execute(sql.DeleteLinksOfLabel(label.labelid));
    // An article goes only when no link to it is left, whatever its count
    // says: a count that drifted must not take an article filed elsewhere.
    for (int articleid : held) {
      if (Recount(articleid) != 0) continue;
      CArticle article;
      if (!ReadArticle(articleid, article)) continue;  // a link that named no article
      if (engine.Execute(sql.DeleteArticle(articleid)) > 0) gone.push_back(std::move(article));
    }
    transaction.Commit();
    return true;
  });
  if (!deleted) return false;
  // Their files go as they do when the last label is taken off one at a time.
  RemoveFilesOfGone(gone);
  return true;
}

void CCatalogueStore::RemoveFilesOfGone(const std::vector<CArticle>& gone) {
  // Under the write lock, and only while no row has the folder name again:
  // another process may have stored the same link anew since the rows went,
  // and its files are not ours to remove. Without the lock (the engine
  // failing) they go all the same: the rows are gone for good.
  if (gone.empty()) return;
  std::vector<bool> done(gone.size(), false);
  CCatalogueEngine& engine = Engine();
  engine.Attempt([&] {
    const CCatalogueStatements sql(engine.Dialect());
    CEngineTransaction transaction(engine, &engine.Dialect().article);
    for (size_t i = 0; i < gone.size(); ++i) {
      if (!AnyRow(sql.ArticlesNamed(gone[i].filename))) RemoveArticleFiles(gone[i].type, gone[i].filename);
      done[i] = true;
    }
    transaction.Commit();
  });
  for (size_t i = 0; i < gone.size(); ++i)
    if (!done[i]) RemoveArticleFiles(gone[i].type, gone[i].filename);
}

bool CCatalogueStore::QueryLabel(std::vector<CLabel*>& out, CLabel pattern, unsigned mask) {
  return Guarded([&] {
    std::vector<std::unique_ptr<CLabel>> loaded;
    Engine().Rows(
        CCatalogueStatements(Engine().Dialect()).QueryLabel(pattern, mask),
        [&](CCatalogueFields row) {
          auto label = std::make_unique<CLabel>();
          label->labelid = IntField(row, 0);
          label->name = TextField(row, 1);
          label->toplayer = IntField(row, 2);
          loaded.push_back(std::move(label));
        },
        [&] { loaded.clear(); });
    for (std::unique_ptr<CLabel>& label : loaded) out.push_back(label.release());
    return true;
  });
}

bool CCatalogueStore::QueryArticleType(std::vector<CArticleType>& out) {
  return Guarded([&] {
    std::vector<CArticleType> loaded;
    Engine().Rows(
        CCatalogueStatements(Engine().Dialect()).QueryArticleType(),
        [&](CCatalogueFields row) { loaded.emplace_back(IntField(row, 0), TextField(row, 1), TextField(row, 2)); },
        [&] { loaded.clear(); });
    out.insert(out.end(), loaded.begin(), loaded.end());
    return true;
  });
}

bool CCatalogueStore::QueryLabelToArticle(CLabelToArticle& link) {
  return Guarded(
      [&] { return AnyRow(CCatalogueStatements(Engine().Dialect()).FindLink(link.articleid, link.labelid)); });
}

bool CCatalogueStore::AddLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] { return InsertLink(link.articleid, link.labelid); });
}

bool CCatalogueStore::DeleteLabelToArticle(CLabelToArticle& link) {
  return Guarded([&] {
    const CCatalogueStatements sql(Engine().Dialect());
    if (link.labelid != 0)
      Engine().Execute(sql.DeleteLink(link.articleid, link.labelid));
    else
      Engine().Execute(sql.DeleteLinksOfArticle(link.articleid));
    return true;
  });
}

int CCatalogueStore::Capture(CArticle& article, CArticle* stored, const CNewArticleMarks& marks) {
  CCatalogueEngine& engine = Engine();
  const CCatalogueStatements sql(engine.Dialect());
  // The row and its first link go in together (a row without a link would be
  // held by no label and never be deleted), and other writers wait, so that
  // two captures of one link keep one article.
  CEngineTransaction transaction(engine, &engine.Dialect().article);
  // Another process may have stored the same link since the caller looked
  // for it. One link stays one article: the stored one is filed under the
  // label as well.
  if (!article.filename.empty()) {
    const long long same = FirstInt(sql.ArticlesNamed(article.filename), 0);
    if (same != 0) {
      const int articleid = static_cast<int>(same);
      const bool already = AnyRow(sql.FindLink(articleid, article.label));
      if (!already) {
        if (!InsertLink(articleid, article.label)) return -1;
        Recount(articleid);
      }
      if (stored != nullptr && !ReadArticle(articleid, *stored)) return -1;
      transaction.Commit();
      article.articleid = articleid;
      return already ? 2 : 1;
    }
  }
  std::optional<long long> inserted =
      engine.Insert(sql.InsertArticle(article, marks.read, marks.important), "articleid");
  if (!inserted) return -1;
  const int articleid = static_cast<int>(*inserted);
  if (!InsertLink(articleid, article.label)) return -1;
  transaction.Commit();
  article.articleid = articleid;
  return 0;
}

bool CCatalogueStore::AddArticle(CArticle& article) {
  return Guarded([&] { return Capture(article, nullptr, CNewArticleMarks()) >= 0; });
}

int CCatalogueStore::CaptureArticle(CArticle& article, const CNewArticleMarks& marks) {
  int result = -1;
  CArticle stored;
  Guarded([&] {
    result = Capture(article, &stored, marks);
    return result >= 0;
  });
  if (result == 0) {
    article.labels = 1;
    article.version = 1;
  } else if (result > 0) {
    TakeStoredRow(article, stored);
  }
  return result;
}

void CCatalogueStore::LoadArticles(const ArticleQuery& query, std::vector<CArticle*>& out) {
  CCatalogueEngine& engine = Engine();
  const CCatalogueStatements sql(engine.Dialect());
  const CSqlStatement plain = query(sql, false);
  std::optional<CSqlStatement> packed;
  if (engine.Dialect().packing != CCatalogueDialect::RowPacking::None) packed = query(sql, true);
  CDescriptionPaths paths;
  std::vector<std::unique_ptr<CArticle>> loaded;
  engine.ArticleRows(
      plain, packed ? &*packed : nullptr,
      [&](CCatalogueFields row) {
        auto article = std::make_unique<CArticle>();
        ReadArticleRow(row, *article);
        paths.Fill(article->type, article->filename, article->descfile);
        loaded.push_back(std::move(article));
      },
      [&] { loaded.clear(); });
  out.reserve(out.size() + loaded.size());
  for (std::unique_ptr<CArticle>& article : loaded) out.push_back(article.release());
}

bool CCatalogueStore::QueryArticle(std::vector<CArticle*>& out, CLabel* label, CArticle pattern, unsigned mask) {
  if (label == nullptr) return false;
  const int labelid = label->labelid;
  return Guarded([&] {
    LoadArticles([&](const CCatalogueStatements& sql, bool packed) { return sql.ArticlesOfLabel(labelid, packed); },
                 out);
    return true;
  });
}

bool CCatalogueStore::QueryArticle(std::vector<CArticle*>& out, CArticle pattern, unsigned mask, bool like) {
  return Guarded([&] {
    // Without a known bit the statement stays incomplete and the engine
    // refuses it.
    LoadArticles(
        [&](const CCatalogueStatements& sql, bool packed) { return sql.QueryArticle(pattern, mask, like, packed); },
        out);
    return true;
  });
}

bool CCatalogueStore::UpdateArticle(CArticle& article) {
  return Guarded([&] { return Engine().Execute(CCatalogueStatements(Engine().Dialect()).UpdateArticle(article)) > 0; });
}

bool CCatalogueStore::DeleteArticle(CArticle* article, CLabel* label) {
  if (article == nullptr) return false;
  bool lastLabelGone = false;
  const bool deleted = Guarded([&] {
    CCatalogueEngine& engine = Engine();
    const CCatalogueStatements sql(engine.Dialect());
    CEngineTransaction transaction(engine);
    if (label == nullptr) {
      if (engine.Execute(sql.DeleteLinksOfArticle(article->articleid)) <= 0) return false;
      if (engine.Execute(sql.DeleteArticle(article->articleid)) <= 0) return false;
    } else {
      if (engine.Execute(sql.DeleteLink(article->articleid, label->labelid)) <= 0) return false;
      // By the links left, not by the count: the row goes with its last link.
      if (Recount(article->articleid) == 0) {
        if (engine.Execute(sql.DeleteArticle(article->articleid)) <= 0) return false;
        lastLabelGone = true;
      }
    }
    transaction.Commit();
    return true;
  });
  if (!deleted) return false;
  // Files go only once the row is gone for good, and only for the article
  // that lost its last label; without a label they stay on disk.
  if (lastLabelGone) {
    CArticle gone;
    gone.articleid = article->articleid;
    gone.type = article->type;
    gone.filename = article->filename;
    RemoveFilesOfGone({gone});
  }
  return true;
}

bool CCatalogueStore::ReplaceArticleLabels(int articleid, const std::vector<int>& labelids, int& failedLabel) {
  failedLabel = 0;
  return Guarded([&] {
    CCatalogueEngine& engine = Engine();
    const CCatalogueStatements sql(engine.Dialect());
    CEngineTransaction transaction(engine);
    engine.Execute(sql.DeleteLinksOfArticle(articleid));
    std::vector<int> written;
    for (int labelid : labelids) {
      if (std::find(written.begin(), written.end(), labelid) != written.end()) continue;
      // Stays set if the insert throws, so the caller can name the label.
      failedLabel = labelid;
      if (!InsertLink(articleid, labelid)) {
        SetLastDBError(u"文章的标签链接未能写入。");
        return false;
      }
      written.push_back(labelid);
    }
    failedLabel = 0;
    const long long changed = written.empty()
                                  ? engine.Execute(sql.DeleteArticle(articleid))
                                  : engine.Execute(sql.SetLabelCount(articleid, static_cast<int>(written.size())));
    if (changed <= 0) {
      // No such article: links to it must not stay behind.
      SetLastDBError(u"文章不存在。");
      return false;
    }
    transaction.Commit();
    return true;
  });
}

int CCatalogueStore::FileArticle(CArticle& article, int labelid) {
  int result = -1;
  Guarded([&] {
    CCatalogueEngine& engine = Engine();
    const CCatalogueStatements sql(engine.Dialect());
    // Other writers wait, as for a capture: two processes filing one article
    // at once must neither link it twice nor count past each other's link.
    CEngineTransaction transaction(engine, &engine.Dialect().article);
    if (AnyRow(sql.FindLink(article.articleid, labelid))) {
      result = 1;
      return true;
    }
    if (!InsertLink(article.articleid, labelid)) return false;
    const int links = Recount(article.articleid);
    CArticle pattern;
    pattern.articleid = article.articleid;
    if (!AnyRow(sql.QueryArticle(pattern, kArticleMaskID, false)))
      return false;  // no such article: the link goes again
    transaction.Commit();
    article.labels = links;
    result = 0;
    return true;
  });
  return result;
}

// ---- Subscriptions ----
// The feeds the user keeps, in a table of their own beside the four: one row
// per address. A catalogue made before the table gains it on first use.

namespace {

constexpr const char16_t* kNoSubscriptionUrl = u"未提供订阅的地址。";
constexpr const char16_t* kSubscribedAlready = u"已经订阅了这个地址。";

CSqlStatement SubscriptionStatement(std::initializer_list<std::u16string_view> parts) {
  std::u16string text;
  for (std::u16string_view part : parts) text += part;
  return CSqlStatement(text);
}

CSqlStatement& BindSubscription(CSqlStatement& statement, const CSubscription& s) {
  return statement.Text(s.url)
      .Text(s.title)
      .Int(s.labelid)
      .Text(s.etag)
      .Text(s.lastModified)
      .Int(s.lastFetched)
      .Text(s.lastError);
}

}  // namespace

void CCatalogueStore::EnsureSubscriptions() {
  if (m_subscriptionsReady) return;
  const CCatalogueDialect& d = Engine().Dialect();
  Engine().Execute(SubscriptionStatement(
      {u"CREATE TABLE IF NOT EXISTS ", d.subscription, u"(subscriptionid ", d.autoKey,
       u", url TEXT NOT NULL UNIQUE, title TEXT, labelid INTEGER DEFAULT 0, etag TEXT, lastmodified TEXT, lastfetched ",
       d.bigInt, u" DEFAULT 0, lasterror TEXT)"}));
  m_subscriptionsReady = true;
}

bool CCatalogueStore::AddSubscription(CSubscription& s) {
  if (s.url.empty()) {
    SetLastDBError(kNoSubscriptionUrl);
    return false;
  }
  return Guarded([&] {
    EnsureSubscriptions();
    CCatalogueEngine& engine = Engine();
    const CCatalogueDialect& d = engine.Dialect();
    CEngineTransaction transaction(engine, &d.subscription);
    // The unique address refuses a second row whoever inserts it; the look-up
    // first only gives the refusal its own words.
    if (AnyRow(SubscriptionStatement({u"SELECT subscriptionid FROM ", d.subscription, u" WHERE url=?"}).Text(s.url))) {
      SetLastDBError(kSubscribedAlready);
      return false;
    }
    CSqlStatement insert = SubscriptionStatement(
        {u"INSERT INTO ", d.subscription,
         u"(url,title,labelid,etag,lastmodified,lastfetched,lasterror) VALUES(?,?,?,?,?,?,?)"});
    std::optional<long long> id = engine.Insert(BindSubscription(insert, s), "subscriptionid");
    if (!id) return false;
    transaction.Commit();
    s.subscriptionid = static_cast<int>(*id);
    return true;
  });
}

bool CCatalogueStore::UpdateSubscription(const CSubscription& s) {
  return Guarded([&] {
    EnsureSubscriptions();
    CSqlStatement update = SubscriptionStatement(
        {u"UPDATE ", Engine().Dialect().subscription,
         u" SET url=?,title=?,labelid=?,etag=?,lastmodified=?,lastfetched=?,lasterror=? WHERE subscriptionid=?"});
    return Engine().Execute(BindSubscription(update, s).Int(s.subscriptionid)) > 0;
  });
}

bool CCatalogueStore::QuerySubscriptions(std::vector<CSubscription>& out) {
  return Guarded([&] {
    EnsureSubscriptions();
    std::vector<CSubscription> read;
    Engine().Rows(
        SubscriptionStatement({u"SELECT subscriptionid, url, title, labelid, etag, lastmodified, lastfetched, lasterror "
                               u"FROM ",
                               Engine().Dialect().subscription, u" ORDER BY subscriptionid"}),
        [&](CCatalogueFields row) {
          CSubscription s;
          s.subscriptionid = IntField(row, 0);
          s.url = TextField(row, 1);
          s.title = TextField(row, 2);
          s.labelid = IntField(row, 3);
          s.etag = TextField(row, 4);
          s.lastModified = TextField(row, 5);
          s.lastFetched = Int64Field(row, 6);
          s.lastError = TextField(row, 7);
          read.push_back(std::move(s));
        },
        [&] { read.clear(); });
    out.insert(out.end(), read.begin(), read.end());
    return true;
  });
}

bool CCatalogueStore::DeleteSubscription(int subscriptionid) {
  return Guarded([&] {
    EnsureSubscriptions();
    return Engine().Execute(SubscriptionStatement({u"DELETE FROM ", Engine().Dialect().subscription,
                                                   u" WHERE subscriptionid=?"})
                                .Int(subscriptionid)) > 0;
  });
}
