#pragma once

#include <functional>
#include <string>
#include <vector>

#include "daru/Fetch.h"

// One feed to fetch, with the validators of its last fetch, and what came of it.
struct FeedFetch {
  enum class Outcome { Pending, Fetched, NotModified, Failed };

  std::string url;
  std::string etag;          // sent as If-None-Match when not empty
  std::string lastModified;  // sent as If-Modified-Since when not empty

  Outcome outcome = Outcome::Pending;
  std::string body;      // Fetched: the document, decoded
  std::string finalUrl;  // Fetched: the address after redirects
  std::string newEtag;   // Fetched: the validators the answer gave (empty when none)
  std::string newLastModified;
  std::string error;  // Failed: one line, why
};

// Fetches every feed at once over one libcurl multi handle, at most jobs
// transfers at a time, each under the limits Fetch keeps (http and https
// only, also after a redirect). A feed that answers 304 to its validators is
// NotModified and costs no body. progress, when given, hears after each
// transfer ends how many have ended. Never throws for one feed's failure.
void FetchFeeds(std::vector<FeedFetch>& feeds, int jobs, const FetchLimits& limits,
                const std::function<void(size_t done, size_t total)>& progress = {});
