// The service calls on POSIX systems. systemd's units are text the core
// writes and hands systemctl, so the service manager's calls of the
// platform are Windows' alone; what is here is the capture of the standard
// streams and the question who may change a file.
#ifdef _WIN32
#error "PosixService.cpp is for POSIX builds only"
#endif

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <chrono>
#include <thread>
#include <vector>

#include "os/PosixPlatform.h"

namespace tarvik {

namespace {

ServiceAnswer notHere() {
  ServiceAnswer answer;
  answer.outcome = ServiceOutcome::Failed;
  answer.errorText = "this system's services are systemd's units";
  return answer;
}

class PipeCapture : public StreamCapture {
 public:
  explicit PipeCapture(int fd) : fd_(fd) {}
  ~PipeCapture() override { close(fd_); }
  std::string read() override {
    char buffer[16384];
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got > 0) return std::string(buffer, static_cast<size_t>(got));
      if (got < 0 && errno == EINTR) continue;
      return std::string();
    }
  }

 private:
  int fd_;
};

std::string userName(uid_t uid) {
  if (const passwd* entry = getpwuid(uid)) return entry->pw_name;
  return std::to_string(uid);
}

std::string groupName(gid_t gid) {
  if (const group* entry = getgrgid(gid)) return entry->gr_name;
  return std::to_string(gid);
}

// Whether the file has an access list of its own; its group bits are then
// the list's mask, the most any user or group it names may do.
bool hasAccessList(const std::string& path) {
  return lgetxattr(path.c_str(), "system.posix_acl_access", nullptr, 0) > 0;
}

// Who but root may change what `st` describes (the name itself for a
// link, which only its owner and its folder's writers can replace).
// `addingCounts`: for the folder asked about itself, whose new names (a
// class path folder's classes) count as much as its present ones.
std::string othersOf(const struct stat& st, const std::string& path,
                     bool addingCounts = false) {
  if (st.st_uid != 0) return "the user " + userName(st.st_uid) + " (" + path + ")";
  if (S_ISLNK(st.st_mode)) return std::string();
  // A folder whose sticky bit is set lets others add names, not replace
  // root's: /tmp above a folder of root's is safe.
  if (S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) && !addingCounts) return std::string();
  if (st.st_mode & S_IWOTH) return "everyone (" + path + ")";
  if (st.st_mode & S_IWGRP) {
    if (hasAccessList(path))
      return "the users and groups its access list names (" + path + ")";
    if (st.st_gid != 0) return "the group " + groupName(st.st_gid) + " (" + path + ")";
  }
  return std::string();
}

std::string cannotTell(const std::string& path, int error) {
  return "nobody can tell (" + path + ": " + strerror(error) + ")";
}

// The names of `path` between its slashes, the last first.
void pushNames(const std::string& path, std::vector<std::string>& names) {
  size_t end = path.size();
  while (end > 0) {
    const size_t slash = path.rfind('/', end - 1);
    const size_t begin = slash == std::string::npos ? 0 : slash + 1;
    if (end > begin) names.push_back(path.substr(begin, end - begin));
    if (slash == std::string::npos) break;
    end = slash;
  }
}

std::string parentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

void PosixPlatform::sleepMillis(int64_t millis) {
  if (millis > 0) std::this_thread::sleep_for(std::chrono::milliseconds(millis));
}

bool PosixPlatform::runAsService(const std::function<int(ServiceSession&)>&) {
  return false;
}

ServiceAnswer PosixPlatform::installService(const ServiceDefinition&) {
  return notHere();
}
ServiceAnswer PosixPlatform::uninstallService(const std::string&) {
  return notHere();
}
ServiceAnswer PosixPlatform::startService(const std::string&) { return notHere(); }
ServiceAnswer PosixPlatform::stopService(const std::string&) { return notHere(); }
ServiceAnswer PosixPlatform::queryService(const std::string&) { return notHere(); }
ServiceAnswer PosixPlatform::queryServiceOrigin(const std::string&) { return notHere(); }

// The journal keeps what a unit writes on standard error.
void PosixPlatform::writeSystemLog(const std::string&, const std::string&, bool) {}

std::unique_ptr<StreamCapture> PosixPlatform::captureStdStreams() {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  fflush(stdout);
  fflush(stderr);
  // The writing end becomes 1 and 2, which children inherit; the reading
  // end stays the launcher's alone.
  if (dup2(ends[1], STDOUT_FILENO) < 0 || dup2(ends[1], STDERR_FILENO) < 0) {
    close(ends[0]);
    close(ends[1]);
    return nullptr;
  }
  close(ends[1]);
  setvbuf(stdout, nullptr, _IONBF, 0);
  return std::make_unique<PipeCapture>(ends[0]);
}

void PosixPlatform::releaseStdStreams() {
  fflush(stdout);
  fflush(stderr);
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  dup2(null, STDOUT_FILENO);
  dup2(null, STDERR_FILENO);
  close(null);
}

std::string PosixPlatform::othersWhoMayChange(const std::string& path) {
  // Every name the system looks up on the way to the file, as it looks
  // them up, links followed: whoever may change one of them may replace
  // the file, a link's own folder as much as its target's.
  if (path.empty()) return cannotTell(path, ENOENT);
  std::string absolute = path;
  if (path[0] != '/') {
    char here[PATH_MAX];
    if (!getcwd(here, sizeof here)) return cannotTell(path, errno);
    absolute = std::string(here) + "/" + path;
  }
  std::vector<std::string> names;  // still to look up, the next last
  pushNames(absolute, names);
  std::string at = "/";
  struct stat st;
  if (lstat(at.c_str(), &st) != 0) return cannotTell(at, errno);
  std::string who = othersOf(st, at);
  int links = 0;
  while (who.empty() && !names.empty()) {
    const std::string name = names.back();
    names.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      at = parentOf(at);
      continue;
    }
    const std::string next = at == "/" ? "/" + name : at + "/" + name;
    if (lstat(next.c_str(), &st) != 0) {
      if (errno != ENOENT) return cannotTell(next, errno);
      // Not there (a link that leads nowhere yet): whoever may add names to
      // the folder where it would appear may make it.
      struct stat folder;
      if (lstat(at.c_str(), &folder) != 0) return cannotTell(at, errno);
      return othersOf(folder, at, true);
    }
    who = othersOf(st, next);
    if (!S_ISLNK(st.st_mode)) {
      at = next;
      continue;
    }
    char target[PATH_MAX];
    const ssize_t length = readlink(next.c_str(), target, sizeof target);
    if (length < 0) return cannotTell(next, errno);
    if (static_cast<size_t>(length) == sizeof target) return cannotTell(next, ENAMETOOLONG);
    if (++links > 40) return cannotTell(path, ELOOP);
    const std::string leadsTo(target, static_cast<size_t>(length));
    pushNames(leadsTo, names);
    if (!leadsTo.empty() && leadsTo[0] == '/') at = "/";
  }
  if (!who.empty()) return who;
  if (lstat(at.c_str(), &st) != 0) return cannotTell(at, errno);
  return othersOf(st, at, true);
}

bool PosixPlatform::hasAdministratorRights() { return geteuid() == 0; }

}  // namespace tarvik
