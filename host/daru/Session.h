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
nlohmann::json ArticleJson(const CArticle& article);
// What people call an article type: "page", "feed item", else the code itself.
std::string TypeName(const std::u16string& type);
