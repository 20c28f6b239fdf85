#include "daru/FeedUpdate.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace {

// One transfer in flight: its handle and what it collects.
struct Transfer {
  FeedFetch* feed = nullptr;      // borrowed from the caller's list
  CURL* easy = nullptr;           // owned
  curl_slist* headers = nullptr;  // owned
  size_t limit = 0;
  bool tooLarge = false;
  std::string etag, lastModified;
  char error[CURL_ERROR_SIZE] = "";

  Transfer() = default;
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;
  ~Transfer() {
    if (easy) curl_easy_cleanup(easy);
    curl_slist_free_all(headers);
  }
};

size_t Collect(char* bytes, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->feed->body.size() + n > t->limit) {
    t->tooLarge = true;
    return 0;  // stops the transfer
  }
  t->feed->body.append(bytes, n);
  return n;
}

std::string TrimmedValue(const std::string& line, size_t from) {
  size_t b = line.find_first_not_of(" \t", from);
  if (b == std::string::npos) return "";
  size_t e = line.find_last_not_of(" \t\r\n");
  return line.substr(b, e - b + 1);
}

// The validators of the last answer: a redirect's own headers come first and are forgotten.
size_t Header(char* bytes, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  std::string line(bytes, n);
  std::string lower = line.substr(0, std::min<size_t>(line.size(), 16));
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower.rfind("http/", 0) == 0) {
    t->etag.clear();
    t->lastModified.clear();
  } else if (lower.rfind("etag:", 0) == 0) {
    t->etag = TrimmedValue(line, 5);
  } else if (lower.rfind("last-modified:", 0) == 0) {
    t->lastModified = TrimmedValue(line, 14);
  }
  return n;
}

std::string Megabytes(size_t bytes) { return std::to_string(bytes / (1024 * 1024)) + " MiB"; }

// Header values come from the catalogue: no line breaks may reach the request.
bool SafeHeaderValue(const std::string& v) {
  return !v.empty() && v.size() < 1024 &&
         std::none_of(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

std::unique_ptr<Transfer> Start(FeedFetch& feed, const FetchLimits& limits) {
  auto t = std::make_unique<Transfer>();
  t->feed = &feed;
  t->limit = limits.maxBytes;
  t->easy = NewFeedTransfer(feed.url, limits, t->error);
  if (!t->easy) return nullptr;
  CURL* c = t->easy;
  if (SafeHeaderValue(feed.etag)) t->headers = curl_slist_append(t->headers, ("If-None-Match: " + feed.etag).c_str());
  if (SafeHeaderValue(feed.lastModified))
    t->headers = curl_slist_append(t->headers, ("If-Modified-Since: " + feed.lastModified).c_str());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, t.get());
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, Header);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, t.get());
  if (t->headers) curl_easy_setopt(c, CURLOPT_HTTPHEADER, t->headers);
  return t;
}

void Finish(Transfer& t, CURLcode rc, const FetchLimits& limits) {
  FeedFetch& f = *t.feed;
  auto fail = [&](const std::string& why) {
    f.outcome = FeedFetch::Outcome::Failed;
    f.error = why;
    f.body.clear();
  };
  if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
    return fail("the document is larger than " + Megabytes(limits.maxBytes));
  if (rc == CURLE_OPERATION_TIMEDOUT)
    return fail("no complete answer within " + std::to_string(limits.timeoutSeconds) + " seconds");
  if (rc == CURLE_TOO_MANY_REDIRECTS) return fail("more than " + std::to_string(limits.maxRedirects) + " redirects");
  if (rc == CURLE_UNSUPPORTED_PROTOCOL) return fail("it redirects to an address that is not http or https");
  if (rc != CURLE_OK) return fail(t.error[0] ? t.error : curl_easy_strerror(rc));
  long status = 0;
  curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
  if (status == 304) {
    f.outcome = FeedFetch::Outcome::NotModified;
    f.body.clear();
    return;
  }
  if (status < 200 || status > 299) return fail("the server answered with status " + std::to_string(status));
  char* effective = nullptr;
  curl_easy_getinfo(t.easy, CURLINFO_EFFECTIVE_URL, &effective);
  f.finalUrl = effective ? effective : f.url;
  f.newEtag = t.etag;
  f.newLastModified = t.lastModified;
  f.outcome = FeedFetch::Outcome::Fetched;
}

struct MultiFree {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

}  // namespace

void FetchFeeds(std::vector<FeedFetch>& feeds, int jobs, const FetchLimits& limits,
                const std::function<void(size_t, size_t)>& progress) {
  const size_t total = feeds.size();
  size_t next = 0, done = 0;
  auto failAll = [&](const std::string& why) {
    for (FeedFetch& f : feeds)
      if (f.outcome == FeedFetch::Outcome::Pending) {
        f.outcome = FeedFetch::Outcome::Failed;
        f.error = why;
      }
  };
  std::unique_ptr<CURLM, MultiFree> multi(curl_multi_init());
  if (!multi) return failAll("cannot start a transfer");
  jobs = std::max(1, jobs);
  // Idle connections are kept for feeds of the same server.
  curl_multi_setopt(multi.get(), CURLMOPT_MAX_TOTAL_CONNECTIONS, static_cast<long>(jobs));
  std::vector<std::unique_ptr<Transfer>> running;

  auto ended = [&] {
    ++done;
    if (progress) progress(done, total);
  };
  auto fill = [&] {
    while (running.size() < static_cast<size_t>(jobs) && next < feeds.size()) {
      FeedFetch& f = feeds[next++];
      f.outcome = FeedFetch::Outcome::Pending;
      f.body.clear();
      std::unique_ptr<Transfer> t = Start(f, limits);
      if (!t || curl_multi_add_handle(multi.get(), t->easy) != CURLM_OK) {
        f.outcome = FeedFetch::Outcome::Failed;
        f.error = "cannot start a transfer";
        ended();
        continue;
      }
      running.push_back(std::move(t));
    }
  };

  fill();
  while (!running.empty()) {
    int still = 0;
    if (curl_multi_perform(multi.get(), &still) != CURLM_OK) break;
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
      if (msg->msg != CURLMSG_DONE) continue;
      auto at = std::find_if(running.begin(), running.end(),
                             [&](const std::unique_ptr<Transfer>& t) { return t->easy == msg->easy_handle; });
      if (at == running.end()) continue;
      const CURLcode rc = msg->data.result;
      curl_multi_remove_handle(multi.get(), (*at)->easy);
      Finish(**at, rc, limits);
      running.erase(at);
      ended();
    }
    fill();
    if (running.empty()) break;
    curl_multi_poll(multi.get(), nullptr, 0, 200, nullptr);
  }
  for (std::unique_ptr<Transfer>& t : running) curl_multi_remove_handle(multi.get(), t->easy);
  failAll("the transfers stopped");
}
