// Any text as a label name, title, keyword, link or search text either goes
// into the catalogue and comes back exactly, or is refused with false and a
// message (only one holding a NUL may be refused); it never changes what a
// statement does: every other row stays as it was, and a search finds exactly
// the rows its pattern describes.
//
// Input: the first byte picks how the rest is read, as UTF-8 (0xFF separates
// the texts; it never occurs in UTF-8) or, with bit 0 set, as UTF-16LE units
// (U+FFFF separates them), which reaches lone surrogates. The texts are, in
// order: label name, new label name, title, keywords, link, search text.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/TextConv.h"
#include "platform/ModuleInfo.h"
#include "provision/DataRoot.h"
#include "storage/DB.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::u16string& text = {}) {
  std::fprintf(stderr, "statements: %s [%s]\n", what, ToUtf8(text).c_str());
  std::abort();
}

template <class T>
struct Owned {
  std::vector<T*> v;
  ~Owned() {
    for (T* p : v) delete p;
  }
};

// One catalogue for the whole run, on a RAM-backed folder where there is one.
class Catalogue {
 public:
  Catalogue() {
    std::filesystem::path base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string pattern = (base / "darufuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) Fail("no temporary folder");
    m_root = pattern;
    std::string error;
    if (!provision::ProvisionDataRoot(m_root, &error)) Fail("provisioning failed");
    DaruSetModuleFileName(FromUtf8((m_root / "daru").string()));
    m_store.reset(CreateStore(1));
    if (!m_store->InitDB()) Fail("InitDB", m_store->GetLastDBError());
    // Rows for the searches to tell apart, filed under the default label.
    const std::u16string lone(1, static_cast<char16_t>(0xD800));
    const std::u16string rows[][2] = {{u"Hello World", u"greeting"},
                                      {u"HELLO", u"GREETING"},
                                      {u"100% sure", u"50_50"},
                                      {u"a_b", u"a%b"},
                                      {u"中文标题", u"关键字"},
                                      {u"it's", u"o'clock"},
                                      {u"", u""},
                                      {lone, u"\uFFFD"},
                                      {u"x\U0001F600y", u"_"}};
    int n = 0;
    for (auto& row : rows) {
      CArticle a;
      a.filename = FromUtf8(std::to_string(++n));
      a.type = u"B";
      a.title = row[0];
      a.key1 = row[1];
      a.label = 3;
      if (!m_store->AddArticle(a)) Fail("seed article", m_store->GetLastDBError());
    }
  }
  ~Catalogue() {
    m_store.reset();
    std::error_code ec;
    std::filesystem::remove_all(m_root, ec);
  }
  CDB& store() { return *m_store; }

 private:
  std::filesystem::path m_root;
  std::unique_ptr<CDB> m_store;  // owned
};

Catalogue& Shared() {
  static Catalogue catalogue;
  return catalogue;
}

std::vector<std::u16string> Texts(const uint8_t* data, size_t size) {
  std::vector<std::u16string> texts(1);
  if (size == 0) return texts;
  bool units = data[0] & 1;
  if (units) {
    for (size_t i = 1; i + 1 < size; i += 2) {
      char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
      if (c == 0xFFFF)
        texts.emplace_back();
      else
        texts.back() += c;
    }
  } else {
    std::string part;
    for (size_t i = 1; i <= size; ++i) {
      if (i == size || data[i] == 0xFF) {
        texts.push_back(FromUtf8(part));
        part.clear();
      } else {
        part += static_cast<char>(data[i]);
      }
    }
    texts.erase(texts.begin());
  }
  return texts;
}

// Every text without a NUL must be stored. One with a NUL may be refused: a
// statement that runs as text ends at the NUL, inside its quoted value.
bool MustStore(const std::u16string& text) { return text.find(u'\0') == std::u16string::npos; }

// The characters as the engine's LIKE sees them: up to the first NUL (it
// reads both sides as C strings), surrogates and U+FFFE/U+FFFF as U+FFFD,
// ASCII letters without case.
std::vector<char32_t> LikeChars(const std::u16string& text) {
  std::string bytes = ToUtf8(text.substr(0, text.find(u'\0')));
  std::vector<char32_t> out;
  for (size_t i = 0; i < bytes.size();) {
    unsigned char b = static_cast<unsigned char>(bytes[i++]);
    char32_t c = b;
    if (b >= 0xC0) {
      c = b >= 0xF0 ? (b & 0x07) : b >= 0xE0 ? (b & 0x0F) : (b & 0x1F);
      while (i < bytes.size() && (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80)
        c = (c << 6) | (static_cast<unsigned char>(bytes[i++]) & 0x3F);
      if (c < 0x80 || (c & 0xFFFFF800) == 0xD800 || (c & 0xFFFFFFFE) == 0xFFFE) c = 0xFFFD;
    }
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    out.push_back(c);
  }
  return out;
}

// '%' any run of characters, '_' one character, no escape.
bool LikeMatch(const std::vector<char32_t>& p, size_t pi, const std::vector<char32_t>& s, size_t si) {
  while (pi < p.size()) {
    if (p[pi] == '%') {
      while (pi < p.size() && (p[pi] == '%' || p[pi] == '_')) {
        if (p[pi] == '_') {
          if (si == s.size()) return false;
          ++si;
        }
        ++pi;
      }
      if (pi == p.size()) return true;
      for (size_t k = si; k < s.size(); ++k)
        if (LikeMatch(p, pi, s, k)) return true;
      return false;
    }
    if (si == s.size() || (p[pi] != '_' && p[pi] != s[si])) return false;
    ++pi;
    ++si;
  }
  return si == s.size();
}

bool Contains(const std::u16string& value, const std::u16string& pattern) {
  return LikeMatch(LikeChars(u"%" + pattern + u"%"), 0, LikeChars(value), 0);
}

size_t LabelCount(CDB& store) {
  Owned<CLabel> all;
  if (!store.QueryLabel(all.v, CLabel(), 0)) Fail("listing labels", store.GetLastDBError());
  return all.v.size();
}

void Articles(CDB& store, Owned<CArticle>& out) {
  if (!store.QueryArticle(out.v, CArticle(), 0, false)) Fail("listing articles", store.GetLastDBError());
}

void CheckLabel(CDB& store, int id, const std::u16string& name) {
  Owned<CLabel> found;
  CLabel pattern;
  pattern.labelid = id;
  if (!store.QueryLabel(found.v, pattern, 1) || found.v.size() != 1) Fail("label not found by id", name);
  if (found.v[0]->name != name || found.v[0]->toplayer != 3) Fail("label read back differs", name);
  Owned<CLabel> byName;
  pattern.name = name;
  if (!store.QueryLabel(byName.v, pattern, 2)) {
    if (MustStore(name) || store.GetLastDBError().empty()) Fail("label query by name refused", name);
    return;
  }
  bool seen = false;
  for (CLabel* l : byName.v) {
    if (l->name != name) Fail("label query by name found another name", name);
    seen = seen || l->labelid == id;
  }
  if (!seen) Fail("label not found by its name", name);
}

void CheckSearch(CDB& store, const std::u16string& text, unsigned mask, bool like) {
  Owned<CArticle> all;
  Articles(store, all);
  CArticle pattern;
  pattern.title = text;
  pattern.key1 = text;
  Owned<CArticle> found;
  bool ok = store.QueryArticle(found.v, pattern, mask, like);
  if (!ok && (MustStore(text) || store.GetLastDBError().empty()))
    Fail("search refused", store.GetLastDBError() + u" / " + text);
  if (!ok) return;
  size_t expected = 0;
  for (CArticle* a : all.v) {
    const std::u16string& field = mask == 2 ? a->title : a->key1;
    if (like ? Contains(field, text) : field == text) ++expected;
  }
  if (found.v.size() != expected) Fail(like ? "LIKE search found other rows" : "exact search found other rows", text);
  for (CArticle* a : found.v) {
    const std::u16string& field = mask == 2 ? a->title : a->key1;
    if (!(like ? Contains(field, text) : field == text)) Fail("search found a row it does not describe", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CDB& store = Shared().store();
  std::vector<std::u16string> t = Texts(data, size);
  const std::u16string first = t.empty() ? std::u16string() : t[0];
  t.resize(6, first);
  const std::u16string &name = t[0], &rename = t[1], &title = t[2], &keys = t[3], &link = t[4], &search = t[5];

  size_t labelsBefore = LabelCount(store);
  CLabel label;
  label.name = name;
  label.toplayer = 3;
  bool added = store.AddLabel(label);
  if (name.empty() && added) Fail("empty label name stored");
  if (!added && MustStore(name) && !name.empty()) Fail("label name refused", store.GetLastDBError() + u" / " + name);
  if (!added) {
    if (store.GetLastDBError().empty()) Fail("label name refused without a message", name);
    if (LabelCount(store) != labelsBefore) Fail("refused label changed the labels", name);
    label.name = u"stand-in";
    if (!store.AddLabel(label)) Fail("stand-in label", store.GetLastDBError());
  }
  if (LabelCount(store) != labelsBefore + 1) Fail("adding a label changed the label count otherwise", name);
  CheckLabel(store, label.labelid, label.name);

  std::u16string kept = label.name;
  label.name = rename;
  bool renamed = store.UpdateLabel(label);
  if (!renamed && (MustStore(rename) || store.GetLastDBError().empty())) Fail("rename refused", rename);
  CheckLabel(store, label.labelid, renamed ? rename : kept);

  Owned<CArticle> before;
  Articles(store, before);
  CArticle article;
  article.filename = u"0123456789abcdef0123456789abcdef";
  article.type = u"B";
  article.title = title;
  article.key1 = keys;
  article.url = link;
  article.label = label.labelid;
  bool stored = store.AddArticle(article);
  if (!stored && ((MustStore(title) && MustStore(keys) && MustStore(link)) || store.GetLastDBError().empty()))
    Fail("article refused", store.GetLastDBError() + u" / " + title + keys + link);
  if (stored) {
    Owned<CArticle> back;
    CArticle pattern;
    pattern.articleid = article.articleid;
    if (!store.QueryArticle(back.v, pattern, 1, false) || back.v.size() != 1) Fail("article not found by id", title);
    const CArticle& a = *back.v[0];
    if (a.title != title || a.key1 != keys || a.url != link || a.filename != article.filename || a.type != u"B" ||
        a.labels != 1 || a.label != label.labelid)
      Fail("article read back differs", title + keys + link);
    article.title = keys;
    article.key1 = title;
    if (!store.UpdateArticle(article)) Fail("article update", store.GetLastDBError());
    Owned<CArticle> updated;
    if (!store.QueryArticle(updated.v, pattern, 1, false) || updated.v.size() != 1 || updated.v[0]->title != keys ||
        updated.v[0]->key1 != title || updated.v[0]->url != link)
      Fail("article update read back differs", title + keys);
  }
  Owned<CArticle> after;
  Articles(store, after);
  if (after.v.size() != before.v.size() + (stored ? 1 : 0)) Fail("adding an article changed the articles otherwise");

  for (unsigned mask : {2u, 8u})
    for (bool like : {false, true}) CheckSearch(store, search, mask, like);

  // Leave the catalogue as the input found it: the label goes, and with it
  // the article that only it held.
  if (!store.DeleteLabel(label)) Fail("delete label", store.GetLastDBError());
  Owned<CArticle> end;
  Articles(store, end);
  if (LabelCount(store) != labelsBefore || end.v.size() != before.v.size()) Fail("deleting the label left rows");
  return 0;
}
