#include "daru/HtmlView.h"

#include <libxml/HTMLparser.h>
#include <libxml/HTMLtree.h>
#include <libxml/parser.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <climits>
#include <memory>

#include "base/Files.h"
#include "daru/Request.h"
#include "darulib.h"

namespace {

// The engines report on stderr by themselves; the host says it in one line instead.
void Quiet(void*, const char*, ...) {}

template <class T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* p) const {
    if (p) Free(p);
  }
};
using Doc = std::unique_ptr<xmlDoc, Deleter<xmlDoc, xmlFreeDoc>>;
using Sheet = std::unique_ptr<xsltStylesheet, Deleter<xsltStylesheet, xsltFreeStylesheet>>;
using Context = std::unique_ptr<xsltTransformContext, Deleter<xsltTransformContext, xsltFreeTransformContext>>;
using Prefs = std::unique_ptr<xsltSecurityPrefs, Deleter<xsltSecurityPrefs, xsltFreeSecurityPrefs>>;

// The security preferences libxslt applies where no context names its own
// (parsing a stylesheet), for as long as this lives.
class DefaultPrefs {
 public:
  explicit DefaultPrefs(xsltSecurityPrefs* prefs) : m_old(xsltGetDefaultSecurityPrefs()) {
    xsltSetDefaultSecurityPrefs(prefs);
  }
  ~DefaultPrefs() { xsltSetDefaultSecurityPrefs(m_old); }
  DefaultPrefs(const DefaultPrefs&) = delete;
  DefaultPrefs& operator=(const DefaultPrefs&) = delete;

 private:
  xsltSecurityPrefs* m_old;  // borrowed: whatever was the default before
};

// A regular file of at most the library's document size, parsed without
// network, entities or DTDs; null when it is none.
xmlDoc* ReadDocument(const std::string& path) {
  std::string bytes;
  if (!ReadRegularFile(path, kMaxDocumentSize, bytes) || bytes.size() > static_cast<size_t>(INT_MAX)) return nullptr;
  return xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), path.c_str(), nullptr, XML_PARSE_NONET);
}

}  // namespace

std::string RenderDescription(const std::u16string& descriptionFile, const std::u16string& stylesheet) {
  xmlSetGenericErrorFunc(nullptr, Quiet);
  xsltSetGenericErrorFunc(nullptr, Quiet);
  const std::string sheetPath = ToUtf8(stylesheet);
  const std::string docPath = ToUtf8(descriptionFile);

  // The stylesheet lies on the data root, which another user may share: it
  // gets the two documents we hand it and nothing else. No file or network
  // is read or written on its behalf, neither by xsl:import and xsl:include
  // while it is parsed nor by document() while it runs.
  Prefs prefs(xsltNewSecurityPrefs());
  if (!prefs) throw HostError("out of memory");
  for (xsltSecurityOption option : {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                                    XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
    xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid);
  DefaultPrefs parsing(prefs.get());

  // Both files through the library's guarded reader: a FIFO or a device in
  // their place is refused, not waited on, and so is a file too large.
  Doc sheetDoc(ReadDocument(sheetPath));
  if (!sheetDoc) throw HostError("cannot read the stylesheet " + sheetPath);
  Sheet sheet(xsltParseStylesheetDoc(sheetDoc.get()));
  if (!sheet) throw HostError("the stylesheet " + sheetPath + " is not usable");
  sheetDoc.release();  // the stylesheet owns its document now

  // Description files come from outside: no network, no entities, no DTDs.
  Doc doc(ReadDocument(docPath));
  if (!doc) throw HostError("cannot read the description file " + docPath);

  Context ctxt(xsltNewTransformContext(sheet.get(), doc.get()));
  if (!ctxt || xsltSetCtxtSecurityPrefs(prefs.get(), ctxt.get()) != 0) throw HostError("out of memory");

  Doc result(xsltApplyStylesheetUser(sheet.get(), doc.get(), nullptr, nullptr, nullptr, ctxt.get()));
  if (!result || ctxt->state != XSLT_STATE_OK) throw HostError("the stylesheet " + sheetPath + " failed on " + docPath);
  xmlChar* text = nullptr;
  int size = 0;
  if (xsltSaveResultToString(&text, &size, result.get(), sheet.get()) != 0) throw HostError("out of memory");
  std::string html = text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size)) : "";
  xmlFree(text);
  return html;
}

namespace {

xmlNode* FindElement(xmlNode* node, const char* name) {
  for (; node; node = node->next) {
    if (node->type == XML_ELEMENT_NODE && xmlStrcasecmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0)
      return node;
    if (xmlNode* inner = FindElement(node->children, name)) return inner;
  }
  return nullptr;
}

}  // namespace

RenderedParts RenderDescriptionParts(const std::u16string& descriptionFile, const std::u16string& stylesheet) {
  const std::string html = RenderDescription(descriptionFile, stylesheet);
  Doc doc(htmlReadMemory(html.data(), static_cast<int>(html.size()), nullptr, "UTF-8",
                         HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING));
  if (!doc) throw HostError("cannot read the page rendered from " + ToUtf8(descriptionFile));
  RenderedParts parts;
  xmlNode* root = xmlDocGetRootElement(doc.get());
  if (xmlNode* style = FindElement(root, "style")) {
    xmlChar* text = xmlNodeGetContent(style);
    parts.style = text ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
  }
  xmlNode* body = FindElement(root, "body");
  std::unique_ptr<xmlBuffer, Deleter<xmlBuffer, xmlBufferFree>> buffer(xmlBufferCreate());
  if (!buffer) throw HostError("out of memory");
  for (xmlNode* child = body ? body->children : nullptr; child; child = child->next)
    htmlNodeDump(buffer.get(), doc.get(), child);
  parts.body.assign(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                    static_cast<size_t>(xmlBufferLength(buffer.get())));
  return parts;
}
