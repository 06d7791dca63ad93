// Finds the open browser window whose current document has a given URL and
// title, through the shell's list of windows.
#pragma once

#include <windows.h>
// The system headers that follow need windows.h before them.
#include <mshtml.h>

namespace brevanto {

// True when a browser window of the shell's list shows a document whose URL
// and title equal `urlW` and `titleW` (compared as ANSI bytes, case
// significant); the first such window wins. Then `*document` holds a
// reference that the caller releases; otherwise it is null. `*window` gets
// the window handle of every browser window examined, so after a failure it
// names the last one; the caller sets it beforehand. A URL or title that is
// absent, on either side, matches nothing.
bool findBrowserDocument(const wchar_t* urlW, const wchar_t* titleW, IHTMLDocument2** document, HWND* window);

}  // namespace brevanto
