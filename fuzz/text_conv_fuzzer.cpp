// UTF-16 text must survive the trip through UTF-8 exactly, and any byte string
// must decode without reading past its end.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/TextConv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::u16string decoded = FromUtf8(bytes);
  // Whatever the bytes were, what they decode to round-trips.
  if (FromUtf8(ToUtf8(decoded)) != decoded) std::abort();

  std::u16string units(size / 2, u'\0');
  for (size_t i = 0; i + 1 < size; i += 2) units[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  if (FromUtf8(ToUtf8(units)) != units) std::abort();
  return 0;
}
