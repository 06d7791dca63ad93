// An HTTP response as a crawler recorded it in an archive: the status line,
// the header fields, and the body with its transfer and content codings
// removed, read as leniently as a browser reads a response off the network.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brevanto::archive {

struct HttpResponse {
  int status = 0;         // the status code, 100-999
  std::string mediaType;  // type/subtype of Content-Type, lower case; empty when it gives none
  std::string charset;    // the charset parameter of Content-Type as given; empty when none
  std::string body;       // the body, transfer and content codings removed
  // What was wrong but could be read all the same (a body longer or shorter
  // than its Content-Length, a chunked body that breaks off...).
  std::vector<std::string> warnings;
};

enum class HttpParse : int {
  kParsed = 0,
  kNotHttp,      // the bytes do not start with an HTTP status line
  kUndecodable,  // a content coding that is unknown or whose data is corrupt
  kTooLarge,     // the decoded body would exceed the limit
};

// Reads the response in `bytes`; `response` is overwritten in every case.
// The decoded body is at most `limit` bytes. Unless kParsed, `error` says
// why.
HttpParse parseHttpResponse(std::string_view bytes, size_t limit, HttpResponse& response, std::string& error);

// Whether the response is a web page: its Content-Type is HTML or XHTML, or
// it has none and its body starts like HTML, as browsers sniff it.
bool isHtml(const HttpResponse& response);

// Whether the status says the body is the resource itself (2xx): redirects
// and errors carry a server's stock page, not the page asked for.
bool isSuccess(const HttpResponse& response);

}  // namespace brevanto::archive
