#include "platform/output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/output_stream.h"

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

mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

const FileCalls& systemFileCalls() {
  static const FileCalls calls = {&::fsync, &::rename, &::link};
  return calls;
}

struct OutputStream::State {
  explicit State(const FileCalls& fileCalls) : calls(fileCalls) {}

  const FileCalls& calls;  // not owned: a table that outlives the stream
  bool replaceExisting = false;
  std::string target;         // where the file goes once links are followed
  bool targetExists = false;  // a regular file stands under `target`
  int throughFd = -1;         // owned: the device or FIFO written through; -1 otherwise
  // Declared before the file so that the signals wait until it is gone.
  std::optional<TerminationHeld> held;
  std::optional<TemporaryFile> temporary;
  std::optional<SaveOutcome> failed;  // the first failure, repeated by every later call

  SaveOutcome fail(SaveStatus status, int error) {
    failed = failure(status, error);
    return *failed;
  }
};

OutputStream::OutputStream(const FileCalls& calls) : state_(std::make_unique<State>(calls)) {}

OutputStream::~OutputStream() {
  if (state_->throughFd >= 0) ::close(state_->throughFd);
}

SaveOutcome OutputStream::open(const char* path, bool replaceExisting) {
  State& s = *state_;
  s.replaceExisting = replaceExisting;
  if (path == nullptr || *path == '\0') {
    s.failed = SaveOutcome{SaveStatus::kCannotCreate, "no file name"};
    return *s.failed;
  }
  // A device, a FIFO or a pipe is written through, asked or not: it holds
  // no text that replacing could lose. stat follows every link, also the
  // kernel's own such as /dev/fd/N, whose targets name no path.
  struct stat through {};
  if (::stat(path, &through) == 0 && !S_ISREG(through.st_mode) && !S_ISDIR(through.st_mode)) {
    s.throughFd = ::open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (s.throughFd < 0) return s.fail(SaveStatus::kCannotCreate, errno);
    return {SaveStatus::kSaved, {}};
  }
  struct stat named {};
  if (::lstat(path, &named) == 0 && !replaceExisting) {
    return s.fail(S_ISDIR(named.st_mode) ? SaveStatus::kCannotCreate : SaveStatus::kExists,
                  S_ISDIR(named.st_mode) ? EISDIR : EEXIST);
  }
  if (const int error = followLinks(path, s.target)) return s.fail(SaveStatus::kCannotCreate, error);
  struct stat existing {};
  s.targetExists = ::stat(s.target.c_str(), &existing) == 0;
  if (s.targetExists && S_ISDIR(existing.st_mode)) return s.fail(SaveStatus::kCannotCreate, EISDIR);

  s.held.emplace();
  const size_t slash = s.target.rfind('/');
  const std::string base = slash == std::string::npos ? s.target : s.target.substr(slash + 1);
  // A short prefix of the name keeps the temporary name within the length
  // limit whenever the target's name is.
  s.temporary.emplace(folderPart(s.target) + "." + base.substr(0, 32) + ".XXXXXX");
  if (const int error = s.temporary->create(s.targetExists ? existing.st_mode & 07777 : newFileMode()))
    return s.fail(SaveStatus::kCannotCreate, error);
  if (s.targetExists && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
    // Keeping the owner needs rights a user may lack; the mode, kept above,
    // still guards the text. Changing the owner clears set-id bits: set
    // the mode again.
    if (::fchown(s.temporary->fd(), existing.st_uid, existing.st_gid) == 0)
      ::fchmod(s.temporary->fd(), existing.st_mode & 07777);
  }
  return {SaveStatus::kSaved, {}};
}

SaveOutcome OutputStream::write(const char* bytes, size_t length) {
  State& s = *state_;
  if (s.failed) return *s.failed;
  const int fd = s.throughFd >= 0 ? s.throughFd : s.temporary ? s.temporary->fd() : -1;
  if (fd < 0) return s.fail(SaveStatus::kCannotWrite, EBADF);
  if (const int error = writeAll(fd, bytes, length)) return s.fail(SaveStatus::kCannotWrite, error);
  return {SaveStatus::kSaved, {}};
}

SaveOutcome OutputStream::commit() {
  State& s = *state_;
  if (s.failed) return *s.failed;
  if (s.throughFd >= 0) {
    const int closed = ::close(s.throughFd) == 0 ? 0 : errno;
    s.throughFd = -1;
    if (closed != 0) return s.fail(SaveStatus::kCannotWrite, closed);
    return {SaveStatus::kSaved, {}};
  }
  if (!s.temporary) return s.fail(SaveStatus::kCannotWrite, EBADF);
  TemporaryFile& temporary = *s.temporary;
  // What replaces a file must be on the disk before it takes the name, so
  // that a crash leaves the old file or the new one, never a cut one. A new
  // file replaces nothing: makeSavesDurable syncs it with all the others.
  if (s.targetExists && s.calls.sync(temporary.fd()) != 0) return s.fail(SaveStatus::kCannotWrite, errno);
  if (const int error = temporary.close()) return s.fail(SaveStatus::kCannotWrite, error);
  if (!s.replaceExisting) {
    // A hard link puts the file in place only while the name is still free,
    // so a file that appeared meanwhile is not replaced either; the
    // temporary name goes with the stream.
    if (s.calls.link(temporary.name().c_str(), s.target.c_str()) == 0) {
      foldersToSync().insert(folderPart(s.target));
      return {SaveStatus::kSaved, {}};
    }
    const int error = errno;
    if (error == EEXIST) return s.fail(SaveStatus::kExists, error);
    // Some file systems have no hard links: check, then rename.
    if (error != EPERM && error != ENOTSUP && error != ENOSYS) return s.fail(SaveStatus::kCannotWrite, error);
    if (::access(s.target.c_str(), F_OK) == 0) return s.fail(SaveStatus::kExists, EEXIST);
  }
  if (s.calls.rename(temporary.name().c_str(), s.target.c_str()) != 0)
    return s.fail(SaveStatus::kCannotWrite, errno);
  temporary.release();
  foldersToSync().insert(folderPart(s.target));
  return {SaveStatus::kSaved, {}};
}

SaveOutcome saveFile(const char* path, const char* bytes, size_t length, bool replaceExisting,
                     const FileCalls& calls) {
  OutputStream stream(calls);
  SaveOutcome outcome = stream.open(path, replaceExisting);
  if (outcome.status == SaveStatus::kSaved) outcome = stream.write(bytes, length);
  if (outcome.status == SaveStatus::kSaved) outcome = stream.commit();
  return outcome;
}

SaveOutcome saveFile(const char* path, const char* bytes, size_t length, bool replaceExisting) {
  return saveFile(path, bytes, length, replaceExisting, systemFileCalls());
}

UnnamedFile::~UnnamedFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool UnnamedFile::write(const std::string& folder, const char* bytes, size_t length) {
  // Made with the rights a new file gets: the mode less the umask.
  fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ < 0) return false;
  if (writeAll(fd_, bytes, length) == 0) return true;
  ::close(fd_);
  fd_ = -1;
  return false;
}

SaveOutcome saveWritten(const char* path, const UnnamedFile& file, const char* bytes, size_t length,
                        bool replaceExisting) {
  struct stat named {};
  if (file.fd_ < 0 || path == nullptr || *path == '\0' || ::lstat(path, &named) == 0)
    return saveFile(path, bytes, length, replaceExisting);
  // A link takes the name only while it is free, as saveFile's does.
  const std::string written = "/proc/self/fd/" + std::to_string(file.fd_);
  if (::linkat(AT_FDCWD, written.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) != 0)
    return saveFile(path, bytes, length, replaceExisting);
  foldersToSync().insert(folderPart(path));
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
  // The viewer runs detached, so its start is known only through this pipe:
  // closed by a successful exec, it carries the error of any step that
  // failed before.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = ::fork();
  if (child == 0) {
    // The grandchild runs the viewer in a session of its own, so that it
    // outlives us and never becomes a zombie of ours.
    ::close(report[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild != 0) ::_exit(grandchild < 0 ? 1 : 0);
    // The signals a run holds back are not the viewer's to wait for.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    int error = 0;
    if (folder != nullptr && *folder != '\0' && ::chdir(folder) != 0) error = errno;
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
      if (null > STDERR_FILENO) ::close(null);
    }
    if (error == 0) {
      ::execlp(kViewer, kViewer, fileName, static_cast<char*>(nullptr));
      error = errno;
    }
    if (::write(report[1], &error, sizeof error) < 0) ::_exit(126);
    ::_exit(127);
  }
  ::close(report[1]);
  bool started = false;
  if (child > 0) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The intermediate child ended with 0 when the grandchild exists.
    int error = 0;
    ssize_t got = 0;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    started = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
  }
  ::close(report[0]);
  return started;
}

}  // namespace brevanto::platform
