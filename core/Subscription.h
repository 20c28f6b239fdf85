#pragma once

#include <string>

// A feed the user keeps: its address, the label its items go to, and what
// the last fetch left behind. Kept in the catalogue beside the labels and
// articles, so a shared catalogue shares the subscriptions too.
struct CSubscription {
  int subscriptionid = 0;  // assigned by the store on insert
  std::u16string url;      // the feed's own address, as subscribed
  std::u16string title;    // the channel's title, once a fetch gave one
  int labelid = 0;         // where its items go; 0 until the first items made the channel label
  std::u16string etag;     // validators of the last complete fetch, sent back on the next
  std::u16string lastModified;
  long long lastFetched = 0;  // seconds since the epoch of the last attempt; 0 never
  std::u16string lastError;   // why the last attempt failed; empty when it did not
};
