#include "platform/win32/automation_target.h"

#include <oleauto.h>

#include <new>
#include <string>
#include <vector>

#include "platform/win32/code_page.h"

namespace brevanto {

HRESULT STDMETHODCALLTYPE CAutomationTarget::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
  const InterfaceTable& table = interfaceTable();
  for (size_t i = 0; !known && i < table.count; ++i) known = IsEqualIID(iid, *table.ids[i]);
  if (!known) return E_NOINTERFACE;
  *object = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CAutomationTarget::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE CAutomationTarget::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) onFinalRelease();
  return static_cast<ULONG>(left);
}

void CAutomationTarget::onFinalRelease() {
  delete this;
}

HRESULT STDMETHODCALLTYPE CAutomationTarget::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CAutomationTarget::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT STDMETHODCALLTYPE CAutomationTarget::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID,
                                                           DISPID* ids) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr) return E_POINTER;
  if (nameCount == 0) return S_OK;
  // Parameters are positional only: their names have no identifier.
  for (UINT i = 1; i < nameCount; ++i) ids[i] = DISPID_UNKNOWN;
  ids[0] = DISPID_UNKNOWN;
  const std::string name = toAnsi(names[0]);
  const DispatchTable& table = dispatchTable();
  for (size_t i = 0; i < table.count; ++i) {
    if (lstrcmpiA(name.c_str(), table.entries[i].name) == 0) {
      ids[0] = static_cast<DISPID>(i + 1);
      return nameCount == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE CAutomationTarget::Invoke(DISPID id, REFIID iid, LCID, WORD flags,
                                                    DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                                    UINT* argError) {
  if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  if (result != nullptr) VariantInit(result);
  const DispatchTable& table = dispatchTable();
  if (id < 1 || static_cast<size_t>(id) > table.count) return DISP_E_MEMBERNOTFOUND;
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr) return E_POINTER;
  const DispatchEntry& entry = table.entries[id - 1];
  if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != entry.paramCount) return DISP_E_BADPARAMCOUNT;

  try {
    // Arguments arrive last first; a variable passed by reference is read
    // through its reference.
    std::vector<std::string> texts(entry.paramCount);
    for (unsigned i = 0; i < entry.paramCount; ++i) {
      const UINT position = entry.paramCount - 1 - i;
      VARIANT text;
      VariantInit(&text);
      HRESULT hr = VariantChangeType(&text, &params->rgvarg[position], 0, VT_BSTR);
      if (FAILED(hr)) {
        VariantClear(&text);
        if (argError != nullptr) *argError = position;
        return DISP_E_TYPEMISMATCH;
      }
      texts[i] = toAnsi(text.bstrVal, SysStringLen(text.bstrVal));
      VariantClear(&text);
    }
    std::vector<const char*> args(entry.paramCount);
    for (unsigned i = 0; i < entry.paramCount; ++i) args[i] = texts[i].c_str();
    // The object must outlive its own method even if the client lets go of
    // it from a nested message loop.
    struct Hold {
      CAutomationTarget* target;  // not owned: one reference taken for the call
      ~Hold() { target->Release(); }
    } hold{this};
    AddRef();
    entry.handler(*this, args.data());
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  return S_OK;
}

}  // namespace brevanto
