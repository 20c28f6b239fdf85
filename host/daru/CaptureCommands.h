#pragma once

#include "daru/Command.h"
#include "daru/Request.h"

// The capture commands: each fills a Request with its options and hands it
// to its handler (Save and Feed in CaptureCommands.cpp, Import in Import.cpp).

class SaveCommand final : public Command {
 public:
  SaveCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  Request m_request;
};

class FeedCommand final : public Command {
 public:
  FeedCommand();
  void Define(CLI::App& cmd) override;
  Report Run(Context& c) override;

 private:
  Request m_request;
};

class ImportCommand final : public Command {
 public:
  ImportCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  Request m_request;
};
