// brevanto-extract run as a user runs it, in a folder of its own per test:
// what the tests of the program share.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace brevanto::testing {

inline std::string read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct Result {
  int status = -1;  // the exit status, or 128 + the signal that ended the program
  std::string out;
  std::string err;
};

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

inline std::string page(const std::string& title, const std::string& body = "<p>one</p><p>two</p>") {
  return "<html><head><title>" + title + "</title></head><body><div>" + body + "</div></body></html>";
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    // The process id keeps runs of the same test from other builds apart.
    dir_ = std::filesystem::temp_directory_path() /
           ("brevanto-cli-" + std::string(info->name()) + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "work");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the program in the work folder. `shellPrefix` goes before it in
  // the shell command (settings for the run); `input` is its standard input.
  Result run(const std::vector<std::string>& args, const std::string& input = "",
             const std::string& shellPrefix = "", const std::string& output = "") {
    write(dir_ / "stdin", input);
    std::string command =
        "cd " + quote((dir_ / "work").string()) + " && " + shellPrefix + " exec " + quote(BREVANTO_EXTRACT);
    for (const std::string& arg : args) command += " " + quote(arg);
    command += " <" + quote((dir_ / "stdin").string()) + " >" +
               quote(output.empty() ? (dir_ / "stdout").string() : output) + " 2>" +
               quote((dir_ / "stderr").string());
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : -1;
    result.out = output.empty() ? read(dir_ / "stdout") : "";
    result.err = read(dir_ / "stderr");
    return result;
  }

  std::filesystem::path work(const std::string& name = "") const { return dir_ / "work" / name; }
  std::vector<std::string> filesIn(const std::filesystem::path& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Every file below the test's folder, as paths relative to it.
  std::vector<std::string> allFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_ / "work")) {
      if (!entry.is_directory())
        names.push_back(std::filesystem::relative(entry.path(), dir_ / "work").string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path dir_;
};

// Every file below `folder`, by its path relative to it, with its bytes.
inline std::map<std::string, std::string> contentsOf(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_directory())
      files[std::filesystem::relative(entry.path(), folder).string()] = read(entry.path());
  }
  return files;
}

}  // namespace brevanto::testing
