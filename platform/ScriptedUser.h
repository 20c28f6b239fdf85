#pragma once

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/ModalSession.h"
#include "platform/UserInteraction.h"

// A user for tests: answers from a script, in order, and records everything
// it was shown. When the code asks for something the script does not have
// next (another kind of question, an unexpected text, a button the message
// box lacks, a disabled menu item), it throws CScriptedUserError describing
// what was asked and what happened before, which fails the test.
// Not exported: tests link the static archive; a host brings its own user.

class CScriptedUserError : public std::logic_error {
 public:
  explicit CScriptedUserError(const std::string& what) : std::logic_error(what) {}
};

class CScriptedUser : public IUserInteraction {
 public:
  using DialogStep = std::function<void(CModalSession&)>;

  struct Event {
    enum class Kind { MessageBox, PopupMenu, Dialog };
    Kind kind = Kind::MessageBox;
    std::u16string text;     // message text, or the dialog's title
    std::u16string caption;  // message box caption
    UINT type = 0;           // message box type
    int answer = 0;          // button chosen
    CPopupMenuView menu;     // the menu as shown
    UINT chosen = 0;         // command picked, 0 when dismissed
    UINT templateId = 0;     // dialog template (of the active page for a sheet)
    std::vector<std::u16string> tabs;
    std::u16string snapshot;  // the dialog as the round began
  };

  CScriptedUser();
  ~CScriptedUser() override;

  // ---- The script ----
  CScriptedUser& AnswerMessageBox(int button);
  // Also requires the box to show exactly that text.
  CScriptedUser& AnswerMessageBox(int button, const std::u16string& expectedText);
  CScriptedUser& PickMenuItem(UINT commandId);
  CScriptedUser& PickMenuItem(const std::u16string& itemText);
  CScriptedUser& DismissMenu();
  // One round of work in a modal dialog or sheet; with a title, the dialog must have it.
  CScriptedUser& Dialog(DialogStep step);
  CScriptedUser& Dialog(const std::u16string& expectedTitle, DialogStep step);

  // Rounds for Dialog(): type the texts into the edits, then press a button.
  static DialogStep Fill(std::vector<std::pair<UINT, std::u16string>> texts, UINT press = IDOK);
  static DialogStep Press(UINT id);

  // ---- What was shown ----
  const std::vector<Event>& Events() const { return m_events; }
  std::vector<std::u16string> MessageTexts() const;
  // Every event as a line of text (UTF-8).
  std::string Transcript() const;
  size_t PendingSteps() const { return m_steps.size(); }
  std::string PendingDescription() const;
  void Clear();

  int MessageBox(const std::u16string& text, const std::u16string& caption, UINT type) override;
  UINT TrackPopupMenu(const CPopupMenuView& menu) override;
  void OperateDialog(CModalSession& dialog) override;

 private:
  struct Step {
    Event::Kind kind = Event::Kind::MessageBox;
    int answer = 0;
    bool checkText = false;
    std::u16string text;
    UINT id = 0;
    bool byText = false;
    bool dismiss = false;
    DialogStep round;
  };
  [[noreturn]] void Fail(const std::string& what) const;
  static std::string Describe(const Step& step);

  std::deque<Step> m_steps;
  std::vector<Event> m_events;
};
