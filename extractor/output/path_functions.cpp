// The small path functions that turn a page title into a safe file name and
// find the folder of a chosen path. Paths are Windows paths: only "\"
// separates folders, whatever the platform the functions run on.
#include <cstring>

#include "extractor/extraction_pipeline.h"
#include "extractor/output/file_names.h"

namespace brevanto {
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

std::optional<std::string> ExtractionPipeline::folderOf(const char* path) {
  if (path == nullptr) return std::nullopt;
  const char* last = std::strrchr(path, '\\');
  if (last == nullptr) return std::nullopt;
  return std::string(path, static_cast<size_t>(last - path + 1));
}

std::optional<std::string> ExtractionPipeline::fileNameOf(const char* path) {
  if (path == nullptr) return std::nullopt;
  const std::string_view whole(path);
  const size_t at = lastNameSeparator(whole);
  if (at == std::string_view::npos) return std::nullopt;
  return std::string(whole.substr(at + 1));
}

std::optional<std::string> ExtractionPipeline::fileStemOf(const char* path) {
  if (path == nullptr) return std::nullopt;
  const std::string_view name = nameOrWholePath(path);
  // A dot that starts the name begins no extension: ".txt" is all stem.
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string(name);
  return std::string(name.substr(0, dot));
}

std::optional<std::string> ExtractionPipeline::fileExtensionOf(const char* path) {
  if (path == nullptr) return std::nullopt;
  const std::string_view name = nameOrWholePath(path);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return std::string(name.substr(dot));
}

std::optional<std::string> ExtractionPipeline::replaceUnsafeChars(const char* text) {
  if (text == nullptr) return std::nullopt;
  std::string safe(text);
  for (char& c : safe) {
    if (file_names::isUnsafeInTitle(c)) c = '_';
  }
  return safe;
}

std::optional<std::string> ExtractionPipeline::concatStrings(const char* a, const char* b, const char* c) {
  std::string joined;
  for (const char* part : {a, b, c}) {
    if (part != nullptr) joined += part;
  }
  if (joined.empty()) return std::nullopt;
  return joined;
}

std::optional<std::string> ExtractionPipeline::defaultFileName(const char* path) {
  if (path == nullptr) return std::nullopt;
  const std::optional<std::string> folder = folderOf(path);
  const std::optional<std::string> stem = fileStemOf(path);
  const std::optional<std::string> safeStem = replaceUnsafeChars(stem ? stem->c_str() : nullptr);
  const std::optional<std::string> extension = fileExtensionOf(path);
  return concatStrings(folder ? folder->c_str() : nullptr, safeStem ? safeStem->c_str() : nullptr,
                       extension ? extension->c_str() : nullptr);
}

}  // namespace brevanto
