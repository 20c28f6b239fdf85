#pragma once

#include <string>

#include "daru/Command.h"

// daru export: the articles of a label's branch, or of the whole library,
// with their labels, times, marks, description and comment, as JSON, as one
// HTML page, or as a Netscape bookmark file that browsers and daru import.
class ExportCommand final : public Command {
 public:
  ExportCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  std::string m_label;
  std::string m_format;  // json, html or bookmarks
};
