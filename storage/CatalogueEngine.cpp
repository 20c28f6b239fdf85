#include "storage/CatalogueEngine.h"

#include <charconv>
#include <climits>
#include <cstdlib>

long long CCatalogueField::Int() const {
  if (kind == Kind::Number) return number;
  // Most fields are plain decimals; from_chars reads them at once.
  if (!text.empty() && (text[0] == '-' || (text[0] >= '0' && text[0] <= '9'))) {
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc()) return value;
    if (ec == std::errc::result_out_of_range) return text[0] == '-' ? LLONG_MIN : LLONG_MAX;
    return 0;
  }
  // Anything else (spaces, a sign) as strtoll reads it; such fields are rare.
  return std::strtoll(std::string(text).c_str(), nullptr, 10);
}

std::string CCatalogueField::Text() const {
  if (kind == Kind::Number) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
    return std::string(digits, end);
  }
  return std::string(text);
}
