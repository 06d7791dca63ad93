// The order of the calls that decide what a crash leaves behind: a file that
// replaces another is on the disk before it takes the name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/output_stream.h"

namespace brevanto::platform {
namespace {

namespace fs = std::filesystem;

// The calls made through the recording table, in order.
std::vector<std::string>& recorded() {
  static std::vector<std::string> calls;
  return calls;
}

const FileCalls kRecordingCalls = {
    [](int fd) {
      recorded().push_back("sync");
      return ::fsync(fd);
    },
    [](const char* from, const char* to) {
      recorded().push_back("rename");
      return ::rename(from, to);
    },
    [](const char* from, const char* to) {
      recorded().push_back("link");
      return ::link(from, to);
    },
};

// An empty folder of this process for one test; the process id keeps runs
// of other builds apart.
fs::path emptyFolder(const std::string& name) {
  const fs::path folder =
      fs::temp_directory_path() / ("brevanto-output-file-" + name + "-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

TEST(OutputFile, AReplacementIsSyncedBeforeItTakesTheName) {
  const fs::path folder = emptyFolder("order");
  const struct {
    bool exists;
    bool replace;
    std::vector<std::string> calls;
  } cases[] = {
      {true, true, {"sync", "rename"}},  // the old text stays until the new one is whole on the disk
      {false, true, {"rename"}},         // nothing to lose: synced with the batch at its end
      {false, false, {"link"}},          // the name is taken only while it is free
      {true, false, {}},                 // refused before anything is written
  };
  for (const auto& c : cases) {
    const std::string path = (folder / "out.txt").string();
    fs::remove(path);
    if (c.exists) std::ofstream(path) << "old";
    recorded().clear();
    const SaveOutcome outcome = saveFile(path.c_str(), "new", 3, c.replace, kRecordingCalls);
    EXPECT_EQ(outcome.status, c.exists && !c.replace ? SaveStatus::kExists : SaveStatus::kSaved);
    EXPECT_EQ(recorded(), c.calls) << "exists " << c.exists << ", replace " << c.replace;
  }
  fs::remove_all(folder);
}

// A file written before it has a name takes a free name as it is; a name
// that is taken goes by saveFile's rules, from the bytes; nothing else is
// left in the folder either way.
TEST(OutputFile, AWrittenFileTakesOnlyAFreeName) {
  const fs::path folder = emptyFolder("written");
  const struct {
    bool exists;
    bool replace;
    bool written;  // the bytes were written before the name was known
    SaveStatus status;
    std::string content;
  } cases[] = {
      {false, false, true, SaveStatus::kSaved, "written"}, {false, true, true, SaveStatus::kSaved, "written"},
      {true, false, true, SaveStatus::kExists, "old"},     {true, true, true, SaveStatus::kSaved, "bytes"},
      {false, false, false, SaveStatus::kSaved, "bytes"},
  };
  for (const auto& c : cases) {
    const std::string path = (folder / "out.txt").string();
    fs::remove(path);
    if (c.exists) std::ofstream(path) << "old";
    UnnamedFile file;
    if (c.written) {
      ASSERT_TRUE(file.write(folder.string(), "written", 7));
    }
    EXPECT_EQ(saveWritten(path.c_str(), file, "bytes", 5, c.replace).status, c.status) << c.content;
    std::ifstream in(path);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, c.content);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << c.content;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace brevanto::platform
