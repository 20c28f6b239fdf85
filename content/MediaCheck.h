#pragma once

#include <string>

#include "base/DaruApi.h"

// Whether a media file named by a feed item may be copied into the library.
enum class MediaCheck {
  Accepted,  // a regular file really inside the folder, within the size limit
  Missing,   // nothing there, or a part of the way is not a folder
  Link,      // a symbolic link on the way below the folder, or the file itself one
  Outside,   // the path leads outside the folder (or climbs with "..")
  NotRegular,
  TooLarge,  // above kMaxMediaFileSize
};

// The one check of a media file: a regular file of at most kMaxMediaFileSize
// bytes lying really inside folder, the folder's own path resolved and every
// component below it looked at without following it, none of them a link.
// An empty folder stands for the folder the file names itself. The file's
// content may come from anyone (a feed, its enclosures), so no link may
// bring another file of the user's into the library.
DARU_API MediaCheck CheckMediaFile(const std::u16string& path, const std::u16string& folder);

// For people: why the check refused ("is a symbolic link or lies behind one").
DARU_API std::u16string MediaCheckText(MediaCheck check);
