#include "platform/win32/ole_object_factory.h"

#include <new>
#include <string>

#include "platform/win32/code_page.h"

namespace brevanto {

namespace {

// The module's list of factories, guarded by one process-wide lock. The
// list head is constant-initialised, so factories of other files may add
// themselves during static construction in any order.
SRWLOCK factoryListLock = SRWLOCK_INIT;
COleObjectFactory* firstFactory = nullptr;  // not owned: static factories

LONG objectCount = 0;
LONG lockCount = 0;

// What the numbered symbols of the key templates stand for; no template of
// this server uses %4.
struct Symbols {
  std::string classId;     // %1: the class identifier in braces
  std::string progId;      // %2
  std::string modulePath;  // %3: short form when the file system gives one
  std::string typeName;    // %5: here the ProgID as well
};

// One registry entry under HKEY_CLASSES_ROOT.
struct RegistryTemplate {
  const char* key;
  const char* value;    // the key's default value
  bool onlyWhenAbsent;  // keep a key that exists, whatever its value
};

constexpr RegistryTemplate kServerEntries[] = {
    {"%2", "%5", true},
    {"CLSID\\%1", "%5", true},
    {"%2\\CLSID", "%1", false},
    {"CLSID\\%1\\ProgID", "%2", false},
    {"CLSID\\%1\\InProcServer32", "%3", false},
};

// The value of symbol %`digit`, or null for a number that stands for nothing.
const std::string* symbolValue(const Symbols& symbols, char digit) {
  switch (digit) {
    case '1':
      return &symbols.classId;
    case '2':
      return &symbols.progId;
    case '3':
      return &symbols.modulePath;
    case '5':
      return &symbols.typeName;
    default:
      return nullptr;
  }
}

// The template with every symbol replaced; anything else is copied as it is.
std::string expand(const char* pattern, const Symbols& symbols) {
  std::string out;
  for (const char* p = pattern; *p != '\0'; ++p) {
    const std::string* value = p[0] == '%' ? symbolValue(symbols, p[1]) : nullptr;
    if (value != nullptr) {
      out += *value;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string guidString(const GUID& id) {
  wchar_t text[40] = {};
  if (StringFromGUID2(id, text, 40) == 0) return std::string();
  return toAnsi(text);
}

}  // namespace

COleObjectFactory::COleObjectFactory(const CLSID& clsid, Creator creator, const char* progId)
    : clsid_(clsid), creator_(creator), progId_(progId) {
  AcquireSRWLockExclusive(&factoryListLock);
  next_ = firstFactory;
  firstFactory = this;
  ReleaseSRWLockExclusive(&factoryListLock);
}

COleObjectFactory::~COleObjectFactory() {
  AcquireSRWLockExclusive(&factoryListLock);
  for (COleObjectFactory** link = &firstFactory; *link != nullptr; link = &(*link)->next_) {
    if (*link == this) {
      *link = next_;
      break;
    }
  }
  ReleaseSRWLockExclusive(&factoryListLock);
}

bool COleObjectFactory::registerAll() {
  AcquireSRWLockExclusive(&factoryListLock);
  for (COleObjectFactory* f = firstFactory; f != nullptr; f = f->next_) {
    if (!IsEqualCLSID(f->clsid_, CLSID_NULL)) f->available_ = true;
  }
  ReleaseSRWLockExclusive(&factoryListLock);
  return true;
}

HRESULT COleObjectFactory::getClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  HRESULT hr = CLASS_E_CLASSNOTAVAILABLE;
  AcquireSRWLockShared(&factoryListLock);
  for (COleObjectFactory* f = firstFactory; f != nullptr; f = f->next_) {
    if (f->available_ && IsEqualCLSID(f->clsid_, clsid)) {
      hr = f->QueryInterface(iid, object);
      break;
    }
  }
  ReleaseSRWLockShared(&factoryListLock);
  return hr;
}

HRESULT COleObjectFactory::canUnloadNow() {
  if (InterlockedCompareExchange(&objectCount, 0, 0) != 0) return S_FALSE;
  if (InterlockedCompareExchange(&lockCount, 0, 0) != 0) return S_FALSE;
  HRESULT hr = S_OK;
  AcquireSRWLockShared(&factoryListLock);
  for (COleObjectFactory* f = firstFactory; f != nullptr; f = f->next_) {
    if (InterlockedCompareExchange(&f->references_, 0, 0) > 1) hr = S_FALSE;
  }
  ReleaseSRWLockShared(&factoryListLock);
  return hr;
}

bool COleObjectFactory::updateRegistryAll(const char* modulePath) {
  bool ok = true;
  AcquireSRWLockShared(&factoryListLock);
  for (COleObjectFactory* f = firstFactory; f != nullptr && ok; f = f->next_) {
    ok = f->updateRegistry(modulePath);
  }
  ReleaseSRWLockShared(&factoryListLock);
  return ok;
}

bool COleObjectFactory::updateRegistry(const char* modulePath) const {
  if (progId_ == nullptr || modulePath == nullptr) return false;
  try {
    const Symbols symbols = {guidString(clsid_), progId_, modulePath, progId_};
    for (const RegistryTemplate& entry : kServerEntries) {
      const std::string key = expand(entry.key, symbols);
      const std::string value = expand(entry.value, symbols);
      if (entry.onlyWhenAbsent) {
        LONG size = 0;
        if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, &size) == ERROR_SUCCESS) continue;
      }
      if (RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                       static_cast<DWORD>(value.size())) != ERROR_SUCCESS) {
        return false;
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void COleObjectFactory::objectCreated() {
  InterlockedIncrement(&objectCount);
}
void COleObjectFactory::objectDestroyed() {
  InterlockedDecrement(&objectCount);
}

HRESULT STDMETHODCALLTYPE COleObjectFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  *object = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE COleObjectFactory::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE COleObjectFactory::Release() {
  return static_cast<ULONG>(InterlockedDecrement(&references_));
}

HRESULT STDMETHODCALLTYPE COleObjectFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  CAutomationTarget* made = nullptr;
  try {
    made = creator_();
  } catch (...) {
    made = nullptr;
  }
  if (made == nullptr) return E_OUTOFMEMORY;
  if (outer != nullptr) {
    made->Release();
    return CLASS_E_NOAGGREGATION;
  }
  // The creation reference goes either way: on success the caller holds the
  // only one, on failure the object is destroyed.
  const HRESULT hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

HRESULT STDMETHODCALLTYPE COleObjectFactory::LockServer(BOOL lock) {
  if (lock) {
    InterlockedIncrement(&lockCount);
  } else {
    InterlockedDecrement(&lockCount);
  }
  return S_OK;
}

}  // namespace brevanto
