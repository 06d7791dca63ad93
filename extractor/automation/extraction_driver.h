// The Windows driver of one Extract call, and the state of its Save As
// dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "extractor/extraction_pipeline.h"

namespace brevanto {

class ExtractionDriver {
 public:
  // Analyse, choose the content, ask the user where to save it, write it.
  // `ownerWindow` owns every dialog and message box it shows.
  void run(const char* markup, const wchar_t* urlW, const wchar_t* titleW, HWND ownerWindow);

  // ---- The caller's choices.
  int32_t openAfterWrite = 1;
  std::string outputFolder = "C:\\";  // where the proposed file name starts; ends in "\"
  // ---- What the call leaves: the folder, with its final "\", of the file
  // saved in this call; empty when nothing was saved.
  std::string chosenFolder;

 private:
  ExtractionPipeline pipeline_;  // the classic analysis, the server's own
};

}  // namespace brevanto
