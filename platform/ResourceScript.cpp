#include "platform/ResourceScript.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "base/TextConv.h"
#include "platform/CommCtrl.h"
#include "platform/MessageBox.h"

namespace {

struct Token {
  enum class Kind { Name, Number, Text, Punct, End };
  Kind kind = Kind::End;
  std::string text;
  long long number = 0;
  int line = 0;
};

class ScriptError : public std::runtime_error {
 public:
  ScriptError(int line, const std::string& what) : std::runtime_error("line " + std::to_string(line) + ": " + what) {}
};

const std::map<std::string, long long>& KnownNames() {
  static const std::map<std::string, long long> names = {
      {"IDOK", IDOK},
      {"IDCANCEL", IDCANCEL},
      {"IDYES", IDYES},
      {"IDNO", IDNO},
      {"IDC_STATIC", -1},
      {"WS_OVERLAPPED", WS_OVERLAPPED},
      {"WS_POPUP", WS_POPUP},
      {"WS_CHILD", WS_CHILD},
      {"WS_VISIBLE", WS_VISIBLE},
      {"WS_DISABLED", WS_DISABLED},
      {"WS_CAPTION", WS_CAPTION},
      {"WS_BORDER", WS_BORDER},
      {"WS_DLGFRAME", WS_DLGFRAME},
      {"WS_VSCROLL", WS_VSCROLL},
      {"WS_HSCROLL", WS_HSCROLL},
      {"WS_SYSMENU", WS_SYSMENU},
      {"WS_THICKFRAME", WS_THICKFRAME},
      {"WS_GROUP", WS_GROUP},
      {"WS_TABSTOP", WS_TABSTOP},
      {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
      {"WS_EX_STATICEDGE", WS_EX_STATICEDGE},
      {"DS_MODALFRAME", DS_MODALFRAME},
      {"DS_SETFONT", DS_SETFONT},
      {"DS_SHELLFONT", DS_SHELLFONT},
      {"DS_CENTER", DS_CENTER},
      {"DS_FIXEDSYS", 0x0008},
      {"DS_3DLOOK", 0x0004},
      {"DS_CONTROL", 0x0400},
      {"BS_PUSHBUTTON", BS_PUSHBUTTON},
      {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
      {"BS_CHECKBOX", BS_CHECKBOX},
      {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
      {"BS_RADIOBUTTON", BS_RADIOBUTTON},
      {"BS_3STATE", BS_3STATE},
      {"BS_AUTO3STATE", BS_AUTO3STATE},
      {"BS_GROUPBOX", BS_GROUPBOX},
      {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
      {"ES_LEFT", ES_LEFT},
      {"ES_CENTER", ES_CENTER},
      {"ES_RIGHT", ES_RIGHT},
      {"ES_MULTILINE", ES_MULTILINE},
      {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
      {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
      {"ES_READONLY", ES_READONLY},
      {"ES_WANTRETURN", ES_WANTRETURN},
      {"SS_LEFT", SS_LEFT},
      {"SS_CENTER", SS_CENTER},
      {"SS_RIGHT", SS_RIGHT},
      {"SS_ETCHEDHORZ", SS_ETCHEDHORZ},
      {"TVS_HASBUTTONS", TVS_HASBUTTONS},
      {"TVS_HASLINES", TVS_HASLINES},
      {"TVS_LINESATROOT", TVS_LINESATROOT},
      {"TVS_EDITLABELS", TVS_EDITLABELS},
      {"TVS_DISABLEDRAGDROP", TVS_DISABLEDRAGDROP},
      {"TVS_SHOWSELALWAYS", TVS_SHOWSELALWAYS},
      {"TVS_CHECKBOXES", TVS_CHECKBOXES},
      {"TVS_FULLROWSELECT", TVS_FULLROWSELECT},
      {"LVS_REPORT", LVS_REPORT},
      {"LVS_SINGLESEL", LVS_SINGLESEL},
      {"LVS_SHOWSELALWAYS", LVS_SHOWSELALWAYS},
      {"LVS_OWNERDRAWFIXED", LVS_OWNERDRAWFIXED},
      {"LVS_NOCOLUMNHEADER", LVS_NOCOLUMNHEADER},
  };
  return names;
}

class Parser {
 public:
  Parser(CResourceModule& module, std::string_view text, const DaruResourceFileReader& reader)
      : m_module(module), m_text(text), m_reader(reader) {}

  void Run() {
    for (Next(); m_tok.kind != Token::Kind::End;) Statement();
  }

 private:
  // ---- Tokens ----
  void SkipSpace() {
    for (;;) {
      while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) {
        if (m_text[m_pos] == '\n') ++m_line;
        ++m_pos;
      }
      if (m_text.compare(m_pos, 2, "//") == 0) {
        while (m_pos < m_text.size() && m_text[m_pos] != '\n') ++m_pos;
      } else if (m_text.compare(m_pos, 2, "/*") == 0) {
        const size_t end = m_text.find("*/", m_pos + 2);
        for (size_t i = m_pos; i < std::min(end, m_text.size()); ++i)
          if (m_text[i] == '\n') ++m_line;
        m_pos = end == std::string_view::npos ? m_text.size() : end + 2;
      } else if (m_pos < m_text.size() && m_text[m_pos] == '#' && AtLineStart()) {
        Preprocessor();
      } else {
        return;
      }
    }
  }

  bool AtLineStart() const {
    for (size_t i = m_pos; i-- > 0;) {
      if (m_text[i] == '\n') return true;
      if (!std::isspace(static_cast<unsigned char>(m_text[i]))) return false;
    }
    return true;
  }

  void Preprocessor() {
    size_t end = m_text.find('\n', m_pos);
    if (end == std::string_view::npos) end = m_text.size();
    const std::string line(m_text.substr(m_pos, end - m_pos));
    m_pos = end;
    if (line.rfind("#define", 0) != 0) return;
    size_t i = 7;
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    size_t nameEnd = i;
    while (nameEnd < line.size() && (std::isalnum(static_cast<unsigned char>(line[nameEnd])) || line[nameEnd] == '_'))
      ++nameEnd;
    const std::string name = line.substr(i, nameEnd - i);
    std::string value = line.substr(nameEnd);
    if (const size_t comment = value.find("//"); comment != std::string::npos) value.resize(comment);
    if (name.empty()) throw ScriptError(m_line, "#define without a name");
    Parser sub(m_module, value, m_reader);
    sub.m_names = m_names;
    sub.m_line = m_line;
    sub.Next();
    if (sub.m_tok.kind == Token::Kind::End) {
      m_names[name] = 0;
      return;
    }
    m_names[name] = sub.Expression();
  }

  void Next() {
    SkipSpace();
    m_tok = Token();
    m_tok.line = m_line;
    if (m_pos >= m_text.size()) return;
    const char c = m_text[m_pos];
    if (c == '"') {
      m_tok.kind = Token::Kind::Text;
      m_tok.text = QuotedText();
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '-' && m_pos + 1 < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text[m_pos + 1])))) {
      m_tok.kind = Token::Kind::Number;
      const std::string rest(m_text.substr(m_pos, 24));
      char* end = nullptr;
      m_tok.number = std::strtoll(rest.c_str(), &end, 0);
      m_pos += static_cast<size_t>(end - rest.c_str());
      while (m_pos < m_text.size() && (m_text[m_pos] == 'L' || m_text[m_pos] == 'l' || m_text[m_pos] == 'U')) ++m_pos;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      m_tok.kind = Token::Kind::Name;
      while (m_pos < m_text.size() && (std::isalnum(static_cast<unsigned char>(m_text[m_pos])) || m_text[m_pos] == '_'))
        m_tok.text.push_back(m_text[m_pos++]);
    } else {
      m_tok.kind = Token::Kind::Punct;
      m_tok.text = std::string(1, c);
      ++m_pos;
    }
  }

  std::string QuotedText() {
    std::string out;
    ++m_pos;
    for (;;) {
      if (m_pos >= m_text.size()) throw ScriptError(m_line, "unterminated text");
      const char c = m_text[m_pos++];
      if (c == '"') {
        if (m_pos < m_text.size() && m_text[m_pos] == '"') {
          out.push_back('"');
          ++m_pos;
          continue;
        }
        return out;
      }
      if (c == '\n') throw ScriptError(m_line, "line break inside a text");
      if (c == '\\' && m_pos < m_text.size()) {
        const char e = m_text[m_pos++];
        out.push_back(e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e);
        continue;
      }
      out.push_back(c);
    }
  }

  bool Is(const char* word) const { return m_tok.kind == Token::Kind::Name && m_tok.text == word; }
  bool IsPunct(char c) const { return m_tok.kind == Token::Kind::Punct && m_tok.text[0] == c; }
  [[noreturn]] void Fail(const std::string& what) const {
    std::string seen = m_tok.kind == Token::Kind::End ? "the end" : "\"" + m_tok.text + "\"";
    if (m_tok.kind == Token::Kind::Number) seen = std::to_string(m_tok.number);
    throw ScriptError(m_tok.line, what + ", found " + seen);
  }
  void ExpectComma() {
    if (!IsPunct(',')) Fail("expected ','");
    Next();
  }
  bool AtBegin() const { return Is("BEGIN") || IsPunct('{'); }
  bool AtEnd() const { return Is("END") || IsPunct('}'); }
  void ExpectBegin() {
    if (!AtBegin()) Fail("expected BEGIN");
    Next();
  }
  std::u16string Text() {
    if (m_tok.kind != Token::Kind::Text) Fail("expected a text in quotes");
    std::u16string t = FromUtf8(m_tok.text);
    Next();
    return t;
  }

  long long Value() {
    if (m_tok.kind == Token::Kind::Number) {
      const long long v = m_tok.number;
      Next();
      return v;
    }
    if (m_tok.kind == Token::Kind::Name) {
      const std::string name = m_tok.text;
      auto it = m_names.find(name);
      long long v = 0;
      if (it != m_names.end()) {
        v = it->second;
      } else if (auto known = KnownNames().find(name); known != KnownNames().end()) {
        v = known->second;
      } else {
        Fail("unknown name");
      }
      Next();
      return v;
    }
    if (IsPunct('(')) {
      Next();
      const long long v = Expression();
      if (!IsPunct(')')) Fail("expected ')'");
      Next();
      return v;
    }
    Fail("expected a number or a name");
  }

  // Terms joined by '|' or '+' are added to v; NOT term clears those bits from it.
  long long Expression(long long v = 0) {
    for (;;) {
      if (Is("NOT")) {
        Next();
        v &= ~Value();
      } else {
        v |= Value();
      }
      if (IsPunct('|') || IsPunct('+')) {
        Next();
        continue;
      }
      return v;
    }
  }

  UINT Id() {
    const long long v = Value();
    return v < 0 ? static_cast<UINT>(v & 0xFFFF) : static_cast<UINT>(v);
  }

  // ---- Statements ----
  void Statement() {
    if (Is("LANGUAGE")) {
      Next();
      Expression();
      ExpectComma();
      Expression();
      return;
    }
    if (Is("STRINGTABLE")) {
      Next();
      while (!AtBegin() && m_tok.kind != Token::Kind::End) Next();  // memory options
      ExpectBegin();
      while (!AtEnd()) {
        const UINT id = Id();
        if (IsPunct(',')) Next();
        m_module.AddString(id, Text());
      }
      Next();
      return;
    }
    const UINT id = Id();
    if (Is("MENU") || Is("MENUEX")) {
      Next();
      CMenuTemplate menu;
      ExpectBegin();
      menu.items = MenuItems();
      m_module.AddMenu(id, std::move(menu));
    } else if (Is("DIALOG") || Is("DIALOGEX")) {
      Next();
      m_module.AddDialog(id, Dialog());
    } else if (Is("BITMAP")) {
      Next();
      const std::string file = ToUtf8(Text());
      std::vector<uint8_t> bytes;
      if (!m_reader || !m_reader(file, bytes)) throw ScriptError(m_tok.line, "cannot read bitmap \"" + file + "\"");
      if (!m_module.AddBitmapFromBmp(id, bytes))
        throw ScriptError(m_tok.line, "\"" + file + "\" is not a bitmap this layer reads");
    } else {
      Fail("expected MENU, DIALOG, DIALOGEX or BITMAP");
    }
  }

  std::vector<CMenuTemplateItem> MenuItems() {
    std::vector<CMenuTemplateItem> items;
    while (!AtEnd()) {
      CMenuTemplateItem item;
      if (Is("POPUP")) {
        Next();
        item.text = Text();
        item.flags = MF_POPUP | MenuOptions();
        ExpectBegin();
        item.items = MenuItems();
      } else if (Is("MENUITEM")) {
        Next();
        if (Is("SEPARATOR")) {
          Next();
          item.flags = MF_SEPARATOR;
        } else {
          item.text = Text();
          ExpectComma();
          item.id = Id();
          item.flags = MenuOptions();
        }
      } else {
        Fail("expected POPUP, MENUITEM or END");
      }
      items.push_back(std::move(item));
    }
    Next();
    return items;
  }

  UINT MenuOptions() {
    UINT flags = 0;
    while (IsPunct(',') || Is("GRAYED") || Is("INACTIVE") || Is("CHECKED") || Is("MENUBARBREAK") || Is("MENUBREAK") ||
           Is("HELP")) {
      if (Is("GRAYED")) flags |= MF_GRAYED;
      if (Is("INACTIVE")) flags |= MF_DISABLED;
      if (Is("CHECKED")) flags |= MF_CHECKED;
      Next();
    }
    return flags;
  }

  CDialogTemplate Dialog() {
    CDialogTemplate t;
    t.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    const int x = static_cast<int>(Expression());
    ExpectComma();
    const int y = static_cast<int>(Expression());
    ExpectComma();
    const int cx = static_cast<int>(Expression());
    ExpectComma();
    const int cy = static_cast<int>(Expression());
    t.rect = CRect(x, y, x + cx, y + cy);
    if (IsPunct(',')) {  // DIALOGEX help id
      Next();
      Expression();
    }
    while (!AtBegin()) {
      if (Is("STYLE")) {
        Next();
        t.style = static_cast<DWORD>(Expression());
      } else if (Is("EXSTYLE")) {
        Next();
        t.exStyle = static_cast<DWORD>(Expression());
      } else if (Is("CAPTION")) {
        Next();
        t.caption = Text();
      } else if (Is("FONT")) {
        Next();
        t.pointSize = static_cast<int>(Expression());
        ExpectComma();
        t.fontFace = Text();
        while (IsPunct(',')) {
          Next();
          Expression();
        }
      } else if (Is("LANGUAGE")) {
        Next();
        Expression();
        ExpectComma();
        Expression();
      } else {
        Fail("expected STYLE, EXSTYLE, CAPTION, FONT or BEGIN");
      }
    }
    Next();
    while (!AtEnd()) t.items.push_back(Control());
    Next();
    return t;
  }

  CDialogItemTemplate Control() {
    struct Kind {
      const char* word;
      const char16_t* cls;
      DWORD style;
      bool hasText;
    };
    static const Kind kinds[] = {
        {"LTEXT", u"Static", SS_LEFT | WS_GROUP, true},
        {"RTEXT", u"Static", SS_RIGHT | WS_GROUP, true},
        {"CTEXT", u"Static", SS_CENTER | WS_GROUP, true},
        {"EDITTEXT", u"Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, false},
        {"PUSHBUTTON", u"Button", BS_PUSHBUTTON | WS_TABSTOP, true},
        {"DEFPUSHBUTTON", u"Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true},
        {"GROUPBOX", u"Button", BS_GROUPBOX, true},
        {"CHECKBOX", u"Button", BS_CHECKBOX | WS_TABSTOP, true},
        {"AUTOCHECKBOX", u"Button", BS_AUTOCHECKBOX | WS_TABSTOP, true},
        {"RADIOBUTTON", u"Button", BS_RADIOBUTTON, true},
        {"AUTORADIOBUTTON", u"Button", BS_AUTORADIOBUTTON, true},
    };
    CDialogItemTemplate item;
    if (Is("CONTROL")) {
      Next();
      item.text = Text();
      ExpectComma();
      item.id = Id();
      ExpectComma();
      item.className = Text();
      ExpectComma();
      item.style = static_cast<DWORD>(Expression()) | WS_CHILD | WS_VISIBLE;
      ExpectComma();
      item.rect = Rect();
      if (IsPunct(',')) {
        Next();
        item.exStyle = static_cast<DWORD>(Expression());
      }
      return item;
    }
    for (const Kind& k : kinds) {
      if (!Is(k.word)) continue;
      Next();
      if (k.hasText) {
        item.text = Text();
        ExpectComma();
      }
      item.id = Id();
      ExpectComma();
      item.className = k.cls;
      item.rect = Rect();
      item.style = k.style | WS_CHILD | WS_VISIBLE;
      if (IsPunct(',')) {
        Next();
        // Given styles add to the defaults; NOT takes defaults away.
        item.style = static_cast<DWORD>(Expression(item.style));
        if (IsPunct(',')) {
          Next();
          item.exStyle = static_cast<DWORD>(Expression());
        }
      }
      return item;
    }
    Fail("expected a control statement or END");
  }

  CRect Rect() {
    const int x = static_cast<int>(Expression());
    ExpectComma();
    const int y = static_cast<int>(Expression());
    ExpectComma();
    const int cx = static_cast<int>(Expression());
    ExpectComma();
    const int cy = static_cast<int>(Expression());
    return CRect(x, y, x + cx, y + cy);
  }

  CResourceModule& m_module;
  std::string_view m_text;
  const DaruResourceFileReader& m_reader;
  size_t m_pos = 0;
  int m_line = 1;
  Token m_tok;
  std::map<std::string, long long> m_names;
};

}  // namespace

bool DaruLoadResourceScript(CResourceModule& module, std::string_view script, std::string* error,
                            const DaruResourceFileReader& readFile) {
  try {
    Parser parser(module, script, readFile);
    parser.Run();
    return true;
  } catch (const ScriptError& e) {
    if (error != nullptr) *error = e.what();
    return false;
  }
}
