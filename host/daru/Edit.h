#pragma once

#include <optional>
#include <string>

#include "daru/Command.h"

// daru edit: a stored article's title, keywords or description.
class EditCommand final : public Command {
 public:
  EditCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  ArticleIdArgument m_id;
  std::optional<std::string> m_newTitle;
  std::optional<std::string> m_keywords;
  std::optional<std::string> m_description;
};

// daru open: the article's link in the desktop's program for it (xdg-open).
class OpenCommand final : public Command {
 public:
  OpenCommand();
  void Define(CLI::App& cmd) override;
  void Check() override { m_id.Check(); }
  Report Run(Context& c) override;

 private:
  ArticleIdArgument m_id;
};
