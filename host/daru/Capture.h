#pragma once

#include <string>
#include <vector>

#include "daru/Output.h"
#include "daru/Session.h"

// What the capturing and editing commands share.

// A report for people that is one line of text, with data for scripts.
Report Message(std::string text, nlohmann::json data = nlohmann::json::object());

std::string Quoted(const std::u16string& text);
// A label as people see it in messages: 'name' #id.
std::string Named(const CLabel* label);

// Loads what a rewrite of the description file must keep: description,
// comment and feed data.
void LoadForRewrite(CArticle* article);

// Writes the article's description file; false with the reason. A file that
// exists but cannot be read is never replaced.
bool WriteDescription(CArticle* article, std::string& why);

// Captures through the facade; a refusal becomes the command's error,
// "<what>: <why>" for the catalogue's, the reason itself for the others.
CCaptureOutcome CaptureOrFail(Session& s, const CCaptureRequest& request, const std::string& what);
// Why a capture was refused, for people; with sayUndone, that nothing of it
// was saved when its steps were undone.
std::string RefusalText(Session& s, const CCaptureOutcome& outcome, bool sayUndone = true);
// The outcome as the result codes the reports use: 0 new, 1 filed, 2 stored
// and not filed, 3 filed already.
int ResultCode(CaptureResult result);
// The warning for a media file the capture kept no copy of.
std::string MediaWarning(const std::u16string& media, MediaCheck check);

// The label named after a channel below the favourite feeds, made on first
// use, once, also when another process makes it at the same moment.
CLabel* ChannelLabel(Session& s, const std::u16string& channel);
