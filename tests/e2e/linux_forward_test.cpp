// A second launch of a singleInstance application hands its arguments to
// the first, whose Java listens through tarvik-instance.jar: the native
// launcher with the machine's real OpenJDK and tests/e2e/java/forward.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

const std::string INSTANCE = "e2e forward";
// instanceEndpointName(INSTANCE): what the first and the second agree on.
const std::string ENDPOINT_NAME = "tarvik-f65a2e753e6c771d";

// A connection to the endpoint `path`; -1 with errno when refused.
int connectTo(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  const int error = errno;
  close(fd);
  errno = error;
  return -1;
}

const std::string& classesDir() {
  static const std::string dir = [] {
    std::string classes = newCaseDir("java") + "/forward";
    if (!compileJava("tests/e2e/java/forward/*.java", classes, TARVIK_INSTANCE_JAR))
      return std::string();
    return classes;
  }();
  return dir;
}

class LinuxForwardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(classesDir().empty()) << "javac failed";
    caseDir = newCaseDir("forward");
    record = caseDir + "/record";
    stop = caseDir + "/stop";
  }
  void TearDown() override {
    writeFile(stop, "");
    for (pid_t pid : started) waitpid(pid, nullptr, 0);
  }

  std::string makeApp(const std::string& extra = "") {
    return installNativeLauncher(
        caseDir, "app",
        "javapath " + javaHome() + "/bin/java\nmainclass forward.Listener\naddpath " +
            classesDir() + "\naddpath " + TARVIK_INSTANCE_JAR + "\nsingleInstance " +
            INSTANCE + "\nkeepalive false 0\n" + extra);
  }

  std::vector<std::pair<std::string, std::string>> env() {
    return {{"XDG_RUNTIME_DIR", caseDir}, {"LC_ALL", "C.UTF-8"}};
  }

  // The first launch, in the background (in-process, the launcher is the
  // Java), its standard error into caseDir/first.err; waits until it
  // listens, and returns its Java's process id.
  long startFirst(const std::string& exe) {
    const size_t before = readFile(record).size();
    pid_t pid = fork();
    if (pid == 0) {
      for (const auto& var : env()) setenv(var.first.c_str(), var.second.c_str(), 1);
      unsetenv("DISPLAY");
      if (!freopen((caseDir + "/first.out").c_str(), "w", stdout) ||
          !freopen((caseDir + "/first.err").c_str(), "a", stderr))
        _exit(126);
      execl(exe.c_str(), exe.c_str(), record.c_str(), stop.c_str(), nullptr);
      _exit(127);
    }
    started.push_back(pid);
    for (int i = 0; i < 300; ++i) {
      const std::string text = readFile(record).substr(before);
      const size_t at = text.find("pid=");
      if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
        EXPECT_TRUE(has(text, "available=true listening=true")) << text;
        return std::stol(text.substr(at + 4));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ADD_FAILURE() << "the first instance never listened: " << readFile(caseDir + "/first.err");
    return 0;
  }

  RunResult second(const std::string& exe, const std::vector<std::string>& args) {
    RunOptions options = RunOptions::of(args);
    options.env = env();
    options.cwd = caseDir;
    return runWithoutDesktop(exe, options);
  }

  // Waits until the record holds `count` lines of handed arguments.
  std::string handed(size_t count) {
    std::string lines;
    for (int i = 0; i < 100; ++i) {
      lines.clear();
      size_t found = 0;
      std::string text = readFile(record);
      for (size_t at = 0; (at = text.find('[', at)) != std::string::npos;) {
        const size_t end = text.find('\n', at);
        lines += text.substr(at, end - at + 1);
        ++found;
        at = end;
      }
      if (found >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return lines;
  }

  std::string caseDir, record, stop;
  std::vector<pid_t> started;
};

const std::string HANDED_OVER = "singleInstance " + INSTANCE +
                                ": the application runs already; the arguments were "
                                "handed over to it\n";

// In both modes the words reach the listener exactly, and the second
// launch ends with 0.
TEST_F(LinuxForwardTest, ArgumentsReachTheListenerAsTheyWere) {
  struct Case {
    std::string name;
    std::string config;
  } cases[] = {
      {"child", ""},
      {"in-process", "javalib " + javaHome() + "/lib/server/libjvm.so\n"},
  };
  for (const Case& c : cases) {
    SetUp();
    const std::string exe = makeApp(c.config);
    startFirst(exe);
    RunResult r = second(exe, {"a", "b", "c d"});
    EXPECT_EQ(0u, r.exitCode) << c.name << r.err;
    EXPECT_EQ(r.err, HANDED_OVER) << c.name;
    EXPECT_EQ(handed(1), "[a][b][c d] in " + caseDir + "\n") << c.name;
    TearDown();
  }
}

// The folder is the user's alone; another user is refused by the system.
TEST_F(LinuxForwardTest, AnotherUserCannotConnect) {
  startFirst(makeApp());
  const std::string folder = caseDir + "/tarvik";
  struct stat info;
  ASSERT_EQ(0, stat(folder.c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 07777);
  EXPECT_EQ(geteuid(), info.st_uid);
  if (geteuid() != 0) GTEST_SKIP() << "only root can become another user";
  const std::string endpoint = folder + "/" + ENDPOINT_NAME;
  ASSERT_TRUE(fileExists(endpoint));
  pid_t pid = fork();
  if (pid == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    if (connectTo(endpoint) >= 0) _exit(0);
    _exit(errno == EACCES ? 1 : 3);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(1, WEXITSTATUS(status)) << "0: connected; 3: another error than EACCES";
}

// Ten second launches at once: each is taken, none lost.
TEST_F(LinuxForwardTest, TenSecondLaunchesAtOnceAllArrive) {
  const std::string exe = makeApp();
  startFirst(exe);
  std::vector<std::future<RunResult>> launches;
  for (int i = 0; i < 10; ++i)
    launches.push_back(std::async(std::launch::async, [&, i] {
      return second(exe, {"n" + std::to_string(i)});
    }));
  for (auto& launch : launches) {
    RunResult r = launch.get();
    EXPECT_EQ(0u, r.exitCode) << r.err;
  }
  const std::string lines = handed(10);
  for (int i = 0; i < 10; ++i)
    EXPECT_TRUE(has(lines, "[n" + std::to_string(i) + "] in ")) << lines;
}

// Ten launches at once with none running (ten files opened together):
// one becomes the first and the others wait for its Java to listen, so
// every word arrives.
TEST_F(LinuxForwardTest, TenLaunchesAtOnceWithNoneRunningLoseNoWord) {
  const std::string exe = makeApp();
  std::vector<std::future<RunResult>> launches;
  for (int i = 0; i < 10; ++i)
    launches.push_back(std::async(std::launch::async, [&, i] {
      RunOptions options = RunOptions::of({record, stop, "n" + std::to_string(i)});
      options.env = env();
      options.cwd = caseDir;
      return runWithoutDesktop(exe, options);
    }));
  int firsts = 0;
  for (auto& launch : launches) {
    RunResult r = launch.get();
    EXPECT_EQ(0u, r.exitCode) << r.err;
    if (!has(r.err, "runs already")) ++firsts;
  }
  EXPECT_EQ(1, firsts);
  const std::string lines = handed(9);
  size_t count = 0;
  for (size_t at = 0; (at = lines.find('\n', at)) != std::string::npos; ++at) ++count;
  EXPECT_EQ(9u, count) << lines;
}

// A first instance killed leaves its endpoint and lock file behind; the
// next launch becomes the first all the same, and listens.
TEST_F(LinuxForwardTest, AKilledFirstInstanceLeavesNothingInTheWay) {
  const std::string exe = makeApp();
  const long java = startFirst(exe);
  ASSERT_GT(java, 0);
  ASSERT_EQ(0, kill(static_cast<pid_t>(java), SIGKILL));
  const std::string endpoint = caseDir + "/tarvik/" + ENDPOINT_NAME;
  for (int i = 0; i < 100 && kill(static_cast<pid_t>(java), 0) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(fileExists(endpoint)) << "the killed Java left no endpoint to test";
  startFirst(exe);
  RunResult r = second(exe, {"again"});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_EQ(handed(1), "[again] in " + caseDir + "\n");
}

// A message that is not the launcher's is dropped with a line on the
// listening Java's standard error, and takes nothing.
TEST_F(LinuxForwardTest, ABadMessageIsDroppedWithALine) {
  const std::string exe = makeApp();
  startFirst(exe);
  const int fd = connectTo(caseDir + "/tarvik/" + ENDPOINT_NAME);
  ASSERT_GE(fd, 0) << strerror(errno);
  const std::string bad("TVKA\x01\x7f\0\0\0", 9);
  ASSERT_EQ(static_cast<ssize_t>(bad.size()), write(fd, bad.data(), bad.size()));
  char answer = 0;
  EXPECT_EQ(0, read(fd, &answer, 1)) << "no acknowledgement";
  close(fd);
  EXPECT_TRUE(has(readFile(caseDir + "/first.err"),
                  "tarvik-instance: a message was dropped: longer than 1048576 bytes\n"))
      << readFile(caseDir + "/first.err");
  // The listener goes on taking the launcher's.
  RunResult r = second(exe, {"after"});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_EQ(handed(1), "[after] in " + caseDir + "\n");
}

// The manual's worked example builds against the library as it says.
TEST(LinuxForwardExampleTest, TheViewerOfTheManualCompiles) {
  EXPECT_TRUE(compileJava("examples/forward/*.java", newCaseDir("viewer") + "/classes",
                          TARVIK_INSTANCE_JAR));
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
