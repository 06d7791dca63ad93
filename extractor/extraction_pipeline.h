// The per-call object of an extraction: it parses one body markup into tags
// and a node tree, gives every element its text, scores the elements, selects
// the main content and writes it. Its operations are defined in the folder of
// the stage they belong to: parse/, text/, output/, and the Windows driver in
// automation/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "extractor/parse/html_element_table.h"
#include "extractor/parse/html_tag.h"

struct HWND__;  // a Windows window handle, for the driver only

namespace brevanto {

// Ordered content nodes chosen by selectContent; an entry may be null. The
// list does not own the nodes: they belong to the pipeline's tree.
using ContentList = std::vector<HtmlNode*>;

// Reads the element name and the open/close flags of one tag.
class TagNameReader {
 public:
  // `lt` points at the "<", `gt` at the ">" that ends the tag. Returns 1 and
  // sets the fields, or 0 when the tag has no name.
  int read(const char* lt, const char* gt);

  std::string_view name;  // not owned: bytes between lt and gt
  int32_t isOpen = 0;
  int32_t isClose = 0;
};

// Outcome of writeTextFile.
enum WriteResult : int {
  kWritten = 1,         // the file holds the whole text
  kNothingToWrite = 0,  // no path or no content list: nothing was touched
  kCannotCreate = -1,   // the file could not be created; an existing file is kept
  kCannotWrite = -2,    // writing failed; no partial file is left, an existing file is kept
};

class ExtractionPipeline {
 public:
  ExtractionPipeline();
  virtual ~ExtractionPipeline();
  ExtractionPipeline(const ExtractionPipeline&) = delete;
  ExtractionPipeline& operator=(const ExtractionPipeline&) = delete;

  // ---- Members, in their documented order.
  std::vector<HtmlTag> tags;  // every tag in document order
  HtmlNode root;              // the tree's root: no tag, no parent
  std::string chosenFolder;   // folder, with its final "\", of the file saved in this call
  int32_t inRawText = 0;      // 1 while the scanner is inside a skip-content element
  HtmlElementTable elements;
  int32_t bodyTextLength = 0;
  int32_t bodyPlainLength = 0;
  int32_t bodyLinkTextLength = 0;
  int32_t minParagraphs = 2;
  double minPlainShare = 5.0;
  int32_t openAfterWrite = 1;
  std::string outputFolder = "C:\\";

  // ---- The analysis. `markup` is NUL-terminated and must stay unchanged and
  // alive for as long as the tags and texts are used. Always returns 0.
  int analyze(const char* markup);

  // Tokenizer and tree.
  void clearTags();
  void clearTree();
  void scanMarkup(const char* begin, const char* end);
  int addTag(const char* lt, const char* gt, const char* base);
  std::string rawTextEndTag() const;  // "</" + name of the last tag + ">"
  int matchTags();                    // 1, or -1 when there are no tags
  int buildTree();                    // 0, or -2 when there are no tags
  void buildChildren(int first, HtmlNode* node, HtmlTag* tag);

  // Text.
  void collectText(const char* markup);
  int renderNode(HtmlNode* node, const char* markup);
  // Appends one text segment, its entities decoded, to `text`; nothing when
  // `length` is 0 or less.
  static void appendSegment(const char* bytes, int length, std::string& text);
  // The segment with its complete entities ("&" to the next ";") replaced, or
  // nothing when it holds no complete entity.
  static std::optional<std::string> decodeEntities(const char* bytes, size_t length);
  // The one byte that replaces `entity`, which runs from "&" to ";" inclusive.
  static char entityChar(const char* entity, size_t length);
  // The text without its blank lines; nothing for no text.
  static std::optional<std::string> cleanLines(const char* text, size_t length);

  // Content selection.
  void measureLinks(HtmlNode* node);
  void pruneTree(HtmlNode* node);
  void dropInlineLeaves(HtmlNode* node);
  void collapseChains(HtmlNode* node);
  HtmlNode* findBody(HtmlNode* root);
  static double percentOf(int x, int y);
  void scoreTree(HtmlNode* node, int bodyText, int bodyPlain, int bodyLink);
  static double nodeScore(const HtmlTag& tag);
  // The top-most qualifying nodes in document order; empty stands for none.
  ContentList collectContentNodes(HtmlNode* node, int leastParagraphs, double leastShare) const;
  HtmlNode* bestScoredNode(HtmlNode* node) const;
  // Never empty: the content nodes, or the best-scored node (null when the
  // tree holds no tagged node).
  ContentList selectContent(HtmlNode* rootNode, int leastParagraphs, double leastShare) const;

  // ---- Output file and paths. Each path function returns a new string, or
  // nothing.
  WriteResult writeTextFile(const char* path, const ContentList& contentNodes, int openAfterWrite,
                            const char* url, const char* title);
  // The bytes writeTextFile writes.
  static std::string formatTextFile(const ContentList& contentNodes, std::string_view url,
                                    std::string_view title);
  static std::optional<std::string> defaultFileName(const char* path);
  static std::optional<std::string> folderOf(const char* path);
  static std::optional<std::string> fileNameOf(const char* path);
  static std::optional<std::string> fileStemOf(const char* path);
  static std::optional<std::string> fileExtensionOf(const char* path);
  static std::optional<std::string> replaceUnsafeChars(const char* text);
  static std::optional<std::string> concatStrings(const char* a, const char* b, const char* c);

#ifdef _WIN32
  // The driver of one Extract call (Windows only): analyse, select, ask where
  // to save, write. `ownerWindow` owns every dialog and message box it shows.
  void run(const char* markup, const wchar_t* urlW, const wchar_t* titleW, HWND__* ownerWindow);
#endif

  // ---- Debugging and tests: stable line-oriented dumps.
  // One line per tag: index, partner, start and end offsets, flags (O open,
  // C close, N no content, or "-"), name.
  std::string dumpTags() const;
  // One line per node in document order: depth, indentation (two spaces per
  // level, up to 32 levels), name, tag index, text length, link text length,
  // text/plain/link shares and score.
  std::string dumpTree() const;

 private:
  HtmlNode* newNode(HtmlNode* parent, HtmlTag* tag);
  int32_t nameKeyOf(std::string_view name, const HtmlElementInfo* row);
  void makeSelfContained(HtmlTag& tag);

  std::deque<HtmlNode> nodeStore_;  // owns every node below root
  // Collected texts: each tag's text is a range of one of these buffers.
  std::vector<std::string> textStore_;
  // Keys of names outside the element table, by their upper-case spelling.
  std::unordered_map<std::string, int32_t> otherNames_;
};

}  // namespace brevanto
