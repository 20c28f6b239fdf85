#include "content/XmlDocument.h"

#include <fcntl.h>
#include <libxml/entities.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <memory>

#include "base/Files.h"
#include "base/TextConv.h"
#include "platform/MessageBox.h"

namespace {

// No network, no external entities, no DTD loading, and no diagnostics on
// stderr: a caller learns of a bad file from the result.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

constexpr size_t kMaxFileSize = kMaxDocumentSize;

// Bounds the text one GetChildText can assemble through entity references and
// the depth it walks, whatever a hostile document declares.
constexpr size_t kMaxText = 64 * 1024 * 1024;
constexpr int kMaxDepth = 512;

// The first fatal error names the real fault; later ones follow from it.
struct ParseReport {
  std::string firstFatal;
};

void CollectErrors(void* data, xmlErrorPtr error) {
  auto* ctxt = static_cast<xmlParserCtxt*>(data);
  auto* report = ctxt ? static_cast<ParseReport*>(ctxt->_private) : nullptr;
  if (report && report->firstFatal.empty() && error && error->level == XML_ERR_FATAL && error->message)
    report->firstFatal = error->message;
}

struct ParserCtxtDeleter {
  void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

// The engine reports some faults of a file outside the parser's context (an
// encoding conversion that fails on the input) through its generic error
// handler, which writes to stderr. While a file is parsed they go nowhere:
// the caller learns of a bad file from the result.
void IgnoreGenericError(void*, const char*, ...) {}

class CQuietEngine {
 public:
  CQuietEngine() : m_func(xmlGenericError), m_context(xmlGenericErrorContext) {
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
  }
  ~CQuietEngine() { xmlSetGenericErrorFunc(m_context, m_func); }
  CQuietEngine(const CQuietEngine&) = delete;
  CQuietEngine& operator=(const CQuietEngine&) = delete;

 private:
  xmlGenericErrorFunc m_func;
  void* m_context;  // borrowed: whatever the host set, given back as it was
};

// The engine ends its messages with a line break and puts some details on a
// line of their own ("Bytes: 0xFF 0xFE" after an encoding fault); a reason is
// one line wherever it is shown.
std::string OneLine(std::string message) {
  while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) message.pop_back();
  for (char& c : message)
    if (c == '\n' || c == '\r') c = ' ';
  return message;
}

// Parses bytes into a new document, or null with the parser's reason.
xmlDoc* Parse(const std::string& bytes, const char* url, const char* encoding, int extraOptions, std::string* reason) {
  if (bytes.size() > static_cast<size_t>(INT_MAX)) {
    if (reason) *reason = "The document is too large.";
    return nullptr;
  }
  std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter> ctxt(xmlNewParserCtxt());
  if (!ctxt) throw _com_error(E_OUTOFMEMORY);
  CQuietEngine quiet;
  ParseReport report;
  ctxt->_private = &report;
  ctxt->userData = ctxt.get();
  ctxt->sax->serror = CollectErrors;
  xmlDoc* doc = xmlCtxtReadMemory(ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), url, encoding,
                                  kParseOptions | extraOptions);
  if (doc == nullptr && reason != nullptr) {
    xmlError* last = xmlCtxtGetLastError(ctxt.get());
    if (!report.firstFatal.empty())
      *reason = OneLine(report.firstFatal);
    else
      *reason = last && last->message ? OneLine(last->message) : "The document could not be parsed.";
  }
  return doc;
}

std::string QualifiedName(const xmlNode* node) {
  std::string name = node->name ? reinterpret_cast<const char*>(node->name) : "";
  if (node->ns && node->ns->prefix) return reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
  return name;
}

// The first element after `after` (or from the container's first child when
// after is null) whose name matches; only elements count.
xmlNode* ScanElements(xmlNode* container, xmlNode* after, const char16_t* name) {
  std::string wanted = name ? ToUtf8(name) : std::string();
  for (xmlNode* node = after ? after->next : container->children; node; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (wanted.empty() || AsciiCaseEqual(QualifiedName(node), wanted)) return node;
  }
  return nullptr;
}

// Text of every descendant text node, in document order. Internal entities are
// read through their parsed content; external ones were never loaded and add nothing.
void AppendText(const xmlNode* first, std::string& out, int depth) {
  if (depth > kMaxDepth) return;
  for (const xmlNode* node = first; node; node = node->next) {
    switch (node->type) {
      case XML_TEXT_NODE:
      case XML_CDATA_SECTION_NODE:
        if (node->content) {
          size_t len = xmlStrlen(node->content);
          if (out.size() + len > kMaxText) return;
          out.append(reinterpret_cast<const char*>(node->content), len);
        }
        break;
      case XML_ELEMENT_NODE:
        AppendText(node->children, out, depth + 1);
        break;
      case XML_ENTITY_REF_NODE:
        if (node->children && node->children->type == XML_ENTITY_DECL) {
          const xmlEntity* entity = reinterpret_cast<const xmlEntity*>(node->children);
          if (entity->etype == XML_INTERNAL_GENERAL_ENTITY) AppendText(entity->children, out, depth + 1);
        }
        break;
      default:
        break;
    }
  }
}

// XML 1.0 cannot hold every UTF-16 text: control characters, lone surrogates
// and U+FFFE/U+FFFF would make the whole file unreadable, so each becomes U+FFFD.
std::u16string XmlSafeText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out += c;
      out += text[++i];
      continue;
    }
    bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c < 0xD800) || (c >= 0xE000 && c < 0xFFFE);
    out += allowed ? c : u'\uFFFD';
  }
  return out;
}

}  // namespace

CXmlDocument::CXmlDocument() : m_document(nullptr), m_parent(nullptr), m_current(nullptr), m_child(nullptr) {
  xmlInitParser();
  CreateDocument();
}

CXmlDocument::~CXmlDocument() { ReleaseDocument(); }

HRESULT CXmlDocument::CreateDocument() {
  ReleaseDocument();
  xmlDoc* doc = xmlNewDoc(BAD_CAST "1.0");
  if (doc == nullptr) {
    AfxMessageBox(u"Unable to create MSXML instance", MB_OK);
    return E_OUTOFMEMORY;
  }
  m_document = doc;
  m_parent = reinterpret_cast<xmlNode*>(doc);
  return S_OK;
}

void CXmlDocument::Replace(xmlDoc* doc) {
  if (doc == nullptr) doc = xmlNewDoc(BAD_CAST "1.0");
  if (doc == nullptr) throw _com_error(E_OUTOFMEMORY);
  ReleaseDocument();
  m_document = doc;
  m_parent = reinterpret_cast<xmlNode*>(doc);
}

xmlNode* CXmlDocument::RequireParent() const {
  if (m_parent == nullptr) throw _com_error(E_POINTER);
  return m_parent;
}

bool CXmlDocument::LoadFile(std::u16string path) {
  if (m_document == nullptr && FAILED(CreateDocument())) return false;
  std::string file = ToUtf8(path);
  std::string bytes;
  xmlDoc* doc = ReadRegularFile(file, kMaxFileSize, bytes) ? Parse(bytes, file.c_str(), nullptr, 0, nullptr) : nullptr;
  bool loaded = doc != nullptr;
  Replace(doc);
  return loaded;
}

bool CXmlDocument::LoadText(std::u16string text) {
  if (m_document == nullptr && FAILED(CreateDocument())) return false;
  // The text is already decoded: an encoding named in its declaration does not apply.
  std::string reason;
  xmlDoc* doc = Parse(ToUtf8(text), nullptr, "UTF-8", XML_PARSE_IGNORE_ENC, &reason);
  bool loaded = doc != nullptr;
  Replace(doc);
  if (loaded) return true;
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  m_lastError = FromUtf8(reason);
  AfxMessageBox(m_lastError, MB_OK);
  return false;
}

bool CXmlDocument::LoadCopy(const CXmlDocument& source) {
  if (source.m_document == nullptr) return false;
  xmlDoc* copy = xmlCopyDoc(source.m_document, 1);
  if (copy == nullptr) throw _com_error(E_OUTOFMEMORY);
  Replace(copy);
  return true;
}

bool CXmlDocument::SaveFile(std::u16string path) { return SaveFile(std::move(path), nullptr); }

bool CXmlDocument::SaveFile(std::u16string path, const std::function<bool()>& mayReplace) {
  if (m_document == nullptr) throw _com_error(E_POINTER);
  xmlChar* out = nullptr;
  int size = 0;
  xmlDocDumpMemoryEnc(m_document, &out, &size, "UTF-8");
  if (out == nullptr) throw _com_error(E_OUTOFMEMORY);
  std::unique_ptr<xmlChar, decltype(xmlFree)> text(out, xmlFree);
  // Never write what LoadFile would refuse to read back.
  if (static_cast<size_t>(size) > kMaxFileSize) return false;
  const std::string_view bytes(reinterpret_cast<const char*>(out), static_cast<size_t>(size));
  return mayReplace ? ReplaceFileIf(ToUtf8(path), bytes, mayReplace) : ReplaceFile(ToUtf8(path), bytes);
}

bool CXmlDocument::FindSibling(const char16_t* name) {
  xmlNode* match = ScanElements(RequireParent(), m_current, name);
  if (match == nullptr) return false;
  m_current = match;
  m_parent = match->parent;
  m_child = nullptr;
  return true;
}

bool CXmlDocument::FindChild(const char16_t* name) {
  // At the top level the first search positions on the root element by itself.
  if (RequireParent()->parent == nullptr && m_current == nullptr) FindSibling(nullptr);
  if (m_current == nullptr) return false;
  xmlNode* match = ScanElements(m_current, m_child, name);
  if (match == nullptr) return false;
  m_child = match;
  m_current = match->parent;
  m_parent = m_current->parent;
  return true;
}

bool CXmlDocument::StepIn() {
  if (m_current == nullptr) return false;
  m_parent = m_current;
  m_current = m_child;
  m_child = nullptr;
  return true;
}

bool CXmlDocument::StepOut() {
  xmlNode* grand = RequireParent()->parent;
  if (grand == nullptr) return false;
  m_child = m_current;
  m_current = m_parent;
  m_parent = grand;
  return true;
}

std::u16string CXmlDocument::GetChildText() {
  if (m_child == nullptr || m_child->children == nullptr) return {};
  std::string text;
  AppendText(m_child->children, text, 0);
  return FromUtf8(text);
}

std::u16string CXmlDocument::GetChildName() { return m_child ? FromUtf8(QualifiedName(m_child)) : std::u16string(); }

bool CXmlDocument::AddElement(const char16_t* name, const char16_t* text, bool before, bool asChild) {
  return AddElement(name, text ? std::u16string_view(text) : std::u16string_view(), before, asChild);
}

bool CXmlDocument::AddElement(const char16_t* name, std::u16string_view text, bool before, bool asChild) {
  if (m_document == nullptr) throw _com_error(E_POINTER);
  xmlNode* container;
  xmlNode* reference;
  if (asChild) {
    if (m_current == nullptr) return false;
    container = m_current;
    reference = m_child;
  } else {
    m_child = nullptr;
    container = RequireParent();
    reference = m_current;
  }

  std::string tag = name ? ToUtf8(name) : std::string();
  if (tag.empty() || xmlValidateNCName(BAD_CAST tag.c_str(), 0) != 0)
    throw _com_error(E_INVALIDARG, u"CXmlDocument", u"Not a valid element name.");
  if (container->type == XML_DOCUMENT_NODE && xmlDocGetRootElement(m_document) != nullptr)
    throw _com_error(E_FAIL, u"CXmlDocument", u"Only one top level element is allowed in an XML document.");

  xmlNode* element = xmlNewDocNode(m_document, nullptr, BAD_CAST tag.c_str(), nullptr);
  if (element == nullptr) throw _com_error(E_OUTOFMEMORY);
  if (!text.empty()) {
    xmlNode* content = xmlNewDocText(m_document, BAD_CAST ToUtf8(XmlSafeText(text)).c_str());
    if (content == nullptr) {
      xmlFreeNode(element);
      throw _com_error(E_OUTOFMEMORY);
    }
    xmlAddChild(element, content);
  }

  if (!before && reference)
    xmlAddNextSibling(reference, element);
  else if (!before)
    xmlAddChild(container, element);
  else if (reference)
    xmlAddPrevSibling(reference, element);
  else if (container->children)
    xmlAddPrevSibling(container->children, element);
  else
    xmlAddChild(container, element);

  (asChild ? m_child : m_current) = element;
  return true;
}

bool CXmlDocument::AddChild(const char16_t* name, const char16_t* text) { return AddElement(name, text, false, true); }

bool CXmlDocument::AddChild(const char16_t* name, std::u16string_view text) {
  return AddElement(name, text, false, true);
}

void CXmlDocument::ReleaseDocument() {
  m_child = nullptr;
  m_current = nullptr;
  m_parent = nullptr;
  if (m_document) xmlFreeDoc(m_document);
  m_document = nullptr;
}
