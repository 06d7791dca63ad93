// The engine as JavaScript sees it: a C interface over the analysis of one
// page's body markup, the name its text file takes, and the element names
// that the serializer of a live document must break lines before. Strings
// go in as bytes with their lengths (UTF-8) and come out as bytes the caller
// copies before it frees them. The module is built without exceptions: an
// allocation that fails aborts it, and its JavaScript side reports that and
// starts a fresh one.
#pragma once

#include <cstddef>

extern "C" {

// The analyses, by number.
enum : int { kBrevantoClassic = 0, kBrevantoModern = 1 };
// The text file formats, by number: the Windows server's (CR LF, an empty
// line first), or LF lines with the header on the first line.
enum : int { kBrevantoWindowsFile = 0, kBrevantoLfFile = 1 };

// One analysed page: the text file's bytes and the length of its header.
struct BrevantoText;

// Analyses `markup` (the body element's outer markup, up to its first NUL
// byte) with `analysis` and formats the text file in `format` with `url` and
// `title` in its header. Returns a new text that the caller frees with
// brevanto_text_free, or null when `analysis` or `format` names none.
BrevantoText* brevanto_extract(const char* markup, size_t markupLength, const char* url, size_t urlLength,
                               const char* title, size_t titleLength, int analysis, int format);
// The file's bytes, owned by `text`; valid until it is freed.
const char* brevanto_text_bytes(const BrevantoText* text);
size_t brevanto_text_size(const BrevantoText* text);
// Bytes of the header at the start of the file.
size_t brevanto_text_header_length(const BrevantoText* text);
// 1 when the markup was longer than the analysis reads, and only its start
// was analysed; else 0.
int brevanto_text_markup_cut(const BrevantoText* text);
void brevanto_text_free(BrevantoText* text);

// The name of the text file of a page titled `title`, made as the command
// line makes it, ".txt" included, but `room` bytes shorter at most: browsers
// write a download under its name and a suffix of their own until it is
// complete. A title that gives no usable name gives way to `fallback` (a
// name from the page's address), and that to "page". Returns a new
// NUL-terminated string that the caller frees with brevanto_string_free.
char* brevanto_file_name(const char* title, size_t titleLength, const char* fallback, size_t fallbackLength,
                         size_t room);
void brevanto_string_free(char* string);

// The names of the block-level elements of `analysis`' element table, in
// lower case, each followed by a space. Static text, never freed; null when
// `analysis` names no analysis.
const char* brevanto_block_elements(int analysis);

}  // extern "C"
