// The order of the calls that decide what a crash leaves behind: a file that
// replaces another is on the disk before it takes the name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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

TEST(OutputFile, AReplacementIsSyncedBeforeItTakesTheName) {
  const fs::path folder =
      fs::temp_directory_path() / ("brevanto-output-file-order-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
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

}  // namespace
}  // namespace brevanto::platform
