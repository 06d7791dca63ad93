// The Windows driver of one extraction: analyse the body markup, select the
// content, ask the user where to save it, write it.
#include "extractor/automation/extraction_driver.h"

// The system headers that follow need windows.h before them.
#include <commdlg.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "extractor/messages.h"
#include "extractor/output/output.h"
#include "extractor/output/path_functions.h"
#include "platform/win32/code_page.h"

namespace brevanto {

namespace {

// The Save As dialog's file buffer: a longer proposal is cut to fit.
constexpr size_t kFileBufferSize = MAX_PATH;

// Pairs of display text and pattern, each NUL-terminated, then an empty one.
constexpr char kSaveFilter[] = "text file(*.txt)\0*.txt\0all files(*.*)\0*.*\0";

}  // namespace

void ExtractionDriver::run(const char* markup, const wchar_t* urlW, const wchar_t* titleW, HWND ownerWindow) {
  if (markup == nullptr || *markup == '\0') {
    MessageBoxA(ownerWindow, kEmptyBodyMessage, kMessageCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  pipeline_.analyze(markup);
  const std::vector<ContentChoice> content = pipeline_.chooseContent();

  const std::string title = toAnsi(titleW);
  // outputFolder always ends in "\": no separator goes between.
  const std::string proposed = outputFolder + title + ".txt";
  const std::optional<std::string> cleaned = windows_paths::defaultFileName(proposed.c_str());

  char file[kFileBufferSize] = {};
  if (cleaned) std::strncpy(file, cleaned->c_str(), kFileBufferSize - 1);

  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof(dialog);
  // Borrowed for the dialog's span: the dialog disables it while it is open.
  dialog.hwndOwner = ownerWindow;
  dialog.lpstrFilter = kSaveFilter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = static_cast<DWORD>(kFileBufferSize);
  dialog.lpstrDefExt = "txt";
  dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
  if (!GetSaveFileNameA(&dialog)) return;

  const std::string url = toAnsi(urlW);
  const WriteResult written = writeTextFile(file, content, openAfterWrite != 0, url.c_str(), title.c_str());
  if (written == kCannotCreate || written == kCannotWrite) {
    MessageBoxA(ownerWindow, kCannotSaveMessage, kMessageCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  // Only a folder that now holds the saved file is remembered. A viewer
  // that did not start is no reason to tell the user the save failed.
  if (written == kWritten || written == kWrittenNotOpened) {
    if (std::optional<std::string> folder = windows_paths::folderOf(file)) chosenFolder = *folder;
  }
}

}  // namespace brevanto
