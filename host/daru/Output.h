#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

// What a command hands back: the data, and which way people should see it.
// Scripts get the data itself as JSON.
struct Report {
  enum class Kind { Message, Labels, Articles, Article, Raw, Findings, Document };
  Kind kind = Kind::Message;
  nlohmann::json data =
      nlohmann::json::object();  // "message" for Kind::Message, "text" (printed as is) for Kind::Raw and Kind::Document
  int status = 0;                // the program's exit status once the report is printed
};

void PrintReport(const Report& report, bool json, std::ostream& out);

// A report that lists things (articles, labels, feeds): scripts find how many
// in "count", whatever the command.
Report Listing(Report::Kind kind, nlohmann::json data, size_t count);

// Columns on a terminal: East Asian wide characters take two, combining marks none.
size_t DisplayWidth(const std::string& utf8);
