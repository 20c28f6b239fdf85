#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/ComError.h"

struct _xmlDoc;
struct _xmlNode;

// A cursor over one XML document, for description files and RSS information
// files. Callers never see nodes: they move a three-level cursor (parent,
// current element, current child) with forward-only, case-insensitive name
// searches, read the text of the current child, and add elements at the cursor.
//
// Files come from outside and are not trusted: nothing is fetched over the
// network, no external entity or DTD is loaded, and entity expansion stays
// bounded. Files are read in the encoding they declare and written in UTF-8.
//
// Errors of the engine itself raise _com_error; a missing document where one is
// needed raises it with E_POINTER. A short-lived local object, never copied.
class CXmlDocument {
 public:
  CXmlDocument();
  virtual ~CXmlDocument();
  CXmlDocument(const CXmlDocument&) = delete;
  CXmlDocument& operator=(const CXmlDocument&) = delete;

  // A fresh, empty document with the cursor at the top level.
  HRESULT CreateDocument();
  // False for a missing, unreadable or malformed file; no message is shown.
  bool LoadFile(std::u16string path);
  // Parses text; on failure shows the parser's reason (also kept in GetLastError).
  bool LoadText(std::u16string text);
  // A copy of source's document, with the cursor at the top level; false
  // (and this document left as it was) when source holds none.
  bool LoadCopy(const CXmlDocument& source);
  bool SaveFile(std::u16string path);
  // The same, but a file already at path is replaced only when mayReplace,
  // asked then, says so.
  bool SaveFile(std::u16string path, const std::function<bool()>& mayReplace);

  // A null or empty name matches any element.
  bool FindSibling(const char16_t* name = nullptr);
  bool FindChild(const char16_t* name = nullptr);
  bool StepIn();
  bool StepOut();
  std::u16string GetChildText();
  // Tag name of the current child (with its prefix), empty when there is none.
  std::u16string GetChildName();

  // A null or empty text gives an element without content.
  bool AddElement(const char16_t* name, const char16_t* text, bool before, bool asChild);
  bool AddElement(const char16_t* name, std::u16string_view text, bool before, bool asChild);
  bool AddChild(const char16_t* name, const char16_t* text = nullptr);
  bool AddChild(const char16_t* name, std::u16string_view text);

  void ReleaseDocument();

  const std::u16string& GetLastError() const { return m_lastError; }

 private:
  // Takes over doc (or a fresh empty document when null) with the cursor at the top level.
  void Replace(_xmlDoc* doc);
  _xmlNode* RequireParent() const;

  _xmlDoc* m_document;  // owned; null when it cannot be created or after ReleaseDocument
  _xmlNode* m_parent;   // borrowed from m_document: the node whose children current is among
  _xmlNode* m_current;  // borrowed from m_document: the current element, a child of parent
  _xmlNode* m_child;    // borrowed from m_document: the current child, a child of current
  std::u16string m_lastError;
};
