#pragma once

#include <cctype>
#include <string>

// The one rule for the links that daru open and daru ui hand to the
// desktop's opener (xdg-open): web and FTP addresses only. Any other scheme
// may start a program (a file: link to a .desktop file, a custom
// x-scheme-handler) or run a script (javascript:, vbscript:, data:).
// Header-only, so that both hosts use it without linking each other.

// Empty when the link may be opened; otherwise why not, in words.
inline std::string WhyLinkIsNotOpened(const std::string& link) {
  const size_t colon = link.find(':');
  std::string scheme = colon == std::string::npos ? "" : link.substr(0, colon);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool web = scheme == "http" || scheme == "https" || scheme == "ftp";
  if (web && link.compare(colon, 3, "://") == 0 && link.size() > colon + 3) {
    // Blanks and control characters make no address; the opener would read them its own way.
    for (char c : link)
      if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return "it holds blanks or control characters";
    return "";
  }
  if (web) return "it is no complete " + scheme + " address";
  if (scheme.empty()) return "it names no scheme such as https:";
  bool plain = std::isalpha(static_cast<unsigned char>(scheme[0])) != 0;
  for (char c : scheme)
    plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.');
  return (plain ? "its scheme '" + scheme + ":'" : std::string("its scheme")) +
         " may start a program or run a script; only http, https and ftp links are opened";
}

inline bool IsOpenableLink(const std::string& link) { return WhyLinkIsNotOpened(link).empty(); }
