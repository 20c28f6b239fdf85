#pragma once

#include <string>
#include <string_view>

#include "base/DaruApi.h"

// Where everything lies on disk. All of it is under the DARU folder of the
// data root, the folder of the module file (no trailing separator, '/' paths).
// A '\' inside a type folder read from the catalogue counts as a separator.

DARU_API std::u16string GetDataRoot();
DARU_API std::u16string GetDaruFolder();      // data root + "/DARU"
DARU_API std::u16string GetCatalogueFile();   // data root + "/DARU/darudb"
// data root + "/DARU/" + the folder of the type code (empty when the type is unknown)
DARU_API std::u16string GetTypeFolder(std::u16string_view typeCode);
// type folder + "/" + filename + ".xml"
DARU_API std::u16string DescriptionFilePath(std::u16string_view typeCode, std::u16string_view filename);
// Media folder of an article: always under the folder of type "A".
DARU_API std::u16string GetArticleFolder(std::u16string_view filename);
DARU_API std::u16string GetMediaCopyPath(std::u16string_view filename);

// A single folder or file name that stays where it is put: not empty, no
// separator, not "." or "..", no NUL. Catalogue rows are checked with it before
// anything on disk is touched in their name.
DARU_API bool IsSafeFolderName(std::u16string_view name);
// A relative folder below the DARU folder: not empty, not absolute, no ".."
// component, no NUL.
DARU_API bool IsSafeTypePath(std::u16string_view path);
