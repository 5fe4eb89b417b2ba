// The POSIX (Linux) platform.
#ifdef _WIN32
#error "PosixPlatform.cpp is for POSIX builds only"
#endif

#include "os/PosixPlatform.h"
#include "os/ProcessorIdentity.h"
#include "os/StdioOutputFile.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <ctime>

namespace tarvik {

namespace {

// A descriptor for writing `path` as `creation` says (a new file gets
// `mode`, less the umask), or -1 with `result` saying why.
// A new private file is never an existing name: O_EXCL fails on any entry,
// a dangling link included, and O_NOFOLLOW says so twice. A file that may be
// replaced is opened without following a link and without waiting for a
// FIFO's reader, and emptied only once it is known to be a regular file of
// one name. On a failure errno says why.
int openForWriting(const std::string& path, FileCreation creation, mode_t mode,
                   CreateResult& result) {
  if (creation == FileCreation::NewPrivate) {
    const int fd = open(path.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    result = fd >= 0 ? CreateResult::Done
                     : errno == EEXIST ? CreateResult::NameTaken
                                       : CreateResult::CannotCreateFile;
    return fd;
  }
  const int append = creation == FileCreation::Append ? O_APPEND : 0;
  const int fd = open(path.c_str(),
                      O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | append, mode);
  if (fd < 0) {
    // ENXIO: a FIFO without a reader, or a socket.
    result = errno == ELOOP   ? CreateResult::IsLink
             : errno == ENXIO ? CreateResult::NotRegularFile
                              : CreateResult::CannotCreateFile;
    return -1;
  }
  struct stat info;
  result = CreateResult::Done;
  if (fstat(fd, &info) != 0)
    result = CreateResult::CannotCreateFile;
  else if (S_ISREG(info.st_mode) && info.st_nlink > 1)
    result = CreateResult::HasOtherLinks;
  else if (!S_ISREG(info.st_mode) && !S_ISCHR(info.st_mode))
    result = CreateResult::NotRegularFile;
  else if ((S_ISREG(info.st_mode) && !append && ftruncate(fd, 0) != 0) ||
           fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    result = CreateResult::CannotCreateFile;
  if (result == CreateResult::Done) return fd;
  const int error = errno;
  ::close(fd);
  errno = error;
  return -1;
}

// Reads `fd` to its end, or until `limit` bytes are read, closing it; the
// text starts at `initial` bytes and doubles as it fills. The bytes read, or
// nothing when a read fails.
std::optional<std::string> readAndClose(int fd, size_t initial, size_t limit) {
  std::string content(initial < limit ? initial : limit, '\0');
  size_t used = 0;
  for (;;) {
    if (used == content.size()) {
      if (used >= limit) break;
      content.resize(used > limit / 2 ? limit : used * 2 + 1);
    }
    const ssize_t got = read(fd, &content[used], content.size() - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    used += static_cast<size_t>(got);
  }
  ::close(fd);
  content.resize(used);
  return content;
}

}  // namespace

void defaultSignalsForChild() {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(SIGPIPE, &action, nullptr);
}

std::vector<std::string> posixLauncherArguments(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
  if (args.empty()) args.emplace_back();
  return args;
}

std::string posixOwnExecutable() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(length));
}

PosixPlatform::PosixPlatform() : conventions_(PlatformConventions::posix()) {
  // A launcher started with standard input, output or error closed would
  // hand those numbers to the next files it opens (a lock, a log), and the
  // application's output would land in them: they stand for /dev/null, as
  // for a daemon.
  // (fstat, which reading the configuration binds anyway, fails with EBADF
  // exactly as fcntl would.)
  for (int fd = 0; fd <= 2; ++fd) {
    struct stat info;
    if (fstat(fd, &info) == 0 || errno != EBADF) continue;
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0 && null != fd) {
      dup2(null, fd);
      ::close(null);
    }
  }
  sigprocmask(SIG_SETMASK, nullptr, &startSignalMask_);
  // A standard stream that is a pipe closed at its far end is an error to
  // write to, not the launcher's death: the application still runs.
  // (signal() does this through sigaction(), which the child's start
  // needs anyway.)
  struct sigaction ignore;
  memset(&ignore, 0, sizeof ignore);
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaddset(&ignore.sa_mask, SIGPIPE);
  ignore.sa_flags = SA_RESTART;
  sigaction(SIGPIPE, &ignore, nullptr);
}

void PosixPlatform::writeStdout(const std::string& text) {
  fwrite(text.data(), 1, text.size(), stdout);
}

void PosixPlatform::writeStderr(const std::string& text) {
  fwrite(text.data(), 1, text.size(), stderr);
  fflush(stderr);
}

void PosixPlatform::flushStdout() { fflush(stdout); }

std::string PosixPlatform::currentDirectory() {
  char buffer[8192];
  if (!getcwd(buffer, sizeof buffer)) return std::string();
  return buffer;
}

bool PosixPlatform::changeDirectory(const std::string& path) {
  return chdir(path.c_str()) == 0;
}

// Every Linux counts as "Vista or later": arguments are always quoted.
int PosixPlatform::osMajorVersion() { return 6; }

std::optional<std::string> PosixPlatform::getEnv(const std::string& name) {
  const char* value = getenv(name.c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

bool PosixPlatform::setEnv(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

uint32_t PosixPlatform::processId() {
  return static_cast<uint32_t>(getpid());
}

uint64_t PosixPlatform::physicalMemoryBytes() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

std::string PosixPlatform::processorIdentity() {
  return processorIdentityFromCpuid();
}

bool PosixPlatform::openWithAssociatedProgram(const std::string& file) {
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    defaultSignalsForChild();
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    execlp("xdg-open", "xdg-open", file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return true;
}

// A Linux launcher started from a terminal already has it as its console.
void PosixPlatform::openConsole() {}
void PosixPlatform::freeConsole() {}

void PosixPlatform::setConsoleTitle(const std::string& title) {
  if (isatty(STDOUT_FILENO)) {
    std::string sequence = "\033]0;" + title + "\007";
    fwrite(sequence.data(), 1, sequence.size(), stdout);
    fflush(stdout);
  }
}

// Descriptors 1 and 2 are the standard handles whatever they lead to.
StandardHandles PosixPlatform::standardHandles() {
  return {STDOUT_FILENO, STDERR_FILENO};
}

CreateResult PosixPlatform::redirectStdStreams(const std::string& path,
                                               FileCreation creation) {
  fflush(stdout);
  CreateResult result;
  int fd = openForWriting(path, creation, 0644, result);
  if (fd < 0) return result;
  if (dup2(fd, STDOUT_FILENO) < 0 || dup2(fd, STDERR_FILENO) < 0) {
    close(fd);
    return CreateResult::CannotDuplicateHandle;
  }
  close(fd);
  setvbuf(stdout, nullptr, _IONBF, 0);
  return CreateResult::Done;
}

std::optional<std::string> PosixPlatform::tempDirectory() {
  const char* dir = getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

int PosixPlatform::makeDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0) return 0;
  return errno;
}

int PosixPlatform::makePrivateDirectory(const std::string& path) {
  if (mkdir(path.c_str(), 0700) == 0) return 0;
  return errno;
}

std::string PosixPlatform::errorText(int errorNumber) {
  return strerror(errorNumber);
}

std::vector<std::string> PosixPlatform::findFiles(const std::string& pattern) {
  // Only the last component may hold wildcards, as with FindFirstFile.
  std::vector<std::string> names;
  size_t slash = pattern.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : pattern.substr(0, slash);
  if (dir.empty()) dir = "/";
  std::string mask =
      slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  DIR* handle = opendir(dir.c_str());
  if (!handle) return names;
  while (dirent* entry = readdir(handle)) {
    if (fnmatch(mask.c_str(), entry->d_name, 0) == 0)
      names.push_back(entry->d_name);
  }
  closedir(handle);
  return names;
}

FileRead PosixPlatform::readRegularFile(const std::string& path,
                                        uint64_t maxBytes) {
  return posixReadRegularFile(path, maxBytes);
}

FileRead posixReadRegularFile(const std::string& path, uint64_t maxBytes) {
  FileRead read;
  read.refusal = ReadRefusal::CannotRead;
  // Not blocking: a FIFO is refused, not waited for.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return read;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return read;
  }
  if (!S_ISREG(info.st_mode) || static_cast<uint64_t>(info.st_size) > maxBytes) {
    ::close(fd);
    read.refusal = S_ISREG(info.st_mode) ? ReadRefusal::TooLarge
                                         : ReadRefusal::NotRegularFile;
    return read;
  }
  // Read straight into a text of the file's size: a large configuration
  // costs one pass over its bytes. Files that report no size (/proc) grow
  // as they are read, up to one byte past the bound.
  const size_t limit = maxBytes < SIZE_MAX ? static_cast<size_t>(maxBytes) + 1 : SIZE_MAX;
  const size_t initial = info.st_size > 0 ? static_cast<size_t>(info.st_size) + 1 : 4096;
  read.content = readAndClose(fd, initial, limit);
  if (!read.content) return read;
  if (read.content->size() > maxBytes) {
    read.content.reset();
    read.refusal = ReadRefusal::TooLarge;
    return read;
  }
  read.refusal = ReadRefusal::None;
  return read;
}

// POSIX systems write every file as bytes.
CreatedFile PosixPlatform::createTextFile(const std::string& path,
                                          FileCreation creation, FileContent content) {
  CreatedFile created;
  // A replaced file is made as fopen() makes one, a program as a linker
  // makes one.
  const mode_t mode = content == FileContent::Program ? 0777 : 0666;
  const int fd = openForWriting(path, creation, mode, created.result);
  if (fd < 0) {
    if (created.result == CreateResult::CannotCreateFile)
      created.errorText = strerror(errno);
    return created;
  }
  FILE* file = fdopen(fd, creation == FileCreation::Append ? "a" : "w");
  if (!file) {
    created.errorText = strerror(errno);
    ::close(fd);
    created.result = CreateResult::CannotCreateFile;
    return created;
  }
  created.file = std::make_unique<StdioOutputFile>(file, content);
  return created;
}

bool PosixPlatform::removeFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

bool PosixPlatform::removeDirectory(const std::string& path) {
  return rmdir(path.c_str()) == 0;
}

bool PosixPlatform::setModifiedTime(const std::string& path, int64_t seconds) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(seconds);
  times[0].tv_nsec = times[1].tv_nsec = 0;
  return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool PosixPlatform::makeSymbolicLink(const std::string& target, const std::string& path) {
  return symlink(target.c_str(), path.c_str()) == 0;
}

std::optional<FileFacts> PosixPlatform::fileFacts(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return std::nullopt;
  FileFacts facts;
  facts.isDirectory = S_ISDIR(info.st_mode);
  facts.size = static_cast<uint64_t>(info.st_size);
  facts.modifiedSeconds = static_cast<int64_t>(info.st_mtim.tv_sec);
  facts.modifiedNanoseconds = static_cast<uint32_t>(info.st_mtim.tv_nsec);
  return facts;
}

std::optional<FileOwnership> PosixPlatform::fileOwnership(
    const std::string& path) {
  struct stat name, target;
  if (lstat(path.c_str(), &name) != 0 || stat(path.c_str(), &target) != 0)
    return std::nullopt;
  FileOwnership ownership;
  ownership.isLink = S_ISLNK(name.st_mode);
  ownership.ownedByUser = target.st_uid == geteuid();
  ownership.othersMayWrite = (target.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return ownership;
}

std::optional<std::string> PosixPlatform::readFileStart(const std::string& path,
                                                        size_t count) {
  // Not blocking, and regular files only: a FIFO or a device planted at
  // the name is neither waited for nor read.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  const size_t initial =
      static_cast<uint64_t>(info.st_size) < count ? static_cast<size_t>(info.st_size) : count;
  return readAndClose(fd, initial, count);
}

bool PosixPlatform::createNewFile(const std::string& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  return ::close(fd) == 0;
}

bool PosixPlatform::renameFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

std::optional<uint64_t> PosixPlatform::freeDiskBytes(const std::string& folder) {
  struct statvfs info;
  if (statvfs(folder.c_str(), &info) != 0) return std::nullopt;
  return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

bool PosixPlatform::sameFile(const std::string& a, const std::string& b) {
  struct stat first, second;
  if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0)
    return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// A shared library names where its own dependencies are (its run path);
// the folders are for systems whose libraries do not.
void* PosixPlatform::loadLibraryWithDependenciesIn(
    const std::string& path, const std::vector<std::string>&) {
  return loadLibrary(path);
}

// Linux text is UTF-8 bytes already, and its file systems keep no short
// names.
std::optional<uint64_t> PosixPlatform::randomNumber() {
  uint64_t number = 0;
  ssize_t got;
  do {
    got = getrandom(&number, sizeof number, 0);
  } while (got < 0 && errno == EINTR);
  if (got != static_cast<ssize_t>(sizeof number)) return std::nullopt;
  return number;
}

std::optional<std::string> PosixPlatform::toAnsiCodePage(
    const std::string& text) {
  return text;
}

std::string PosixPlatform::fromAnsiCodePage(const std::string& bytes) {
  return bytes;
}

std::optional<std::string> PosixPlatform::shortPathForm(const std::string&) {
  return std::nullopt;
}

void* PosixPlatform::loadLibrary(const std::string& path) {
  // Only code loaded into the launcher changes its file limit (a VM raises
  // it): the limit it started with is the one before the first library.
  if (!fileLimitKnown_)
    fileLimitKnown_ = getrlimit(RLIMIT_NOFILE, &startFileLimit_) == 0;
  return dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
}

void* PosixPlatform::findSymbol(void* library, const std::string& name) {
  return dlsym(library, name.c_str());
}

int64_t PosixPlatform::timeSeconds() {
  return static_cast<int64_t>(time(nullptr));
}

namespace {

void* runBody(void* body) {
  (*static_cast<const std::function<void()>*>(body))();
  return nullptr;
}

}  // namespace

bool PosixPlatform::runOnNewThread(uint64_t stackBytes,
                                   const std::function<void()>& body) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  bool made = true;
  if (stackBytes > 0) {
    // The system takes whole pages, and no fewer than its minimum.
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    // A number of its own, or a sysconf call where <signal.h> asks for one.
    const uint64_t least = static_cast<uint64_t>(PTHREAD_STACK_MIN);
    uint64_t size = stackBytes < least ? least : stackBytes;
    if (page > 0 && size % page != 0) size += page - size % page;
    made = size <= SIZE_MAX &&
           pthread_attr_setstacksize(&attributes, static_cast<size_t>(size)) == 0;
  }
  pthread_t thread;
  made = made && pthread_create(&thread, &attributes, &runBody,
                                const_cast<std::function<void()>*>(&body)) == 0;
  pthread_attr_destroy(&attributes);
  if (!made) return false;
  pthread_join(thread, nullptr);
  return true;
}

namespace {

void (*gExitHandler)(int) = nullptr;
// Set while the exit handler runs: exit() may not be called again there.
std::atomic<bool> gInExitHandler{false};

void runExitHandler(int status, void*) {
  if (void (*handler)(int) = gExitHandler) {
    gInExitHandler = true;
    handler(status);
    gInExitHandler = false;
  }
}

}  // namespace

bool PosixPlatform::callOnExit(void (*handler)(int status)) {
  static const bool registered = on_exit(runExitHandler, nullptr) == 0;
  if (registered) gExitHandler = handler;
  return registered;
}

void PosixPlatform::exitProcess(int code) {
  fflush(nullptr);
  if (gInExitHandler) _exit(code);
  exit(code);
}

}  // namespace tarvik
