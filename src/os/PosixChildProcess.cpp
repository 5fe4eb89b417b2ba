// Child processes on Linux: the child is given the start's words as its
// argv, the program first.
#ifdef _WIN32
#error "PosixChildProcess.cpp is for POSIX builds only"
#endif

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "os/PosixPlatform.h"

namespace tarvik {

namespace {

// How often a bounded wait looks at the child.
constexpr std::chrono::milliseconds POLL_INTERVAL(10);

// What the child reports through the pipe when it cannot run the program.
struct StartFailure {
  int stage;  // 0: changing directory, 1: exec
  int error;
};

class PosixChild : public ChildProcess {
 public:
  explicit PosixChild(pid_t pid) : pid_(pid) {}
  // A child still running is left to run on: the launcher may end first.
  ~PosixChild() override = default;

  // Linux has no notion of a child becoming idle.
  void waitForInputIdle(uint32_t) override {}

  WaitResult waitForExit(int64_t millis) override {
    if (ended_) return WaitResult::Ended;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
    for (;;) {
      pid_t got = waitpid(pid_, &status_, millis < 0 ? 0 : WNOHANG);
      if (got == pid_) {
        ended_ = true;
        return WaitResult::Ended;
      }
      if (got < 0 && errno != EINTR) {
        waitError_ = strerror(errno);
        return WaitResult::Failed;
      }
      if (millis < 0 || got < 0) continue;
      const auto now = std::chrono::steady_clock::now();
      if (now >= deadline) return WaitResult::Running;
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(POLL_INTERVAL,
                                                        deadline - now));
    }
  }

  std::string waitErrorText() override { return waitError_; }

  uint32_t exitCode() override {
    if (WIFEXITED(status_)) return static_cast<uint32_t>(WEXITSTATUS(status_));
    if (WIFSIGNALED(status_))
      return 128u + static_cast<uint32_t>(WTERMSIG(status_));
    return 0;
  }

 private:
  pid_t pid_;
  int status_ = 0;
  bool ended_ = false;
  std::string waitError_;
};

// Writes all of `data` to `fd`; used by the child after fork, so it keeps
// to async-signal-safe calls.
void writeAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t done = write(fd, p, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return;
    p += done;
    size -= static_cast<size_t>(done);
  }
}

}  // namespace

ChildStartResult PosixPlatform::startChild(const ChildStart& start) {
  ChildStartResult result;
  std::vector<std::string> words = start.arguments;
  if (words.empty() || words[0].empty()) {
    result.errorText = "The command line names no program.";
    return result;
  }
  // Everything the child needs is prepared before fork.
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const char* dir = start.workingDir ? start.workingDir->c_str() : nullptr;

  // Exec closes the write end; anything read from it is a failure report.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    result.errorText = strerror(errno);
    return result;
  }
  // The child writes to the same descriptors: what the launcher wrote must
  // come first.
  fflush(stdout);
  fflush(stderr);

  // Standard output and error are descriptors 1 and 2 either way: after
  // -log they are the log file, otherwise the launcher's own.
  pid_t pid = fork();
  if (pid < 0) {
    result.errorText = strerror(errno);
    close(report[0]);
    close(report[1]);
    return result;
  }
  if (pid == 0) {
    close(report[0]);
    StartFailure failure{0, 0};
    if (dir && chdir(dir) != 0) {
      failure.error = errno;
    } else {
      execvp(argv[0], argv.data());
      failure.stage = 1;
      failure.error = errno;
    }
    writeAll(report[1], &failure, sizeof failure);
    _exit(127);
  }

  close(report[1]);
  StartFailure failure{0, 0};
  size_t got = 0;
  while (got < sizeof failure) {
    ssize_t n = read(report[0], reinterpret_cast<char*>(&failure) + got,
                     sizeof failure - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(report[0]);

  if (got == 0) {
    result.child = std::make_unique<PosixChild>(pid);
    return result;
  }
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (got < sizeof failure) {
    result.errorText = "The program could not be started.";
  } else if (failure.stage == 0) {
    result.errorText = std::string(strerror(failure.error)) +
                       " (working directory " + dir + ")";
  } else {
    result.errorText = strerror(failure.error);
  }
  return result;
}

}  // namespace tarvik
