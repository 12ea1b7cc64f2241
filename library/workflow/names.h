// Path texts of the workflows: argument cutting, the output paths built from
// the arguments, and the test that keeps archive entry names inside the
// output folder.
#pragma once
#include <cstddef>
#include <string>

namespace pbo {

// Longest folder or output path the library builds; longer texts are cut.
constexpr size_t kMaxPathLength = 255;

// A null argument counts as empty; the text is cut to kMaxPathLength.
std::string PathArgument(const char* text);

// First kMaxPathLength characters of `path`.
std::string CutPath(const std::string& path);

// @return true when `text` ends with a backslash.
bool EndsWithBackslash(const std::string& text);

// ASCII case-insensitive equality, as the file system compares names.
bool SameName(const std::string& a, const std::string& b);

// The text after the last backslash, slash or colon (the whole text if none).
std::string LastComponent(const std::string& path);

// The packers' output path: with a destination, the destination, a backslash
// unless it ends with one, and the source folder's own name; without one, the
// source path itself; then ".pbo", the whole cut to kMaxPathLength.
// `source` carries no trailing backslash.
std::string PackOutputPath(const std::string& source,
                           const std::string& destination);

// The unpacker's output folder: with a destination, the destination, a
// backslash unless it ends with one, and the archive's file name without its
// last extension; without one, the archive path without its last extension.
// A dot in a folder of the path is not taken for an extension. Not cut.
std::string UnpackOutputFolder(const std::string& archive,
                               const std::string& destination);

// Checks that an entry name (backslash-separated, slashes already turned into
// backslashes) names a file strictly inside the output folder and is a legal
// Windows file name: no empty, "." or ".." part, no drive, root, UNC or device
// prefix, no ':' (alternate streams), no control character or <>"|?*, no part
// ending with a dot or a space, no reserved device name (CON, PRN, AUX, NUL,
// COM0-9, LPT0-9, CONIN$, CONOUT$) as a part, with or without an extension.
// @return nullptr for a safe name, otherwise a short English reason.
const char* UnsafeNameReason(const std::string& name);

// Checks one path component by the rules of UnsafeNameReason.
// @return nullptr for a safe component, otherwise the reason.
const char* UnsafeComponentReason(const std::string& part);

}  // namespace pbo
