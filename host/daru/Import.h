#pragma once

#include <string>
#include <vector>

#include "daru/Output.h"
#include "daru/Request.h"
#include "daru/Session.h"

// daru import: the items of an RSS 2.0, RSS 1.0 or Atom 1.0 feed, or the
// bookmarks of a bookmark file, from a file or an http(s) address.
Report Import(Session& s, const Request& r, std::vector<std::string>& warnings);
