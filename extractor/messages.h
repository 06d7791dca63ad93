// The texts that an extraction shows its user. The Windows server shows them
// in message boxes with an information icon and an OK button, owned by the
// browser window; the command line prints them on standard error.
#pragma once

namespace brevanto {

// The caption is spelled "infomation" on purpose: it is the text users and
// their scripts have always seen in these boxes. Do not correct it.
inline constexpr char kMessageCaption[] = "infomation";
// No open browser window shows the page asked for.
inline constexpr char kNoPageMessage[] = "Sorry, cannot get content!";
// The page's body has no markup at all.
inline constexpr char kEmptyBodyMessage[] = "Sorry! cannot get content!";
// The text file could not be created or written completely.
inline constexpr char kCannotSaveMessage[] = "Sorry, cannot save the text file!";

}  // namespace brevanto
