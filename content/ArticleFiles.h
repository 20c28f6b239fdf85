#pragma once

#include <string>

class CArticle;

// The work behind CArticle's file members (core/ContentFileWork.h): an
// article's description file and media copy. Installed into the model when
// the library loads; callers use the members.

// Writes the description file into the folder (useFolder) or into the folder
// of the type code; true when the file was saved. A file that is there but
// cannot be read is never replaced: the rewrite would lose what it holds.
bool WriteDescriptionFile(const CArticle& article, std::u16string folderOrType, bool useFolder);
// The description file is there but cannot be read (damaged, too large, not a regular file).
bool DescriptionFileIsUnreadable(const CArticle& article);
// The description or comment in memory, else the one in the description file, kept in memory.
std::u16string LoadDescriptionText(CArticle& article);
std::u16string LoadCommentText(CArticle& article);
// Attaches the feed sub-record read from the description file; false when the
// file cannot be read, and then no sub-record stays attached.
bool LoadFeedData(CArticle& article);
// Copies the media file into the article's folder as mime.zevm (a regular
// file of at most kMaxMediaFileSize bytes, not a symbolic link).
bool CopyMediaFile(CArticle& article, const std::u16string& source);
