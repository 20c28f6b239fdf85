#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/DaruApi.h"
#include "core/Records.h"

// Where everything lies on disk. All of it is under the DARU folder of the
// data root, the folder of the module file (no trailing separator, '/' paths).
// A '\' inside a type folder read from the catalogue counts as a separator.

namespace daru {
// The catalogue's article types, in the order the store returned them. The
// facade fills the table when it opens the catalogue and empties it when it
// goes; everything below the facade reads type folders from here.
DARU_API std::vector<CArticleType>& ArticleTypeTable();
// The folder of the first type with the code, exactly as the catalogue holds
// it; empty when no type has the code. The first form reads the table above.
DARU_API std::u16string FindTypePath(std::u16string_view typeCode);
DARU_API std::u16string FindTypePath(const std::vector<CArticleType>& types, std::u16string_view typeCode);

DARU_API std::u16string GetDataRoot();
DARU_API std::u16string GetDaruFolder();     // data root + "/DARU"
DARU_API std::u16string GetCatalogueFile();  // data root + "/DARU/darudb"
// data root + "/DARU/" + the folder of the type code (empty when the type is unknown)
DARU_API std::u16string GetTypeFolder(std::u16string_view typeCode);
// type folder + "/" + filename + ".xml"
DARU_API std::u16string DescriptionFilePath(std::u16string_view typeCode, std::u16string_view filename);
}  // namespace daru
using daru::ArticleTypeTable;
using daru::DescriptionFilePath;
using daru::FindTypePath;
using daru::GetCatalogueFile;
using daru::GetDaruFolder;
using daru::GetDataRoot;
using daru::GetTypeFolder;

// The description file paths of many articles at once, as DescriptionFilePath
// gives them: the articles of one query share a few types, and each type's
// folder is looked up once, not once per article.
class DARU_API CDescriptionPaths {
 public:
  // Writes the path into out (its room reused), from the type and filename.
  void Fill(std::u16string_view typeCode, std::u16string_view filename, std::u16string& out);

 private:
  std::vector<std::pair<std::u16string, std::u16string>> m_folders;  // type code, its folder with a separator
};
namespace daru {
// Media folder of an article: always under the folder of type "A".
DARU_API std::u16string GetArticleFolder(std::u16string_view filename);
DARU_API std::u16string GetMediaCopyPath(std::u16string_view filename);
}  // namespace daru
using daru::GetArticleFolder;
using daru::GetMediaCopyPath;

// What counts as an article's name (its filename): the 32 lower-case hex
// digits of its link's MD5. Anything else in a type folder is not an article's.
inline constexpr size_t kArticleNameLength = 32;
namespace daru {
DARU_API bool IsArticleName(std::u16string_view name);
}  // namespace daru
using daru::IsArticleName;
// The description file name of an article name.
inline constexpr std::u16string_view kDescriptionSuffix = u".xml";
inline constexpr char16_t kMediaCopyName[] = u"mime.zevm";

namespace daru {
// A single folder or file name that stays where it is put: not empty, no
// separator, not "." or "..", no NUL. Catalogue rows are checked with it before
// anything on disk is touched in their name.
DARU_API bool IsSafeFolderName(std::u16string_view name);
// A relative folder below the DARU folder: not empty, not absolute, no ".."
// component, no NUL.
DARU_API bool IsSafeTypePath(std::u16string_view path);
}  // namespace daru
using daru::IsSafeFolderName;
using daru::IsSafeTypePath;
