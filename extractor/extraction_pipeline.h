// The per-call object of an extraction: it parses one body markup into tags
// and a node tree, gives every element its text, scores the elements, selects
// the main content and writes it. Its operations are defined in the folder of
// the stage they belong to: parse/, text/, output/, and the Windows driver in
// automation/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "extractor/parse/html_element_table.h"
#include "extractor/parse/html_tag.h"

// The type behind a Windows window handle, under the name the system headers
// give it, for the driver only.
struct HWND__;  // NOLINT(bugprone-reserved-identifier)

namespace brevanto {

namespace testing {
class PipelineSteps;  // the tests' access to the steps of an analysis
}

// Ordered content nodes chosen by selectContent; an entry may be null. The
// list does not own the nodes: they belong to the pipeline's tree.
using ContentList = std::vector<HtmlNode*>;

// Reads the element name and the open/close flags of one tag.
class TagNameReader {
 public:
  // `lt` points at the "<", `gt` at the ">" that ends the tag. Returns true
  // and sets the fields, or false when the tag has no name.
  bool read(const char* lt, const char* gt);

  std::string_view name;  // not owned: bytes between lt and gt
  bool isOpen = false;
  bool isClose = false;
  // Whether tab, CR, LF and form feed end a name as the blank does. The
  // classic reader keeps them in the name, so that such a tag names no
  // element.
  bool anySpaceEndsName = false;
};

// Outcome of writeTextFile.
enum WriteResult : int {
  kWritten = 1,         // the file holds the whole text
  kNothingToWrite = 0,  // no path or no content list: nothing was touched
  kCannotCreate = -1,   // the file could not be created; an existing file is kept
  kCannotWrite = -2,    // writing failed; no partial file is left, an existing file is kept
};

enum class MatchResult : int { kMatched = 1, kNoTags = -1 };
enum class BuildResult : int { kBuilt = 0, kNoTags = -2 };

// Why an element is part of the content.
enum class ContentReason : int {
  kParagraphs,  // it has enough P children and enough of the body's non-link text
  kBestScore,   // no element has: it scores best
  kSibling,     // modern: a sibling of a chosen element, of its element, that reads like more of it
  kDocument,    // modern: the chosen elements hold too little of a body without links
};

struct ContentChoice {
  HtmlNode* node = nullptr;  // not owned; null when the tree holds no tagged node
  ContentReason reason = ContentReason::kParagraphs;
  // Modern: the lists of links inside the node, in document order, whose
  // text is left out of what is written. Not owned.
  std::vector<const HtmlNode*> leftOut;
};

// An element's text, non-link text and link text as percentages of the
// body's.
struct ElementShares {
  double textShare = 0;
  double plainShare = 0;
  double linkShare = 0;
};

class ExtractionPipeline {
 public:
  explicit ExtractionPipeline(Analysis analysis = Analysis::kClassic);
  virtual ~ExtractionPipeline();
  ExtractionPipeline(const ExtractionPipeline&) = delete;
  ExtractionPipeline& operator=(const ExtractionPipeline&) = delete;

  // ---- What an analysis leaves, for its callers to read. Lengths that the
  // shares compare are counted as the analysis counts text: every byte
  // (classic), or the visible bytes, those above the blank (modern), since
  // the indentation of markup is not content.
  const Analysis analysis;
  std::vector<HtmlTag> tags;         // every tag in document order
  HtmlNode root;                     // the pruned tree's root: no tag, no parent
  const HtmlElementTable& elements;  // not owned: the table of the analysis
  int32_t bodyTextLength = 0;        // of the BODY element's text; 0 without a BODY
  int32_t bodyPlainLength = 0;       // that text less its link text, at least 0
  int32_t bodyLinkTextLength = 0;    // of the BODY element

  // ---- The caller's choices.
  int32_t minParagraphs = 2;   // least P children of a content node
  double minPlainShare = 5.0;  // least plainShare of a content node, in percent
  int32_t openAfterWrite = 1;
  std::string outputFolder = "C:\\";  // where the proposed file name starts; ends in "\"
  std::string chosenFolder;           // folder, with its final "\", of the file saved in this call

  // ---- The analysis. `markup` is NUL-terminated and must stay unchanged and
  // alive for as long as the tags and texts are used.
  void analyze(const char* markup);
  // Never empty: the top-most elements with at least `leastParagraphs` P
  // children and a plainShare of at least `leastShare`, in document order;
  // else the best-scored node (null when the tree holds no tagged node).
  ContentList selectContent(HtmlNode* rootNode, int leastParagraphs, double leastShare) const;
  // The same nodes, each with the reason it was chosen. The modern analysis
  // adds the posts beside a chosen element, takes a body without links whole
  // when its text is spread too thin for any element to hold it, and leaves
  // the lists of links inside the chosen elements out of what is written.
  std::vector<ContentChoice> chooseContent(HtmlNode* rootNode, int leastParagraphs, double leastShare) const;
  // The shares of an element of the body's tree; all 0 for any other tag.
  ElementShares sharesOf(const HtmlTag& tag) const;
  double scoreOf(const HtmlTag& tag) const;
  // The element name as written in the markup (letter case kept), without
  // "/" and attributes; "!" for comments and declarations.
  std::string_view nameOf(const HtmlTag& tag) const;

  // ---- Output file and paths. Each path function returns a new string, or
  // nothing.
  WriteResult writeTextFile(const char* path, const ContentList& contentNodes, int openAfterWrite,
                            const char* url, const char* title);
  // The bytes writeTextFile writes.
  static std::string formatTextFile(const ContentList& contentNodes, std::string_view url,
                                    std::string_view title);
  // The bytes of the text file for chosen elements, less what each leaves
  // out: a line break stands in the place of each list left out.
  static std::string formatChosenText(const std::vector<ContentChoice>& choices, std::string_view url,
                                      std::string_view title);
  // A content node's text as it is written: without its blank lines when it
  // has more than one line break. Nothing for no text.
  static std::optional<std::string> cleanLines(const char* text, size_t length);
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
  // text/plain/link shares and score; the modern analysis adds the visible
  // length after the text length.
  std::string dumpTree() const;
  // The analysis, then one line per chosen node: its tag index and name,
  // and why it was chosen; under it, a line for each list it leaves out.
  std::string dumpContent(const std::vector<ContentChoice>& choices) const;

 private:
  friend class testing::PipelineSteps;

  // A byte store of fixed capacity for the texts of one analysis. Its bytes
  // never move, so the ranges that tags hold stay valid until the next reset.
  class TextStore {
   public:
    // Empties the store, with room for `capacity` bytes.
    void reset(size_t capacity);
    // An append past the capacity is cut short: the renderer never makes one
    // (see collectText), and a text cut short is better than a moved buffer.
    void append(const char* bytes, size_t length);
    void push_back(char c) { append(&c, 1); }
    const char* end() const { return bytes_.get() + size_; }
    // Visible bytes appended since the reset, when counting them.
    int32_t visibleCount() const { return visible_; }
    void countVisible(bool counts) { countsVisible_ = counts; }

   private:
    std::unique_ptr<char[]> bytes_;  // owned
    size_t capacity_ = 0;
    size_t size_ = 0;
    bool countsVisible_ = false;
    int32_t visible_ = 0;  // never past the capacity, which fits an offset
  };

  // ---- Tokenizer. After scanning, `tags` holds every tag of the markup in
  // document order, each with its offsets, row, name key and open/close
  // flags; partners are -1.
  void clearTags();
  void scanMarkup(const char* begin, const char* end);
  static constexpr int kNoTag = -1;
  // The new tag's index, or kNoTag when the text between `lt` and `gt` names
  // no tag.
  int addTag(const char* lt, const char* gt, const char* base);
  std::string rawTextEndTag() const;  // "</" + name of the last tag + ">"
  int32_t nameKeyOf(std::string_view name, ElementRow row);

  // ---- Matching. Afterwards every tag has a partner: a start tag and its end
  // tag point at each other; a self-contained tag (comment, empty element,
  // unmatched tag) points at itself and is open and close; a start tag whose
  // optional end tag was left out points at the tag that ends it.
  MatchResult matchTags();
  void makeSelfContained(HtmlTag& tag);

  // ---- Tree. Afterwards every element is a node: the root's children are
  // the top-level elements, and a node's children are the elements inside its
  // extent (from its tag to its partner), in document order. An element that
  // runs past its parent's end is an empty leaf.
  void clearTree();
  BuildResult buildTree();
  HtmlNode* appendChild(HtmlNode* parent, HtmlNode* lastChild, HtmlTag* tag);

  // ---- Page chrome (modern). Afterwards every element that is page
  // furniture is marked: its subtree gets no text, so its ancestors' texts
  // and link counts leave it out, and pruning drops it.
  void markChrome();
  // Furniture by its element: always, or outside any section.
  bool isChromeElement(const HtmlTag& tag, bool insideSection) const;
  // Furniture by the words of its class and id names.
  bool isNamedChrome(const HtmlTag& tag) const;

  // ---- Text. Afterwards the tag of every node holds the text of its whole
  // subtree: its own character data with entities decoded, its children's
  // texts in order, a line break for each BR child. Chrome is left out.
  void collectText(const char* markup);
  // Renders `top` and its subtree, except the subtrees of BR children that
  // have children of their own, which are added to `heldBack`. Returns the
  // offset where the parent's next segment begins.
  int renderNode(HtmlNode* top, const char* markup, std::vector<HtmlNode*>& heldBack);
  // Appends the markup from `from` up to `to`, its entities decoded; nothing
  // when the range is empty.
  void appendSegment(const char* markup, int from, int to);
  // The offset just after the element of `node`.
  int offsetAfter(const HtmlNode& node) const;
  // The segment with its complete entities ("&" to the next ";") replaced, or
  // nothing when it holds no complete entity.
  static std::optional<std::string> decodeEntities(const char* bytes, size_t length);
  // The one byte that replaces `entity`, which runs from "&" to ";" inclusive.
  static char entityChar(const char* entity, size_t length);
  // Appends what cleanLines gives for the text to `out`.
  static void appendCleanLines(const char* text, size_t length, std::string& out);
  // Replaces the text from `from` on with what cleanLines gives for it,
  // without a copy of it.
  static void cleanLinesInPlace(std::string& text, size_t from);
  // The length of the tag's text as the shares count it.
  int32_t countedLength(const HtmlTag& tag) const {
    return analysis == Analysis::kModern ? tag.visibleLength : tag.textLength;
  }

  // ---- Selection, in this order; each step leaves the tree as it says.
  // Every tag of the subtree with content holds its link text: its own text
  // when it is an A, plus its children's link text. A tag whose extent was
  // given up, and its subtree, count nothing.
  void measureLinks(HtmlNode* node);
  // Every node left has text, and an element that is not empty and renders
  // its content; a removed node takes its subtree along, and its text stays in
  // its ancestors' texts.
  void pruneTree(HtmlNode* node);
  // No leaf is inline: an inline element stays only while it keeps a child.
  void dropInlineLeaves(HtmlNode* node);
  // No tagged node has exactly one child: it took over its child's children.
  void collapseChains(HtmlNode* node);
  // The root's first BODY child, with the body's figures set; null without
  // one.
  HtmlNode* findBody(HtmlNode* rootNode);
  // The body and every node below it are scored: their shares follow from
  // their lengths and the body's figures. Any other tag's shares are 0.
  void scoreTree(HtmlNode* node);
  static double percentOf(int x, int y);
  static double nodeScore(const ElementShares& shares);
  // The top-most qualifying nodes in document order; empty stands for none.
  ContentList collectContentNodes(HtmlNode* node, int leastParagraphs, double leastShare) const;
  HtmlNode* bestScoredNode(HtmlNode* node) const;
  // Modern: `chosen` with the siblings of each chosen node that are more of
  // the same (the next post of a page of posts), in document order, none
  // inside another.
  void addParagraphSiblings(std::vector<ContentChoice>& chosen, HtmlNode* rootNode) const;
  // Modern: the body alone, when `chosen` holds too little of a body without
  // links.
  void takeDocumentIfSpread(std::vector<ContentChoice>& chosen, HtmlNode* rootNode) const;
  // Modern: each chosen node's top-most descendants that are mostly links.
  void leaveOutLinkLists(std::vector<ContentChoice>& chosen) const;
  double linkDensity(const HtmlTag& tag) const;

  // A row the rules name, or kNoRow when the table lacks it.
  ElementRow knownRow(const char* name) const;
  static constexpr ElementRow kNoRow = 0xFFFF;
  const ElementRow anchorRow_;
  const ElementRow bodyRow_;
  const ElementRow documentRow_;
  const ElementRow lineBreakRow_;
  const ElementRow paragraphRow_;

  bool inRawText_ = false;           // while the scanner is inside a skip-content element
  const char* markup_ = nullptr;     // not owned: the markup the tags' offsets refer to
  size_t markupLength_ = 0;          // bytes scanned
  std::vector<HtmlNode> nodeStore_;  // owns every node below root; never reallocated while in use
  TextStore textStore_;              // owns every collected text
  struct FoldedHash {
    size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    bool operator()(std::string_view a, std::string_view b) const;
  };
  // Keys of the names outside the element table, without regard to case. The
  // names are views of the markup.
  std::unordered_map<std::string_view, int32_t, FoldedHash, FoldedEqual> otherNames_;
};

}  // namespace brevanto
