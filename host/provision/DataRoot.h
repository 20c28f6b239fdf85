#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/Records.h"

// Makes a folder into a data root that darulib can run on. The library only
// expects its DARU folder, the catalogue DARU/darudb and the type folders; it
// never creates them, so a host (or a test) provisions them first.
//
// A fresh data root gets the four catalogue tables, the article types "B"
// (folder web) and "A" (folder rss) with their folders, and the three fixed
// labels: the head label 1 (parent 0), the favourite-feeds label 2 and the
// default label 3, both under the head label. Provisioning an existing data
// root creates only what is missing: a table that exists keeps its rows and is
// not filled, and every type folder the catalogue names is made if absent.

namespace provision {

inline constexpr const char* kHeadLabelName = "我的资料库";
inline constexpr const char* kFavRSSLabelName = "收藏的频道";
inline constexpr const char* kDefaultLabelName = "未分类";
inline constexpr const char* kBrowserTypeFolder = "web";
inline constexpr const char* kFeedTypeFolder = "rss";

// True when the data root is ready; otherwise false with the reason in error
// (UTF-8), when given. created, when given, tells whether a catalogue table
// had to be made. Paths are UTF-8. A catalogue file its owner may not write
// is never written, whoever runs this.
bool ProvisionDataRoot(const std::filesystem::path& root, std::string* error = nullptr, bool* created = nullptr);

// The folders a catalogue names, below root/DARU, and the stylesheet, for a
// catalogue that lives elsewhere. Folders that would leave the DARU folder
// are skipped.
bool PrepareDataFolders(const std::filesystem::path& root, const std::vector<std::string>& typeFolders,
                        std::string* error = nullptr);

std::filesystem::path DaruFolder(const std::filesystem::path& root);     // root/DARU
std::filesystem::path CatalogueFile(const std::filesystem::path& root);  // root/DARU/darudb

}  // namespace provision
