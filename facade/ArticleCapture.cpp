// The one capture of the library: the catalogue row and its link, the
// description file and the media copy, undone together when a step fails.

#include "facade/ArticleCapture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "base/TextConv.h"
#include "content/ArticleFiles.h"
#include "content/PathOps.h"
#include "core/ArticleLocations.h"
#include "facade/DARU.h"
#include "storage/DB.h"

CCaptureOutcome::CCaptureOutcome() = default;
CCaptureOutcome::CCaptureOutcome(CCaptureOutcome&&) noexcept = default;
CCaptureOutcome& CCaptureOutcome::operator=(CCaptureOutcome&&) noexcept = default;
CCaptureOutcome::~CCaptureOutcome() = default;

CArticle* CCaptureOutcome::Release() {
  if (!m_owned) return nullptr;
  m_article = nullptr;
  return m_owned.release();
}

namespace {

// As long as the catalogue's busy timeout: a capture that waits longer than
// the catalogue would is told so.
constexpr auto kLockWait = std::chrono::seconds(60);

// Captures of one library, in any process, run one at a time: the one that
// finds a link stored then also finds that capture's description file
// complete, and its read, change and write of the file cannot interleave
// with another's. The lock is the DARU folder's own (flock), so no file is
// added and a killed process leaves nothing held.
class CCaptureLock {
 public:
  CCaptureLock() {
    m_fd = open(ToUtf8(GetDaruFolder()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Without the folder the capture fails at its files; nothing to guard.
    if (m_fd < 0) {
      m_held = true;
      return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    auto pause = std::chrono::microseconds(50);
    while (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
      // A file system without locks: captures run as the catalogue orders them.
      if (errno != EWOULDBLOCK && errno != EINTR) break;
      if (std::chrono::steady_clock::now() > deadline) return;
      std::this_thread::sleep_for(pause);
      pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
    m_held = true;
  }
  ~CCaptureLock() {
    if (m_fd >= 0) close(m_fd);  // releases the lock
  }
  CCaptureLock(const CCaptureLock&) = delete;
  CCaptureLock& operator=(const CCaptureLock&) = delete;
  bool Held() const { return m_held; }

 private:
  int m_fd = -1;
  bool m_held = false;
};

// Lends the caller's feed item to the article while its description file is
// written; the article keeps no pointer to it.
class CLentFeed {
 public:
  CLentFeed(CArticle& article, const CRSSSubItem* item) : m_article(article), m_lent(item != nullptr) {
    if (m_lent) m_article.SetRSSSubItem(const_cast<CRSSSubItem*>(item));
  }
  ~CLentFeed() {
    if (m_lent) m_article.SetRSSSubItem(nullptr);
  }
  CLentFeed(const CLentFeed&) = delete;
  CLentFeed& operator=(const CLentFeed&) = delete;

 private:
  CArticle& m_article;  // borrowed
  bool m_lent;
};

enum class FileState { Missing, Unreadable, Readable };

// Reads what a rewrite of a stored article's description file must keep;
// without texts to compare or write, only whether the file is there.
FileState LoadStored(CArticle& article, bool texts) {
  struct stat st {};
  if (lstat(ToUtf8(article.GetDescriptionFilename()).c_str(), &st) != 0) return FileState::Missing;
  if (!texts) return FileState::Readable;
  if (article.DescriptionFileIsUnreadable()) return FileState::Unreadable;
  article.LoadDescription();
  article.LoadComment();
  article.LoadFeedDataToKeep();  // a page stays a page
  return FileState::Readable;
}

std::u16string WriteFailure(CArticle& article) {
  const std::u16string file = article.GetDescriptionFilename();
  if (article.DescriptionFileIsUnreadable())
    return u"the description file " + file + u" cannot be read, so it is kept as it is";
  return u"cannot write the description file " + file;
}

}  // namespace

bool CDARU::UndoFiling(CArticle& article, CLabel* label) {
  // The filing this capture made goes; with it the row and its files when it
  // was the article's only label (a new article).
  CArticle copy(article);
  copy.SetRSSSubItem(nullptr);
  return m_pDB->DeleteArticle(&copy, label);
}

void CDARU::CopyMedia(const CCaptureRequest& request, CArticle& article, CCaptureOutcome& out) {
  if (request.media.empty()) return;
  out.mediaCheck = CheckMediaFile(request.media, request.mediaFolder);
  if (out.mediaCheck != MediaCheck::Accepted) {
    out.media = MediaOutcome::Refused;
    return;
  }
  if (!CopyMediaFile(article, request.media)) {
    out.refusal = CaptureRefusal::MediaCopy;
    out.reason = u"cannot copy the media file " + request.media + u" to " + GetMediaCopyPath(article.filename);
    return;
  }
  out.media = MediaOutcome::Copied;
}

void CDARU::CaptureNew(const CCaptureRequest& request, CArticle& article, CCaptureOutcome& out) {
  article.SetDescription(request.description.value_or(std::u16string()));
  article.SetComment(request.comment.value_or(std::u16string()));
  bool written = false;
  {
    CLentFeed lent(article, request.feedItem);
    written = article.RewriteDescriptionFile();
  }
  if (!written) {
    out.refusal =
        article.DescriptionFileIsUnreadable() ? CaptureRefusal::DescriptionUnreadable : CaptureRefusal::DescriptionFile;
    out.reason = WriteFailure(article);
  } else {
    CopyMedia(request, article, out);
  }
  if (out.refusal == CaptureRefusal::None) {
    out.result = CaptureResult::New;
    return;
  }
  out.result = CaptureResult::Refused;
  out.undone = UndoFiling(article, request.label);
  if (!out.undone) out.undoFailure = u"undoing the capture failed too: " + GetLastDBError();
}

void CDARU::CaptureStored(const CCaptureRequest& request, CArticle& article, StoredLink how, CCaptureOutcome& out) {
  // A filing alone (no texts, no feed data) reads nothing of the file.
  const bool texts = request.description || request.comment || request.feedItem != nullptr;
  const FileState state = LoadStored(article, texts);
  const bool filedNow = how == StoredLink::FiledNow;
  const bool reportOnly = how == StoredLink::NotFiled;
  // Asked only to report, a capture changes an article filed under the label
  // already only where a person typed texts for it.
  const bool changes = !reportOnly && (request.fileStored || request.replaceStoredTexts);
  // A file that is missing, or that holds nothing a capture brings (a
  // catalogue check rebuilt it from the row, or a capture was killed before
  // writing it), gets this capture's texts and feed data.
  const bool empty = texts && state == FileState::Readable && article.description.empty() && article.comment.empty() &&
                     article.GetRSSSubItem() == nullptr;
  const bool restore = changes && (state == FileState::Missing || empty);

  bool write = changes && state == FileState::Missing;
  bool refilled = false;  // the file gets back what only this capture had
  auto apply = [&](const char16_t* name, const std::optional<std::u16string>& given, std::u16string& current) {
    if (!given || *given == current) return;
    if (state != FileState::Unreadable && changes && (request.replaceStoredTexts || (restore && current.empty()))) {
      refilled = refilled || !request.replaceStoredTexts;
      current = *given;
      out.changed.push_back(name);
      write = true;
    } else {
      out.kept.push_back(name);
    }
  };
  apply(u"description", request.description, article.description);
  apply(u"comment", request.comment, article.comment);
  const bool lendFeed =
      restore && article.GetRSSSubItem() == nullptr && request.feedItem != nullptr && request.feedItem->HasData();
  write = write || lendFeed;

  if (reportOnly) {
    out.result = CaptureResult::Stored;
    return;
  }
  if (state == FileState::Unreadable && request.replaceStoredTexts && !out.kept.empty()) {
    // The texts given cannot be written without losing what the file holds.
    out.refusal = CaptureRefusal::DescriptionUnreadable;
    out.reason = WriteFailure(article);
  } else if (write) {
    bool written = false;
    {
      CLentFeed lent(article, lendFeed ? request.feedItem : nullptr);
      written = article.RewriteDescriptionFile();
    }
    if (!written) {
      out.refusal = article.DescriptionFileIsUnreadable() ? CaptureRefusal::DescriptionUnreadable
                                                          : CaptureRefusal::DescriptionFile;
      out.reason = WriteFailure(article);
    } else {
      out.restored = state == FileState::Missing || refilled || lendFeed;
      // A restored feed item gets its media copy back when it has none.
      if (restore && !PathExists(GetMediaCopyPath(article.filename), true)) {
        CopyMedia(request, article, out);
        if (out.refusal == CaptureRefusal::MediaCopy) {
          // The texts are back; only the copy is missing, as before.
          out.refusal = CaptureRefusal::None;
          out.media = MediaOutcome::Refused;
        }
      }
    }
  }
  if (out.refusal == CaptureRefusal::None) {
    out.result = filedNow ? CaptureResult::Filed : CaptureResult::AlreadyFiled;
    return;
  }
  out.result = CaptureResult::Refused;
  out.changed.clear();
  if (!filedNow) return;  // nothing was changed to undo
  out.undone = UndoFiling(article, request.label);
  if (!out.undone) out.undoFailure = u"undoing the capture failed too: " + GetLastDBError();
}

void CDARU::HandOver(CLabel* label, std::unique_ptr<CArticle> article, CCaptureOutcome& out) {
  // The result list holds the current label's articles: an article filed
  // under it joins the list, or is the one listed already.
  if (label == m_pCurLabel && out.result != CaptureResult::Stored) {
    // A new row cannot be listed yet: only a stored one is looked for.
    CArticle* listed = out.result == CaptureResult::New ? nullptr : FindListed(article->filename);
    if (listed != nullptr) {
      listed->labels = article->labels;
      if (!out.changed.empty() || out.restored) {
        listed->SetDescription(article->description);
        listed->SetComment(article->comment);
      }
      out.m_article = listed;
      return;
    }
    m_articles.push_back(article.release());
    out.m_article = m_articles.back();
    return;
  }
  out.m_owned = std::move(article);
  out.m_article = out.m_owned.get();
}

CCaptureOutcome CDARU::Capture(const CCaptureRequest& request) {
  CCaptureOutcome out;
  auto refuse = [&out](CaptureRefusal why, std::u16string text) {
    out.result = CaptureResult::Refused;
    out.refusal = why;
    out.reason = std::move(text);
  };
  if (request.label == nullptr) {
    refuse(CaptureRefusal::NoLabel, u"no label to file the article under");
    return out;
  }
  if (FindArticlePath(request.type).empty()) {
    refuse(CaptureRefusal::UnknownType, u"the catalogue has no article type '" + request.type + u"'");
    return out;
  }
  const std::string digest = MD5(request.link);
  if (digest.empty() || m_pDB == nullptr) {
    refuse(CaptureRefusal::Catalogue, m_pDB == nullptr ? u"the catalogue is not open" : u"");
    return out;
  }
  CCaptureLock lock;
  if (!lock.Held()) {
    refuse(CaptureRefusal::Busy, u"another capture held the library too long");
    return out;
  }

  auto article = std::make_unique<CArticle>();
  article->filename = std::u16string(digest.begin(), digest.end());
  article->url = request.storeLink ? request.link : std::u16string();
  article->title = request.title;
  article->type = request.type;
  article->label = request.label->labelid;
  article->key1 = request.keywords;
  article->crdate.SetNowTime();
  if (request.created) article->crdate.SetTimeLong(static_cast<long>(*request.created));
  CNewArticleMarks marks;
  if (request.read) article->readflag = marks.read = *request.read;
  if (request.important) article->impflag = marks.important = *request.important;
  article->descfile = article->GetDescriptionFilename();

  int stored = -1;
  if (!request.fileStored) {
    // Asked only to report a stored link: look first, and file nothing that
    // is stored. A link another process stores right after this look is
    // found by the capture below, inside its transaction.
    CArticle pattern;
    pattern.filename = article->filename;
    std::vector<CArticle*> found;
    const bool queried = m_pDB->QueryArticle(found, pattern, kArticleMaskFilename, false);
    std::unique_ptr<CArticle> existing;
    for (CArticle* a : found) {
      std::unique_ptr<CArticle> owned(a);
      if (queried && a->filename == article->filename && (!existing || a->articleid < existing->articleid))
        existing = std::move(owned);
    }
    if (!queried) {
      refuse(CaptureRefusal::Catalogue, GetLastDBError());
      return out;
    }
    if (existing) {
      CLabelToArticle link(request.label->labelid, existing->articleid);
      stored = m_pDB->QueryLabelToArticle(link) ? 2 : 3;
      article = std::move(existing);
    }
  }
  if (stored < 0) stored = m_pDB->CaptureArticle(*article, marks);

  switch (stored) {
    case 0:
      CaptureNew(request, *article, out);
      break;
    case 1:
      CaptureStored(request, *article, StoredLink::FiledNow, out);
      break;
    case 2:
      CaptureStored(request, *article, StoredLink::AlreadyFiled, out);
      break;
    case 3:
      CaptureStored(request, *article, StoredLink::NotFiled, out);
      break;
    default:
      refuse(CaptureRefusal::Catalogue, GetLastDBError());
      break;
  }
  if (out.result == CaptureResult::Refused) return out;
  HandOver(request.label, std::move(article), out);
  return out;
}
