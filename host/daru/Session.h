#pragma once

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "daru/StoreChoice.h"
#include "darulib.h"

// One run of the host against a data root: the facade opened on its catalogue,
// and the look-ups every command needs. Destroying it closes the catalogue.
class Session {
 public:
  explicit Session(const std::filesystem::path& root, const StoreChoice& store = {});
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CDARU* Daru() { return m_daru.get(); }
  CLabelTree* Tree() { return m_tree; }
  const std::filesystem::path& Root() const { return m_root; }

  // The store's reason for the last failure, or the fallback when it gave none.
  std::string LastError(const std::string& fallback);

  // A label by id, or by name when the reference is not a number.
  CLabel* ResolveLabel(const std::string& reference);
  // The label new pages go to when none is named: the default label, else the head.
  CLabel* DefaultLabel();
  // The article with the id; it belongs to the facade's result list and lives
  // until the next query.
  CArticle* FindArticle(long long id);
  // Releases an article the facade handed over, unless its result list owns it.
  void Release(CArticle* article);
  // The labels an article is filed under. Runs queries: the result list is replaced.
  std::vector<CLabel*> LabelsOf(int articleid);
  // Articles filed under the label; -1 when the query fails.
  int CountArticles(CLabel* label);

 private:
  std::filesystem::path m_root;
  std::unique_ptr<CDARU> m_daru;  // owned: the facade singleton, destroyed with the session
  CLabelTree* m_tree = nullptr;   // borrowed from the facade
};

nlohmann::json LabelJson(const CLabel* label);
// An article's catalogue fields. Times are ISO 8601 with the local offset
// ("created", "read_at"; null when unset) with the library's text form beside
// them ("created_text", "read_at_text").
nlohmann::json ArticleJson(const CArticle& article);
// A feed item's data; "published" is ISO 8601 when the feed's date parses
// (RFC 822 or RFC 3339), null otherwise, and "published_text" as the feed gave it.
nlohmann::json FeedJson(const CRSSSubItem& item);
// A stored text (description, comment) for JSON: line ends as "\n" only,
// whichever editor wrote them.
std::string TextJson(const std::u16string& text);
// Seconds since the epoch as ISO 8601 in local time with its offset.
std::string IsoTime(long long seconds);
// A feed's publication date as ISO 8601, or empty when it does not parse.
std::string IsoFeedDate(const std::string& text);
// What people call an article type: "page", "feed item", else the code itself.
std::string TypeName(const std::u16string& type);
