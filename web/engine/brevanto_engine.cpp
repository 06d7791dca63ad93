#include "web/engine/brevanto_engine.h"

#include <cstring>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "extractor/output/file_names.h"
#include "extractor/page_text.h"
#include "extractor/rules.h"

struct BrevantoText {
  brevanto::PageText page;
};

namespace {

constexpr std::string_view kExtension = ".txt";
constexpr std::string_view kLastResortName = "page.txt";

bool toAnalysis(int number, brevanto::Analysis& analysis) {
  switch (number) {
    case kBrevantoClassic:
      analysis = brevanto::Analysis::kClassic;
      return true;
    case kBrevantoModern:
      analysis = brevanto::Analysis::kModern;
      return true;
    default:
      return false;
  }
}

bool toFormat(int number, brevanto::TextFileFormat& format) {
  switch (number) {
    case kBrevantoWindowsFile:
      format = brevanto::windowsTextFile();
      return true;
    case kBrevantoLfFile:
      format = brevanto::lfTextFile();
      return true;
    default:
      return false;
  }
}

std::string_view viewOf(const char* bytes, size_t length) {
  return bytes == nullptr ? std::string_view() : std::string_view(bytes, length);
}

// The block-level names of one table, as brevanto_block_elements gives them.
std::string blockElementsOf(brevanto::Analysis analysis) {
  const brevanto::HtmlElementTable& table = *brevanto::rulesFor(analysis).elements;
  std::string names;
  for (int i = 0; i < table.size(); ++i) {
    const auto row = static_cast<brevanto::ElementRow>(i);
    if (row == table.commentRowNumber() || table[row].level != brevanto::kLevelBlock) continue;
    for (const char* c = table[row].name; *c != '\0'; ++c) names.push_back(brevanto::ascii::toLower(*c));
    names.push_back(' ');
  }
  return names;
}

}  // namespace

extern "C" {

BrevantoText* brevanto_extract(const char* markup, size_t markupLength, const char* url, size_t urlLength,
                               const char* title, size_t titleLength, int analysis, int format) {
  brevanto::Analysis chosen = brevanto::Analysis::kModern;
  brevanto::TextFileFormat written;
  if (!toAnalysis(analysis, chosen) || !toFormat(format, written)) return nullptr;
  const std::string body(viewOf(markup, markupLength));
  auto* text = new BrevantoText;
  text->page =
      brevanto::extractPageText(body, viewOf(url, urlLength), viewOf(title, titleLength), chosen, written);
  return text;
}

const char* brevanto_text_bytes(const BrevantoText* text) {
  return text == nullptr ? nullptr : text->page.file.data();
}

size_t brevanto_text_size(const BrevantoText* text) {
  return text == nullptr ? 0 : text->page.file.size();
}

size_t brevanto_text_header_length(const BrevantoText* text) {
  return text == nullptr ? 0 : text->page.headerLength;
}

int brevanto_text_markup_cut(const BrevantoText* text) {
  return text != nullptr && text->page.markupCut ? 1 : 0;
}

void brevanto_text_free(BrevantoText* text) {
  delete text;
}

char* brevanto_file_name(const char* title, size_t titleLength, const char* fallback, size_t fallbackLength,
                         size_t room) {
  // The room is made as part of the suffix, which a name keeps whole at its
  // end, and taken off again.
  const std::string suffix = std::string(kExtension) + std::string(room, '.');
  std::string name = brevanto::file_names::nameFromTitle(viewOf(title, titleLength), suffix);
  if (name.empty()) name = brevanto::file_names::pathComponent(viewOf(fallback, fallbackLength), suffix);
  if (name.empty()) name = std::string(kLastResortName) + std::string(room, '.');
  name.resize(name.size() - room);
  auto* copy = new char[name.size() + 1];
  std::memcpy(copy, name.c_str(), name.size() + 1);
  return copy;
}

void brevanto_string_free(char* string) {
  delete[] string;
}

const char* brevanto_block_elements(int analysis) {
  brevanto::Analysis chosen = brevanto::Analysis::kModern;
  if (!toAnalysis(analysis, chosen)) return nullptr;
  // Built once per table on first use; they live as long as the module.
  static const std::string classic = blockElementsOf(brevanto::Analysis::kClassic);
  static const std::string modern = blockElementsOf(brevanto::Analysis::kModern);
  return chosen == brevanto::Analysis::kClassic ? classic.c_str() : modern.c_str();
}

}  // extern "C"
