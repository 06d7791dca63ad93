#include "extractor/output/path_functions.h"

#include <cstring>
#include <string_view>

#include "extractor/output/file_names.h"

namespace brevanto::windows_paths {
namespace {

// Offset of the last backslash that has at least one character after it: a
// trailing backslash names no file.
size_t lastNameSeparator(std::string_view path) {
  if (path.size() < 2) return std::string_view::npos;
  return path.rfind('\\', path.size() - 2);
}

// The file name of `path`, or the whole path when no backslash has a name
// after it.
std::string_view nameOrWholePath(std::string_view path) {
  const size_t at = lastNameSeparator(path);
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

}  // namespace

std::optional<std::string> folderOf(const char* path) {
  if (path == nullptr) return std::nullopt;
  const char* last = std::strrchr(path, '\\');
  if (last == nullptr) return std::nullopt;
  return std::string(path, static_cast<size_t>(last - path + 1));
}

std::optional<std::string> fileStemOf(const char* path) {
  if (path == nullptr) return std::nullopt;
  return std::string(file_names::stemOf(nameOrWholePath(path)));
}

std::optional<std::string> fileExtensionOf(const char* path) {
  if (path == nullptr) return std::nullopt;
  const std::string_view name = nameOrWholePath(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return std::string(name.substr(dot));
}

std::optional<std::string> concatStrings(const char* a, const char* b, const char* c) {
  std::string joined;
  for (const char* part : {a, b, c}) {
    if (part != nullptr) joined += part;
  }
  if (joined.empty()) return std::nullopt;
  return joined;
}

std::optional<std::string> defaultFileName(const char* path) {
  if (path == nullptr) return std::nullopt;
  const std::optional<std::string> folder = folderOf(path);
  const std::string safeStem = file_names::replaceUnsafe(*fileStemOf(path));
  const std::optional<std::string> extension = fileExtensionOf(path);
  return concatStrings(folder ? folder->c_str() : nullptr, safeStem.c_str(),
                       extension ? extension->c_str() : nullptr);
}

}  // namespace brevanto::windows_paths
