#pragma once

#include <string>
#include <string_view>

#include "base/DaruApi.h"

// File-system tests and removals for article files. Paths use '/'. None of
// them changes the process's current directory, and none follows a symbolic
// link out of a folder it empties: a link is removed as a link.
//
// A file or folder without its owner write permission counts as read-only and
// is not removed, whoever runs the program, so a user can protect an entry.

namespace daru {
// True when the folder exists (with or without a trailing separator).
DARU_API bool FolderExists(std::u16string folder);
// Deletes everything inside the folder, depth first. True when the last entry
// handled was removed, or there was nothing to remove; false when the folder
// cannot be listed. A hint only: RemoveFolder gives the real answer.
DARU_API bool EmptyFolder(std::u16string folder);
// Empties the folder and removes it; true when it is gone.
DARU_API bool RemoveFolder(std::u16string folder);
// True when the path (its last component may hold the wildcards * and ?)
// matches at least one file (isFile) or folder (!isFile).
DARU_API bool PathExists(std::u16string path, bool isFile);
// Removes an article's files: its description file in its type folder and its
// article folder, which lies under the feed type's folder whatever the
// article's type (a folder of its name in its own type folder goes too).
// Nothing is touched when the name or a type folder from the catalogue would
// lead outside the DARU folder. True when none of them is left.
DARU_API bool RemoveArticleFiles(std::u16string_view typeCode, std::u16string_view filename);
// Deletes a file (isFile) or a folder tree. True when it is gone; true for an
// empty path, which touches nothing.
DARU_API bool DeletePath(std::u16string path, bool isFile);
}  // namespace daru
using daru::DeletePath;
using daru::EmptyFolder;
using daru::FolderExists;
using daru::PathExists;
using daru::RemoveArticleFiles;
using daru::RemoveFolder;
