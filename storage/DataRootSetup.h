#pragma once

#include <string>
#include <vector>

#include "base/DaruApi.h"

// Making a folder into a data root that darulib can run on. The library
// itself only expects its DARU folder, the catalogue DARU/darudb and the type
// folders; an integrator's program calls DaruCreateDataRoot once before the
// first CDARU::Init (daru init does the same).
//
// A fresh data root gets the four catalogue tables (write-ahead log), the
// article types "B" (folder web) and "A" (folder rss) with their folders, the
// three fixed labels (the head label 1, the favourite feeds 2 and the default
// label 3 below it) and the stylesheet DARU/default.xslt that description
// files point at. On an existing data root only what is missing is made: a
// table that exists keeps its rows, a stylesheet that exists is kept.

inline constexpr const char* kHeadLabelName = "我的资料库";
inline constexpr const char* kFavRSSLabelName = "收藏的频道";
inline constexpr const char* kDefaultLabelName = "未分类";
inline constexpr const char* kBrowserTypeFolder = "web";
inline constexpr const char* kFeedTypeFolder = "rss";

// True when the data root (a folder path, UTF-16) is ready; otherwise false
// with the reason in error, when given. created, when given, tells whether a
// catalogue table had to be made. A catalogue file its owner may not write is
// never written, whoever runs this.
DARU_API bool DaruCreateDataRoot(const std::u16string& root, std::u16string* error = nullptr, bool* created = nullptr);

// Only the type folders named (below root/DARU, those that would leave it are
// skipped) and the stylesheet: for a catalogue that lives elsewhere, such as
// an ODBC data source.
DARU_API bool DaruPrepareDataFolders(const std::u16string& root, const std::vector<std::u16string>& typeFolders,
                                     std::u16string* error = nullptr);
