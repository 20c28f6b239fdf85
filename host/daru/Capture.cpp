#include "daru/Capture.h"

#include "daru/Request.h"

Report Message(std::string text, nlohmann::json data) {
  data["message"] = std::move(text);
  return {Report::Kind::Message, std::move(data)};
}

std::string Quoted(const std::u16string& text) { return "'" + ToUtf8(text) + "'"; }
std::string Named(const CLabel* label) { return Quoted(label->name) + " #" + std::to_string(label->labelid); }

void LoadForRewrite(CArticle* article) {
  article->LoadDescription();
  article->LoadComment();
  article->LoadFeedDataToKeep();
}

bool WriteDescription(CArticle* article, std::string& why) {
  if (article->RewriteDescriptionFile()) return true;
  const std::string file = ToUtf8(article->GetDescriptionFilename());
  if (article->DescriptionFileIsUnreadable())
    why = "the description file " + file +
          " cannot be read, so it is kept as it is ('daru check --repair' sets it aside)";
  else
    why = "cannot write the description file " + file;
  return false;
}

std::string RefusalText(Session& s, const CCaptureOutcome& outcome, bool sayUndone) {
  std::string text = ToUtf8(outcome.reason);
  if (outcome.refusal == CaptureRefusal::Catalogue || text.empty())
    text = s.LastError(text.empty() ? "the catalogue refused it" : text);
  if (outcome.refusal == CaptureRefusal::DescriptionUnreadable) text += " ('daru check --repair' sets it aside)";
  if (outcome.undone && sayUndone) text += "; nothing was saved";
  if (!outcome.undoFailure.empty()) text += "; " + ToUtf8(outcome.undoFailure);
  return text;
}

CCaptureOutcome CaptureOrFail(Session& s, const CCaptureRequest& request, const std::string& what) {
  CCaptureOutcome outcome = s.Daru()->Capture(request);
  if (outcome.Succeeded()) return outcome;
  const std::string why = RefusalText(s, outcome);
  switch (outcome.refusal) {
    case CaptureRefusal::Catalogue:
    case CaptureRefusal::UnknownType:
    case CaptureRefusal::NoLabel:
    case CaptureRefusal::Busy:
      throw HostError(what + ": " + why);
    default:
      throw HostError(why);
  }
}

int ResultCode(CaptureResult result) {
  switch (result) {
    case CaptureResult::New:
      return 0;
    case CaptureResult::Filed:
      return 1;
    case CaptureResult::Stored:
      return 2;
    default:
      return 3;
  }
}

std::string MediaWarning(const std::u16string& media, MediaCheck check) {
  if (check == MediaCheck::TooLarge)
    return "the media file " + ToUtf8(media) + " could not be copied (a regular file of at most " +
           std::to_string(kMaxMediaFileSize >> 20) + " MiB is copied)";
  return "the media file " + ToUtf8(media) + " " + ToUtf8(MediaCheckText(check)) + "; it was not copied";
}

CLabel* ChannelLabel(Session& s, const std::u16string& channel) {
  CLabel* fav = s.Tree()->GetFavRSSLabel();
  if (!fav) throw HostError("the catalogue has no favourite-feeds label (#2)");
  CLabel* label = s.Tree()->FindOrInsertLabel(fav, channel);
  if (!label) throw HostError("cannot add a label for the channel: " + s.LastError("the catalogue refused it"));
  return label;
}
