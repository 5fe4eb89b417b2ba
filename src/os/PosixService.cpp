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
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <chrono>
#include <thread>

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

// Who but root may change what `st` describes (the name itself for a
// link, which only its folder's writers can replace).
std::string othersOf(const struct stat& st, const std::string& path) {
  if (st.st_uid != 0) return "the user " + userName(st.st_uid) + " (" + path + ")";
  if (S_ISLNK(st.st_mode)) return std::string();
  // A folder whose sticky bit is set lets others add names, not replace
  // root's: /tmp above a folder of root's is safe.
  const bool sticky = S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX);
  if ((st.st_mode & S_IWOTH) && !sticky) return "everyone (" + path + ")";
  if ((st.st_mode & S_IWGRP) && st.st_gid != 0 && !sticky)
    return "the group " + groupName(st.st_gid) + " (" + path + ")";
  return std::string();
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
  // The name as given, then what it leads to, then every folder above
  // what it leads to: whoever may write one of them may replace the file.
  struct stat st;
  if (lstat(path.c_str(), &st) != 0)
    return "nobody can tell (" + path + ": " + strerror(errno) + ")";
  if (S_ISLNK(st.st_mode)) {
    const std::string linkFolder = parentOf(path);
    struct stat folder;
    if (lstat(linkFolder.c_str(), &folder) == 0) {
      const std::string who = othersOf(folder, linkFolder);
      if (!who.empty()) return who;
    }
  }
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return "nobody can tell (" + path + ": " + strerror(errno) + ")";
  std::string at = real;
  free(real);
  for (;;) {
    if (lstat(at.c_str(), &st) != 0)
      return "nobody can tell (" + at + ": " + strerror(errno) + ")";
    const std::string who = othersOf(st, at);
    if (!who.empty()) return who;
    if (at == "/") return std::string();
    at = parentOf(at);
  }
}

bool PosixPlatform::hasAdministratorRights() { return geteuid() == 0; }

}  // namespace tarvik
