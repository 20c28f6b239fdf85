#pragma once

#include <string>

// The fixed labels every catalogue starts with. The tree never renames or
// removes a label below kFirstUserLabelID.
inline constexpr int kHeadLabelID = 1;  // the root of the hierarchy: its parent is 0
inline constexpr int kFavRSSLabelID = 2;
inline constexpr int kDefaultLabelID = 3;  // where a capture goes when no label is chosen
inline constexpr int kFirstUserLabelID = 4;

// Bits of a label query's mask; set bits are combined with AND, 0 means all.
inline constexpr unsigned kLabelMaskID = 1;
inline constexpr unsigned kLabelMaskName = 2;
inline constexpr unsigned kLabelMaskParent = 4;

// Bits of an article query's mask; set bits are combined with AND, 0 means all.
inline constexpr unsigned kArticleMaskID = 1;
inline constexpr unsigned kArticleMaskTitle = 2;
inline constexpr unsigned kArticleMaskFilename = 4;
inline constexpr unsigned kArticleMaskKeywords = 8;

// The two article type codes the library itself files under.
inline constexpr char16_t kBrowserType[] = u"B";  // a page captured from the browser
inline constexpr char16_t kFeedType[] = u"A";     // a feed item; media folders lie under its folder

// The small plain records the store and the windows pass around. They are
// header-only so that a host can build and destroy them without exports.

// A label of the hierarchy. The three links are set by the label hierarchy,
// never stored; a label copied by value copies them too.
class CLabel {
 public:
  CLabel() = default;
  CLabel(const CLabel&) = default;
  CLabel& operator=(const CLabel&) = default;
  virtual ~CLabel() = default;

  int labelid = 0;
  std::u16string name;
  int toplayer = 1;               // 0 marks the head label; a new label starts out under label 1
  CLabel* parent = nullptr;       // borrowed: the hierarchy owns every label
  CLabel* nextSibling = nullptr;  // borrowed
  CLabel* firstChild = nullptr;   // borrowed
};

// One filing of an article under a label; built on the stack for a store call.
class CLabelToArticle {
 public:
  CLabelToArticle() = default;
  CLabelToArticle(int label, int article) : labelid(label), articleid(article) {}
  CLabelToArticle(const CLabelToArticle&) = default;
  CLabelToArticle& operator=(const CLabelToArticle&) = default;
  virtual ~CLabelToArticle() = default;

  int labelid = 0;
  int articleid = 0;
};

// An article type: its code and its folder below the DARU folder.
class CArticleType {
 public:
  CArticleType() = default;
  CArticleType(int id, std::u16string code, std::u16string folder)
      : typeid_(id), type(std::move(code)), path(std::move(folder)) {}
  CArticleType(const CArticleType&) = default;
  CArticleType& operator=(const CArticleType&) = default;
  virtual ~CArticleType() = default;

  int typeid_ = 0;  // the catalogue's type id ("typeid" is a C++ keyword)
  std::u16string type;
  std::u16string path;
};

// An attachment of a feed item.
class CMimeFile {
 public:
  std::u16string reservedText1;
  std::u16string filename;
  std::u16string reservedText2;
  std::u16string description;
};
