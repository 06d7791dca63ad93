// The server's exports, factory and automation object seen by a C++ client
// that loads the module itself, and its registration by regsvr32.
#include <gtest/gtest.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>

#include "tests/win32/wine_support.h"

namespace brevanto::testing {
namespace {

const CLSID kClsid = {0x3122BA8F, 0x3EC8, 0x4BD3, {0xA6, 0x0B, 0x31, 0xEA, 0x12, 0x36, 0xCC, 0x82}};
const IID kDispatchIid = {0x5E75E7F4, 0x7C0C, 0x4428, {0xA2, 0x88, 0x1B, 0xF3, 0xE9, 0xB9, 0x27, 0x14}};
const char kClsidText[] = "{3122BA8F-3EC8-4BD3-A60B-31EA1236CC82}";
const char kProgId[] = "Brevanto.TextExtraction";
const std::string kClsidKey = std::string("CLSID\\") + kClsidText;

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

// The module loaded by the test itself, so that its exports can be called
// directly.
class ServerModule : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    module_ = LoadLibraryA(winPath(BREVANTO_DLL).c_str());
    ASSERT_NE(module_, nullptr);
    getClassObject_ = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ =
        reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_NE(canUnloadNow_, nullptr);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
    CoUninitialize();
  }

  IClassFactory* factory() {
    IClassFactory* f = nullptr;
    EXPECT_EQ(getClassObject_(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&f)), S_OK);
    return f;
  }

  HMODULE module_ = nullptr;
  GetClassObjectFn getClassObject_ = nullptr;
  CanUnloadNowFn canUnloadNow_ = nullptr;
};

TEST_F(ServerModule, ExportsExactlyTheFourServerFunctionsByName) {
  for (const char* name :
       {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"}) {
    EXPECT_NE(GetProcAddress(module_, name), nullptr) << name;
  }
  // The export directory of the loaded image lists the names and nothing
  // else: no decorated duplicates.
  auto* base = reinterpret_cast<const BYTE*>(module_);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  EXPECT_EQ(exports->NumberOfFunctions, 4u);
  EXPECT_EQ(exports->NumberOfNames, 4u);
}

TEST_F(ServerModule, UnloadsOnlyWhenNoObjectLockOrFactoryReferenceLives) {
  EXPECT_EQ(canUnloadNow_(), S_OK);

  IClassFactory* f = factory();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "a client holds the factory";

  IDispatch* object = nullptr;
  ASSERT_EQ(f->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)), S_OK);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(f->LockServer(TRUE), S_OK);
  f->Release();
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "an object and a lock live";

  // The caller holds the only reference: one release destroys the object.
  IUnknown* second = nullptr;
  ASSERT_EQ(object->QueryInterface(kDispatchIid, reinterpret_cast<void**>(&second)), S_OK);
  EXPECT_EQ(second->Release(), 1u);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the lock lives";

  f = factory();
  EXPECT_EQ(f->LockServer(FALSE), S_OK);
  f->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ServerModule, FactoryAndObjectAnswerOnlyTheirInterfaces) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject_(IID_IDispatch, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);

  IClassFactory* f = factory();
  ASSERT_NE(f, nullptr);
  IUnknown* outer = reinterpret_cast<IUnknown*>(f);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(f->CreateInstance(outer, IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(f->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(f->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(canUnloadNow_(), S_FALSE);

  IUnknown* object = nullptr;
  ASSERT_EQ(f->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
  f->Release();
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &kDispatchIid}) {
    IUnknown* answer = nullptr;
    EXPECT_EQ(object->QueryInterface(*iid, reinterpret_cast<void**>(&answer)), S_OK);
    if (answer != nullptr) answer->Release();
  }
  for (const IID* iid : {&IID_IClassFactory, &IID_IPersist, &IID_IStream, &IID_IMarshal}) {
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->QueryInterface(*iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(canUnloadNow_(), S_OK) << "failed creations left an object behind";
}

TEST_F(ServerModule, DispatchHasOneMethodNamedExtractWithoutTypeInformation) {
  IClassFactory* f = factory();
  ASSERT_NE(f, nullptr);
  IDispatch* object = nullptr;
  ASSERT_EQ(f->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)), S_OK);
  f->Release();

  UINT count = 7;
  EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_TRUE(FAILED(object->GetTypeInfo(0, 0, &info)));
  EXPECT_EQ(info, nullptr);

  for (const wchar_t* spelling : {L"Extract", L"extract", L"EXTRACT", L"eXtRaCt"}) {
    LPOLESTR name = const_cast<LPOLESTR>(spelling);
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    EXPECT_EQ(id, 1);
  }
  for (const wchar_t* spelling : {L"Extrac", L"Extract2", L"Run", L""}) {
    LPOLESTR name = const_cast<LPOLESTR>(spelling);
    DISPID id = 0;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
  }
  // Parameter names are not supported.
  LPOLESTR names[2] = {const_cast<LPOLESTR>(L"Extract"), const_cast<LPOLESTR>(L"url")};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);

  // Calls that cannot reach the method fail before any window is looked for.
  VARIANT args[3];
  for (VARIANT& a : args) VariantInit(&a);
  DISPPARAMS one = {args, nullptr, 1, 0};
  EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  DISPPARAMS two = {args, nullptr, 2, 0};
  EXPECT_EQ(object->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &two, nullptr, nullptr, nullptr),
            DISP_E_MEMBERNOTFOUND);
  // An argument that has no text form is refused.
  args[0].vt = VT_DISPATCH;
  args[0].pdispVal = nullptr;
  UINT argError = 99;
  EXPECT_EQ(object->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &two, nullptr, nullptr, &argError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 0u);
  EXPECT_EQ(object->Release(), 0u);
}

// ---- Registration, through regsvr32, in the prefix's real registry.

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { clear(); }
  // Leaves the module registered where the other tests expect it.
  void TearDown() override { runProcess("regsvr32 /s " + winPath(BREVANTO_DLL)); }

  static void clear() {
    deleteKey(HKEY_CLASSES_ROOT, kProgId);
    deleteKey(HKEY_CLASSES_ROOT, kClsidKey);
  }
  // A key's default value under HKEY_CLASSES_ROOT, "<absent>" when there is none.
  static std::string defaultValue(const std::string& key) {
    return readString(HKEY_CLASSES_ROOT, key, nullptr).value_or("<absent>");
  }
  static std::string shortPath(const std::string& path) {
    char out[MAX_PATH] = {};
    const DWORD n = GetShortPathNameA(path.c_str(), out, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? path : std::string(out);
  }
  static std::string subkeys(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
      return "<absent>";
    std::string names;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof(name);
      if (RegEnumKeyExA(handle, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      names += std::string(name) + ";";
    }
    RegCloseKey(handle);
    return names;
  }
};

TEST_F(Registration, WritesTheFiveEntriesAndKeepsExistingDefaults) {
  const std::string dll = winPath(BREVANTO_DLL);
  ASSERT_EQ(runProcess("regsvr32 /s " + dll), 0);
  EXPECT_EQ(defaultValue(kProgId), kProgId);
  EXPECT_EQ(defaultValue(std::string(kProgId) + "\\CLSID"), kClsidText);
  EXPECT_EQ(defaultValue(kClsidKey), kProgId);
  EXPECT_EQ(defaultValue(kClsidKey + "\\ProgID"), kProgId);
  EXPECT_EQ(_stricmp(defaultValue(kClsidKey + "\\InProcServer32").c_str(), shortPath(dll).c_str()), 0)
      << defaultValue(kClsidKey + "\\InProcServer32");
  // No threading model, no other subkey.
  EXPECT_EQ(readString(HKEY_CLASSES_ROOT, kClsidKey + "\\InProcServer32", "ThreadingModel"), std::nullopt);
  EXPECT_EQ(subkeys(kClsidKey), "InProcServer32;ProgID;");
  EXPECT_EQ(subkeys(kProgId), "CLSID;");

  // Registering again rewrites the subkeys and keeps the two top keys' own
  // values.
  ASSERT_TRUE(writeString(HKEY_CLASSES_ROOT, kProgId, nullptr, "kept progid value"));
  ASSERT_TRUE(writeString(HKEY_CLASSES_ROOT, kClsidKey, nullptr, "kept class value"));
  ASSERT_TRUE(writeString(HKEY_CLASSES_ROOT, std::string(kProgId) + "\\CLSID", nullptr, "stale"));
  ASSERT_TRUE(writeString(HKEY_CLASSES_ROOT, kClsidKey + "\\ProgID", nullptr, "stale"));
  ASSERT_TRUE(writeString(HKEY_CLASSES_ROOT, kClsidKey + "\\InProcServer32", nullptr, "stale"));
  ASSERT_EQ(runProcess("regsvr32 /s " + dll), 0);
  EXPECT_EQ(defaultValue(kProgId), "kept progid value");
  EXPECT_EQ(defaultValue(kClsidKey), "kept class value");
  EXPECT_EQ(defaultValue(std::string(kProgId) + "\\CLSID"), kClsidText);
  EXPECT_EQ(defaultValue(kClsidKey + "\\ProgID"), kProgId);
  EXPECT_NE(defaultValue(kClsidKey + "\\InProcServer32"), "stale");
  EXPECT_EQ(subkeys(kClsidKey), "InProcServer32;ProgID;");
}

TEST_F(Registration, AMovedModuleRegistersItsNewPath) {
  const std::string folder = winPath(BREVANTO_TEST_DIR) + "\\moved server folder";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string moved = folder + "\\Brevanto.dll";
  ASSERT_TRUE(CopyFileA(winPath(BREVANTO_DLL).c_str(), moved.c_str(), FALSE));
  ASSERT_EQ(runProcess("regsvr32 /s " + winPath(BREVANTO_DLL)), 0);
  ASSERT_EQ(runProcess("\"regsvr32\" /s \"" + moved + "\""), 0);
  const std::string server = defaultValue(kClsidKey + "\\InProcServer32");
  EXPECT_EQ(_stricmp(server.c_str(), shortPath(moved).c_str()), 0) << server;
  // Whatever form the path takes, it names the moved file.
  char full[MAX_PATH] = {};
  GetLongPathNameA(server.c_str(), full, MAX_PATH);
  EXPECT_EQ(_stricmp(full, moved.c_str()), 0) << full;
}

TEST_F(Registration, UnregisteringRemovesNothingAndCreationStillWorks) {
  ASSERT_EQ(runProcess("regsvr32 /s " + winPath(BREVANTO_DLL)), 0);
  ASSERT_EQ(runProcess("regsvr32 /u /s " + winPath(BREVANTO_DLL)), 0);
  EXPECT_EQ(defaultValue(std::string(kProgId) + "\\CLSID"), kClsidText);
  EXPECT_NE(defaultValue(kClsidKey + "\\InProcServer32"), "<absent>");

  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  CLSID clsid = {};
  ASSERT_EQ(CLSIDFromProgID(L"Brevanto.TextExtraction", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, kClsid));
  IDispatch* object = nullptr;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(&object)),
            S_OK);
  if (object != nullptr) object->Release();
  CoUninitialize();
}

}  // namespace
}  // namespace brevanto::testing
