// The Windows paths of the Save As proposal: a page title made a safe file
// name, and the folder of a chosen path. Only "\" separates folders, whatever
// the platform the functions run on. Each returns a new string, or nothing.
#pragma once

#include <optional>
#include <string>

namespace brevanto::windows_paths {

// `path` with the unsafe characters of its file stem replaced by "_" (see
// file_names::replaceUnsafe); its folder and extension are kept. Nothing for
// no path or an empty one.
std::optional<std::string> defaultFileName(const char* path);
// The folder of `path` up to and including its last "\"; nothing without one.
std::optional<std::string> folderOf(const char* path);
// The file name's stem: after the last "\" that has a character after it,
// or the whole path without one, less its extension.
std::optional<std::string> fileStemOf(const char* path);
// The file name's last extension with its ".", or nothing without one.
std::optional<std::string> fileExtensionOf(const char* path);
// The three strings joined; a missing one counts as empty. Nothing when the
// result is empty.
std::optional<std::string> concatStrings(const char* a, const char* b, const char* c);

}  // namespace brevanto::windows_paths
