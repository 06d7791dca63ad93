// The texts of the message boxes that an extraction shows, each with an
// information icon and an OK button, owned by the browser window.
#pragma once

namespace brevanto {

inline constexpr char kMessageCaption[] = "infomation";
// No open browser window shows the page asked for.
inline constexpr char kNoPageMessage[] = "Sorry, cannot get content!";
// The page's body has no markup at all.
inline constexpr char kEmptyBodyMessage[] = "Sorry! cannot get content!";
// The text file could not be created or written completely.
inline constexpr char kCannotSaveMessage[] = "Sorry, cannot save the text file!";

}  // namespace brevanto
