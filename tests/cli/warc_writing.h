// Web archives written as crawlers write them, for the tests: WARC records,
// the HTTP responses in them, gzip members.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace brevanto::testing {

// `text` as one gzip member (or a zlib or bare deflate stream).
inline std::string compress(const std::string& text, int windowBits = 15 + 16) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, text.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

inline std::string record(const std::string& type, const std::string& block, const std::string& fields = "",
                          const std::string& eol = "\r\n") {
  return "WARC/1.0" + eol + "WARC-Type: " + type + eol + "WARC-Record-ID: <urn:uuid:" + type + ">" + eol +
         fields + "Content-Length: " + std::to_string(block.size()) + eol + eol + block + eol + eol;
}

inline std::string response(const std::string& url, const std::string& http,
                            const std::string& eol = "\r\n") {
  return record("response", http,
                "WARC-Target-URI: " + url + eol + "Content-Type: application/http; msgtype=response" + eol,
                eol);
}

inline std::string http(const std::string& headers, const std::string& body,
                        const std::string& status = "200 OK") {
  return "HTTP/1.1 " + status + "\r\n" + headers + "\r\n" + body;
}

}  // namespace brevanto::testing
