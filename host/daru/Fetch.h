#pragma once

#include <curl/curl.h>

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

// The one transfer policy of daru's fetches, single or many at once: curl set
// up once per process; only http and https, also after a redirect (a feed
// must not send us to file:// or elsewhere); the limits; any content
// encoding; daru's user agent; curl's reason written into error, which must
// live as long as the transfer (CURL_ERROR_SIZE bytes).
CURL* NewFeedTransfer(const std::string& url, const FetchLimits& limits, char* error);
