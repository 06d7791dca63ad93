#include "platform/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
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

// The folders saved into since the last makeSavesDurable, whose new
// entries and data may still be only in the system's cache.
std::set<std::string>& foldersToSync() {
  static std::set<std::string> folders;
  return folders;
}

// Where `path` leads once symbolic links are followed, also to a target
// that does not exist yet; 0, or the error that stopped the search.
int followLinks(std::string path, std::string& target) {
  constexpr int kMaxLinks = 40;  // as the kernel allows, before ELOOP
  for (int links = 0; links <= kMaxLinks; ++links) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      target = path;
      return 0;
    }
    char next[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), next, sizeof next);
    if (length < 0) return errno;
    if (static_cast<size_t>(length) >= sizeof next) return ENAMETOOLONG;
    std::string link(next, static_cast<size_t>(length));
    if (link[0] != '/') link.insert(0, folderPart(path));
    path = std::move(link);
  }
  return ELOOP;
}

// Holds off the signals that end a run until it goes out of scope, so that
// a run never ends between creating its temporary file and either putting
// it in place or removing it. A signal that arrives meanwhile takes effect
// right after, with its usual result.
class TerminationHeld {
 public:
  TerminationHeld() {
    sigset_t ending;
    sigemptyset(&ending);
    for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) sigaddset(&ending, signal);
    pthread_sigmask(SIG_BLOCK, &ending, &previous_);
  }
  ~TerminationHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  TerminationHeld(const TerminationHeld&) = delete;
  TerminationHeld& operator=(const TerminationHeld&) = delete;

 private:
  sigset_t previous_;
};

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

  // Creates the file with `mode`; 0, or the error.
  int create(mode_t mode) {
    std::vector<char> pattern(name_.begin(), name_.end());
    pattern.push_back('\0');
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
      name_.clear();
      return errno;
    }
    name_.assign(pattern.data());
    // mkstemp makes the file private; it takes the rights it is meant to have.
    return ::fchmod(fd_, mode) == 0 ? 0 : errno;
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
  return 0;
}

// A device or a FIFO is not replaced by a file: the bytes go through it.
SaveOutcome writeThrough(const std::string& target, const char* bytes, size_t length) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return failure(SaveStatus::kCannotCreate, errno);
  const int error = writeAll(fd, bytes, length);
  const int closed = ::close(fd) == 0 ? 0 : errno;
  if (error != 0 || closed != 0) return failure(SaveStatus::kCannotWrite, error != 0 ? error : closed);
  return {SaveStatus::kSaved, {}};
}

mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

SaveOutcome saveFile(const char* path, const char* bytes, size_t length, bool replaceExisting) {
  if (path == nullptr || *path == '\0') return {SaveStatus::kCannotCreate, "no file name"};
  struct stat named {};
  if (::lstat(path, &named) == 0 && !replaceExisting) {
    return failure(S_ISDIR(named.st_mode) ? SaveStatus::kCannotCreate : SaveStatus::kExists,
                   S_ISDIR(named.st_mode) ? EISDIR : EEXIST);
  }
  std::string target;
  if (const int error = followLinks(path, target)) return failure(SaveStatus::kCannotCreate, error);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return failure(SaveStatus::kCannotCreate, EISDIR);
  if (exists && !S_ISREG(existing.st_mode)) return writeThrough(target, bytes, length);

  const TerminationHeld held;
  const size_t slash = target.rfind('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  // A short prefix of the name keeps the temporary name within the length
  // limit whenever the target's name is.
  TemporaryFile temporary(folderPart(target) + "." + base.substr(0, 32) + ".XXXXXX");
  if (const int error = temporary.create(exists ? existing.st_mode & 07777 : newFileMode()))
    return failure(SaveStatus::kCannotCreate, error);
  if (exists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
    // Keeping the owner needs rights a user may lack; the mode, kept above,
    // still guards the text. Changing the owner clears set-id bits: set
    // the mode again.
    if (::fchown(temporary.fd(), existing.st_uid, existing.st_gid) == 0)
      ::fchmod(temporary.fd(), existing.st_mode & 07777);
  }
  if (const int error = writeAll(temporary.fd(), bytes, length))
    return failure(SaveStatus::kCannotWrite, error);
  // What replaces a file must be on the disk before it takes the name, so
  // that a crash leaves the old file or the new one, never a cut one. A new
  // file replaces nothing: makeSavesDurable syncs it with all the others.
  if (exists && ::fsync(temporary.fd()) != 0) return failure(SaveStatus::kCannotWrite, errno);
  if (const int error = temporary.close()) return failure(SaveStatus::kCannotWrite, error);
  if (!replaceExisting) {
    // A hard link puts the file in place only while the name is still free,
    // so a file that appeared meanwhile is not replaced either; the
    // temporary name goes with the destructor.
    if (::link(temporary.name().c_str(), target.c_str()) == 0) {
      foldersToSync().insert(folderPart(target));
      return {SaveStatus::kSaved, {}};
    }
    const int error = errno;
    if (error == EEXIST) return failure(SaveStatus::kExists, error);
    // Some file systems have no hard links: check, then rename.
    if (error != EPERM && error != ENOTSUP && error != ENOSYS)
      return failure(SaveStatus::kCannotWrite, error);
    if (::access(target.c_str(), F_OK) == 0) return failure(SaveStatus::kExists, EEXIST);
  }
  if (::rename(temporary.name().c_str(), target.c_str()) != 0)
    return failure(SaveStatus::kCannotWrite, errno);
  temporary.release();
  foldersToSync().insert(folderPart(target));
  return {SaveStatus::kSaved, {}};
}

SaveOutcome makeSavesDurable() {
  // One sync of each file system writes every file saved on it at once,
  // instead of waiting for the disk once per file.
  std::set<dev_t> synced;
  SaveOutcome outcome{SaveStatus::kSaved, {}};
  for (const std::string& folder : foldersToSync()) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info {};
    int error = fd < 0 ? errno : (::fstat(fd, &info) == 0 ? 0 : errno);
    if (error == 0 && synced.insert(info.st_dev).second && ::syncfs(fd) != 0) error = errno;
    if (fd >= 0) ::close(fd);
    if (error != 0 && outcome.status == SaveStatus::kSaved)
      outcome = failure(SaveStatus::kCannotWrite, error);
  }
  foldersToSync().clear();
  return outcome;
}

bool openWithViewer(const char* folder, const char* fileName) {
  constexpr char kViewer[] = "xdg-open";
  if (fileName == nullptr || *fileName == '\0') return false;
  // Whether the viewer exists is known only here: the detached child that
  // runs it reports nothing back.
  const char* searchPath = std::getenv("PATH");
  bool found = false;
  for (std::string_view rest = searchPath != nullptr ? searchPath : ""; !found && !rest.empty();) {
    const size_t colon = std::min(rest.find(':'), rest.size());
    const std::string dir(rest.substr(0, colon));
    found = ::access(((dir.empty() ? "." : dir) + "/" + kViewer).c_str(), X_OK) == 0;
    rest.remove_prefix(std::min(colon + 1, rest.size()));
  }
  if (!found) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
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
    ::execlp(kViewer, kViewer, fileName, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return true;
}

}  // namespace brevanto::platform
