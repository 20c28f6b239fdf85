#pragma once

#include <string>
#include <vector>

#include "daru/Command.h"

// The commands that list, show, mark and remove stored articles.

class ListCommand final : public Command {
 public:
  ListCommand();
  void Define(CLI::App& cmd) override;
  Report Run(Context& c) override;

 private:
  std::string m_label;
};

class SearchCommand final : public Command {
 public:
  SearchCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  std::vector<std::string> m_words;  // searched as one text, blank-separated
  std::string m_text;
  bool m_keywords = false;
  bool m_exact = false;
};

class ShowCommand final : public Command {
 public:
  ShowCommand();
  void Define(CLI::App& cmd) override;
  void Check() override { m_id.Check(); }
  Report Run(Context& c) override;

 private:
  ArticleIdArgument m_id;
  bool m_html = false;
};

class MarkCommand final : public Command {
 public:
  MarkCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  std::vector<std::string> m_words;  // ids and one state, in any order
  std::vector<long long> m_ids;
  std::string m_state;  // read, unread, important or unimportant
};

class CommentCommand final : public Command {
 public:
  CommentCommand();
  void Define(CLI::App& cmd) override;
  void Check() override { m_id.Check(); }
  Report Run(Context& c) override;

 private:
  ArticleIdArgument m_id;
  std::string m_text;
};

class RemoveCommand final : public Command {
 public:
  RemoveCommand();
  void Define(CLI::App& cmd) override;
  void Check() override { m_id.Check(); }
  Report Run(Context& c) override;

 private:
  ArticleIdArgument m_id;
  std::string m_label;
};
