#include "cli/formats.h"

#include "cli/text_escapes.h"

namespace brevanto::cli {

std::string_view extensionOf(Format format) {
  switch (format) {
    case Format::kText:
      return ".txt";
    case Format::kJson:
      return ".json";
    case Format::kJsonLines:
      return ".jsonl";
  }
  return ".txt";
}

std::string jsonObject(const ExtractedPage& page, std::string_view source, Analysis analysis) {
  const std::string_view text = std::string_view(page.file).substr(page.headerLength);
  std::string out;
  out.reserve(text.size() + page.url.size() + page.title.size() + source.size() + 128);
  out.append("{\"url\":");
  appendJsonString(out, page.url);
  out.append(",\"title\":");
  appendJsonString(out, page.title);
  out.append(",\"text\":");
  appendJsonString(out, text);
  out.append(",\"analysis\":");
  out.append(analysis == Analysis::kClassic ? "\"classic\"" : "\"modern\"");
  out.append(",\"encoding\":");
  if (page.encoding.empty()) {
    out.append("null");
  } else {
    appendJsonString(out, page.encoding);
  }
  out.append(",\"source\":");
  appendJsonString(out, source);
  out.append(",\"warnings\":[");
  for (size_t i = 0; i < page.warnings.size(); ++i) {
    if (i > 0) out.push_back(',');
    appendJsonString(out, page.warnings[i]);
  }
  out.append("]}\n");
  return out;
}

}  // namespace brevanto::cli
