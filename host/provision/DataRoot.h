#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/TextConv.h"
#include "core/Records.h"
#include "storage/DataRootSetup.h"

// The host's and the tests' way to the library's data-root provisioning
// (storage/DataRootSetup.h), with paths and messages in UTF-8. Inline, so
// that each program takes the library it links: the shared one or, in the
// tests, the static one.

namespace provision {

inline constexpr const char* kHeadLabelName = ::kHeadLabelName;
inline constexpr const char* kFavRSSLabelName = ::kFavRSSLabelName;
inline constexpr const char* kDefaultLabelName = ::kDefaultLabelName;
inline constexpr const char* kBrowserTypeFolder = ::kBrowserTypeFolder;
inline constexpr const char* kFeedTypeFolder = ::kFeedTypeFolder;

inline std::filesystem::path DaruFolder(const std::filesystem::path& root) { return root / "DARU"; }
inline std::filesystem::path CatalogueFile(const std::filesystem::path& root) { return DaruFolder(root) / "darudb"; }

// True when the data root is ready; otherwise false with the reason in error
// (UTF-8), when given. created, when given, tells whether a catalogue table
// had to be made.
inline bool ProvisionDataRoot(const std::filesystem::path& root, std::string* error = nullptr,
                              bool* created = nullptr) {
  std::u16string text;
  const bool ok = DaruCreateDataRoot(FromUtf8(root.string()), &text, created);
  if (!ok && error) *error = ToUtf8(text);
  return ok;
}

// The folders a catalogue names, below root/DARU, and the stylesheet, for a
// catalogue that lives elsewhere.
inline bool PrepareDataFolders(const std::filesystem::path& root, const std::vector<std::string>& typeFolders,
                               std::string* error = nullptr) {
  std::vector<std::u16string> folders;
  for (const std::string& folder : typeFolders) folders.push_back(FromUtf8(folder));
  std::u16string text;
  const bool ok = DaruPrepareDataFolders(FromUtf8(root.string()), folders, &text);
  if (!ok && error) *error = ToUtf8(text);
  return ok;
}

}  // namespace provision
