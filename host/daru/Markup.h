#pragma once

#include <string>

// Text for the HTML and XML documents daru writes (the html, bookmark and
// OPML exports): the five markup characters as references, and control
// characters other than line ends and tabs, which XML 1.0 does not allow, as
// blanks.
std::string EscapeMarkup(const std::string& text);
