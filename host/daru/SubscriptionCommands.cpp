#include "daru/SubscriptionCommands.h"

#include <unistd.h>

#include <CLI/CLI.hpp>

#include "daru/Request.h"
#include "daru/Session.h"
#include "daru/Subscriptions.h"

namespace {

void CheckTimeout(long timeout) {
  if (timeout <= 0) throw UsageError("--timeout must be a number of seconds such as 30");
}

}  // namespace

SubscribeCommand::SubscribeCommand()
    : Command("subscribe", "fetch a feed, file its items and keep it for 'daru update'") {}

void SubscribeCommand::Define(CLI::App& cmd) {
  cmd.add_option("URL", m_url, "the feed's http(s) address")->required();
  cmd.add_option("--label", m_label, "the label (default: the channel's label under the favourite feeds)");
  cmd.add_option("--timeout", m_timeout, "seconds to wait for the feed (default 30)");
}

void SubscribeCommand::Check() { CheckTimeout(m_timeout); }

Report SubscribeCommand::Run(Context& c) { return Subscribe(c.Catalogue(), m_url, m_label, m_timeout, c.warnings); }

FeedsCommand::FeedsCommand() : Command("feeds", "list the subscriptions with their labels, items and last update") {}

Report FeedsCommand::Run(Context& c) { return Feeds(c.Catalogue()); }

UnsubscribeCommand::UnsubscribeCommand()
    : Command("unsubscribe", "forget a subscription and, unless kept, its articles") {}

void UnsubscribeCommand::Define(CLI::App& cmd) {
  cmd.add_option("FEED", m_feed, "the subscription's id or address")->required();
  cmd.add_flag("--keep-articles", m_keepArticles, "keep the label and the articles");
}

Report UnsubscribeCommand::Run(Context& c) { return Unsubscribe(c.Catalogue(), m_feed, m_keepArticles, c.warnings); }

UpdateCommand::UpdateCommand()
    : Command("update", "fetch every subscription (or those named) and file new items") {}

void UpdateCommand::Define(CLI::App& cmd) {
  cmd.add_option("FEED", m_feeds, "subscription ids or addresses (default: all)");
  cmd.add_option("--jobs,-j", m_jobs, "transfers at once (default 8)");
  cmd.add_option("--timeout", m_timeout, "seconds to wait for each feed (default 30)");
  cmd.add_flag("--progress", m_progress, "write the progress line to stderr also when it is no terminal");
}

void UpdateCommand::Check() {
  if (m_jobs < 1 || m_jobs > 256) throw UsageError("--jobs must be a number of transfers from 1 to 256");
  CheckTimeout(m_timeout);
}

Report UpdateCommand::Run(Context& c) {
  const bool progress = m_progress || (!c.json && isatty(STDOUT_FILENO) && isatty(STDERR_FILENO));
  return Update(c.Catalogue(), m_feeds, m_jobs, m_timeout, progress, c.warnings);
}
