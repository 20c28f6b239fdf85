#pragma once

#include <string>
#include <vector>

#include "daru/Command.h"

// daru subscribe, feeds, unsubscribe and update (the work is in Subscriptions.*).

class SubscribeCommand final : public Command {
 public:
  SubscribeCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  std::string m_url;
  std::string m_label;
  long m_timeout = 30;
};

class FeedsCommand final : public Command {
 public:
  FeedsCommand();
  void Define(CLI::App&) override {}
  Report Run(Context& c) override;
};

class UnsubscribeCommand final : public Command {
 public:
  UnsubscribeCommand();
  void Define(CLI::App& cmd) override;
  Report Run(Context& c) override;

 private:
  std::string m_feed;
  bool m_keepArticles = false;
};

class UpdateCommand final : public Command {
 public:
  UpdateCommand();
  void Define(CLI::App& cmd) override;
  void Check() override;
  Report Run(Context& c) override;

 private:
  std::vector<std::string> m_feeds;
  int m_jobs = 8;
  long m_timeout = 30;
  bool m_progress = false;
};
