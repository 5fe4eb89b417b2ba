// Child processes on Linux: the child is given the start's words as its
// argv, the program first.
#ifdef _WIN32
#error "PosixChildProcess.cpp is for POSIX builds only"
#endif

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "os/PosixPlatform.h"

namespace tarvik {

namespace {

// How often a bounded wait looks at the child.
constexpr std::chrono::milliseconds POLL_INTERVAL(10);

// The child that signals sent to the launcher are passed on to; 0 for none.
volatile sig_atomic_t gForwardTo = 0;
// Whether a termination or an interrupt reached the launcher meanwhile.
volatile sig_atomic_t gStopSignalled = 0;

extern "C" void forwardSignal(int signal) {
  if (signal == SIGTERM || signal == SIGHUP) gStopSignalled = 1;
  const pid_t child = static_cast<pid_t>(gForwardTo);
  if (child > 0) kill(child, signal);
}

// An interrupt reaches the child from its terminal, as it reached the
// launcher: it is only noted.
extern "C" void noteInterrupt(int) { gStopSignalled = 1; }

// The launcher's signal dispositions while a child runs: interrupts
// noted and otherwise ignored (as system(3) ignores them), termination
// passed on. The child gets the launcher's own dispositions back before it
// runs the program; the launcher gets them back once the child has ended.
class SignalPlan {
 public:
  explicit SignalPlan(const ChildStart& start) {
    // Room for every signal at once: a list that grows is moved, through
    // memmove, which a launch need not bind otherwise.
    entries_.reserve(MOST_SIGNALS);
    if (start.leaveInterruptsToChild) {
      add(SIGINT, noteInterrupt);
      add(SIGQUIT, SIG_IGN);
    }
    if (start.forwardTermination) {
      add(SIGTERM, forwardSignal);
      add(SIGHUP, forwardSignal);
    }
    if (start.forwardUserSignals) {
      add(SIGUSR1, forwardSignal);
      add(SIGUSR2, forwardSignal);
    }
  }

  // Before fork: the signals are held until the child's number is known.
  void install() {
    sigset_t held;
    sigemptyset(&held);
    for (Entry& entry : entries_) sigaddset(&held, entry.signal);
    sigprocmask(SIG_BLOCK, &held, &mask_);
    for (Entry& entry : entries_) {
      struct sigaction action;
      memset(&action, 0, sizeof action);
      action.sa_handler = entry.handler;
      action.sa_flags = SA_RESTART;
      sigemptyset(&action.sa_mask);
      sigaction(entry.signal, &action, &entry.saved);
    }
  }

  // In the child after fork, and in the launcher when the child is gone.
  void restore() {
    for (Entry& entry : entries_) sigaction(entry.signal, &entry.saved, nullptr);
    sigprocmask(SIG_SETMASK, &mask_, nullptr);
  }

  // In the launcher after fork: held signals now reach the child.
  void forwardTo(pid_t child) {
    gForwardTo = child;
    sigprocmask(SIG_SETMASK, &mask_, nullptr);
  }

 private:
  struct Entry {
    int signal;
    void (*handler)(int);
    struct sigaction saved;
  };
  void add(int signal, void (*handler)(int)) {
    Entry entry;
    memset(&entry, 0, sizeof entry);
    entry.signal = signal;
    entry.handler = handler;
    entries_.push_back(entry);
  }
  static constexpr size_t MOST_SIGNALS = 6;
  std::vector<Entry> entries_;
  sigset_t mask_;
};

// What the child reports through the pipe when it cannot run the program.
struct StartFailure {
  int stage;  // 0: changing directory, 1: exec
  int error;
};

class PosixChild : public ChildProcess {
 public:
  PosixChild(pid_t pid, std::unique_ptr<SignalPlan> signals)
      : pid_(pid), signals_(std::move(signals)) {}
  // A child still running is left to run on: the launcher may end first.
  ~PosixChild() override { standDown(); }

  // Linux has no notion of a child becoming idle.
  void waitForInputIdle(uint32_t) override {}

  WaitResult waitForExit(int64_t millis) override {
    if (ended_) return WaitResult::Ended;
    // Without a bound no clock is read.
    const auto deadline =
        millis < 0 ? std::chrono::steady_clock::time_point()
                   : std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
    for (;;) {
      pid_t got = waitpid(pid_, &status_, millis < 0 ? 0 : WNOHANG);
      if (got == pid_) {
        ended_ = true;
        standDown();
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

  bool interrupt() override {
    if (ended_) return true;
    return kill(pid_, SIGINT) == 0;
  }

  void terminate() override {
    if (!ended_) kill(pid_, SIGKILL);
  }

  uint32_t exitCode() override {
    if (WIFEXITED(status_)) return static_cast<uint32_t>(WEXITSTATUS(status_));
    if (WIFSIGNALED(status_))
      return 128u + static_cast<uint32_t>(WTERMSIG(status_));
    return 0;
  }

 private:
  // Nothing more is passed on (the number may name another process now),
  // and the launcher's own dispositions are back.
  void standDown() {
    if (!signals_) return;
    gForwardTo = 0;
    signals_->restore();
    signals_.reset();
  }

  pid_t pid_;
  std::unique_ptr<SignalPlan> signals_;
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

bool PosixPlatform::stopSignalled() { return gStopSignalled != 0; }

ChildStartResult PosixPlatform::startChild(const ChildStart& start) {
  ChildStartResult result;
  const std::vector<std::string>& words = start.arguments;
  if (words.empty() || words[0].empty()) {
    result.errorText = "The command line names no program.";
    return result;
  }
  // Everything the child needs is prepared before fork. exec reads the
  // words and writes none of them.
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (const std::string& word : words)
    argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const char* dir = start.workingDir ? start.workingDir->c_str() : nullptr;
  // A relative program path names a file of the launcher's folder, as on
  // Windows, not of the child's working directory.
  std::string program = words[0];
  if (dir && program[0] != '/' && program.find('/') != std::string::npos) {
    char here[PATH_MAX];
    if (getcwd(here, sizeof here)) program = std::string(here) + "/" + program;
  }
  // Only a child that ends with the launcher asks for its number.
  const pid_t launcher = start.endsWithLauncher ? getpid() : 0;
  const int instanceFd = instanceFd_;
  const int nullFd =
      start.discardOutput ? open("/dev/null", O_RDWR | O_CLOEXEC) : -1;
  if (start.discardOutput && nullFd < 0) {
    result.errorText = strerror(errno);
    return result;
  }

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
  auto signals = std::make_unique<SignalPlan>(start);
  signals->install();

  // Standard output and error are descriptors 1 and 2 either way: after
  // -log they are the log file, otherwise the launcher's own.
  pid_t pid = fork();
  if (pid < 0) {
    result.errorText = strerror(errno);
    signals->restore();
    close(report[0]);
    close(report[1]);
    if (nullFd >= 0) close(nullFd);
    return result;
  }
  if (pid == 0) {
    close(report[0]);
    signals->restore();
    defaultSignalsForChild();
    // Asked to end with the launcher; it may have died before this.
    if (start.endsWithLauncher &&
        (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != launcher))
      _exit(127);
    // The application holds the instance lock as long as it runs.
    if (instanceFd >= 0) fcntl(instanceFd, F_SETFD, 0);
    if (nullFd >= 0)
      for (int fd = 0; fd < 3; ++fd) dup2(nullFd, fd);
    StartFailure failure{0, 0};
    if (dir && chdir(dir) != 0) {
      failure.error = errno;
    } else {
      execvp(program.c_str(), argv.data());
      failure.stage = 1;
      failure.error = errno;
    }
    writeAll(report[1], &failure, sizeof failure);
    _exit(127);
  }

  close(report[1]);
  if (nullFd >= 0) close(nullFd);
  signals->forwardTo(pid);
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
    result.child = std::make_unique<PosixChild>(pid, std::move(signals));
    return result;
  }
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  gForwardTo = 0;
  signals->restore();
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

namespace {

// Every descriptor but the standard streams closes when the new launcher
// replaces this process: the application's files, sockets and locks, and
// the instance lock, go with it.
void closeOnExecAboveStandardStreams() {
  DIR* folder = opendir("/proc/self/fd");
  if (!folder) return;
  while (const struct dirent* entry = readdir(folder)) {
    char* end = nullptr;
    const long fd = strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd <= 2) continue;
    const int flags = fcntl(static_cast<int>(fd), F_GETFD);
    if (flags >= 0) fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
  }
  closedir(folder);
}

}  // namespace

std::string PosixPlatform::restartLauncher(const std::string& workingDir) {
  // The words as the kernel keeps them from the start, each ended by NUL.
  const std::optional<std::string> line =
      readRegularFile("/proc/self/cmdline", 1 << 20).content;
  if (!line || line->empty())
    return "The launcher's own command line cannot be read.";
  std::vector<std::string> words;
  for (size_t start = 0; start < line->size();) {
    const size_t end = std::min(line->find('\0', start), line->size());
    words.push_back(line->substr(start, end - start));
    start = end + 1;
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  if (chdir(workingDir.c_str()) != 0)
    return std::string(strerror(errno)) + " (working directory " + workingDir + ")";
  fflush(nullptr);
  closeOnExecAboveStandardStreams();
  if (fileLimitKnown_) setrlimit(RLIMIT_NOFILE, &startFileLimit_);
  sigprocmask(SIG_SETMASK, &startSignalMask_, nullptr);
  execv("/proc/self/exe", argv.data());
  return strerror(errno);
}

}  // namespace tarvik
