#pragma once

// What import_bench and update_bench share: fresh data roots, the feed of
// 1,000 items both file, and the side they are measured against: the same
// items captured one by one through the facade, with the requests daru's
// filing builds for new feed items.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "daru/FeedParser.h"

namespace darubench {

// A feed of the size and shape of a busy channel's archive.
std::string FeedOfItems(int items);

// A new data root, numbered, below the work folder.
std::filesystem::path FreshRoot(const std::filesystem::path& work);

double SecondsSince(std::chrono::steady_clock::time_point since);
double Median(std::vector<double> values);

// The feed's items captured one by one into a fresh data root below work;
// the seconds it took. Throws when a capture does not store a new article.
double CaptureItemsOneByOne(const ParsedFeed& feed, const std::filesystem::path& work);

}  // namespace darubench
