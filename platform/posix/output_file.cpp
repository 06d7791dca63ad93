#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace brevanto::platform {
namespace {

SaveOutcome failure(SaveStatus status, int error) {
  return {status, std::strerror(error)};
}

// The folder part of `path` with its final "/", or "" for a bare name.
std::string folderPart(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Removes the temporary file on every path that does not put it in place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int create() {
    std::vector<char> pattern(name_.begin(), name_.end());
    pattern.push_back('\0');
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
      name_.clear();
      return errno;
    }
    name_.assign(pattern.data());
    // mkstemp makes the file private; a saved text gets the usual rights.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return 0;
  }
  int fd() const { return fd_; }
  const std::string& name() const { return name_; }
  // Closes the file; 0, or the error that closing reported.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }
  void release() { name_.clear(); }  // the file is in place: keep it

 private:
  std::string name_;
  int fd_ = -1;
};

int writeAll(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t written = ::write(fd, bytes, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += written;
    length -= static_cast<size_t>(written);
  }
  // The data must be on the disk before it replaces anything: a full disk
  // may show only here.
  if (::fsync(fd) != 0) return errno;
  return 0;
}

}  // namespace

SaveOutcome saveFile(const char* path, const char* bytes, size_t length, bool replaceExisting) {
  if (path == nullptr || *path == '\0') return {SaveStatus::kCannotCreate, "no file name"};
  const std::string target(path);
  struct stat existing {};
  if (::stat(path, &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) return failure(SaveStatus::kCannotCreate, EISDIR);
    if (!replaceExisting) return failure(SaveStatus::kExists, EEXIST);
  }
  const size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  // A short prefix of the name keeps the temporary name within the length
  // limit whenever the target's name is.
  TemporaryFile temporary(folderPart(target) + "." + base.substr(0, 32) + ".XXXXXX");
  if (const int error = temporary.create()) return failure(SaveStatus::kCannotCreate, error);
  if (const int error = writeAll(temporary.fd(), bytes, length))
    return failure(SaveStatus::kCannotWrite, error);
  if (const int error = temporary.close()) return failure(SaveStatus::kCannotWrite, error);
  if (!replaceExisting) {
    // A hard link puts the file in place only while the name is still free,
    // so a file that appeared meanwhile is not replaced either; the
    // temporary name goes with the destructor.
    if (::link(temporary.name().c_str(), path) == 0) return {SaveStatus::kSaved, {}};
    const int error = errno;
    if (error == EEXIST) return failure(SaveStatus::kExists, error);
    // Some file systems have no hard links: check, then rename.
    if (error != EPERM && error != ENOTSUP && error != ENOSYS)
      return failure(SaveStatus::kCannotWrite, error);
    if (::access(path, F_OK) == 0) return failure(SaveStatus::kExists, EEXIST);
  }
  if (::rename(temporary.name().c_str(), path) != 0) return failure(SaveStatus::kCannotWrite, errno);
  temporary.release();
  return {SaveStatus::kSaved, {}};
}

void openWithViewer(const char* folder, const char* fileName) {
  if (fileName == nullptr || *fileName == '\0') return;
  const pid_t child = ::fork();
  if (child < 0) return;
  if (child == 0) {
    // The grandchild runs the viewer in a session of its own, so that it
    // outlives us and never becomes a zombie of ours.
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    if (folder != nullptr && *folder != '\0' && ::chdir(folder) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
      if (null > STDERR_FILENO) ::close(null);
    }
    ::execlp("xdg-open", "xdg-open", fileName, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace brevanto::platform
