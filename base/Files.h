#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/DaruApi.h"

// Reading and replacing whole files, the one way the library, the catalogue
// check and provisioning do it. Paths are UTF-8.

// A file is written to a copy beside it, which then replaces it; a copy still
// there was left by a write that never finished. Each write makes a copy of
// its own, created exclusively: the file's name, a dot, a tag of 8
// hexadecimal digits, and this suffix ("a.xml.0f3c2a91.part"). Two writers of
// one file never share a copy, and nothing placed at a copy's name (a link)
// is ever written through.
inline constexpr char kPartSuffix[] = ".part";
inline constexpr char16_t kPartSuffixW[] = u".part";

namespace daru {
// The name of the file that the copy named `name` was to replace, when it is
// such a copy (also one of the untagged "a.xml.part" form that earlier writes
// left); empty otherwise. Names only, no folders.
DARU_API std::u16string PartCopyTarget(std::u16string_view name);
}  // namespace daru
using daru::PartCopyTarget;

// How far a replaced file is on the disk when the call returns. One policy
// for the catalogue and the files: a file is synced only when the catalogue's
// commits are (the store sets the policy when it opens the catalogue).
//   Atomic: the new file replaces the old one whole, so a crash of the program
//           leaves one or the other; a power cut may take the last ones back,
//           as it may the catalogue's last commits (write-ahead log with
//           synchronous NORMAL).
//   Synced: as Atomic, and the file and its folder are synced before the call
//           returns, as the catalogue's commits are (synchronous FULL).
enum class FileDurability { Atomic, Synced };
namespace daru {
DARU_API void SetFileDurability(FileDurability durability);
DARU_API FileDurability GetFileDurability();
}  // namespace daru
using daru::GetFileDurability;
using daru::SetFileDurability;

// Description, information and stylesheet files are small; anything beyond
// this is not one of them and is refused before it is read into memory, and
// never written.
inline constexpr size_t kMaxDocumentSize = 64 * 1024 * 1024;

namespace daru {
// The whole of a regular file, or false: not a regular file, larger than
// maxSize, or unreadable. Never blocks on a pipe or device.
DARU_API bool ReadRegularFile(const std::string& path, size_t maxSize, std::string& bytes);

// Replaces the file at path with the bytes, through a copy of its own beside
// it (a new file is written unnamed and linked in once complete). A failure
// part way (full disk, I/O error, a kill) leaves the previous file whole, or
// no file; a link at path is replaced, not written through; of two writers at
// once, the last complete write wins. An existing file keeps its permissions,
// and one that its owner may not write counts as read-only and is kept
// (false), whoever runs this.
DARU_API bool ReplaceFile(const std::string& path, std::string_view bytes);
// The same, but whatever is at path already (a file, a link, anything) is
// replaced only when mayReplace, asked then, says so; false otherwise, and
// nothing changed. A new file costs no look more than ReplaceFile's own.
DARU_API bool ReplaceFileIf(const std::string& path, std::string_view bytes, const std::function<bool()>& mayReplace);

// The same with the content of the regular file at source (which may be the
// target itself: nothing is lost then). The source is opened without
// following a link and may hold at most maxSize bytes; a copy that does not
// come out the size the source had when opened (cut short or grown while it
// was read) is not kept. The copy is never more open than the source (the
// umask applying), whatever the file it replaces allowed.
DARU_API bool ReplaceFileWithCopy(const std::string& source, const std::string& path, size_t maxSize);
}  // namespace daru
using daru::ReadRegularFile;
using daru::ReplaceFile;
using daru::ReplaceFileIf;
using daru::ReplaceFileWithCopy;
