// One instance per name on Linux: a lock file that the launcher and its
// Java child hold locked. The lock goes with the last process that holds
// it, however it ends; the file itself stays, so that no two processes can
// ever lock two files of the same name.
#ifdef _WIN32
#error "PosixInstance.cpp is for POSIX builds only"
#endif

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "os/PosixPlatform.h"

namespace tarvik {

namespace {

// The user's runtime folder (one per user and session), else the
// temporary folder, where the user's id keeps users apart.
std::string instanceLockPath(const std::string& name,
                             const std::string& tempDir) {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  std::string dir = runtime && runtime[0] == '/' ? runtime : tempDir;
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir + "tarvik-" + std::to_string(getuid()) + "-" + name + ".lock";
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
  int locked;
  while ((locked = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    const int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) {
      result.outcome = InstanceClaim::Running;
    } else {
      result.errorText = std::string(strerror(error)) + " (" + path + ")";
    }
    return result;
  }
  instanceFd_ = fd;
  result.outcome = InstanceClaim::Claimed;
  return result;
}

// Windows of other programs are the desktop's business here.
bool PosixPlatform::bringInstanceForward(const std::string&) { return false; }

}  // namespace tarvik
