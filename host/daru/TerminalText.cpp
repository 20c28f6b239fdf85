#include "daru/TerminalText.h"

std::string TerminalSafe(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t pending = 0;  // continuation bytes the character in hand still expects
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80 && c <= 0xBF) {
      if (pending == 0) {
        out.push_back('?');
      } else {
        out.push_back(static_cast<char>(c));
        --pending;
      }
      continue;
    }
    // A character cut short is no character: drop what was kept of it.
    if (pending > 0) {
      while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
      if (!out.empty() && static_cast<unsigned char>(out.back()) >= 0xC0) out.back() = '?';
      pending = 0;
    }
    if (c < 0x20 || c == 0x7F) {
      out.push_back(' ');
    } else if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out.push_back(' ');  // U+0080 to U+009F: the C1 controls, CSI and OSC among them
      ++i;
    } else if (c >= 0xC2 && c <= 0xF4) {
      out.push_back(static_cast<char>(c));
      pending = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    } else {
      out.push_back('?');
    }
  }
  if (pending > 0) {
    while (!out.empty() && (static_cast<unsigned char>(out.back()) & 0xC0) == 0x80) out.pop_back();
    if (!out.empty()) out.back() = '?';
  }
  return out;
}
