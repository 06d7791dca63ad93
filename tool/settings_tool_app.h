// The settings program: one options dialog, run modally, and the program
// ends when it closes.
#pragma once

#include "platform/win32/win_app.h"

namespace brevanto {

class CSettingsToolApp : public CWinApp {
 public:
  bool InitInstance() override;
};

}  // namespace brevanto
