#include "desktop/ReadingPane.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <cctype>

#include "daru/HtmlView.h"
#include "daru/Request.h"

#ifdef DARU_DESKTOP_WEBKIT
#include <webkit2/webkit2.h>
#endif

namespace desktop {

namespace {

constexpr const char* kPolicy =
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
    "img-src data:; font-src data:\">";

bool IsBlock(const xmlChar* name) {
  static const char* blocks[] = {"p",  "div",   "br", "li", "tr",  "h1",         "h2",    "h3", "h4", "h5",
                                 "h6", "table", "ul", "ol", "pre", "blockquote", "title", "dd", "dt"};
  for (const char* b : blocks)
    if (xmlStrcasecmp(name, reinterpret_cast<const xmlChar*>(b)) == 0) return true;
  return false;
}

void CollectText(xmlNode* node, std::string& out) {
  for (xmlNode* n = node; n != nullptr; n = n->next) {
    if (n->type == XML_TEXT_NODE && n->content != nullptr) {
      out += reinterpret_cast<const char*>(n->content);
    } else if (n->type == XML_ELEMENT_NODE) {
      if (xmlStrcasecmp(n->name, reinterpret_cast<const xmlChar*>("style")) == 0 ||
          xmlStrcasecmp(n->name, reinterpret_cast<const xmlChar*>("script")) == 0)
        continue;
      const bool block = IsBlock(n->name);
      if (block && !out.empty() && out.back() != '\n') out += '\n';
      CollectText(n->children, out);
      if (block && !out.empty() && out.back() != '\n') out += '\n';
    }
  }
}

}  // namespace

std::string LockDownHtml(const std::string& html) {
  // Right after <head ...>, or at the very start when the page has no head.
  std::string lower(html.size(), ' ');
  for (size_t i = 0; i < html.size(); ++i)
    lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(html[i])));
  size_t at = lower.find("<head");
  if (at != std::string::npos) at = lower.find('>', at);
  if (at == std::string::npos) return std::string(kPolicy) + html;
  return html.substr(0, at + 1) + kPolicy + html.substr(at + 1);
}

std::string HtmlText(const std::string& html) {
  htmlDocPtr doc = htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
                                  HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER);
  if (doc == nullptr) return {};
  std::string out;
  CollectText(xmlDocGetRootElement(doc), out);
  xmlFreeDoc(doc);
  // Runs of blank space shown as one space, lines trimmed, empty lines dropped.
  std::string tidy, line;
  auto flush = [&] {
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (!line.empty()) tidy += (tidy.empty() ? "" : "\n") + line;
    line.clear();
  };
  for (char c : out) {
    if (c == '\n') {
      flush();
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  flush();
  return tidy;
}

bool ReadingPane::HasWebView() {
#ifdef DARU_DESKTOP_WEBKIT
  return true;
#else
  return false;
#endif
}

#ifdef DARU_DESKTOP_WEBKIT

namespace {

void OpenLinkOf(WebKitNavigationAction* action, ReadingPane* pane) {
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (uri != nullptr && pane->onLink) pane->onLink(uri);
}

gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer p) {
  auto* pane = static_cast<ReadingPane*>(p);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    webkit_policy_decision_use(decision);
    return TRUE;
  }
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  // The page we load ourselves is the only navigation the pane makes.
  if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && !webkit_navigation_action_is_user_gesture(action) &&
      webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_OTHER) {
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = request ? webkit_uri_request_get_uri(request) : "";
    if (g_str_has_prefix(uri, "about:")) {
      webkit_policy_decision_use(decision);
      return TRUE;
    }
  }
  if (webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED)
    OpenLinkOf(action, pane);
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

}  // namespace

ReadingPane::ReadingPane() {
  WebKitSettings* settings = webkit_settings_new();
  // The page's own scripts never run; the host still reads the page's text through the view.
  webkit_settings_set_enable_javascript_markup(settings, FALSE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_enable_page_cache(settings, FALSE);
  webkit_settings_set_default_charset(settings, "utf-8");
  webkit_settings_set_sans_serif_font_family(settings, "Noto Sans CJK SC");
  webkit_settings_set_default_font_family(settings, "Noto Sans CJK SC");
  m_view = webkit_web_view_new_with_settings(settings);
  g_object_unref(settings);
  g_signal_connect(m_view, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(m_view, "context-menu",
                   G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                  gpointer) -> gboolean { return TRUE; }),
                   nullptr);
  g_signal_connect(m_view, "load-changed", G_CALLBACK(+[](WebKitWebView* view, WebKitLoadEvent event, gpointer p) {
                     if (event != WEBKIT_LOAD_FINISHED) return;
                     webkit_web_view_evaluate_javascript(
                         view, "document.body ? document.body.innerText : ''", -1, nullptr, nullptr, nullptr,
                         +[](GObject* source, GAsyncResult* result, gpointer q) {
                           JSCValue* value =
                               webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
                           if (value == nullptr) return;
                           gchar* text = jsc_value_to_string(value);
                           static_cast<ReadingPane*>(q)->m_shown = text ? text : "";
                           g_free(text);
                           g_object_unref(value);
                         },
                         p);
                   }),
                   this);
  m_widget = m_view;
  g_object_ref_sink(m_widget);
  ShowMessage("");
}

ReadingPane::~ReadingPane() {
  g_signal_handlers_disconnect_by_data(m_view, this);
  g_object_unref(m_widget);
}

std::string ReadingPane::Address() const {
  const char* uri = webkit_web_view_get_uri(WEBKIT_WEB_VIEW(m_view));
  return uri ? uri : "";
}

void ReadingPane::ShowHtml(const std::string& html) {
  m_shown.clear();
  webkit_web_view_load_html(WEBKIT_WEB_VIEW(m_view), LockDownHtml(html).c_str(), "about:blank");
}

#else

ReadingPane::ReadingPane() {
  m_widget = gtk_scrolled_window_new(nullptr, nullptr);
  g_object_ref_sink(m_widget);
  m_view = gtk_text_view_new();
  gtk_text_view_set_editable(GTK_TEXT_VIEW(m_view), FALSE);
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(m_view), GTK_WRAP_WORD_CHAR);
  gtk_text_view_set_left_margin(GTK_TEXT_VIEW(m_view), 8);
  gtk_text_view_set_right_margin(GTK_TEXT_VIEW(m_view), 8);
  gtk_container_add(GTK_CONTAINER(m_widget), m_view);
}

ReadingPane::~ReadingPane() { g_object_unref(m_widget); }

std::string ReadingPane::Address() const { return "about:blank"; }

void ReadingPane::ShowHtml(const std::string& html) {
  m_shown = HtmlText(html);
  gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(m_view)), m_shown.c_str(), -1);
}

#endif

void ReadingPane::ShowMessage(const std::string& text) {
  gchar* escaped = g_markup_escape_text(text.c_str(), -1);
  ShowHtml(std::string("<html><head><meta charset=\"utf-8\"></head><body style=\"font-family: sans-serif; color: "
                       "#666\"><p>") +
           escaped + "</p></body></html>");
  g_free(escaped);
}

void ReadingPane::ShowArticle(CArticle& article) {
  try {
    ShowHtml(RenderDescription(article.GetDescriptionFilename(), GetDaruFolder() + u"/default.xslt"));
  } catch (const HostError& e) {
    // Never a blank pane: the title, and why the description cannot be shown.
    ShowMessage(ToUtf8(article.title) + "\n" + e.what());
  } catch (const _com_error& e) {
    ShowMessage(ToUtf8(article.title) + "\n" + ToUtf8(e.ErrorMessage()));
  }
}

}  // namespace desktop
