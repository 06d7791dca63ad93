// The object factory of an in-process automation server: one static factory
// per creatable class, kept in the module's list of factories, plus the
// module's object and lock counts that decide when the module may unload.
#pragma once

#include <windows.h>
// The system headers that follow need windows.h before them.
#include <objbase.h>

#include "platform/win32/automation_target.h"

namespace brevanto {

class COleObjectFactory : public IClassFactory {
 public:
  // Makes a new object with one reference, or null when memory runs out.
  using Creator = CAutomationTarget* (*)();

  // A factory is a static object of the module: constructing it adds it to
  // the module's list, unavailable until registerAll marks it. Each process
  // that loads the module has its own factories, and each makes a new object
  // per request: there is no single-use or multiple-use choice to make, as a
  // server in a process of its own would have.
  COleObjectFactory(const CLSID& clsid, Creator creator, const char* progId);
  ~COleObjectFactory();
  COleObjectFactory(const COleObjectFactory&) = delete;
  COleObjectFactory& operator=(const COleObjectFactory&) = delete;

  // Marks every factory with a non-null class identifier available. Returns
  // true.
  static bool registerAll();
  // The answer of an available factory of `clsid` to a query for `iid`, or
  // CLASS_E_CLASSNOTAVAILABLE.
  static HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** object);
  // S_OK when no object lives, no lock is held and no client holds a
  // factory; S_FALSE otherwise.
  static HRESULT canUnloadNow();
  // Writes the registry entries of every factory under HKEY_CLASSES_ROOT
  // for the module at `modulePath`. Stops at the first failed write and
  // reports it as false.
  static bool updateRegistryAll(const char* modulePath);

  // The module's count of living objects: raised by every object when it is
  // made and lowered when it is destroyed.
  static void objectCreated();
  static void objectDestroyed();

  bool isAvailable() const { return available_; }
  const CLSID& clsid() const { return clsid_; }

  // IUnknown: the module holds the first reference; Release never destroys.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IClassFactory
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  bool updateRegistry(const char* modulePath) const;

  const CLSID clsid_;
  const Creator creator_;
  const char* const progId_;  // not owned: a static string
  bool available_ = false;
  LONG references_ = 1;
  COleObjectFactory* next_ = nullptr;  // not owned: the next static factory
};

}  // namespace brevanto
