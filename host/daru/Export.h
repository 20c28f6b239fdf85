#pragma once

#include <string>
#include <vector>

#include "daru/Output.h"
#include "daru/Request.h"
#include "daru/Session.h"

// daru export: the articles of a label's branch, or of the whole library,
// with their labels, times, marks, description and comment, as JSON, as one
// HTML page, or as a Netscape bookmark file that browsers and daru import.
Report Export(Session& s, const Request& r, std::vector<std::string>& warnings);
