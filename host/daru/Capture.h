#pragma once

#include <string>
#include <vector>

#include "daru/Output.h"
#include "daru/Session.h"

// What the capturing and editing commands share.

// A report for people that is one line of text, with data for scripts.
Report Message(std::string text, nlohmann::json data = nlohmann::json::object());

std::string Quoted(const std::u16string& text);
// A label as people see it in messages: 'name' #id.
std::string Named(const CLabel* label);

// Lends a feed item to an article for the time of a file write; the article
// must not keep a pointer to it, whatever happens in between.
class LentFeedItem {
 public:
  LentFeedItem(CArticle* article, CRSSSubItem* item) : m_article(article) { m_article->SetRSSSubItem(item); }
  ~LentFeedItem() { m_article->SetRSSSubItem(nullptr); }
  LentFeedItem(const LentFeedItem&) = delete;
  LentFeedItem& operator=(const LentFeedItem&) = delete;

 private:
  CArticle* m_article;  // borrowed
};

bool HasFeedData(CRSSSubItem* item);

// Loads what a rewrite of the description file must keep: description,
// comment and feed data.
void LoadForRewrite(CArticle* article);

// Writes the article's description file; false with the reason. A file that
// exists but cannot be read is never replaced.
bool WriteDescription(CArticle* article, std::string& why);

// A capture whose description file cannot be written is undone: the filing
// under this label goes again (and the article with it, when that was its
// only label), and the command fails. Nothing is left half done.
[[noreturn]] void UndoCapture(Session& s, CArticle* article, CLabel* label, int result, const std::string& why);

// The label named after a channel below the favourite feeds, made on first use.
CLabel* ChannelLabel(Session& s, const std::u16string& channel);

// An article the facade handed over, released when the holder goes.
class HeldArticle {
 public:
  HeldArticle(Session& s, CArticle* article) : m_session(s), m_article(article) {}
  ~HeldArticle() { m_session.Release(m_article); }
  HeldArticle(const HeldArticle&) = delete;
  HeldArticle& operator=(const HeldArticle&) = delete;
  CArticle* get() const { return m_article; }
  CArticle* operator->() const { return m_article; }

 private:
  Session& m_session;
  CArticle* m_article;  // owned unless the facade's result list holds it (Release decides)
};
