#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/DaruApi.h"

// Checks that the catalogue under the data root and the article files beside
// it agree with each other, and repairs on request what can be repaired
// without losing anything a user stored:
//
//   - the engine's own integrity check passes;
//   - there is one head label, every other label's parent exists, and no
//     label's parents loop;
//   - every link names an existing article and label, once;
//   - each article's label count equals its number of links, and it has one;
//   - one article row per folder name;
//   - every subscription's label exists;
//   - every article has its readable description file in its type folder;
//   - no description file or article folder is left without its article row,
//     and no unfinished copy of an interrupted write is left behind.
//
// The check reads one consistent snapshot; with repair it holds the write
// lock for the whole run, so no other writer changes the catalogue under it.
class DARU_API CCatalogueCheck {
 public:
  enum Fault {
    Integrity,           // the engine found the file damaged; nothing is repaired then
    HeadLabel,           // no head label, or more than one
    MissingParent,       // a label's parent does not exist: moved under the head label
    LabelCycle,          // a label's parents loop: the loop is cut under the head label
    DuplicateLink,       // one article linked to one label more than once: one link kept
    LinkWithoutArticle,  // a link names no article: the link goes
    LinkWithoutLabel,    // a link names no label: the link goes
    DuplicateArticle,    // two rows for one folder name: merged into the oldest, links kept
    LabelCount,          // the label count differs from the links: set to the links
    UnfiledArticle,      // an article without any link: filed under its first label, or "未分类", or the head
    UnsafeRow,           // a folder name or type folder leading outside the DARU folder: left alone
    UnknownType,         // an article type without a folder: left alone
    SubscriptionLabel,   // a subscription's label does not exist: its items go to the channel's label again
    // The faults below concern the article files, those above the catalogue.
    MissingTypeFolder,   // a type folder missing: created
    MissingDescription,  // no description file: written anew from the catalogue row
    BadDescription,      // an unreadable description file: kept aside as .damaged, written anew
    OrphanDescription,   // a description file without its article row: removed
    OrphanFolder,        // an article folder without its article row: removed with its content
    LeftoverFile,        // the unfinished copy of an interrupted file write: removed
  };

  struct Finding {
    Fault fault;
    std::u16string text;  // one line, for people
    bool repaired;
  };

  CCatalogueCheck();
  ~CCatalogueCheck();

  // Checks, and with repair fixes, the catalogue of the data root. False when
  // the check could not run to its end (no DARU folder, no catalogue, not a
  // catalogue, locked too long); the reason is then in GetError, and the
  // findings hold what was found before.
  bool Run(bool repair);

  const std::vector<Finding>& GetFindings() const { return m_findings; }
  // Ran to its end and found nothing.
  bool IsClean() const { return m_ran && m_findings.empty(); }
  size_t Count(Fault fault) const;
  // Findings that are still there after the run.
  size_t Remaining() const;
  const std::u16string& GetError() const { return m_error; }

  // A short stable name for scripts, such as "label-count".
  static const char16_t* FaultName(Fault fault);

 private:
  struct Snapshot;
  class Runner;

  std::vector<Finding> m_findings;
  std::u16string m_error;
  bool m_ran;
};
