// The output text file: a header with the page's URL and title, then the
// cleaned text of every content node, all lines ending in CR LF.
#include <cstring>

#include "extractor/extraction_pipeline.h"
#include "platform/output_file.h"

namespace brevanto {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

// The header, with room for `textBytes` of content after it.
std::string startTextFile(std::string_view url, std::string_view title, size_t textBytes) {
  std::string file;
  file.reserve(16 + url.size() + title.size() + textBytes);
  file.append(kLineBreak).append("url : ").append(url).append(kLineBreak).append(kLineBreak);
  file.append("title : ").append(title).append(kLineBreak).append(kLineBreak);
  return file;
}

bool hasText(const HtmlNode* node) {
  return node != nullptr && node->tag != nullptr && node->tag->text != nullptr;
}

}  // namespace

std::string ExtractionPipeline::formatTextFile(const ContentList& contentNodes, std::string_view url,
                                               std::string_view title) {
  size_t size = 0;
  for (const HtmlNode* node : contentNodes) {
    if (node != nullptr && node->tag != nullptr) size += static_cast<size_t>(node->tag->textLength) + 4;
  }
  std::string file = startTextFile(url, title, size);
  for (const HtmlNode* node : contentNodes) {
    // A node without text writes nothing, not even its line break.
    if (!hasText(node)) continue;
    appendCleanLines(node->tag->text, static_cast<size_t>(node->tag->textLength), file);
    file.append(kLineBreak);
  }
  return file;
}

std::string ExtractionPipeline::formatChosenText(const std::vector<ContentChoice>& choices,
                                                 std::string_view url, std::string_view title) {
  size_t size = 0;
  for (const ContentChoice& choice : choices) {
    if (hasText(choice.node)) size += static_cast<size_t>(choice.node->tag->textLength) + 4;
  }
  std::string file = startTextFile(url, title, size);
  for (const ContentChoice& choice : choices) {
    if (!hasText(choice.node)) continue;
    const char* const text = choice.node->tag->text;
    const size_t length = static_cast<size_t>(choice.node->tag->textLength);
    if (choice.leftOut.empty()) {
      appendCleanLines(text, length, file);
    } else {
      // The texts of the elements left out are runs of the node's text, in
      // its order; the text of a BR's children lies elsewhere, and is not
      // part of it. What is kept goes straight into the file and is cleaned
      // there, so that no copy of a large text is made.
      const size_t start = file.size();
      const char* from = text;
      const char* const end = text + length;
      for (const HtmlNode* out : choice.leftOut) {
        const char* outText = out->tag->text;
        if (outText == nullptr || outText < from || outText + out->tag->textLength > end) continue;
        file.append(from, static_cast<size_t>(outText - from)).append(kLineBreak);
        from = outText + out->tag->textLength;
      }
      file.append(from, static_cast<size_t>(end - from));
      cleanLinesInPlace(file, start);
    }
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
