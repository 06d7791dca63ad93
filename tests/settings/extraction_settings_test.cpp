// The settings store against the real registry on Windows and the file-backed
// stand-in elsewhere: the same cases on both.
#include "common/settings/extraction_settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace brevanto {
namespace {

// A registry may leave anything in the caller's buffer past the data it
// reports; this one leaves '#', so that a reader that looks further fails.
LONG WINAPI queryLeavingGarbage(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size) {
  const DWORD available = size != nullptr ? *size : 0;
  const LONG status = RegQueryValueExA(key, name, reserved, type, data, size);
  if (status == ERROR_SUCCESS && data != nullptr && *size < available) {
    std::memset(data + *size, '#', available - *size);
  }
  return status;
}

// Refuses to store FolderSelection; stores everything else.
LONG WINAPI refuseFolderSelection(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                  DWORD size) {
  if (name != nullptr && std::strcmp(name, "FolderSelection") == 0) return ERROR_ACCESS_DENIED;
  return RegSetValueExA(key, name, reserved, type, data, size);
}

RegistryCalls withQuery(decltype(RegistryCalls::queryValue) query, decltype(RegistryCalls::setValue) set) {
  RegistryCalls calls = systemRegistry();
  calls.queryValue = query;
  calls.setValue = set;
  return calls;
}

const RegistryCalls kGarbageAfterData = withQuery(&queryLeavingGarbage, &::RegSetValueExA);
const RegistryCalls kNoFolderSelectionStored = withQuery(&queryLeavingGarbage, &refuseFolderSelection);

// Gives each test a key of its own below HKEY_CURRENT_USER and removes what
// the test stored (natively: a store file of its own).
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    keyPath_ = std::string("SOFTWARE\\BrevantoTests\\") + info->name();
#ifdef _WIN32
    RegDeleteTreeA(HKEY_CURRENT_USER, keyPath_.c_str());
#else
    char folder[] = "/tmp/brevanto-settings-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    folder_ = folder;
    setenv("BREVANTO_REGISTRY", (folder_ + "/registry").c_str(), 1);
#endif
  }
  void TearDown() override {
#ifdef _WIN32
    RegDeleteTreeA(HKEY_CURRENT_USER, keyPath_.c_str());
#else
    std::remove((folder_ + "/registry").c_str());
    rmdir(folder_.c_str());
    unsetenv("BREVANTO_REGISTRY");
#endif
  }

  ExtractionSettings settings(const RegistryCalls& registry = kGarbageAfterData) const {
    return ExtractionSettings(HKEY_CURRENT_USER, keyPath_.c_str(), &registry);
  }

  // Stores raw bytes as the settings writers never would.
  void storeRaw(const char* name, DWORD type, const std::string& bytes) const {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

  // The stored bytes and type of a value; "absent" when it cannot be read.
  std::string storedBytes(const char* name, DWORD* type = nullptr) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return "absent";
    }
    char buffer[4096];
    DWORD size = sizeof buffer;
    const LONG status = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::string(buffer, size) : "absent";
  }

  std::string keyPath_;
  std::string folder_;
};

TEST_F(SettingsTest, NoKeyReadsTheDefaultsAndTheFirstWriteCreatesIt) {
  const ExtractionSettings s = settings();
  EXPECT_EQ(s.folderSelection(), 0);
  EXPECT_FALSE(s.dispAfterProcess());
  EXPECT_EQ(s.fixedFolder(), "c:\\");
  EXPECT_EQ(s.lastFolder(), "c:\\");
  EXPECT_EQ(s.readString("FixedFolder"), "");
  EXPECT_EQ(storedBytes("FolderSelection"), "absent");

  // The key and its missing parents come into being at the first write.
  EXPECT_TRUE(s.setFolderSelection(1));
  EXPECT_EQ(s.folderSelection(), 1);
  EXPECT_EQ(ExtractionSettings(HKEY_CURRENT_USER, keyPath_.c_str()).folderSelection(), 1);
}

TEST_F(SettingsTest, NumbersAreStoredAsFourBytesAndReadUnclamped) {
  const ExtractionSettings s = settings();
  EXPECT_TRUE(s.setDispAfterProcess(7));
  DWORD type = 0;
  EXPECT_EQ(storedBytes("DispAfterProcess", &type), std::string("\1\0\0\0", 4));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_TRUE(s.dispAfterProcess());
  EXPECT_TRUE(s.setDispAfterProcess(0));
  EXPECT_FALSE(s.dispAfterProcess());

  // A non-zero number stored by someone else still means "open the file".
  storeRaw("DispAfterProcess", REG_DWORD, std::string("\7\0\0\0", 4));
  EXPECT_TRUE(s.dispAfterProcess());

  EXPECT_TRUE(s.setFolderSelection(-1));
  EXPECT_EQ(s.folderSelection(), -1);
  EXPECT_EQ(storedBytes("FolderSelection"), std::string("\xff\xff\xff\xff", 4));
  EXPECT_TRUE(s.setFolderSelection(2));
  EXPECT_EQ(s.folderSelection(), 2);

  // Shorter data is the low bytes of the number.
  storeRaw("FolderSelection", REG_BINARY, std::string("\2\0", 2));
  EXPECT_EQ(s.folderSelection(), 2);
  // Data longer than 4 bytes does not fit the buffer and reads as 0.
  storeRaw("FolderSelection", REG_BINARY, std::string("\1\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(s.folderSelection(), 0);
}

TEST_F(SettingsTest, FolderTextsAreStoredAsGivenAndCompletedWhenRead) {
  const ExtractionSettings s = settings();
  EXPECT_TRUE(s.setFixedFolder("D:\\Texts"));
  DWORD type = 0;
  EXPECT_EQ(storedBytes("FixedFolder", &type), std::string("D:\\Texts\0", 9));
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(s.fixedFolder(), "D:\\Texts\\");

  EXPECT_TRUE(s.setFixedFolder("D:\\Texts\\"));
  EXPECT_EQ(s.fixedFolder(), "D:\\Texts\\");
  EXPECT_TRUE(s.setFixedFolder(""));
  EXPECT_EQ(s.fixedFolder(), "c:\\");

  EXPECT_TRUE(s.setLastFolder("E:\\saved"));
  EXPECT_EQ(s.lastFolder(), "E:\\saved\\");
  EXPECT_EQ(s.fixedFolder(), "c:\\");  // the two folders are separate values
}

TEST_F(SettingsTest, TextsAreBoundedByTheStoredLength) {
  const ExtractionSettings s = settings();
  // 1023 characters and the NUL fill the buffer exactly; one more does not fit.
  const std::string longest(1023, 'x');
  EXPECT_TRUE(s.setFixedFolder(longest.c_str()));
  EXPECT_EQ(s.readString("FixedFolder"), longest);
  EXPECT_TRUE(s.setFixedFolder((longest + "y").c_str()));
  EXPECT_EQ(s.readString("FixedFolder"), "");
  EXPECT_EQ(s.fixedFolder(), "c:\\");

  // A text stored without its NUL ends where its data ends. The system may
  // add one to a text value when it is read, never to a binary one.
  for (const DWORD type : {REG_SZ, REG_BINARY}) {
    storeRaw("RandomFolder", type, "F:\\out");
    EXPECT_EQ(s.lastFolder(), "F:\\out\\") << type;
  }
  // Data that fills the buffer with no NUL at all (binary, so that no
  // registry adds room for one) gives exactly its 1024 bytes.
  storeRaw("RandomFolder", REG_BINARY, std::string(1024, 'z'));
  EXPECT_EQ(s.readString("RandomFolder"), std::string(1024, 'z'));
}

TEST_F(SettingsTest, ToolOptionsKeepTheStoredFixedFolderUnlessItIsSelected) {
  const ExtractionSettings s = settings();
  const ExtractionSettings::ToolOptions defaults = s.loadToolOptions();
  EXPECT_EQ(defaults.folderSelection, ExtractionSettings::kFixedFolder);
  EXPECT_EQ(defaults.fixedFolder, "c:\\");
  EXPECT_FALSE(defaults.dispAfterProcess);

  struct Case {
    ExtractionSettings::ToolOptions saved;
    const char* fixedFolderAfter;
  };
  const Case cases[] = {
      {{ExtractionSettings::kFixedFolder, "D:\\Texts", true}, "D:\\Texts\\"},
      {{ExtractionSettings::kLastFolder, "E:\\other", false}, "D:\\Texts\\"},
      {{ExtractionSettings::kNoFolder, "F:\\other", true}, "D:\\Texts\\"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(s.saveToolOptions(c.saved)) << c.saved.folderSelection;
    const ExtractionSettings::ToolOptions loaded = s.loadToolOptions();
    EXPECT_EQ(loaded.folderSelection, c.saved.folderSelection);
    EXPECT_EQ(loaded.fixedFolder, c.fixedFolderAfter) << c.saved.folderSelection;
    EXPECT_EQ(loaded.dispAfterProcess, c.saved.dispAfterProcess) << c.saved.folderSelection;
  }

  // One write that fails fails the save, and the others are still made.
  EXPECT_FALSE(
      settings(kNoFolderSelectionStored).saveToolOptions({ExtractionSettings::kFixedFolder, "G:\\", false}));
  EXPECT_EQ(s.folderSelection(), ExtractionSettings::kNoFolder);
  EXPECT_EQ(s.fixedFolder(), "G:\\");
  EXPECT_FALSE(s.dispAfterProcess());
}

TEST_F(SettingsTest, ChangesAreSeenAtTheNextReadWithoutCaching) {
  const ExtractionSettings reader = settings();
  EXPECT_EQ(reader.fixedFolder(), "c:\\");
  EXPECT_TRUE(settings().setFixedFolder("G:\\new"));
  EXPECT_EQ(reader.fixedFolder(), "G:\\new\\");
}

TEST(SettingsDefaults, RootAndPath) {
  const ExtractionSettings defaults;
  EXPECT_EQ(defaults.rootKey, HKEY_LOCAL_MACHINE);
  EXPECT_STREQ(defaults.keyPath, "SOFTWARE\\Brevanto\\TextExtraction");
  EXPECT_EQ(defaults.registry, &systemRegistry());
  const ExtractionSettings other(nullptr, nullptr);
  EXPECT_EQ(other.rootKey, HKEY_LOCAL_MACHINE);
  EXPECT_STREQ(other.keyPath, "SOFTWARE\\Brevanto\\TextExtraction");
}

#ifndef _WIN32
// The stand-in store: a write that cannot reach the store fails and keeps the
// previous value, and the store survives a damaged line.
TEST_F(SettingsTest, StandInStoreFailuresAndDamage) {
  const ExtractionSettings s = settings();
  EXPECT_TRUE(s.setFixedFolder("H:\\kept"));
  // A store whose folder is a plain file cannot be written, even by root.
  const std::string blocker = folder_ + "/file";
  std::FILE* f = std::fopen(blocker.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  setenv("BREVANTO_REGISTRY", (blocker + "/registry").c_str(), 1);
  EXPECT_FALSE(ExtractionSettings(nullptr, "SOFTWARE\\Other").setFolderSelection(1));
  setenv("BREVANTO_REGISTRY", (folder_ + "/registry").c_str(), 1);
  std::remove(blocker.c_str());

  // A key opened for reading only cannot store.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  const BYTE one[4] = {1, 0, 0, 0};
  EXPECT_EQ(RegSetValueExA(key, "FolderSelection", 0, REG_DWORD, one, 4), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  EXPECT_EQ(s.fixedFolder(), "H:\\kept\\");

  f = std::fopen((folder_ + "/registry").c_str(), "a");
  ASSERT_NE(f, nullptr);
  std::fputs("value 4 zz\ngarbage\n", f);
  std::fclose(f);
  EXPECT_EQ(s.fixedFolder(), "H:\\kept\\");
  EXPECT_TRUE(s.setFolderSelection(1));
  EXPECT_EQ(s.folderSelection(), 1);
}
#endif

}  // namespace
}  // namespace brevanto
