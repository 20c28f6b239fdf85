#pragma once

#include <string>

#include "daru/Command.h"

// The label tree and the commands that change it.

class LabelsCommand final : public Command {
 public:
  LabelsCommand();
  void Define(CLI::App&) override {}
  Report Run(Context& c) override;
};

class LabelAddCommand final : public Command {
 public:
  LabelAddCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  std::string m_name;
  std::string m_parent;
};

class LabelRenameCommand final : public Command {
 public:
  LabelRenameCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  std::string m_label;
  std::string m_name;
};

class LabelMoveCommand final : public Command {
 public:
  LabelMoveCommand();
  void Define(CLI::App& cmd) override;
  Report Run(Context& c) override;

 private:
  std::string m_label;
  std::string m_parent;
};

class LabelRemoveCommand final : public Command {
 public:
  LabelRemoveCommand();
  void Define(CLI::App& cmd) override;
  Report Run(Context& c) override;

 private:
  std::string m_label;
  bool m_yes = false;
};
