// Names quoted for a terminal read back as the same bytes in a shell, and
// JSON strings are always valid JSON in valid UTF-8.
#include "cli/text_escapes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace brevanto::cli {
namespace {

// What bash makes of `quotedName` as a word.
std::string readBackByBash(const std::string& quotedName) {
  const std::string script = "printf %s " + quotedName;
  std::string command = "bash -c '";
  for (const char c : script) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
  command += "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "(no bash)";
  std::string bytes;
  char buffer[256];
  for (size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) bytes.append(buffer, got);
  ::pclose(pipe);
  return bytes;
}

// Nothing a terminal acts on: no C0 control, no DEL, no byte of a C1 or
// bidirectional control.
void expectShowable(const std::string& shown) {
  for (const char c : shown) {
    const auto b = static_cast<unsigned char>(c);
    EXPECT_FALSE(b < 0x20 || b == 0x7F) << shown;
  }
  EXPECT_EQ(shown.find("\xE2\x80\xAE"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("\xC2\x9B"), std::string::npos) << shown;
}

TEST(TextEscapes, NamesAreQuotedAsGnuToolsQuoteThem) {
  const struct {
    std::string name;
    std::string always;  // shellQuoted()
    std::string needed;  // shellQuotedIfNeeded()
  } cases[] = {
      {"tide.html", "'tide.html'", "tide.html"},
      {"dir/a-b_c+1%,=@:.html", "'dir/a-b_c+1%,=@:.html'", "dir/a-b_c+1%,=@:.html"},
      {"caf\xC3\xA9.html", "'caf\xC3\xA9.html'", "caf\xC3\xA9.html"},
      {"a b", "'a b'", "'a b'"},
      {"a\nb", "'a'$'\\n''b'", "'a'$'\\n''b'"},
      {"\033[2Jx", "$'\\033''[2Jx'", "$'\\033''[2Jx'"},
      {"tab\t\x7F", "'tab'$'\\t\\177'", "'tab'$'\\t\\177'"},
      {"it's", "\"it's\"", "\"it's\""},
      {"it's $HOME", "'it'$'\\'''s $HOME'", "'it'$'\\'''s $HOME'"},
      {"a\xE2\x80\xAEtxt.exe", "'a'$'\\342\\200\\256''txt.exe'", "'a'$'\\342\\200\\256''txt.exe'"},
      {"c1\xC2\x9B", "'c1'$'\\302\\233'", "'c1'$'\\302\\233'"},
      {"rlm\xE2\x80\x8F", "'rlm'$'\\342\\200\\217'", "'rlm'$'\\342\\200\\217'"},
      {"caf\xE9", "'caf'$'\\351'", "'caf'$'\\351'"},  // not UTF-8
      {"", "''", "''"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shellQuoted(c.name), c.always) << c.always;
    EXPECT_EQ(shellQuotedIfNeeded(c.name), c.needed) << c.needed;
    for (const std::string& shown : {shellQuoted(c.name), shellQuotedIfNeeded(c.name)}) {
      expectShowable(shown);
      if (shown != c.name) {
        EXPECT_EQ(readBackByBash(shown), c.name) << shown;
      }
    }
  }
}

TEST(TextEscapes, JsonStringsAreValidWhateverTheBytes) {
  const std::string replacement = "\xEF\xBF\xBD";
  const struct {
    std::string text;
    std::string json;
  } cases[] = {
      {"plain", "\"plain\""},
      {"a\"b\\c/d", "\"a\\\"b\\\\c/d\""},
      {"line\nnext\r\ttab", "\"line\\nnext\\r\\ttab\""},
      {std::string("\0\x01\x1F\x7F", 4), "\"\\u0000\\u0001\\u001f\x7F\""},
      {"\xF0\x9F\x98\x80 caf\xC3\xA9", "\"\xF0\x9F\x98\x80 caf\xC3\xA9\""},
      {"sep\xE2\x80\xA8par\xE2\x80\xA9", "\"sep\\u2028par\\u2029\""},
      {"caf\xE9", "\"caf" + replacement + "\""},
      {"\xED\xA0\x80", "\"" + replacement + replacement + replacement + "\""},  // a surrogate
      {"\xC0\xAF", "\"" + replacement + replacement + "\""},                    // overlong
      {"\xF4\x90\x80\x80", "\"" + replacement + replacement + replacement + replacement + "\""},
      {"cut \xE2\x80", "\"cut " + replacement + replacement + "\""},
  };
  for (const auto& c : cases) {
    std::string json = "x";
    appendJsonString(json, c.text);
    EXPECT_EQ(json, "x" + c.json) << c.json;
  }
}

}  // namespace
}  // namespace brevanto::cli
