#include "cli/archive/http_response.h"

#include <cstdint>
#include <utility>

#include "base/ascii.h"
#include "cli/archive/header_fields.h"
#include "cli/archive/inflate.h"

namespace brevanto::archive {
namespace {

// The beginnings by which a browser sniffs a body without a Content-Type
// as HTML, each followed by a space or ">" (the comment by anything).
constexpr std::string_view kHtmlStarts[] = {
    "<!doctype html", "<html",  "<head", "<script", "<iframe", "<h1", "<div", "<font", "<table", "<a",
    "<style",         "<title", "<b",    "<body",   "<br",     "<p",  "<!--",
};

// The next line of `text` from `pos`, without its line end (LF or CR LF);
// `pos` moves past the line end. False when no line end follows.
std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = ascii::toLower(c);
  return lower;
}

int hexValue(char c) {
  if (ascii::isDigit(c)) return c - '0';
  const char lower = ascii::toLower(c);
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// The tokens of a comma-separated header value, lower case, in order.
std::vector<std::string> tokens(std::string_view value) {
  std::vector<std::string> list;
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string_view::npos) comma = value.size();
    const std::string_view token = ascii::trim(value.substr(start, comma - start));
    if (!token.empty()) list.push_back(lowerCase(token));
    start = comma + 1;
  }
  return list;
}

// The media type and charset of a Content-Type value. The first charset
// parameter counts; its value may be quoted.
void parseContentType(std::string_view value, std::string& mediaType, std::string& charset) {
  mediaType.clear();
  charset.clear();
  size_t semicolon = value.find(';');
  const std::string_view type = ascii::trim(value.substr(0, semicolon));
  if (type.find('/') == std::string_view::npos) return;
  mediaType = lowerCase(type);
  while (semicolon != std::string_view::npos) {
    const size_t start = semicolon + 1;
    semicolon = value.find(';', start);
    const std::string_view parameter =
        value.substr(start, semicolon == std::string_view::npos ? std::string_view::npos : semicolon - start);
    const size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) continue;
    if (!ascii::equalsIgnoringCase(ascii::trim(parameter.substr(0, equals)), "charset")) continue;
    std::string_view label = ascii::trim(parameter.substr(equals + 1));
    if (label.size() >= 2 && label.front() == '"' && label.back() == '"')
      label = label.substr(1, label.size() - 2);
    charset.assign(label);
    return;
  }
}

// Removes the chunked transfer coding. Chunk extensions and trailer fields
// are read over; a body that breaks off keeps the chunks it has.
std::string dechunk(std::string_view body, std::vector<std::string>& warnings) {
  std::string out;
  size_t pos = 0;
  for (bool first = true;; first = false) {
    std::string_view line;
    const size_t lineStart = pos;
    const bool hasLine = nextLine(body, pos, line);
    if (!hasLine && !first) {
      warnings.push_back("the chunked body ends before its last chunk");
      return out;
    }
    line = ascii::trim(line.substr(0, line.find(';')));
    uint64_t size = 0;
    bool valid = hasLine && !line.empty() && line.size() <= 16;
    for (const char c : line) {
      const int digit = hexValue(c);
      if (digit < 0) valid = false;
      size = size * 16 + static_cast<uint64_t>(digit < 0 ? 0 : digit);
    }
    if (!valid) {
      // Some crawlers store the body already unchunked and keep the header.
      if (first) {
        warnings.push_back("the body is not chunked although its header says so; read as it is");
        return std::string(body);
      }
      warnings.push_back("a chunk size at byte " + std::to_string(lineStart) +
                         " of the body is not a hexadecimal number; the body ends there");
      return out;
    }
    // The last chunk; trailer fields may follow it and say nothing of the page.
    if (size == 0) return out;
    if (size > body.size() - pos) {
      out.append(body.substr(pos));
      warnings.push_back("the chunked body ends inside a chunk");
      return out;
    }
    out.append(body.substr(pos, static_cast<size_t>(size)));
    pos += static_cast<size_t>(size);
    if (body.compare(pos, 2, "\r\n") == 0) {
      pos += 2;
    } else if (body.compare(pos, 1, "\n") == 0) {
      pos += 1;
    }
  }
}

// Whether `body` reads as markup as it is: a coded body that does not decode
// was often stored decoded by its crawler with the header kept.
bool startsLikeMarkup(std::string_view body) {
  const size_t first = body.find_first_not_of(" \t\r\n\f");
  return first != std::string_view::npos && body[first] == '<';
}

// Removes one content coding from `body`.
HttpParse decode(const std::string& coding, size_t limit, HttpResponse& response, std::string& error) {
  if (coding == "identity") return HttpParse::kParsed;
  std::string decoded;
  InflateStatus status;
  if (coding == "gzip" || coding == "x-gzip") {
    status = inflateBytes(response.body, Wrapper::kGzip, limit, decoded);
  } else if (coding == "deflate") {
    // "deflate" is a zlib stream, but many servers send bare deflate data.
    status = inflateBytes(response.body, Wrapper::kZlib, limit, decoded);
    if (status == InflateStatus::kCorrupt)
      status = inflateBytes(response.body, Wrapper::kRaw, limit, decoded);
  } else {
    error = "the body's content coding '" + coding + "' cannot be decoded";
    return HttpParse::kUndecodable;
  }
  switch (status) {
    case InflateStatus::kDone:
      break;
    case InflateStatus::kTruncated:
      response.warnings.push_back("the " + coding + " body breaks off; what it holds up to there is read");
      break;
    case InflateStatus::kTooLarge:
      error = "the body decodes to more than " + std::to_string(limit) + " bytes";
      return HttpParse::kTooLarge;
    case InflateStatus::kCorrupt:
      if (startsLikeMarkup(response.body)) {
        response.warnings.push_back("the body is marked " + coding + " but is not; read as it is");
        return HttpParse::kParsed;
      }
      error = "the body is not valid " + coding + " data";
      return HttpParse::kUndecodable;
  }
  response.body = std::move(decoded);
  return HttpParse::kParsed;
}

}  // namespace

HttpParse parseHttpResponse(std::string_view bytes, size_t limit, HttpResponse& response,
                            std::string& error) {
  response = HttpResponse();
  error.clear();
  size_t pos = 0;
  std::string_view line;
  // Status line: HTTP/<version> <three digits>[ <reason>].
  const bool hasLine = nextLine(bytes, pos, line);
  if (!hasLine) line = bytes;
  if (line.substr(0, 5) != "HTTP/") {
    error = "the record holds no HTTP response";
    return HttpParse::kNotHttp;
  }
  const size_t space = line.find(' ');
  const std::string_view code =
      space == std::string_view::npos ? std::string_view() : line.substr(space + 1, 3);
  if (code.size() != 3 || !ascii::isDigit(code[0]) || !ascii::isDigit(code[1]) || !ascii::isDigit(code[2]) ||
      code[0] == '0' || (line.size() > space + 4 && line[space + 4] != ' ')) {
    error = "the record's HTTP status line is malformed";
    return HttpParse::kNotHttp;
  }
  response.status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
  if (!hasLine) return HttpParse::kParsed;

  // Header fields up to the empty line; a line that starts with white space
  // continues the field before it.
  std::string contentType;
  std::string transferCoding;
  std::string contentCoding;
  std::string contentLength;
  const bool ended = readHeaderFields(bytes, pos, [&](std::string_view name, std::string_view value) {
    // A repeated Content-Type replaces the one before; repeated codings add up.
    std::string* field = nullptr;
    if (ascii::equalsIgnoringCase(name, "Content-Type")) {
      field = &contentType;
      field->clear();
    } else if (ascii::equalsIgnoringCase(name, "Transfer-Encoding")) {
      field = &transferCoding;
      field->append(",");
    } else if (ascii::equalsIgnoringCase(name, "Content-Encoding")) {
      field = &contentCoding;
      field->append(",");
    } else if (ascii::equalsIgnoringCase(name, "Content-Length")) {
      field = &contentLength;
      field->clear();
    }
    if (field != nullptr) field->append(value);
    return field;
  });
  parseContentType(contentType, response.mediaType, response.charset);
  if (!ended) {
    if (pos < bytes.size()) response.warnings.push_back("the HTTP header has no end; the body is empty");
    return HttpParse::kParsed;
  }

  std::string_view body = bytes.substr(pos);
  std::vector<std::string> codings = tokens(contentCoding);
  std::vector<std::string> transfer = tokens(transferCoding);
  const bool chunked = !transfer.empty() && transfer.back() == "chunked";
  if (chunked) transfer.pop_back();
  codings.insert(codings.end(), transfer.begin(), transfer.end());
  uint64_t length = 0;
  if (chunked) {
    response.body = dechunk(body, response.warnings);
  } else {
    if (ascii::parseDecimal(contentLength, length)) {
      if (body.size() > length) {
        response.warnings.push_back("the HTTP body is " + std::to_string(body.size() - length) +
                                    " bytes longer than its Content-Length of " + std::to_string(length) +
                                    "; the rest is left out");
        body = body.substr(0, static_cast<size_t>(length));
      } else if (body.size() < length) {
        response.warnings.push_back("the HTTP body ends " + std::to_string(length - body.size()) +
                                    " bytes before its Content-Length of " + std::to_string(length));
      }
    }
    response.body.assign(body);
  }
  if (response.body.size() > limit) {
    error = "the body is more than " + std::to_string(limit) + " bytes";
    return HttpParse::kTooLarge;
  }
  // Codings were applied in the order listed; they come off in reverse.
  for (auto coding = codings.rbegin(); coding != codings.rend(); ++coding) {
    const HttpParse status = decode(*coding, limit, response, error);
    if (status != HttpParse::kParsed) return status;
  }
  return HttpParse::kParsed;
}

bool isHtml(const HttpResponse& response) {
  if (!response.mediaType.empty())
    return response.mediaType == "text/html" || response.mediaType == "application/xhtml+xml";
  const size_t first = response.body.find_first_not_of(" \t\r\n\f");
  if (first == std::string::npos) return false;
  const std::string_view body = std::string_view(response.body).substr(first);
  for (const std::string_view start : kHtmlStarts) {
    if (body.size() <= start.size() || !ascii::equalsIgnoringCase(body.substr(0, start.size()), start))
      continue;
    const char next = body[start.size()];
    if (start == "<!--" || next == ' ' || next == '>') return true;
  }
  return false;
}

bool isSuccess(const HttpResponse& response) {
  return response.status >= 200 && response.status <= 299;
}

}  // namespace brevanto::archive
