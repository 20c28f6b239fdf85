#pragma once

#include "daru/Command.h"

// The commands that work on the data root as a whole.

class InitCommand final : public Command {
 public:
  InitCommand();
  void Define(CLI::App&) override {}
  bool OpensCatalogue() const override { return false; }
  Report Run(Context& c) override;
};

class CheckCommand final : public Command {
 public:
  CheckCommand();
  void Define(CLI::App& cmd) override;
  bool OpensCatalogue() const override { return false; }
  Report Run(Context& c) override;

 private:
  bool m_repair = false;
};

class UiCommand final : public Command {
 public:
  UiCommand();
  void Define(CLI::App&) override {}
  bool OpensCatalogue() const override { return false; }
  Report Run(Context& c) override;
};
