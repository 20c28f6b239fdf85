#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Builds benchmark catalogues reproducibly, straight with sqlite3 on a data
// root made by the host's provisioning, and hands out working copies of them.
// A catalogue is generated once per shape and kept under the cache folder;
// every run of the benchmarks then starts from the same bytes.

namespace darubench {

// The label that holds kBigLabelArticles articles (or every article of a
// smaller catalogue); the label queries, the label delete and the mark-read
// workload use it.
inline constexpr int kBigLabelId = 10;
inline constexpr int kBigLabelArticles = 10000;
// A word that about one title in a hundred holds, and no other word contains.
inline constexpr const char* kSearchWord = "quasar";
inline constexpr int kSearchWordPerMille = 10;

struct CatalogueShape {
  int articles;
  int labels;
  std::string Name() const;
};

// The generated article row, as the generator wrote it (UTF-8). The benchmarks
// use these to capture links that are new or already stored.
struct GeneratedArticle {
  std::string url;
  std::string title;
};

// Link and title of the n-th article of any catalogue shape (n from 0); the
// same n gives the same link in every shape.
GeneratedArticle ArticleText(std::uint64_t n);
// Link and title for a capture that no catalogue holds.
GeneratedArticle FreshArticleText(std::uint64_t n);

// The folder that holds the generated data root of the shape (with DARU/darudb
// and the type folders), generating it when the cache does not have it yet.
// Throws std::runtime_error when it cannot.
std::filesystem::path CachedCatalogue(const std::filesystem::path& cacheFolder, const CatalogueShape& shape);

// A copy of a cached data root, in journal mode "DELETE" or "WAL", removed
// with everything in it when the object goes.
class WorkingRoot {
 public:
  WorkingRoot(const std::filesystem::path& cached, const std::filesystem::path& workFolder, const std::string& name,
              const std::string& journalMode);
  ~WorkingRoot();
  WorkingRoot(const WorkingRoot&) = delete;
  WorkingRoot& operator=(const WorkingRoot&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path catalogue() const { return m_path / "DARU" / "darudb"; }
  // A module file name whose folder is this data root.
  std::u16string ModuleFile() const;

 private:
  std::filesystem::path m_path;
};

// Hex MD5 of the bytes, as the library names article folders.
std::string Md5Hex(const std::string& bytes);

}  // namespace darubench
