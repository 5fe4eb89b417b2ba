// The service launcher tarvikd on Linux with the machine's OpenJDK 17 and
// the small application of tests/e2e/java/service: `run` in the foreground
// and the signals that end it, the unit `install` writes and what it
// refuses, typed as a user types it.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

std::string java() { return javaHome() + "/bin/java"; }

std::string quoted(const std::string& text) { return shellQuoted(text); }

int shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string& daemonClasses() {
  static const std::string dir = [] {
    std::string classes = newCaseDir("service-java") + "/classes";
    return compileJava("tests/e2e/java/service/*.java", classes) ? classes : "";
  }();
  return dir;
}

// The application as one jar, for the rows about the class path's files.
const std::string& daemonJar() {
  static const std::string jar = [] {
    const std::string path = newCaseDir("service-jar") + "/daemon.jar";
    return shell(quoted(javaHome() + "/bin/jar") + " cf " + quoted(path) + " -C " +
                 quoted(daemonClasses()) + " .") == 0
               ? path
               : "";
  }();
  return jar;
}

std::string daemonConfig(const std::string& classPath = "addpath " + daemonClasses()) {
  return "javapath " + java() + "\nmainclass service.Daemon\n" + classPath + "\n";
}

bool waitForFile(const std::string& path, int millis) {
  for (int waited = 0; !fileExists(path) && waited < millis; waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return fileExists(path);
}

// Starts `command` through the shell as a terminal starts a command: a
// process group of its own, the signals whatever started the test ignored
// back to their defaults, standard streams to files of `dir`.
pid_t startInGroup(const std::string& command, const std::string& dir,
                   const std::string& cwd, const std::string& path = "") {
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    for (int sig : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) signal(sig, SIG_DFL);
    if (!freopen("/dev/null", "r", stdin) || !freopen((dir + "/out").c_str(), "w", stdout) ||
        !freopen((dir + "/err").c_str(), "w", stderr) || chdir(cwd.c_str()) != 0)
      _exit(126);
    if (!path.empty()) setenv("PATH", path.c_str(), 1);
    execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int waitCode(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The code of a process started in a group of its own, when it ends within
// `millis`; else -1, and its group is killed.
int waitCodeWithin(pid_t pid, int millis) {
  int status = 0;
  for (int waited = 0; waited < millis; waited += 10) {
    if (waitpid(pid, &status, WNOHANG) == pid)
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(-pid, SIGKILL);
  waitCode(pid);
  return -1;
}

// Whether systemd-analyze can judge units here (it needs no running systemd,
// but it may be missing); the reason when it cannot.
std::string whyNoVerify() {
  static const std::string why = [] {
    if (shell("command -v systemd-analyze >/dev/null 2>&1") != 0)
      return std::string("no systemd-analyze here");
    const std::string dir = newCaseDir("verify-probe");
    writeFile(dir + "/probe.service", "[Service]\nExecStart=/bin/true\n");
    if (shell("systemd-analyze verify " + quoted(dir + "/probe.service") + " >/dev/null 2>&1"))
      return std::string("systemd-analyze verify refuses even a plain unit here");
    return std::string();
  }();
  return why;
}

// The one unit file of `unitDir`; empty when there is not exactly one.
std::string theUnit(const std::string& unitDir) {
  const std::string list = newCaseDir("units") + "/list";
  shell("ls " + quoted(unitDir) + " > " + quoted(list));
  const std::string names = readFile(list);
  if (names.empty() || names.find('\n') != names.size() - 1) return "";
  return unitDir + "/" + names.substr(0, names.size() - 1);
}

// systemd-analyze's complaints about a unit; empty when it has none.
std::string verify(const std::string& unit) {
  const std::string report = newCaseDir("verify") + "/report";
  if (shell("systemd-analyze verify " + quoted(unit) + " > " + quoted(report) + " 2>&1") == 0)
    return "";
  return "refused: " + readFile(report);
}

// What systemd itself took from `unit`: its part of `systemd --test`'s dump
// (the settings as the manager holds them), run as nobody, for the test
// mode refuses root. Empty when this systemd cannot say.
std::string systemdsReading(const std::string& unit) {
  char folder[] = "/tmp/tarvik-unit-XXXXXX";
  if (!mkdtemp(folder) || chmod(folder, 0755) != 0) return "";
  const std::string name = unit.substr(unit.rfind('/') + 1);
  const std::string copy = std::string(folder) + "/" + name;
  writeFile(copy, readFile(unit));
  chmod(copy.c_str(), 0644);
  shell("SYSTEMD_UNIT_PATH=" + quoted(std::string(folder) + ":") +
        " setpriv --reuid=65534 --regid=65534 --clear-groups /lib/systemd/systemd --test "
        "--system --unit=" + quoted(name) + " --log-level=err > " + quoted(copy + ".dump") +
        " 2>/dev/null");
  const std::string dump = readFile(copy + ".dump");
  shell("rm -rf " + quoted(folder));
  const size_t start = dump.find("-> Unit " + name + ":\n");
  if (start == std::string::npos) return "";
  return dump.substr(start, dump.find("\t-> Unit ", start + 1) - start);
}

// A TCP port of the loopback that nothing listens on now.
std::string freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  const bool got = bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                   getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  close(fd);
  return got ? std::to_string(ntohs(address.sin_port)) : "19092";
}

class LinuxServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fileExists(java())) << java();
    ASSERT_FALSE(daemonClasses().empty());
  }

  // A copy of tarvikd named `name` in `folder` below a fresh case folder,
  // `config` beside it.
  static std::string install(const std::string& folder, const std::string& name,
                             const std::string& config) {
    const std::string dir = newCaseDir("service") + "/" + folder;
    makeDirs(dir);
    const std::string exe = dir + "/" + name;
    EXPECT_EQ(shell("cp " + quoted(nativeServiceLauncher()) + " " + quoted(exe)), 0);
    writeFile(exe + ".config", config);
    return exe;
  }
};

// A terminal's Ctrl-C reaches the whole group; systemd's stop is SIGTERM to
// tarvikd alone, which passes it on. Either way the shutdown hook runs and
// no Java is left.
TEST_F(LinuxServiceTest, RunEndsOnSignalsAndTheShutdownHookRuns) {
  struct Row {
    const char* what;
    int signal;
    bool toGroup;
    bool inProcess;
    int code;
  } rows[] = {
      {"Ctrl-C in a terminal", SIGINT, true, false, 130},
      {"SIGTERM to tarvikd", SIGTERM, false, false, 143},
      {"Ctrl-C in a terminal, in-process", SIGINT, true, true, 130},
      {"SIGTERM to tarvikd, in-process", SIGTERM, false, true, 143},
  };
  // A folder name a shell or a unit file would take apart unquoted.
  const std::string exe = install("it's \"$HOME\" 100%", "daemon", daemonConfig());
  const std::string inProcess =
      install("in process", "daemon", "javalib auto\n" + daemonConfig());
  for (const Row& row : rows) {
    const std::string dir = newCaseDir("run");
    const pid_t launcher = startInGroup(
        quoted(row.inProcess ? inProcess : exe) + " run " + quoted(dir) + " 'two words'", dir,
        dir);
    ASSERT_TRUE(waitForFile(dir + "/pid", 15000)) << row.what << readFile(dir + "/err");
    const pid_t javaPid = std::atoi(readFile(dir + "/pid").c_str());
    EXPECT_EQ(readFile(dir + "/args"), dir + "\ntwo words") << row.what;
    EXPECT_EQ(javaPid == launcher, row.inProcess) << row.what;
    kill(row.toGroup ? -launcher : launcher, row.signal);
    EXPECT_EQ(waitCode(launcher), row.code) << row.what << readFile(dir + "/err");
    EXPECT_EQ(readFile(dir + "/hook"), "hook ran\n") << row.what;
    EXPECT_EQ(kill(javaPid, 0), -1) << row.what << ": Java is left";
  }
}

// Started by systemd (INVOCATION_ID set) with a log folder of its own, the
// application's output goes to the log, not to the journal; when the log
// cannot be made there, the journal keeps the output, and a line says why.
TEST_F(LinuxServiceTest, UnderSystemdTheOutputGoesToItsLogFolder) {
  struct Row {
    const char* folder;
    bool made;
    const char* lines;
  } rows[] = {
      {"journal", true, ""},
      {"journal", true, "javalib auto\n"},
      {"a-file/logs", false, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.folder) + " " + row.lines);
    const std::string exe =
        install("bin", "daemon",
                row.lines + daemonConfig() + "serviceLogFolder ../" + row.folder + "\n");
    const std::string top = exe.substr(0, exe.rfind("/bin/"));
    writeFile(top + "/a-file", "");
    const std::string dir = newCaseDir("systemd-run");
    const pid_t launcher =
        startInGroup("env INVOCATION_ID=1 " + quoted(exe) + " run " + quoted(dir), dir, "/");
    ASSERT_TRUE(waitForFile(dir + "/pid", 15000)) << readFile(dir + "/err");
    const std::string log = top + "/" + row.folder + "/daemon.log";
    const std::string output = row.made ? log : dir + "/out";
    for (int i = 0; i < 1000 && !has(readFile(output), "daemon running"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(launcher, SIGTERM);
    EXPECT_EQ(waitCode(launcher), 143) << readFile(dir + "/err");
    // The shutdown hook's last words too.
    EXPECT_EQ(readFile(output), "daemon running\ndaemon stopping\n");
    EXPECT_EQ(readFile(dir + "/hook"), "hook ran\n");
    if (row.made) {
      EXPECT_EQ(readFile(dir + "/out"), "");
    } else {
      EXPECT_TRUE(has(readFile(dir + "/err"), "The log cannot be made in " + top))
          << readFile(dir + "/err");
    }
  }
}

// A folder standing at the name the last run's log would be rolled to:
// that log is not emptied, the new run goes on at its end.
TEST_F(LinuxServiceTest, ALogThatCannotRollKeepsEveryLine) {
  const std::string exe =
      install("bin", "daemon", daemonConfig() + "serviceLogFolder logs\n");
  const std::string logs = exe.substr(0, exe.rfind('/')) + "/logs";
  makeDirs(logs + "/daemon.1.log");
  writeFile(logs + "/daemon.log", "the last run's line\n");
  const std::string dir = newCaseDir("unrolled");
  const pid_t launcher =
      startInGroup("env INVOCATION_ID=1 " + quoted(exe) + " run " + quoted(dir), dir, "/");
  ASSERT_TRUE(waitForFile(dir + "/pid", 15000)) << readFile(dir + "/err");
  for (int i = 0; i < 1000 && !has(readFile(logs + "/daemon.log"), "daemon running"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  kill(launcher, SIGTERM);
  EXPECT_EQ(waitCode(launcher), 143) << readFile(dir + "/err");
  const std::string log = readFile(logs + "/daemon.log");
  EXPECT_EQ(log.rfind("the last run's line\nThe log " + logs + "/daemon.log cannot be rolled", 0),
            0u)
      << log;
  EXPECT_TRUE(has(log, "it goes on at its end.\ndaemon running\ndaemon stopping\n")) << log;
}

// Debian's H2 database as its TCP server, the service a user would make of
// it: the unit install writes, and the server run in the foreground until
// systemd's SIGTERM.
TEST_F(LinuxServiceTest, DebiansH2ServerRunsAsAService) {
  const std::string h2 = "/usr/share/java/h2.jar";
  if (!fileExists(h2)) GTEST_SKIP() << "no " << h2 << " here";
  const std::string data = newCaseDir("h2-data");
  const std::string port = freePort();
  const std::string exe = install(
      "bin", "h2-server",
      "javapath " + java() + "\nmainclass org.h2.tools.Server\naddjar " + h2 +
          "\nargument -tcp\nargument -tcpPort\nargument " + port +
          "\nargument -baseDir\nargument " + data + "\nserviceName h2-server\n");
  if (geteuid() == 0) {
    const std::string unitDir = newCaseDir("unit-dir");
    RunOptions options = RunOptions::of({"install"});
    options.env = {{"TARVIK_UNIT_DIR", unitDir}};
    RunResult r = runNative(exe, options);
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    if (whyNoVerify().empty()) {
      EXPECT_EQ(verify(unitDir + "/h2-server.service"), "");
    }
  }
  const std::string dir = newCaseDir("h2-run");
  const pid_t launcher = startInGroup(quoted(exe) + " run", dir, "/");
  const std::string running = "TCP server running at tcp://localhost:" + port;
  for (int i = 0; i < 1500 && !has(readFile(dir + "/out"), running); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(has(readFile(dir + "/out"), running)) << readFile(dir + "/out")
                                                    << readFile(dir + "/err");
  kill(launcher, SIGTERM);
  EXPECT_EQ(waitCode(launcher), 143) << readFile(dir + "/err");
}

// systemd is told of no restarts: tarvikd starts a failed application
// again itself, serviceRestartLimit times in a row, and ends with its code.
TEST_F(LinuxServiceTest, RunStartsAFailedApplicationAgain) {
  struct Row {
    const char* lines;
    int code;
    int runs;
  } rows[] = {
      {"serviceRestartDelay 0\nserviceRestartLimit 2\n", 3, 3},
      {"serviceRestartDelay 0\n", 0, 1},
      {"", 3, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lines);
    const std::string exe = install("bin", "daemon", daemonConfig() + row.lines);
    const std::string dir = newCaseDir("restarts");
    RunResult r = runNative(exe, RunOptions::of({"run", dir, "exit", std::to_string(row.code)}));
    EXPECT_EQ(r.exitCode, static_cast<uint32_t>(row.code)) << r.err;
    std::string runs;
    for (int i = 0; i < row.runs; ++i) runs += "run\n";
    EXPECT_EQ(readFile(dir + "/runs"), runs) << r.err;
  }
}

// A stop is a stop: once SIGTERM or a terminal's Ctrl-C reached tarvikd, the
// code the application then ends with, a failure too, ends the run, and no
// second Java starts.
TEST_F(LinuxServiceTest, AStopNeverStartsTheApplicationAgain) {
  struct Row {
    const char* what;
    int signal;
    bool toGroup;
  } rows[] = {
      {"SIGTERM to tarvikd", SIGTERM, false},
      {"Ctrl-C in a terminal", SIGINT, true},
  };
  const std::string exe = install("bin", "daemon", daemonConfig() + "serviceRestartDelay 0\n");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string dir = newCaseDir("stopped");
    const pid_t launcher = startInGroup(quoted(exe) + " run " + quoted(dir) + " halt 3", dir, dir);
    ASSERT_TRUE(waitForFile(dir + "/pid", 15000)) << readFile(dir + "/err");
    kill(row.toGroup ? -launcher : launcher, row.signal);
    EXPECT_EQ(waitCodeWithin(launcher, 15000), 3) << readFile(dir + "/err");
    EXPECT_EQ(readFile(dir + "/runs"), "run\n") << readFile(dir + "/err");
  }
}

// In-process (javalib) the VM cannot be made a second time in one process:
// a failure is not retried there (each try would only say that the VM
// cannot be made), the service ends with the application's code, and a
// line says why.
TEST_F(LinuxServiceTest, InProcessAFailureEndsTheService) {
  struct Row {
    const char* what;
    const char* lines;
    std::vector<std::string> words;
    int code;
  } rows[] = {
      {"main class missing", "mainclass no.such.Main\n", {}, 1},
      {"System.exit(3)", "", {"exit", "3"}, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string exe =
        install("bin", "daemon",
                "javalib auto\n" + daemonConfig() + row.lines +
                    "serviceRestartDelay 0\nserviceRestartLimit 2\n");
    const std::string dir = newCaseDir("in-process-restarts");
    std::vector<std::string> words = {"run", dir};
    words.insert(words.end(), row.words.begin(), row.words.end());
    RunResult r = runNative(exe, RunOptions::of(words));
    EXPECT_EQ(r.exitCode, static_cast<uint32_t>(row.code)) << r.err;
    EXPECT_FALSE(has(r.err, "Error creating")) << r.err;
    EXPECT_FALSE(has(r.err, "starts again")) << r.err;
    if (!row.words.empty()) {
      EXPECT_EQ(readFile(dir + "/runs"), "run\n") << r.err;
    } else {
      EXPECT_TRUE(has(r.err, "not started again")) << r.err;
    }
  }
}

// The unit's ExecStart names the launcher whatever its folder is called:
// systemd takes a space or a $ in a quoted path as it stands, a % only
// doubled. An executable's path with a quote, a backslash or bytes that are
// not UTF-8 systemd does not run at all: install refuses it (code 21) and
// writes no unit.
TEST_F(LinuxServiceTest, TheUnitInstallWritesPassesVerify) {
  if (geteuid() != 0) GTEST_SKIP() << "install needs root";
  struct Row {
    const char* folder;
    bool systemdRunsIt;
  } rows[] = {
      {"bin", true},        {"with space", true}, {"cost $HOME", true},
      {"cost ${HOME}", true}, {"100% sure", true}, {"it's", false},
      {"say \"hi\"", false}, {"back\\slash", false}, {"not UTF-8 \xff", false},
  };
  for (const Row& row : rows) {
    const std::string exe = install(row.folder, "daemon", daemonConfig());
    const std::string unitDir = newCaseDir("unit-dir");
    RunOptions options = RunOptions::of({"install"});
    options.env = {{"TARVIK_UNIT_DIR", unitDir}};
    RunResult r = runNative(exe, options);
    const std::string unit = theUnit(unitDir);
    if (!row.systemdRunsIt) {
      EXPECT_EQ(r.exitCode, 21u) << row.folder << ": " << r.err;
      EXPECT_TRUE(has(r.err, row.folder)) << row.folder << ": " << r.err;
      EXPECT_EQ(unit, "") << row.folder << ": " << readFile(unit);
      continue;
    }
    EXPECT_EQ(r.exitCode, 0u) << row.folder << ": " << r.err;
    ASSERT_NE(unit, "") << row.folder;
    const std::string text = readFile(unit);
    for (const char* line : {"SuccessExitStatus=143\n", "KillMode=mixed\n",
                             "TimeoutStopSec=20\n"})
      EXPECT_TRUE(has(text, line)) << row.folder << " " << line << text;
    if (!whyNoVerify().empty()) continue;
    EXPECT_EQ(verify(unit), "") << row.folder << "\n" << text;
  }
  if (!whyNoVerify().empty()) GTEST_SKIP() << whyNoVerify();
}

// systemd reads each value of the unit as it was meant: the description,
// the folder and the command, whatever they hold. A value it would read
// otherwise (one that ends in a backslash, after which it reads the next
// line as more of it; a folder whose last blank it strips) is refused with
// 21, and no unit is written.
TEST_F(LinuxServiceTest, SystemdReadsEachValueAsMeant) {
  if (geteuid() != 0) GTEST_SKIP() << "install needs root";
  struct Row {
    const char* folder;
    const char* description;
    bool written;
  } rows[] = {
      {"100% $HOME", "The 100% \\ $HOME \"server\" ;#", true},
      {"bin", "ends in \\", false},
      {"ends in a blank ", "x", false},
  };
  bool dumped = false;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.description);
    const std::string exe = install(
        row.folder, "daemon", daemonConfig() + "serviceDescription " + row.description + "\n");
    const std::string unitDir = newCaseDir("unit-dir");
    RunOptions options = RunOptions::of({"install"});
    options.env = {{"TARVIK_UNIT_DIR", unitDir}};
    RunResult r = runNative(exe, options);
    const std::string unit = theUnit(unitDir);
    if (!row.written) {
      EXPECT_EQ(r.exitCode, 21u) << r.err;
      EXPECT_EQ(unit, "") << readFile(unit);
      continue;
    }
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    if (whyNoVerify().empty()) {
      EXPECT_EQ(verify(unit), "");
    }
    const std::string reading = systemdsReading(unit);
    if (reading.empty()) continue;
    dumped = true;
    std::string shown;  // the launcher's path as the dump quotes a word
    for (const char c : exe) shown += c == '$' ? "\\$" : std::string(1, c);
    for (const std::string& line :
         {"Description: " + std::string(row.description), "WorkingDirectory: " +
          exe.substr(0, exe.rfind('/')), "Command Line: \"" + shown + "\" run"})
      EXPECT_TRUE(has(reading, line + "\n")) << line << "\n" << reading;
  }
  if (!dumped) GTEST_SKIP() << "this systemd has no --test to read the unit with";
}

// serviceDependsOn names a service as Windows does, or a unit as systemd
// does, with its type: either way the unit requires the unit there is.
TEST_F(LinuxServiceTest, DependenciesAreTheUnitsThereAre) {
  if (geteuid() != 0) GTEST_SKIP() << "install needs root";
  const std::string exe = install(
      "bin", "daemon",
      daemonConfig() + "serviceDependsOn systemd-journald\nserviceDependsOn dbus.service\n"
                       "serviceDependsOn network-online.target\n");
  const std::string unitDir = newCaseDir("unit-dir");
  RunOptions options = RunOptions::of({"install"});
  options.env = {{"TARVIK_UNIT_DIR", unitDir}};
  RunResult r = runNative(exe, options);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  const std::string unit = theUnit(unitDir);
  ASSERT_NE(unit, "");
  EXPECT_TRUE(has(readFile(unit),
                  "Requires=systemd-journald.service dbus.service network-online.target\n"))
      << readFile(unit);
  if (!whyNoVerify().empty()) GTEST_SKIP() << whyNoVerify();
  EXPECT_EQ(verify(unit), "");
}

// What install refuses (code 21): files of the launch that others may
// change; the line names the file.
TEST_F(LinuxServiceTest, InstallRefusesFilesOthersMayChange) {
  if (geteuid() != 0) GTEST_SKIP() << "install needs root";
  ASSERT_FALSE(daemonJar().empty());
  struct Row {
    const char* what;
    // Makes the launcher's files unsafe; returns the file to be named.
    std::string (*spoil)(const std::string& exe, const std::string& jar);
  } rows[] = {
      {"a configuration everyone may write",
       [](const std::string& exe, const std::string&) {
         chmod((exe + ".config").c_str(), 0666);
         return exe + ".config";
       }},
      {"a jar everyone may write",
       [](const std::string&, const std::string& jar) {
         chmod(jar.c_str(), 0666);
         return jar;
       }},
      {"the jar's folder another user owns",
       [](const std::string&, const std::string& jar) {
         const std::string folder = jar.substr(0, jar.rfind('/'));
         EXPECT_EQ(chown(folder.c_str(), 65534, 65534), 0);
         return folder;
       }},
      {"the Java executable through a link planted where everyone may write",
       [](const std::string& exe, const std::string& jar) {
         const std::string planted = newCaseDir("planted");
         chmod(planted.c_str(), 0777);
         EXPECT_EQ(symlink(java().c_str(), (planted + "/java").c_str()), 0);
         writeFile(exe + ".config", "javapath " + planted + "/java\nmainclass service.Daemon\n"
                                    "addjar " + jar + "\n");
         return planted;
       }},
      {"the launcher itself its group may write",
       [](const std::string& exe, const std::string&) {
         EXPECT_EQ(chown(exe.c_str(), 0, 65534), 0);
         chmod(exe.c_str(), 0775);
         return exe;
       }},
      // What the service would read later, or from inside a folder.
      {"a jar another user owns deep in a folder of jars",
       [](const std::string& exe, const std::string& jar) {
         const std::string lib = jar.substr(0, jar.rfind('/'));
         makeDirs(lib + "/sub");
         writeFile(lib + "/sub/later.jar", "PK");
         EXPECT_EQ(chown((lib + "/sub/later.jar").c_str(), 65534, 65534), 0);
         writeFile(exe + ".config", daemonConfig("addjars " + lib));
         return lib + "/sub/later.jar";
       }},
      {"an include not there yet, in a folder everyone may write",
       [](const std::string& exe, const std::string& jar) {
         const std::string shared = newCaseDir("shared");
         chmod(shared.c_str(), 0777);
         writeFile(exe + ".config", daemonConfig("addjar " + jar + "\ninclude " + shared +
                                                 "/more.config"));
         return shared + "/more.config";
       }},
      {"an agent another user owns",
       [](const std::string& exe, const std::string& jar) {
         const std::string agent = exe.substr(0, exe.rfind('/')) + "/agent.jar";
         writeFile(agent, "PK");
         EXPECT_EQ(chown(agent.c_str(), 65534, 65534), 0);
         writeFile(exe + ".config", daemonConfig("addjar " + jar +
                                                 "\nworkingDir /tmp\nvmparam -javaagent:agent.jar"));
         return agent;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string lib = newCaseDir("lib") + "/lib";
    makeDirs(lib);
    const std::string jar = lib + "/daemon.jar";
    ASSERT_EQ(shell("cp " + quoted(daemonJar()) + " " + quoted(jar)), 0);
    const std::string exe = install("bin", "daemon", daemonConfig("addjar " + jar));
    const std::string named = row.spoil(exe, jar);
    const std::string unitDir = newCaseDir("unit-dir");
    RunOptions options = RunOptions::of({"install"});
    options.env = {{"TARVIK_UNIT_DIR", unitDir}};
    RunResult r = runNative(exe, options);
    EXPECT_EQ(r.exitCode, 21u) << row.what << ": " << r.err;
    EXPECT_TRUE(has(r.err, named)) << row.what << ": " << r.err;
    EXPECT_EQ(theUnit(unitDir), "") << row.what << ": a unit was written";
  }
}

// Without root, install says so (code 22) and writes nothing.
TEST_F(LinuxServiceTest, InstallWithoutRootIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
  const std::string exe = install("bin", "daemon", daemonConfig());
  const std::string unitDir = newCaseDir("unit-dir");
  chmod(unitDir.c_str(), 0777);
  RunOptions options = RunOptions::of(
      {"--reuid=65534", "--regid=65534", "--clear-groups", exe, "install"});
  options.env = {{"TARVIK_UNIT_DIR", unitDir}};
  RunResult r = runNative("/usr/bin/setpriv", options);
  EXPECT_EQ(r.exitCode, 22u) << r.err;
  EXPECT_TRUE(has(r.err, "root")) << r.err;
  EXPECT_EQ(theUnit(unitDir), "");
}

// A user types the launcher by its name through PATH, by a relative path,
// or through a link of another folder: the unit names the launcher's own
// file, absolute, and `run` finds its configuration all the same.
TEST_F(LinuxServiceTest, TypedAsAUserTypesIt) {
  const std::string exe = install("bin", "daemon", daemonConfig());
  const std::string bin = exe.substr(0, exe.rfind('/'));
  const std::string top = bin.substr(0, bin.rfind('/'));
  const std::string links = newCaseDir("links");
  ASSERT_EQ(symlink(exe.c_str(), (links + "/daemon").c_str()), 0);
  struct Row {
    const char* what;
    std::string command;
    std::string cwd;
    std::string path;
  } rows[] = {
      {"through PATH", "daemon", links.substr(0, links.rfind('/')),
       bin + ":/usr/bin:/bin"},
      {"by a relative path", "bin/daemon", top, ""},
      {"from its folder", "./daemon", bin, ""},
      {"through a link", links + "/daemon", "/", ""},
  };
  for (const Row& row : rows) {
    const std::string dir = newCaseDir("typed");
    const pid_t launcher =
        startInGroup(row.command + " run " + quoted(dir), dir, row.cwd, row.path);
    EXPECT_TRUE(waitForFile(dir + "/pid", 15000)) << row.what << readFile(dir + "/err");
    kill(launcher, SIGTERM);
    EXPECT_EQ(waitCode(launcher), 143) << row.what << readFile(dir + "/err");
    if (geteuid() != 0) continue;
    const std::string unitDir = newCaseDir("unit-dir");
    const pid_t installer = startInGroup(
        "env TARVIK_UNIT_DIR=" + quoted(unitDir) + " " + row.command + " install", dir,
        row.cwd, row.path);
    EXPECT_EQ(waitCode(installer), 0) << row.what << readFile(dir + "/err");
    const std::string unit = theUnit(unitDir);
    ASSERT_NE(unit, "") << row.what;
    EXPECT_TRUE(has(readFile(unit), "ExecStart=\"" + exe + "\" run")) << row.what << "\n"
                                                                     << readFile(unit);
    if (whyNoVerify().empty()) {
      EXPECT_EQ(verify(unit), "") << row.what;
    }
  }
}

// singleInstance holds for the service launcher's run as for the other
// launchers: a second run, as a service and by hand at once, ends with 12
// and starts no second Java.
TEST_F(LinuxServiceTest, SingleInstanceKeepsASecondRunOut) {
  struct Row {
    const char* what;
    const char* lines;
  } rows[] = {
      {"a java child", ""},
      {"in-process", "javalib auto\n"},
  };
  for (const Row& row : rows) {
    const std::string exe = install(
        "bin", "daemon", row.lines + daemonConfig() + "singleInstance svcreview one\n");
    const std::string first = newCaseDir("first");
    const pid_t launcher = startInGroup(quoted(exe) + " run " + quoted(first), first, "/");
    ASSERT_TRUE(waitForFile(first + "/pid", 15000)) << row.what << readFile(first + "/err");
    const std::string second = newCaseDir("second");
    RunResult r = runNative(exe, RunOptions::of({"run", second}));
    EXPECT_EQ(r.exitCode, 12u) << row.what << r.err;
    EXPECT_FALSE(fileExists(second + "/pid")) << row.what << ": a second Java ran";
    kill(launcher, SIGTERM);
    EXPECT_EQ(waitCode(launcher), 143) << row.what << readFile(first + "/err");
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
