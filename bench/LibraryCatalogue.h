#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CatalogueGenerator.h"

class CArticle;
class CDARU;
class CLabel;

// darulib's side of every workload, through the facade as the windows use it,
// on its own working copy of a catalogue. The facade is a singleton and the
// data root process-wide, so one object lives at a time.
namespace darubench {

class LibraryCatalogue {
 public:
  LibraryCatalogue(const std::filesystem::path& cached, const std::filesystem::path& workFolder,
                   const std::string& name, const std::string& journalMode);
  // Opens a working copy that the caller keeps, so that two catalogues can
  // take turns without being copied again.
  explicit LibraryCatalogue(const WorkingRoot& root);
  ~LibraryCatalogue();
  LibraryCatalogue(const LibraryCatalogue&) = delete;
  LibraryCatalogue& operator=(const LibraryCatalogue&) = delete;

  // The journal mode a freshly provisioned catalogue has, upper case.
  static std::string ProvisionedJournalMode();

  // The library connection's synchronous setting (0 to 3).
  int Synchronous();

  // A new page under the label, with its description file.
  bool Capture(int labelid, const std::string& url, const std::string& title);
  // A stored link filed under a further label.
  bool FileUnder(int labelid, const std::string& url, const std::string& title);
  // Writes the description file of the stored article with the link, as its
  // capture left it: the generated catalogues hold rows only.
  bool WriteDescriptionFile(const std::string& url);
  // A new label without articles below the head label; its id.
  int AddEmptyLabel();

  // The label's articles become the listing; their number, or -1.
  int QueryLabel(int labelid);
  // The articles whose title holds the text become the listing.
  int SearchTitle(const std::string& text);
  // The label hierarchy, loaded afresh; the number of labels.
  int LoadLabels();
  bool DeleteLabel(int labelid);
  // Flips the read flag of the i-th listed article and stores it; 1 when stored.
  int FlipReadFlag(int i);
  // UTF-16 bytes of the listed articles' stored texts.
  std::size_t ListedTextBytes();

 private:
  void Open();
  CLabel* Label(int labelid);

  std::unique_ptr<WorkingRoot> m_ownRoot;  // owned when this object made the copy
  const WorkingRoot* m_root;               // borrowed, or m_ownRoot
  CDARU* m_daru = nullptr;                 // the facade singleton; destroyed with this object
  std::vector<CArticle*> m_listing;        // borrowed: the facade's result list
};

}  // namespace darubench
