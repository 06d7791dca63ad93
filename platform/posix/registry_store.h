// A file-backed stand-in for the few registry calls the settings store makes,
// with their semantics: opening a missing key fails, creating makes the
// missing keys above it, a query into a too-small buffer fails with
// ERROR_MORE_DATA and reports the size needed, text values carry the NUL they
// were stored with. Key names compare without regard to ASCII case.
//
// The store is one file, named by the environment variable BREVANTO_REGISTRY,
// else "brevanto/registry" in the user's configuration folder. Every write
// reads the file afresh and replaces it atomically (a temporary file, then a
// rename), so that two processes never see half a store and the last write of
// a value wins. A folder without write permission makes creating keys and
// storing values fail with ERROR_ACCESS_DENIED, as a key without write rights
// would.
#pragma once

#include <cstdint>

using LONG = int32_t;
using DWORD = uint32_t;
using BYTE = unsigned char;
using REGSAM = uint32_t;
using LPCSTR = const char*;
using LPSTR = char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
// The key handle's type keeps its Windows name, so that code written for
// the real calls reads the same here.
struct HKEY__;  // NOLINT(bugprone-reserved-identifier)
using HKEY = HKEY__*;
using PHKEY = HKEY*;
struct SECURITY_ATTRIBUTES;

// The calling convention that Windows declarations carry; here there is one.
#define WINAPI

// Root keys: fixed handles that are never closed, with their Windows values.
// NOLINTBEGIN(performance-no-int-to-ptr)
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});
// NOLINTEND(performance-no-int-to-ptr)

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;

constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM desired,
                     const SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition);
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegCloseKey(HKEY key);
