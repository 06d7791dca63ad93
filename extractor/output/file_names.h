// What a file name made from a page may hold, on each platform. The Windows
// Save As proposal replaces the unsafe characters of the title (see
// replaceUnsafe) and leaves the rest to the dialog, where the user sees and edits the name.
// Where no dialog stands between the page and the disk (the command line),
// the name must also be exactly one path component that the system accepts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brevanto::file_names {

// The longest file name, in bytes, that POSIX file systems accept.
constexpr size_t kMaxComponentBytes = 255;

// `title` with each character that a name made from a title never holds
// replaced by "_": those Windows forbids in names, and "." so that a title
// never gains or changes an extension.
std::string replaceUnsafe(std::string_view title);

// The stem of the file name `name` (no folder): the name less its last
// extension. A dot that starts the name begins no extension: ".profile" is
// all stem.
std::string_view stemOf(std::string_view name);

// One path component made from `stem`, followed by `suffix` (such as ".txt"
// or " (2).txt"), which is kept whole. The stem loses what could make the
// name name something else: "/" and "\" become "_", a leading "." becomes
// "_" (so never ".", ".." or a hidden name), so does a leading "-" (never
// an option), tab, line breaks and the other white-space controls become a
// space, the remaining control characters and the bidirectional controls
// "_". The stem is then cut on a UTF-8 character boundary so that the name
// fits kMaxComponentBytes. Empty when the stem holds nothing but spaces and
// "_": such a name says nothing about the page.
std::string pathComponent(std::string_view stem, std::string_view suffix);

// The name of a file made from a page title where no dialog shows it first:
// the title's unsafe characters replaced by "_" as the Save As proposal does,
// then made one path component. Empty when the title gives no usable name.
std::string nameFromTitle(std::string_view title, std::string_view suffix);

}  // namespace brevanto::file_names
