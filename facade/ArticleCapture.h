#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/DaruApi.h"
#include "core/CaptureItems.h"
#include "content/MediaCheck.h"
#include "core/Article.h"
#include "core/Records.h"

// One page or feed item on its way into a label, as every way in hands it to
// CDARU::Capture: the browser and feed captures of the tree, the list's add
// command, and the hosts' save, feed and import.
struct CCaptureRequest {
  CLabel* label = nullptr;  // borrowed: the label to file under
  std::u16string link;      // the article's identity: its folder name is the link's digest
  bool storeLink = true;    // false: the row keeps no link (a feed item known by its file)
  std::u16string title;
  std::u16string type;  // the article type's code: "B" page, "A" feed item
  std::u16string keywords;
  // The texts of the description file. A new article gets them, and so does a
  // stored one whose description file is missing or holds none of them.
  std::optional<std::u16string> description;
  std::optional<std::u16string> comment;
  // A stored link: false only reports it (nothing changes unless it is filed
  // under the label already); true files it under the label as well.
  bool fileStored = true;
  // A stored article takes the texts given here in place of its own (a person
  // typed them); otherwise it keeps its own and the outcome lists them as kept.
  bool replaceStoredTexts = false;
  // What a new article is stored with, in the same write as its row; a
  // stored article keeps its own. Unset: read, not important, dated now.
  std::optional<bool> read;
  std::optional<bool> important;
  std::optional<long long> created;       // seconds since the epoch
  const CRSSSubItem* feedItem = nullptr;  // borrowed: the feed data its description file carries
  std::u16string media;                   // a media file to keep a copy of, checked with CheckMediaFile
  std::u16string mediaFolder;             // the folder the media file must really lie in
};

enum class CaptureResult {
  New,           // stored and filed under the label
  Filed,         // the link was stored: now filed under the label as well
  AlreadyFiled,  // the link was stored under the label already
  Stored,        // the link is stored elsewhere and was only reported (fileStored false)
  Refused,       // nothing changed: see refusal and reason
};

enum class CaptureRefusal {
  None,
  NoLabel,
  UnknownType,            // no article type has the code, or its folder is empty
  Catalogue,              // the store failed; its reason is the reason
  Busy,                   // another capture held the library too long
  DescriptionFile,        // the description file could not be written
  DescriptionUnreadable,  // the stored description file cannot be read, and is kept as it is
  MediaCopy,              // an accepted media file could not be copied
};

enum class MediaOutcome {
  None,     // no media file asked for, or the article is stored already and keeps its copy
  Copied,   // mime.zevm holds the copy
  Refused,  // the check refused the file (see mediaCheck); the article is stored without a copy
};

// What a capture did. The article is the outcome's unless the facade's result
// list holds it (the label is the facade's current label); then it is borrowed.
class DARU_API CCaptureOutcome {
 public:
  CCaptureOutcome();
  CCaptureOutcome(CCaptureOutcome&&) noexcept;
  CCaptureOutcome& operator=(CCaptureOutcome&&) noexcept;
  ~CCaptureOutcome();

  bool Succeeded() const { return result != CaptureResult::Refused; }
  // Null when refused.
  CArticle* Article() const { return m_article; }
  bool Listed() const { return m_article != nullptr && !m_owned; }
  // Hands the article over: the caller owns it from now on. Null when the
  // result list holds it (or there is none).
  CArticle* Release();

  CaptureResult result = CaptureResult::Refused;
  CaptureRefusal refusal = CaptureRefusal::None;
  std::u16string reason;  // why it was refused, for people
  // The steps done before the refusal were undone: nothing was saved.
  bool undone = false;
  // Why undoing them failed too; empty otherwise.
  std::u16string undoFailure;
  // Of a stored article's description and comment: which the capture changed
  // and which it kept (given but different); "description", "comment".
  std::vector<std::u16string> changed;
  std::vector<std::u16string> kept;
  // A stored article's missing or empty description file was written again
  // from this capture.
  bool restored = false;
  MediaOutcome media = MediaOutcome::None;
  MediaCheck mediaCheck = MediaCheck::Accepted;

 private:
  friend class CDARU;
  std::unique_ptr<CArticle> m_owned;  // owned unless listed
  CArticle* m_article = nullptr;      // m_owned's, or borrowed from the facade's result list
};
