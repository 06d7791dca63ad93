// The native half of the Python module: one page, or the pages of a web
// archive, through the same per-page extraction as brevanto-extract. The
// analysis runs without the interpreter lock, so threads extract in
// parallel, each with its own parser.
#include <Python.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/archive/warc_reader.h"
#include "cli/decoder.h"
#include "cli/page_extraction.h"

namespace py = pybind11;

namespace brevanto::python {
namespace {

// What the module hands back for one page.
struct Page {
  std::string text;  // the chosen text, without the header, lines ended by LF
  std::string title;
  std::string url;
  std::string encoding;
  std::string analysis;
  std::vector<std::string> warnings;
  std::optional<std::string> source;    // "FILE:OFFSET RECORD-ID" for a page of an archive
  std::optional<std::string> recordId;  // WARC-Record-ID
  std::optional<uint64_t> offset;       // the record's offset in the archive
};

Analysis analysisNamed(const std::string& name) {
  if (name == "modern") return Analysis::kModern;
  if (name == "classic") return Analysis::kClassic;
  throw py::value_error("analysis must be \"modern\" or \"classic\", not \"" + name + "\"");
}

// A parser is not shared between threads: each has one per analysis.
cli::PageExtractor& extractorFor(Analysis analysis) {
  thread_local cli::PageExtractor modern(Analysis::kModern);
  thread_local cli::PageExtractor classic(Analysis::kClassic);
  return analysis == Analysis::kModern ? modern : classic;
}

// The text after the header, lines ended by LF: as the modern analysis
// writes it, and for the classic one its CR LF line ends made LF as Python
// reads text.
std::string textOf(const cli::ExtractedPage& extracted, Analysis analysis) {
  if (analysis == Analysis::kModern) return extracted.file.substr(extracted.headerLength);
  std::string text;
  text.reserve(extracted.file.size() - extracted.headerLength);
  for (size_t i = extracted.headerLength; i < extracted.file.size(); ++i) {
    if (extracted.file[i] == '\r' && i + 1 < extracted.file.size() && extracted.file[i + 1] == '\n') continue;
    text.push_back(extracted.file[i]);
  }
  return text;
}

// One page; false with `error` set when there is nothing to analyse. Runs
// without the interpreter lock.
bool extractPage(std::string_view bytes, cli::PageRequest& request, Analysis analysis, Page& page,
                 std::string& error) {
  // The file brevanto-extract writes by default, so that its JSON text and
  // this one are the same.
  if (analysis == Analysis::kModern) request.textFormat = lfTextFile();
  cli::ExtractedPage extracted;
  if (!extractorFor(analysis).extract(bytes, request, extracted, error)) return false;
  page.text = textOf(extracted, analysis);
  page.title = std::move(extracted.title);
  page.url = std::move(extracted.url);
  page.encoding = std::move(extracted.encoding);
  page.analysis = analysis == Analysis::kModern ? "modern" : "classic";
  page.warnings = std::move(extracted.warnings);
  return true;
}

Page extractBytes(const py::bytes& data, const std::string& label, std::optional<std::string> url,
                  std::optional<std::string> title, std::string fallbackUrl,
                  const std::string& analysisName) {
  const Analysis analysis = analysisNamed(analysisName);
  char* buffer = nullptr;
  Py_ssize_t length = 0;
  if (PyBytes_AsStringAndSize(data.ptr(), &buffer, &length) != 0) throw py::error_already_set();
  cli::PageRequest request;
  request.encodingLabel = label;
  request.url = std::move(url);
  request.title = std::move(title);
  request.fallbackUrl = std::move(fallbackUrl);
  Page page;
  std::string error;
  bool ok;
  {
    // The bytes object is immutable and the caller holds it.
    py::gil_scoped_release unlocked;
    ok = extractPage(std::string_view(buffer, static_cast<size_t>(length)), request, analysis, page, error);
  }
  if (!ok) throw py::value_error(error);
  return page;
}

// The HTML pages of one archive, one at a time.
class WarcPages {
 public:
  WarcPages(int fd, std::string name, const std::string& analysisName, std::string label,
            uint64_t recordLimit)
      : name_(std::move(name)), analysis_(analysisNamed(analysisName)), label_(std::move(label)) {
    if (!label_.empty() && cli::encodingForLabel(label_) == nullptr)
      throw py::value_error("unknown encoding '" + label_ + "'");
    reader_.setRecordLimit(recordLimit);
    std::string error;
    if (reader_.open(fd, error) != archive::ArchiveOpen::kOpened) throw py::value_error(name_ + ": " + error);
  }

  // The next page, or none at the end. A page that fails is passed over
  // with a warning, as brevanto-extract goes on with the next page.
  std::optional<Page> next() {
    std::optional<Page> result;
    py::gil_scoped_release unlocked;
    // One reader, one position: calls from several threads take turns.
    const std::lock_guard<std::mutex> lock(mutex_);
    archive::ArchivePage record;
    while (reader_.next(record)) {
      cli::PageRequest request;
      // As brevanto-extract reads a record: a byte-order mark, the caller's
      // encoding, the HTTP charset, <meta>, the bytes.
      request.encodingLabel = label_;
      request.transportLabel = std::move(record.transportLabel);
      if (!record.url.empty()) request.url = record.url;
      const std::string source = archive::archiveSource(name_, record);
      Page page;
      std::string error;
      if (!extractPage(record.body, request, analysis_, page, error)) {
        warnings_.push_back(source + ": " + error);
        ++failed_;
        continue;
      }
      page.warnings.insert(page.warnings.begin(), record.warnings.begin(), record.warnings.end());
      page.source = source;
      page.recordId = std::move(record.recordId);
      page.offset = record.offset;
      result = std::move(page);
      break;
    }
    for (const archive::ArchiveWarning& warning : reader_.takeWarnings())
      warnings_.push_back(archive::archiveWarningText(name_, warning));
    return result;
  }

  // The warnings since the last call.
  std::vector<std::string> takeWarnings() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(warnings_, {});
  }

  py::dict counts() {
    const std::lock_guard<std::mutex> lock(mutex_);
    const archive::ArchiveCounts& counts = reader_.counts();
    py::dict dict;
    dict["records"] = counts.records;
    dict["pages"] = counts.pages - failed_;
    dict["failed"] = failed_;
    dict["skipped"] = counts.skipped;
    dict["damaged"] = counts.damaged;
    return dict;
  }

 private:
  std::string name_;  // the file as the caller named it
  Analysis analysis_;
  std::string label_;  // the caller's encoding; empty: as a browser decides
  archive::WarcReader reader_;
  std::vector<std::string> warnings_;
  uint64_t failed_ = 0;  // HTML pages with nothing to analyse
  std::mutex mutex_;
};

// The text as a Python string; bytes that are not UTF-8 (none the loader
// hands over) would become U+FFFD rather than an exception.
py::str utf8(const std::string& text) {
  PyObject* object = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
  if (object == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(object);
}

py::list utf8List(const std::vector<std::string>& texts) {
  py::list list;
  for (const std::string& text : texts) list.append(utf8(text));
  return list;
}

}  // namespace
}  // namespace brevanto::python

PYBIND11_MODULE(_brevanto, module) {
  using brevanto::python::Page;
  using brevanto::python::utf8;
  module.doc() = "The native part of brevanto: the analysis of a page, and the reader of web archives.";
  py::class_<Page>(module, "Page", "The main text of one page, and where it came from.")
      .def_property_readonly(
          "text", [](const Page& p) { return utf8(p.text); }, "the chosen text, lines ended by LF")
      .def_property_readonly("title", [](const Page& p) { return utf8(p.title); })
      .def_property_readonly("url", [](const Page& p) { return utf8(p.url); })
      .def_property_readonly(
          "encoding", [](const Page& p) { return p.encoding; }, "the encoding the bytes were read in")
      .def_property_readonly("analysis", [](const Page& p) { return p.analysis; })
      .def_property_readonly("warnings", [](const Page& p) { return brevanto::python::utf8List(p.warnings); })
      .def_property_readonly(
          "source",
          [](const Page& p) -> py::object { return p.source ? py::object(utf8(*p.source)) : py::none(); },
          "FILE:OFFSET RECORD-ID for a page of an archive, else None")
      .def_property_readonly(
          "record_id",
          [](const Page& p) -> py::object { return p.recordId ? py::object(utf8(*p.recordId)) : py::none(); })
      .def_readonly("offset", &Page::offset)
      .def("__repr__", [](const Page& p) {
        return py::str("<brevanto.Page url={!r} title={!r}, {} characters>")
            .format(utf8(p.url), utf8(p.title), py::len(utf8(p.text)));
      });
  module.def("file_url", &brevanto::cli::fileUrlOf, py::arg("path"),
             "The file:// URL of a local file, as brevanto-extract gives a page that names none.");
  module.def("extract_bytes", &brevanto::python::extractBytes, py::arg("data"), py::arg("label"),
             py::arg("url"), py::arg("title"), py::arg("fallback_url"), py::arg("analysis"));
  py::class_<brevanto::python::WarcPages>(module, "WarcPages")
      .def(py::init<int, std::string, const std::string&, std::string, uint64_t>(), py::arg("fd"),
           py::arg("name"), py::arg("analysis"), py::arg("encoding"), py::arg("record_limit"))
      .def("next", &brevanto::python::WarcPages::next)
      .def(
          "take_warnings",
          [](brevanto::python::WarcPages& pages) { return brevanto::python::utf8List(pages.takeWarnings()); })
      .def("counts", &brevanto::python::WarcPages::counts);
  module.attr("DEFAULT_RECORD_LIMIT") = brevanto::archive::kDefaultRecordLimit;
}
