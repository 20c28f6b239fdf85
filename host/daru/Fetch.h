#pragma once

#include <string>

struct FetchLimits {
  long timeoutSeconds = 30;            // the whole transfer, redirects included
  size_t maxBytes = 16 * 1024 * 1024;  // the body after decoding
  long maxRedirects = 5;
};

// True for the addresses Fetch accepts: http:// and https://.
bool IsFetchable(const std::string& address);

// Fetches an http or https address and returns the body. Throws HostError
// with a one-line reason on any failure: a status other than 2xx, a timeout,
// a body beyond the limit, too many redirects, a redirect to another scheme.
std::string Fetch(const std::string& url, const FetchLimits& limits, std::string& finalUrl);
