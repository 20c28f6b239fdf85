#pragma once

#include <string>
#include <vector>

#include "daru/Output.h"
#include "daru/Session.h"

// OPML 2.0, the list of subscriptions feed readers exchange.

// True when the document's root element is opml.
bool IsOpml(const std::string& bytes);

// Keeps a subscription for each outline with a feed address; outline folders
// become labels below the favourite feeds (or below label), and a feed's
// items go to its folder's label. Feeds outside any folder get their
// channel's label at their first update. Nothing is fetched: 'daru update'
// does that.
Report ImportOpml(Session& s, const std::string& bytes, const std::string& label, std::vector<std::string>& warnings);

// The subscriptions as OPML 2.0, their labels as folders: a feed filed under
// its own channel label stands outside any folder.
std::string OpmlDocument(Session& s);
