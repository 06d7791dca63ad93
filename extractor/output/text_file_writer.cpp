// The output text file: a header with the page's URL and title, then the
// cleaned text of every chosen element; and its saving.
#include <algorithm>
#include <cstring>

#include "extractor/output/output.h"
#include "extractor/text/text.h"
#include "platform/output_file.h"

namespace brevanto {
namespace {

constexpr std::string_view kUrlLabel = "url : ";
constexpr std::string_view kTitleLabel = "title : ";
// What a chosen text may gain when written: a line break after its last
// line, and the one after the text (or before it, where texts are set apart).
constexpr size_t kMostAddedPerText = 2 * kLineBreak.size();

// The first line break from `from` on, or null.
const char* findLineBreak(const char* from, const char* end) {
  for (const char* p = from; p < end; ++p) {
    p = static_cast<const char*>(std::memchr(p, kLineBreak[0], static_cast<size_t>(end - p)));
    if (p == nullptr) return nullptr;
    if (p + 1 < end && p[1] == kLineBreak[1]) return p;
  }
  return nullptr;
}

// Passes what appendCleanLines gives for the text to `write(bytes, length)`,
// piece by piece; with `everyText`, a text of one line break or none is
// cleaned as well. A piece of the text is passed only once every piece
// before it has been written, and the output never gets ahead of the text
// read, but for the line break after the last line: `write` may copy the
// pieces down over the text itself, given kLineBreak.size() bytes of room
// after it.
template <typename Write>
void writeCleanLines(const char* text, size_t length, bool everyText, Write write) {
  const char* const end = text + length;
  // For the Windows server a single line break is not enough to split: such
  // a text, blank line and all, is kept as it is.
  const char* first = findLineBreak(text, end);
  if (!everyText && (first == nullptr || findLineBreak(first + kLineBreak.size(), end) == nullptr)) {
    write(text, length);
    return;
  }
  // Lines of spaces only, and empty lines, go; every other line is copied
  // whole and ends in a line break.
  for (const char* line = text;;) {
    const char* lineEnd = findLineBreak(line, end);
    const char* stop = lineEnd == nullptr ? end : lineEnd;
    if (std::find_if(line, stop, [](char c) { return c != ' '; }) != stop) {
      write(line, static_cast<size_t>(stop - line));
      write(kLineBreak.data(), kLineBreak.size());
    }
    if (lineEnd == nullptr) return;
    line = lineEnd + kLineBreak.size();
  }
}

// Replaces the text from `from` on with what writeCleanLines gives for it,
// without a copy of it.
void cleanLinesInPlace(std::string& text, size_t from, bool everyText) {
  const size_t length = text.size() - from;
  text.append(kLineBreak.size(), '\0');  // room for the line break after the last line
  char* const start = &text[from];
  char* written = start;
  writeCleanLines(start, length, everyText, [&written](const char* bytes, size_t count) {
    std::memmove(written, bytes, count);
    written += count;
  });
  text.resize(from + static_cast<size_t>(written - start));
}

// Makes every line from `from` on end in an LF alone: the CRs before each LF
// go. Each CR is written once and taken back at most once, so the work is
// linear.
void endLinesInLf(std::string& text, size_t from) {
  size_t kept = from;
  for (size_t at = from; at < text.size(); ++at) {
    if (text[at] == '\n') {
      while (kept > from && text[kept - 1] == '\r') --kept;
    }
    text[kept++] = text[at];
  }
  text.resize(kept);
}

bool hasText(const HtmlNode* node) {
  return node != nullptr && node->tag != nullptr && node->tag->text != nullptr;
}

// Appends the cleaned text of `choice`, which has one; with `everyText`,
// cleaned however few lines it has.
void appendChosenText(const ContentChoice& choice, bool everyText, std::string& file) {
  const char* const text = choice.node->tag->text;
  const size_t length = static_cast<size_t>(choice.node->tag->textLength);
  if (choice.leftOut.empty()) {
    writeCleanLines(text, length, everyText,
                    [&file](const char* bytes, size_t count) { file.append(bytes, count); });
    return;
  }
  // The texts of the elements left out are runs of the node's text, in its
  // order; the text of a BR's children lies elsewhere, and is not part of
  // it. What is kept goes straight into the file and is cleaned there, so
  // that no copy of a large text is made.
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
  cleanLinesInPlace(file, start, everyText);
}

}  // namespace

void appendCleanLines(std::string_view text, std::string& out) {
  writeCleanLines(text.data(), text.size(), false,
                  [&out](const char* bytes, size_t count) { out.append(bytes, count); });
}

PageText formatTextFile(const std::vector<ContentChoice>& choices, std::string_view url,
                        std::string_view title, TextFileFormat format) {
  const std::string_view lineEnd = format.lineEnd == LineEnd::kLf ? std::string_view("\n") : kLineBreak;
  size_t size = kUrlLabel.size() + url.size() + kTitleLabel.size() + title.size() + 5 * lineEnd.size();
  for (const ContentChoice& choice : choices) {
    if (hasText(choice.node)) size += static_cast<size_t>(choice.node->tag->textLength) + kMostAddedPerText;
  }
  PageText page;
  std::string& file = page.file;
  file.reserve(size);
  if (format.blankLineFirst) file.append(lineEnd);
  file.append(kUrlLabel).append(url).append(lineEnd).append(lineEnd);
  file.append(kTitleLabel).append(title).append(lineEnd).append(lineEnd);
  page.headerLength = file.size();
  bool textWritten = false;
  for (const ContentChoice& choice : choices) {
    // A node without text writes nothing, not even its line break.
    if (!hasText(choice.node)) continue;
    const size_t start = file.size();
    if (format.setsTextsApart) {
      // An empty line between two texts, none after the last; a text that
      // shows nothing is not set apart either.
      if (textWritten) file.append(kLineBreak);
      const size_t textStart = file.size();
      appendChosenText(choice, true, file);
      if (file.size() == textStart) {
        file.resize(start);
        continue;
      }
      textWritten = true;
    } else {
      appendChosenText(choice, false, file);
      file.append(kLineBreak);
    }
    if (format.lineEnd == LineEnd::kLf) endLinesInLf(file, start);
  }
  return page;
}

WriteResult writeTextFile(const char* path, const std::vector<ContentChoice>& choices, bool openAfterWrite,
                          const char* url, const char* title) {
  if (path == nullptr) return kNothingToWrite;
  const PageText page = formatTextFile(choices, url == nullptr ? "" : url, title == nullptr ? "" : title);
  const platform::SaveOutcome saved = platform::saveFile(path, page.file.data(), page.file.size(), true);
  switch (saved.status) {
    case platform::SaveStatus::kSaved:
      break;
    case platform::SaveStatus::kCannotWrite:
      return kCannotWrite;
    case platform::SaveStatus::kExists:
    case platform::SaveStatus::kCannotCreate:
      return kCannotCreate;
  }
  if (openAfterWrite && !openWrittenFile(path)) return kWrittenNotOpened;
  return kWritten;
}

bool openWrittenFile(const char* path) {
  if (path == nullptr) return false;
  const char* separator = std::strrchr(path, platform::kFolderSeparator);
  if (separator == nullptr) return platform::openWithViewer("", path);
  if (separator[1] == '\0') return false;
  const std::string folder(path, static_cast<size_t>(separator - path + 1));
  return platform::openWithViewer(folder.c_str(), separator + 1);
}

}  // namespace brevanto
