// Bytes from pages and file names made safe for where they are shown or
// stored: a name in a message to a terminal, a string in JSON. Names and
// texts are UTF-8 when valid; any other byte is shown escaped (in a message)
// or replaced by U+FFFD (in JSON), so that neither output ever carries
// bytes its reader cannot take.
#pragma once

#include <string>
#include <string_view>

namespace brevanto::cli {

// `name` quoted as a shell reads it back, as GNU tools quote names in their
// messages: 'a name', with what a terminal would act on (control
// characters, bytes that are not UTF-8, bidirectional controls) written as
// $'\n' or $'\033' escapes between the quoted parts. A quote alone makes
// the name "it's".
std::string shellQuoted(std::string_view name);

// `name` as it is when nothing in it needs quoting (letters, digits,
// "%+,-./:=@_" and printable characters beyond ASCII); else shellQuoted(name).
std::string shellQuotedIfNeeded(std::string_view name);

// Appends `text` to `out` as a JSON string, quotes included: control
// characters escaped, U+2028 and U+2029 escaped (so that a line of JSON is
// also a line of JavaScript), each byte that is not part of valid UTF-8
// replaced by U+FFFD.
void appendJsonString(std::string& out, std::string_view text);

}  // namespace brevanto::cli
