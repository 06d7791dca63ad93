// The output text file: a header with the page's URL and title, then the
// cleaned text of every content node, all lines ending in CR LF.
#include <cstring>

#include "extractor/extraction_pipeline.h"
#include "platform/output_file.h"

namespace brevanto {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

}  // namespace

std::string ExtractionPipeline::formatTextFile(const ContentList& contentNodes, std::string_view url,
                                               std::string_view title) {
  std::string file;
  size_t size = 16 + url.size() + title.size();
  for (const HtmlNode* node : contentNodes) {
    if (node != nullptr && node->tag != nullptr) size += static_cast<size_t>(node->tag->textLength) + 4;
  }
  file.reserve(size);
  file.append(kLineBreak).append("url : ").append(url).append(kLineBreak).append(kLineBreak);
  file.append("title : ").append(title).append(kLineBreak).append(kLineBreak);
  for (const HtmlNode* node : contentNodes) {
    // A node without text writes nothing, not even its line break.
    if (node == nullptr || node->tag == nullptr || node->tag->text == nullptr) continue;
    appendCleanLines(node->tag->text, static_cast<size_t>(node->tag->textLength), file);
    file.append(kLineBreak);
  }
  return file;
}

WriteResult ExtractionPipeline::writeTextFile(const char* path, const ContentList& contentNodes, int openFile,
                                              const char* url, const char* title) {
  if (path == nullptr) return kNothingToWrite;
  const std::string bytes =
      formatTextFile(contentNodes, url == nullptr ? "" : url, title == nullptr ? "" : title);
  const platform::SaveOutcome saved = platform::saveFile(path, bytes.data(), bytes.size(), true);
  switch (saved.status) {
    case platform::SaveStatus::kSaved:
      break;
    case platform::SaveStatus::kCannotWrite:
      return kCannotWrite;
    case platform::SaveStatus::kExists:
    case platform::SaveStatus::kCannotCreate:
      return kCannotCreate;
  }
  if (openFile != 0) {
    // The viewer gets the bare file name and starts in the file's folder.
    const char* separator = std::strrchr(path, platform::kFolderSeparator);
    if (separator == nullptr) {
      platform::openWithViewer("", path);
    } else if (separator[1] != '\0') {
      const std::string folder(path, static_cast<size_t>(separator - path + 1));
      platform::openWithViewer(folder.c_str(), separator + 1);
    }
  }
  return kWritten;
}

}  // namespace brevanto
