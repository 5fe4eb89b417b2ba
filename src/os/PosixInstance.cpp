// One instance per name on Linux: a lock file that the launcher and its
// Java child hold locked. The lock goes with the last process that holds
// it, however it ends; the file itself stays, so that no two processes can
// ever lock two files of the same name. A second launch hands its
// arguments over through a Unix domain socket in a folder of the user's
// alone.
#ifdef _WIN32
#error "PosixInstance.cpp is for POSIX builds only"
#endif

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "os/PosixPlatform.h"

namespace tarvik {

namespace {

// The user's runtime folder (one per user and session), ending in '/';
// nothing when it is not set.
std::optional<std::string> userRuntimeFolder() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (!runtime || runtime[0] != '/') return std::nullopt;
  std::string dir = runtime;
  if (dir.back() != '/') dir += '/';
  return dir;
}

// The user's runtime folder, else the temporary folder, where the user's
// id keeps users apart.
std::string instanceLockPath(const std::string& name,
                             const std::string& tempDir) {
  std::string dir = userRuntimeFolder().value_or(tempDir);
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + "tarvik-" + std::to_string(getuid()) + "-" + name + ".lock";
}

std::string errorWithPath(int error, const std::string& path) {
  return std::string(strerror(error)) + " (" + path + ")";
}

// Milliseconds from `then` until now; -1 for a time to come (a clock
// set back), which tells nothing.
int64_t millisSince(const struct timespec& then) {
  struct timespec now;
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return -1;
  const int64_t millis = (static_cast<int64_t>(now.tv_sec) - then.tv_sec) * 1000 +
                         (now.tv_nsec - then.tv_nsec) / 1000000;
  return millis < 0 ? -1 : millis;
}

// Sets (F_WRLCK) or lets go of (F_UNLCK) the record lock on the file's
// first byte, without waiting.
bool setFirstByteLock(int fd, short type) {
  struct flock step;
  memset(&step, 0, sizeof step);
  step.l_type = type;
  step.l_whence = SEEK_SET;
  step.l_len = 1;
  return fcntl(fd, F_SETLK, &step) == 0;
}

// Trying the claim and stamping it, or (a second launch) reading the
// stamp, is one step for one launch at a time: a record lock on the lock
// file's first byte, held a few system calls long. Otherwise a launch
// could read the time of an earlier claim between another's claim and
// its stamp. Record locks are apart from flock's and are not inherited by
// children; one that is not let go (a stopped launch) is waited for a
// second at most.
void beginClaimStep(int fd) {
  for (int tries = 0; tries < 100; ++tries) {
    if (setFirstByteLock(fd, F_WRLCK)) return;
    if (errno != EACCES && errno != EAGAIN && errno != EINTR) return;
    usleep(10000);
  }
}

void endClaimStep(int fd) { setFirstByteLock(fd, F_UNLCK); }

// Whether one of these errors of connect() says that nobody listens.
bool nobodyListens(int error) {
  return error == ENOENT || error == ECONNREFUSED || error == ENOTSOCK ||
         error == ENOTDIR;
}

}  // namespace

InstanceClaimResult PosixPlatform::claimInstance(const std::string& name) {
  InstanceClaimResult result;
  if (instanceFd_ >= 0) {
    result.outcome = InstanceClaim::Claimed;
    return result;
  }
  const std::string path = instanceLockPath(name, tempDirectory().value_or("/tmp/"));
  // No link is followed and only a file of this user counts: another user
  // cannot plant the file where this one's goes.
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                      0600);
  if (fd < 0) {
    result.errorText = std::string(strerror(errno)) + " (" + path + ")";
    return result;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_uid != getuid()) {
    close(fd);
    result.errorText = "not a file of this user (" + path + ")";
    return result;
  }
  beginClaimStep(fd);
  int locked;
  while ((locked = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    const int error = errno;
    // The claim's stamp, as its maker left it.
    const bool stamped = fstat(fd, &info) == 0;
    close(fd);
    if (error == EWOULDBLOCK) {
      result.outcome = InstanceClaim::Running;
      if (stamped) result.heldMillis = millisSince(info.st_mtim);
    } else {
      result.errorText = std::string(strerror(error)) + " (" + path + ")";
    }
    return result;
  }
  // The file's time tells a second launch when the instance was claimed.
  futimens(fd, nullptr);
  endClaimStep(fd);
  instanceFd_ = fd;
  result.outcome = InstanceClaim::Claimed;
  return result;
}

// Windows of other programs are the desktop's business here.
bool PosixPlatform::bringInstanceForward(const std::string&) { return false; }

InstanceFolder PosixPlatform::instanceFolder(bool create) {
  InstanceFolder result;
  std::string folder;
  if (const std::optional<std::string> runtime = userRuntimeFolder()) {
    folder = *runtime + "tarvik";
  } else {
    folder = tempDirectory().value_or("/tmp/") + "tarvik-" + std::to_string(getuid());
  }
  if (create && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    result.errorText = errorWithPath(errno, folder);
    return result;
  }
  // Not followed: in a shared temporary folder, another user may have
  // made the name first.
  struct stat info;
  if (lstat(folder.c_str(), &info) != 0) {
    if (errno != ENOENT) result.errorText = errorWithPath(errno, folder);
    return result;
  }
  if (!S_ISDIR(info.st_mode)) {
    result.errorText = "not a folder (" + folder + ")";
  } else if (info.st_uid != geteuid()) {
    result.errorText = "another user's folder (" + folder + ")";
  } else if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    result.errorText = "others may enter the folder (" + folder + ")";
  } else {
    result.path = folder;
  }
  return result;
}

InstanceHandOverResult PosixPlatform::handToInstance(const std::string& endpoint,
                                                     const std::string& message,
                                                     int timeoutMillis) {
  InstanceHandOverResult result;
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (endpoint.empty() || endpoint.size() >= sizeof address.sun_path) {
    result.errorText = "no socket can be named " + endpoint;
    return result;
  }
  memcpy(address.sun_path, endpoint.data(), endpoint.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    result.errorText = strerror(errno);
    return result;
  }
  // A Unix socket's connect waits as long as its sends may: for room in
  // a full queue of the listener's.
  struct timeval limit;
  limit.tv_sec = timeoutMillis / 1000;
  limit.tv_usec = (timeoutMillis % 1000) * 1000;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  const std::string waited = "no answer within " + std::to_string(timeoutMillis) + " ms";
  int connected;
  while ((connected = connect(fd, reinterpret_cast<struct sockaddr*>(&address),
                              sizeof address)) != 0 && errno == EINTR) {
  }
  if (connected != 0) {
    const int error = errno;
    close(fd);
    if (nobodyListens(error)) {
      result.outcome = InstanceHandOver::NobodyListens;
    } else {
      result.errorText = error == EAGAIN || error == EINPROGRESS
                             ? waited
                             : errorWithPath(error, endpoint);
    }
    return result;
  }
  size_t sent = 0;
  while (sent < message.size()) {
    const ssize_t n = send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = errno;
      close(fd);
      result.errorText = error == EAGAIN ? waited : errorWithPath(error, endpoint);
      return result;
    }
    sent += static_cast<size_t>(n);
  }
  unsigned char answer = 0;
  ssize_t n;
  while ((n = recv(fd, &answer, 1, 0)) < 0 && errno == EINTR) {
  }
  const int error = errno;
  close(fd);
  if (n == 1 && answer == INSTANCE_ACKNOWLEDGEMENT) {
    result.outcome = InstanceHandOver::Delivered;
  } else if (n < 0) {
    result.errorText = error == EAGAIN ? waited : errorWithPath(error, endpoint);
  } else {
    result.errorText = "the instance did not take the arguments";
  }
  return result;
}

}  // namespace tarvik
