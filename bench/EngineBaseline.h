#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The engine on its own: the same rows, reads and file writes as darulib's
// operations, done through the sqlite3 C interface with statements prepared
// once and values bound, and the description file written with stdio. This
// is what each darulib figure is compared with.

namespace darubench {

// One article row as the engine gives it, kept the way a caller would keep it.
struct EngineArticle {
  std::int64_t articleid = 0;
  std::string filename, url, title, key1, type;
  int labels = 0, label = 0, version = 0;
  bool readflag = false, impflag = false;
  std::int64_t crdate = 0, brdate = 0, lmdate = 0;
};

struct EngineLabel {
  int labelid = 0;
  std::string name;
  int toplayer = 0;
  EngineLabel* parent = nullptr;
  EngineLabel* nextSibling = nullptr;
  EngineLabel* firstChild = nullptr;
};

class EngineCatalogue {
 public:
  // Opens the catalogue of the data root with the given synchronous setting
  // (the journal mode is the file's own).
  EngineCatalogue(const std::filesystem::path& dataRoot, int synchronous);
  ~EngineCatalogue();
  EngineCatalogue(const EngineCatalogue&) = delete;
  EngineCatalogue& operator=(const EngineCatalogue&) = delete;

  // A new page: digest of the link, duplicate check, the row and its link in
  // one transaction, then the description file in the folder of type "B".
  // Returns the new article id, or 0 when the link was already stored.
  std::int64_t Capture(int labelid, const std::string& url, const std::string& title);
  // A stored link under a further label: duplicate check, link check, the
  // link and the row's new count, each committed on its own. True when filed.
  bool FileUnder(int labelid, const std::string& url);
  // Every article of the label, or whose title holds the text.
  std::vector<EngineArticle> LabelArticles(int labelid);
  std::vector<EngineArticle> SearchTitle(const std::string& text);
  // The label, its links and the articles left without a label, in one transaction.
  bool DeleteLabel(int labelid);
  // Writes the article's changeable fields back, committed on its own.
  bool UpdateArticle(const EngineArticle& article);
  // A new label without articles below the head label; its id.
  int AddEmptyLabel();
  // All labels, linked into their hierarchy.
  std::vector<EngineLabel> LoadLabels();

  // What darulib writes as the description file of a new page.
  static std::string DescriptionXml(const std::string& title, const std::string& url, const std::string& filename);

 private:
  sqlite3_stmt* Prepare(const char* sql);
  void Run(sqlite3_stmt* stmt);
  void ReadArticles(sqlite3_stmt* stmt, std::vector<EngineArticle>& out);
  bool FindByFilename(const std::string& filename, EngineArticle& out);

  sqlite3* m_db = nullptr;  // owned
  std::filesystem::path m_webFolder;
  bool m_syncFiles;  // synchronous FULL: description files are synced too
  std::vector<sqlite3_stmt*> m_statements;  // owned, finalized with the connection
  sqlite3_stmt* m_begin;                    // borrowed from m_statements, as are the rest
  sqlite3_stmt* m_commit;
  sqlite3_stmt* m_rollback;
  sqlite3_stmt* m_byFilename;
  sqlite3_stmt* m_insertArticle;
  sqlite3_stmt* m_insertLink;
  sqlite3_stmt* m_findLink;
  sqlite3_stmt* m_updateArticle;
  sqlite3_stmt* m_labelArticles;
  sqlite3_stmt* m_searchTitle;
  sqlite3_stmt* m_deleteLabel;
  sqlite3_stmt* m_labelLinks;
  sqlite3_stmt* m_decrement;
  sqlite3_stmt* m_deleteOrphans;
  sqlite3_stmt* m_deleteLinks;
  sqlite3_stmt* m_labels;
};

}  // namespace darubench
