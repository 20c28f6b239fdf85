#include "daru/Fetch.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>

#include "daru/Request.h"
#include "darulib.h"

namespace {

struct Body {
  std::string data;
  size_t limit = 0;
  bool tooLarge = false;
};

size_t Collect(char* bytes, size_t size, size_t count, void* user) {
  auto* body = static_cast<Body*>(user);
  const size_t n = size * count;
  if (body->data.size() + n > body->limit) {
    body->tooLarge = true;
    return 0;  // stops the transfer
  }
  body->data.append(bytes, n);
  return n;
}

struct EasyFree {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

std::string Megabytes(size_t bytes) { return std::to_string(bytes / (1024 * 1024)) + " MiB"; }

}  // namespace

bool IsFetchable(const std::string& address) {
  std::string head = address.substr(0, 8);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return head.rfind("http://", 0) == 0 || head.rfind("https://", 0) == 0;
}

CURL* NewFeedTransfer(const std::string& url, const FetchLimits& limits, char* error) {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CURL* c = curl_easy_init();
  if (c == nullptr) return nullptr;
  static const std::string agent = std::string("daru/") + DaruVersion();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, limits.maxRedirects);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, limits.timeoutSeconds);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, std::min(limits.timeoutSeconds, 15L));
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(c, CURLOPT_USERAGENT, agent.c_str());
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  return c;
}

std::string Fetch(const std::string& url, const FetchLimits& limits, std::string& finalUrl) {
  char error[CURL_ERROR_SIZE] = "";
  std::unique_ptr<CURL, EasyFree> curl(NewFeedTransfer(url, limits, error));
  if (!curl) throw HostError("cannot start a transfer");
  CURL* c = curl.get();
  Body body;
  body.limit = limits.maxBytes;
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);

  const CURLcode rc = curl_easy_perform(c);
  const std::string where = "cannot fetch " + url + ": ";
  if (body.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
    throw HostError(where + "the document is larger than " + Megabytes(limits.maxBytes));
  if (rc == CURLE_OPERATION_TIMEDOUT)
    throw HostError(where + "no complete answer within " + std::to_string(limits.timeoutSeconds) + " seconds");
  if (rc == CURLE_TOO_MANY_REDIRECTS)
    throw HostError(where + "more than " + std::to_string(limits.maxRedirects) + " redirects");
  if (rc == CURLE_UNSUPPORTED_PROTOCOL) throw HostError(where + "it redirects to an address that is not http or https");
  if (rc != CURLE_OK) throw HostError(where + (error[0] ? error : curl_easy_strerror(rc)));
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200 || status > 299)
    throw HostError(where + "the server answered with status " + std::to_string(status));
  char* effective = nullptr;
  curl_easy_getinfo(c, CURLINFO_EFFECTIVE_URL, &effective);
  finalUrl = effective ? effective : url;
  return std::move(body.data);
}
