#pragma once

// The platform first: GLib defines TRUE and FALSE as macros, which its constants would meet.
// clang-format off
#include "shared/HostPlatform.h"
// clang-format on

#include <gtk/gtk.h>

#include <functional>
#include <string>

// The pane below the article list that shows the article opened last: its
// description rendered through the library's stylesheet, as `daru show
// --html` renders it, in a web view that runs no scripts of the page, loads
// nothing from the network and never navigates; a link clicked goes to the
// host. Built without the web view, the pane shows the rendered text.

namespace desktop {

class ReadingPane {
 public:
  ReadingPane();
  ~ReadingPane();
  ReadingPane(const ReadingPane&) = delete;
  ReadingPane& operator=(const ReadingPane&) = delete;

  GtkWidget* Widget() const { return m_widget; }
  void ShowArticle(CArticle& article);
  void ShowMessage(const std::string& text);
  // The text the person sees in the pane (for the state report); with the
  // web view, as the view itself reports it once it has loaded.
  const std::string& ShownText() const { return m_shown; }
  static bool HasWebView();
  // The address the pane shows: about:blank for every page it loads itself.
  std::string Address() const;

  // Called with a link the person clicked in the pane.
  std::function<void(const std::string& url)> onLink;

 private:
  void ShowHtml(const std::string& html);

  GtkWidget* m_widget = nullptr;  // a reference is held until destruction
  GtkWidget* m_view = nullptr;    // borrowed: the web view or the text view inside m_widget
  std::string m_shown;
};

// The page as the pane loads it: a policy that allows nothing from outside
// (no scripts, no remote images, styles or frames) put first in its head.
std::string LockDownHtml(const std::string& html);
// The visible text of an HTML page, paragraphs on lines of their own.
std::string HtmlText(const std::string& html);

}  // namespace desktop
