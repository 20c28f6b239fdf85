#include "platform/ScriptedUser.h"

#include "base/TextConv.h"
#include "base/U16Format.h"

CScriptedUser::CScriptedUser() = default;
CScriptedUser::~CScriptedUser() = default;

CScriptedUser& CScriptedUser::AnswerMessageBox(int button) {
  Step s;
  s.kind = Event::Kind::MessageBox;
  s.answer = button;
  m_steps.push_back(std::move(s));
  return *this;
}

CScriptedUser& CScriptedUser::AnswerMessageBox(int button, const std::u16string& expectedText) {
  Step s;
  s.kind = Event::Kind::MessageBox;
  s.answer = button;
  s.checkText = true;
  s.text = expectedText;
  m_steps.push_back(std::move(s));
  return *this;
}

CScriptedUser& CScriptedUser::PickMenuItem(UINT commandId) {
  Step s;
  s.kind = Event::Kind::PopupMenu;
  s.id = commandId;
  m_steps.push_back(std::move(s));
  return *this;
}

CScriptedUser& CScriptedUser::PickMenuItem(const std::u16string& itemText) {
  Step s;
  s.kind = Event::Kind::PopupMenu;
  s.byText = true;
  s.text = itemText;
  m_steps.push_back(std::move(s));
  return *this;
}

CScriptedUser& CScriptedUser::DismissMenu() {
  Step s;
  s.kind = Event::Kind::PopupMenu;
  s.dismiss = true;
  m_steps.push_back(std::move(s));
  return *this;
}

CScriptedUser& CScriptedUser::Dialog(DialogStep step) { return Dialog(u"", std::move(step)); }

CScriptedUser& CScriptedUser::Dialog(const std::u16string& expectedTitle, DialogStep step) {
  Step s;
  s.kind = Event::Kind::Dialog;
  s.checkText = !expectedTitle.empty();
  s.text = expectedTitle;
  s.round = std::move(step);
  m_steps.push_back(std::move(s));
  return *this;
}

CScriptedUser::DialogStep CScriptedUser::Fill(std::vector<std::pair<UINT, std::u16string>> texts, UINT press) {
  return [texts = std::move(texts), press](CModalSession& dialog) {
    for (const auto& [id, text] : texts) dialog.SetText(id, text);
    if (press != 0) dialog.Click(press);
  };
}

CScriptedUser::DialogStep CScriptedUser::Press(UINT id) {
  return [id](CModalSession& dialog) { dialog.Click(id); };
}

std::vector<std::u16string> CScriptedUser::MessageTexts() const {
  std::vector<std::u16string> out;
  for (const Event& e : m_events)
    if (e.kind == Event::Kind::MessageBox) out.push_back(e.text);
  return out;
}

std::string CScriptedUser::Transcript() const {
  std::string out;
  for (const Event& e : m_events) {
    switch (e.kind) {
      case Event::Kind::MessageBox:
        out += "message box \"" + ToUtf8(e.text) + "\" caption \"" + ToUtf8(e.caption) + "\" type " +
               ToUtf8(Fmt(u"0x%x", e.type)) + " -> " + std::to_string(e.answer) + "\n";
        break;
      case Event::Kind::PopupMenu:
        out += "popup menu -> " + (e.chosen ? std::to_string(e.chosen) : std::string("dismissed")) + "\n" +
               ToUtf8(e.menu.Describe());
        break;
      case Event::Kind::Dialog:
        out +=
            "dialog \"" + ToUtf8(e.text) + "\" (template " + std::to_string(e.templateId) + ")\n" + ToUtf8(e.snapshot);
        break;
    }
  }
  return out;
}

std::string CScriptedUser::Describe(const Step& s) {
  switch (s.kind) {
    case Event::Kind::MessageBox:
      return "answer a message box with " + std::to_string(s.answer) +
             (s.checkText ? " (expecting \"" + ToUtf8(s.text) + "\")" : std::string());
    case Event::Kind::PopupMenu:
      if (s.dismiss) return "dismiss a popup menu";
      return "pick " + (s.byText ? "\"" + ToUtf8(s.text) + "\"" : std::to_string(s.id)) + " from a popup menu";
    case Event::Kind::Dialog:
      return "work a dialog" + (s.checkText ? " titled \"" + ToUtf8(s.text) + "\"" : std::string());
  }
  return {};
}

std::string CScriptedUser::PendingDescription() const {
  std::string out;
  for (const Step& s : m_steps) out += Describe(s) + "\n";
  return out;
}

void CScriptedUser::Clear() {
  m_steps.clear();
  m_events.clear();
}

void CScriptedUser::Fail(const std::string& what) const {
  throw CScriptedUserError("scripted user: " + what + "\n--- shown so far ---\n" + Transcript());
}

int CScriptedUser::MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) {
  const std::string shown = "message box \"" + ToUtf8(text) + "\" (caption \"" + ToUtf8(caption) + "\")";
  if (m_steps.empty()) Fail("the code showed " + shown + " but the script has no more steps");
  if (m_steps.front().kind != Event::Kind::MessageBox)
    Fail("the code showed " + shown + " but the next step is to " + Describe(m_steps.front()));
  Step step = std::move(m_steps.front());
  m_steps.pop_front();
  Event e;
  e.kind = Event::Kind::MessageBox;
  e.text = text;
  e.caption = caption;
  e.type = type;
  e.answer = step.answer;
  m_events.push_back(e);
  if (step.checkText && step.text != text) Fail("expected message box \"" + ToUtf8(step.text) + "\", got " + shown);
  if (!MessageBoxHasButton(type, step.answer))
    Fail("the script answers " + std::to_string(step.answer) + " but " + shown + " has no such button");
  return step.answer;
}

UINT CScriptedUser::TrackPopupMenu(const CPopupMenuView& menu) {
  if (m_steps.empty())
    Fail("the code showed a popup menu but the script has no more steps:\n" + ToUtf8(menu.Describe()));
  if (m_steps.front().kind != Event::Kind::PopupMenu)
    Fail("the code showed a popup menu but the next step is to " + Describe(m_steps.front()) + "\n" +
         ToUtf8(menu.Describe()));
  Step step = std::move(m_steps.front());
  m_steps.pop_front();
  Event e;
  e.kind = Event::Kind::PopupMenu;
  e.menu = menu;
  const CMenuItemView* item = nullptr;
  if (!step.dismiss) {
    item = step.byText ? menu.FindByText(step.text) : menu.FindById(step.id);
    e.chosen = item ? item->id : 0;
  }
  m_events.push_back(e);
  if (step.dismiss) return 0;
  if (item == nullptr) Fail("cannot " + Describe(step) + ": the menu has no such item\n" + ToUtf8(menu.Describe()));
  if (!item->enabled) Fail("cannot " + Describe(step) + ": the item is disabled\n" + ToUtf8(menu.Describe()));
  return item->id;
}

void CScriptedUser::OperateDialog(CModalSession& dialog) {
  const std::string shown =
      "dialog \"" + ToUtf8(dialog.Title()) + "\" (template " + std::to_string(dialog.TemplateId()) + ")";
  if (m_steps.empty())
    Fail("the code showed " + shown + " but the script has no more steps\n" + ToUtf8(dialog.Snapshot()));
  if (m_steps.front().kind != Event::Kind::Dialog)
    Fail("the code showed " + shown + " but the next step is to " + Describe(m_steps.front()) + "\n" +
         ToUtf8(dialog.Snapshot()));
  Step step = std::move(m_steps.front());
  m_steps.pop_front();
  Event e;
  e.kind = Event::Kind::Dialog;
  e.text = dialog.Title();
  e.templateId = dialog.TemplateId();
  e.tabs = dialog.Tabs();
  e.snapshot = dialog.Snapshot();
  m_events.push_back(e);
  if (step.checkText && step.text != dialog.Title())
    Fail("expected dialog \"" + ToUtf8(step.text) + "\", got " + shown);
  if (step.round) step.round(dialog);
}
