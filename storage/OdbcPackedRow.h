#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "storage/OdbcConnection.h"

// Rows of many fields asked for as one text each, split back into their
// fields.
//
// Splits a row that the engine gave as one JSON array (SQLite's json_array)
// back into its fields: a string with its escapes undone, a number as its
// text, null as NULL. The fields view row and decoded, which must outlive
// them; decoded is reused and holds only the strings that had escapes.
// False when the text is no flat array of strings, numbers and nulls.
bool SplitJsonRow(std::string_view row, std::vector<COdbcField>& fields, std::string& decoded);

// The same for a row that PostgreSQL gave as the text of a row value
// (ROW(...)): "(1,name,\"with space\",,...)", an empty field NULL, a
// quoted one text with its quotes and backslashes doubled.
bool SplitRecordRow(std::string_view row, std::vector<COdbcField>& fields, std::string& decoded);
