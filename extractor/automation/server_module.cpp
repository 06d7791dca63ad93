// The module: its application object, its entry point and the four exports of
// an in-process server. No exception leaves an export.
#include "extractor/automation/server_module.h"

#include <objbase.h>

#include <string>

#include "extractor/automation/text_extraction.h"
#include "platform/win32/ole_object_factory.h"

namespace brevanto {

CBrevantoModule theModule;

bool CBrevantoModule::initInstance(HINSTANCE instance) {
  instance_ = instance;
  return COleObjectFactory::registerAll();
}

namespace {

// The module's path in its short form when the file system gives one, else
// in its long form; empty when the module has no path.
std::string modulePath(HINSTANCE instance) {
  char longPath[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(instance, longPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  char shortPath[MAX_PATH] = {};
  const DWORD shortLength = GetShortPathNameA(longPath, shortPath, MAX_PATH);
  if (shortLength == 0 || shortLength >= MAX_PATH) return longPath;
  return shortPath;
}

}  // namespace

}  // namespace brevanto

using brevanto::COleObjectFactory;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    return brevanto::theModule.initInstance(instance) ? TRUE : FALSE;
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
  return COleObjectFactory::getClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow() {
  return COleObjectFactory::canUnloadNow();
}

// Succeeds whatever the registry says: a write that fails ends the
// registration quietly.
STDAPI DllRegisterServer() {
  try {
    const std::string path = brevanto::modulePath(brevanto::theModule.instance());
    COleObjectFactory::updateRegistryAll(path.c_str());
  } catch (...) {
  }
  return S_OK;
}

// Registration entries are left in place.
STDAPI DllUnregisterServer() {
  return S_OK;
}
