// The automation command target: an object whose IDispatch is driven by a
// static dispatch table of its class, and whose IUnknown answers the
// interfaces of a static interface table. A class derives from it, lists its
// methods in a table and implements them as plain member functions.
#pragma once

#include <windows.h>
// The system headers that follow need windows.h before them.
#include <oaidl.h>

#include <cstddef>

namespace brevanto {

class CAutomationTarget;

// One automation method. Its dispatch identifier is its position in the
// table, counting from 1. Every parameter arrives coerced to a string and
// converted to the system ANSI code page; the method returns nothing.
struct DispatchEntry {
  const char* name;  // matched without regard to case
  unsigned paramCount;
  // `args` holds paramCount NUL-terminated strings, in call order, owned by
  // the caller for the span of the call.
  void (*handler)(CAutomationTarget& target, const char* const* args);
};

struct DispatchTable {
  const DispatchEntry* entries;  // not owned: a static array
  size_t count;
};

// The interfaces besides IUnknown and IDispatch that the object answers with
// its IDispatch implementation (its dispatch interface identifiers).
struct InterfaceTable {
  const IID* const* ids;  // not owned: a static array
  size_t count;
};

class CAutomationTarget : public IDispatch {
 public:
  CAutomationTarget(const CAutomationTarget&) = delete;
  CAutomationTarget& operator=(const CAutomationTarget&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: no type information; names from the dispatch table.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID locale,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

 protected:
  // The reference count starts at 1: the creator holds the first reference.
  CAutomationTarget() = default;
  // Only onFinalRelease destroys the object.
  virtual ~CAutomationTarget() = default;

  // Runs when the last reference goes; the default deletes the object.
  virtual void onFinalRelease();
  virtual const DispatchTable& dispatchTable() const = 0;
  virtual const InterfaceTable& interfaceTable() const = 0;

 private:
  LONG references_ = 1;
};

}  // namespace brevanto
