// Any bytes as one packed row from a catalogue server (a JSON array from the
// SQLite driver, a row value's text from PostgreSQL): splitting it never
// crashes, and every field it yields lies inside the row or inside the
// buffer of undone escapes, never beyond either.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "storage/OdbcPackedRow.h"

namespace {

bool Inside(std::string_view field, std::string_view buffer) {
  return field.empty() ||
         (field.data() >= buffer.data() && field.data() + field.size() <= buffer.data() + buffer.size());
}

void Check(bool split, const std::vector<COdbcField>& fields, std::string_view row, const std::string& decoded) {
  if (!split) return;
  for (const COdbcField& f : fields) {
    if (f.IsNull()) continue;
    if (!Inside(f.text, row) && !Inside(f.text, decoded)) std::abort();
    // Reading every byte lets the address checker see a view that escaped.
    volatile char sink = 0;
    for (char c : f.text) sink = static_cast<char>(sink ^ c);
    (void)f.Int();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Copied to a buffer of exactly its size, so that a read past the row's end is caught.
  std::vector<char> bytes(data, data + size);
  const std::string_view row(bytes.data(), bytes.size());
  std::vector<COdbcField> fields;
  std::string decoded;
  Check(SplitJsonRow(row, fields, decoded), fields, row, decoded);
  Check(SplitRecordRow(row, fields, decoded), fields, row, decoded);
  return 0;
}
