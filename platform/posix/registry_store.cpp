#include "platform/posix/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/ascii.h"

// An open key: its full path from the root's name, and what it was opened for.
struct HKEY__ {
  std::string path;
  REGSAM access = 0;
};

namespace {

struct Value {
  DWORD type = REG_NONE;
  std::string data;
};

struct Key {
  std::string path;                               // as first spelled
  std::map<std::string, Value> values;            // by upper-case name
  std::map<std::string, std::string> valueNames;  // upper-case name -> as spelled
};

// Every key of the store, by its upper-case path.
using Store = std::map<std::string, Key>;

// Key and value names compare without regard to ASCII case: the store files
// them under their upper-case spelling and keeps the first spelling for show.
std::string upper(std::string text) {
  for (char& c : text) c = brevanto::ascii::toUpper(c);
  return text;
}

std::string storePath() {
  if (const char* env = std::getenv("BREVANTO_REGISTRY"); env && *env) return env;
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.config";
  } else {
    base = ".";
  }
  return base + "/brevanto/registry";
}

const char* rootName(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (key == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  return nullptr;
}

bool isRoot(HKEY key) {
  return rootName(key) != nullptr;
}

// The full path of `subKey` below `parent`, with empty path steps dropped;
// empty when the parent is not a valid handle.
std::string fullPath(HKEY parent, LPCSTR subKey) {
  std::string path;
  if (const char* root = rootName(parent)) {
    path = root;
  } else if (parent) {
    path = parent->path;
  } else {
    return {};
  }
  std::string step;
  for (const char* p = subKey ? subKey : "";; ++p) {
    if (*p == '\\' || *p == '\0') {
      if (!step.empty()) path += '\\' + step;
      step.clear();
      if (*p == '\0') break;
    } else {
      step += *p;
    }
  }
  return path;
}

std::string toHex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

bool fromHex(const std::string& hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    char pair[3] = {hex[i], hex[i + 1], '\0'};
    char* end = nullptr;
    const long byte = std::strtol(pair, &end, 16);
    if (end != pair + 2) return false;
    bytes += static_cast<char>(byte);
  }
  return true;
}

// The file holds one "key PATH" line per key, each followed by its
// "value TYPE NAME-HEX DATA-HEX" lines. Lines that do not parse are skipped, so
// a damaged store reads as the keys and values that survive.
Store load() {
  Store store;
  std::ifstream in(storePath(), std::ios::binary);
  std::string line;
  Key* current = nullptr;
  while (std::getline(in, line)) {
    if (line.rfind("key ", 0) == 0) {
      const std::string path = line.substr(4);
      Key& key = store[upper(path)];
      if (key.path.empty()) key.path = path;
      current = &key;
    } else if (line.rfind("value ", 0) == 0 && current) {
      std::istringstream fields(line.substr(6));
      DWORD type = 0;
      std::string nameHex, dataHex, name;
      Value value;
      if (!(fields >> type >> nameHex)) continue;
      fields >> dataHex;  // empty data has no field
      if (nameHex == "-") nameHex.clear();
      if (!fromHex(nameHex, name) || !fromHex(dataHex, value.data)) continue;
      value.type = type;
      current->values[upper(name)] = value;
      current->valueNames[upper(name)] = name;
    }
  }
  return store;
}

bool makeFolders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1)) {
    const std::string folder = file.substr(0, slash);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return true;
}

LONG save(const Store& store) {
  std::string text;
  for (const auto& [upperPath, key] : store) {
    text += "key " + key.path + "\n";
    for (const auto& [upperName, value] : key.values) {
      const std::string& name = key.valueNames.at(upperName);
      text += "value " + std::to_string(value.type) + " " + (name.empty() ? "-" : toHex(name)) + " " +
              toHex(value.data) + "\n";
    }
  }
  const std::string path = storePath();
  if (!makeFolders(path)) return ERROR_ACCESS_DENIED;
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return ERROR_ACCESS_DENIED;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool complete = done == text.size() && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !complete || std::rename(temporary.c_str(), path.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

HKEY newHandle(std::string path, REGSAM access) {
  HKEY key = new HKEY__;  // owned by the caller until RegCloseKey
  key->path = std::move(path);
  key->access = access;
  return key;
}

bool canWrite(HKEY key) {
  return isRoot(key) || (key->access & KEY_WRITE & ~KEY_READ) != 0;
}

}  // namespace

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD /*options*/, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  const std::string path = fullPath(root, subKey);
  if (path.empty()) return ERROR_INVALID_HANDLE;
  const Store store = load();
  const bool exists = path.find('\\') == std::string::npos || store.count(upper(path)) != 0;
  if (!exists) return ERROR_FILE_NOT_FOUND;
  *result = newHandle(path, desired);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/, DWORD /*options*/,
                     REGSAM desired, const SECURITY_ATTRIBUTES* /*security*/, PHKEY result,
                     LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  const std::string path = fullPath(root, subKey);
  if (path.empty()) return ERROR_INVALID_HANDLE;
  Store store = load();
  bool created = false;
  // The key and every missing key above it, below the root.
  for (size_t slash = path.find('\\'); slash != std::string::npos;) {
    const size_t next = path.find('\\', slash + 1);
    const std::string step = path.substr(0, next);
    if (store.count(upper(step)) == 0) {
      store[upper(step)].path = step;
      created = true;
    }
    slash = next;
  }
  if (created) {
    if (const LONG status = save(store); status != ERROR_SUCCESS) return status;
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = newHandle(path, desired);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD /*reserved*/, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  const Store store = load();
  const std::string path = isRoot(key) ? rootName(key) : key->path;
  const auto found = store.find(upper(path));
  if (found == store.end()) return ERROR_FILE_NOT_FOUND;
  const auto value = found->second.values.find(upper(name ? name : ""));
  if (value == found->second.values.end()) return ERROR_FILE_NOT_FOUND;
  const std::string& bytes = value->second.data;
  if (type) *type = value->second.type;
  if (!dataSize) return ERROR_SUCCESS;
  const DWORD available = *dataSize;
  *dataSize = static_cast<DWORD>(bytes.size());
  if (!data) return ERROR_SUCCESS;
  if (bytes.size() > available) return ERROR_MORE_DATA;
  // Value data is bytes: a text carries the NUL it was stored with, or none.
  std::memcpy(data, bytes.data(), bytes.size());  // NOLINT(bugprone-not-null-terminated-result)
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD /*reserved*/, DWORD type, const BYTE* data, DWORD dataSize) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (!canWrite(key)) return ERROR_ACCESS_DENIED;
  if (!data && dataSize != 0) return ERROR_INVALID_PARAMETER;
  Store store = load();
  const std::string path = isRoot(key) ? rootName(key) : key->path;
  Key& stored = store[upper(path)];
  if (stored.path.empty()) stored.path = path;
  const std::string valueName = name ? name : "";
  Value& value = stored.values[upper(valueName)];
  value.type = type;
  value.data.assign(reinterpret_cast<const char*>(data), dataSize);
  stored.valueNames[upper(valueName)] = valueName;
  return save(store);
}

LONG RegCloseKey(HKEY key) {
  if (!key) return ERROR_INVALID_HANDLE;
  if (!isRoot(key)) delete key;
  return ERROR_SUCCESS;
}
