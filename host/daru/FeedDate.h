#pragma once

#include <optional>
#include <string>

// The moment a feed's date text names, in seconds since the epoch (UTC).
// Reads the dates feeds write: RFC 822 (as RSS 2.0 has it, "Tue, 10 Jun 2003
// 04:00:00 GMT", two-digit years and the old zone names included) and RFC
// 3339 (Atom and Dublin Core, "2003-12-13T18:30:02.25+01:00", also a bare
// date). The zone counts; a date without one is taken as UTC. nullopt for
// anything else, and for a day or time that does not exist.
std::optional<long long> ParseFeedDate(const std::string& text);
