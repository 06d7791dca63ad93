// Output: the chosen elements in, the text file out.
//
//   format    a header with the page's URL and title, then the cleaned text
//             of every chosen element, less the lists it leaves out
//   write     the file saved whole or not at all, then opened with its
//             viewer when asked
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "extractor/select/select.h"

namespace brevanto {

enum class LineEnd : int { kCrLf, kLf };

// How a text file's lines end, whether an empty line comes first, and how
// the chosen texts follow one another.
struct TextFileFormat {
  LineEnd lineEnd = LineEnd::kCrLf;
  bool blankLineFirst = true;
  // Whether every chosen text is written alike, whatever its number of
  // lines: its lines without the empty ones, each ending in a line break,
  // with an empty line between two texts and none after the last. The
  // Windows server's file follows a text of more than one line break with an
  // empty line, and writes a text of one line break or none as it is, so
  // that it runs into the next. extractPageText sets it from the analysis.
  bool setsTextsApart = true;
};

// The Windows server's text file: CR LF line ends, an empty line before the
// header, and the texts as the server joins them.
constexpr TextFileFormat windowsTextFile() {
  return {LineEnd::kCrLf, true, false};
}
// Every line, inside the texts too, ends in an LF alone, the header is on
// the first line, and the texts are set apart.
constexpr TextFileFormat lfTextFile() {
  return {LineEnd::kLf, false, true};
}

// A text file's bytes.
struct PageText {
  std::string file;         // the header, then the chosen text
  size_t headerLength = 0;  // bytes of the header at the start of `file`
  // The markup was longer than kMostMarkupBytes: only that much of it was
  // analysed.
  bool markupCut = false;
  // The share of the body's text, in percent, that the chosen text holds,
  // where the whole analysis made the file and its rules reconsider a choice
  // that holds little; 100 otherwise.
  double chosenShare = 100.0;
};

// The text file of `choices`: the header with `url` and `title`, then each
// chosen element's text that has any, cleaned (see appendCleanLines), with a
// line break in the place of each list it leaves out, and a line break after
// it; in a format that sets texts apart, every text is cleaned, however few
// lines it has, an empty line stands between two texts and none after the
// last, and a text that shows nothing writes nothing.
PageText formatTextFile(const std::vector<ContentChoice>& choices, std::string_view url,
                        std::string_view title, TextFileFormat format = windowsTextFile());

// Appends `text` as a chosen element's text is written: a text with more
// than one line break loses its empty lines and its lines of blanks only,
// and every line it keeps ends in a line break; a text with one line break
// or none is kept as it is.
void appendCleanLines(std::string_view text, std::string& out);

// Outcome of writeTextFile.
enum WriteResult : int {
  kWrittenNotOpened = 2,  // the file holds the whole text; the viewer asked for could not be started
  kWritten = 1,           // the file holds the whole text
  kNothingToWrite = 0,    // no path: nothing was touched
  kCannotCreate = -1,     // the file could not be created; an existing file is kept
  kCannotWrite = -2,      // writing failed; no partial file is left, an existing file is kept
};

// Saves the Windows server's text file of `choices` as `path`, replacing a
// file of that name only once the new one is complete, then opens it with
// its viewer when `openAfterWrite` is set.
WriteResult writeTextFile(const char* path, const std::vector<ContentChoice>& choices, bool openAfterWrite,
                          const char* url, const char* title);

// Starts the viewer of the written file `path`, in the file's folder with
// the bare file name, without waiting for it. False when no viewer could be
// started, or the path names no file.
bool openWrittenFile(const char* path);

}  // namespace brevanto
