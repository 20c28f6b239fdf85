#pragma once

#include <string>
#include <vector>

#include "daru/Output.h"
#include "daru/Request.h"
#include "daru/Session.h"

// daru edit: a stored article's title, keywords or description.
Report Edit(Session& s, const Request& r, std::vector<std::string>& warnings);

// daru open: the article's link in the desktop's program for it (xdg-open).
Report Open(Session& s, const Request& r);
