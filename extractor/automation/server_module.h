// The server module's application object: created when the module loads,
// it keeps the module's handle and makes the module's factories available.
#pragma once

#include <windows.h>

namespace brevanto {

class CBrevantoModule {
 public:
  // Records the module's handle and marks every factory of the module with a
  // class identifier available. Returns true.
  bool initInstance(HINSTANCE instance);
  HINSTANCE instance() const { return instance_; }

 private:
  HINSTANCE instance_ = nullptr;  // not owned: the loaded module
};

// The module's one application object.
extern CBrevantoModule theModule;

}  // namespace brevanto
