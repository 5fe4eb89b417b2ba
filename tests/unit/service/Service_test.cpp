// The service launcher over the fake platform: what install refuses and
// makes, how the service ends, stops and restarts (on the fake clock), and
// how its log rolls.
#include <gtest/gtest.h>

#include <map>

#include "Tarvik.h"
#include "fakes/LauncherTest.h"
#include "service/RollingLog.h"
#include "service/ServiceWords.h"
#include "service/SystemdUnit.h"

namespace tarvik {
namespace {

constexpr const char LAUNCHER[] = "C:\\Apps\\appd.exe";
constexpr const char SERVICE_CONFIG[] = "C:\\Apps\\appd.config";
constexpr const char JAVA[] = "C:\\jre\\bin\\java.exe";
constexpr const char LINUX_LAUNCHER[] = "/opt/app/appd";
constexpr const char UNIT[] = "/etc/systemd/system/appd.service";

class ServiceTest : public LauncherTest {
 protected:
  ServiceTest() {
    opt.kind = LauncherKind::Console;
    opt.serviceLauncher = true;
    os.cwd = "C:\\Apps";
    os.files[LAUNCHER] = "MZ";
    os.files[JAVA] = "MZ";
    os.files["C:\\Apps\\lib\\app.jar"] = "PK";
    os.directories.insert("C:\\Apps\\lib");
    setBeforeExit(nullptr);
  }
  ~ServiceTest() override { setBeforeExit(nullptr); }

  // A fresh launch of the service launcher for the next row, on the
  // fake clock's start.
  void freshLaunch() {
    resetLaunchState();
    opt.kind = LauncherKind::Console;
    opt.serviceLauncher = true;
    os.serviceReports.clear();
    os.childSignals.clear();
    os.started.clear();
    os.installedServices.clear();
    os.err.clear();
    os.clock = 0;
  }

  void configure(const std::string& lines) {
    os.files[SERVICE_CONFIG] = "mainclass App\njavapath " + std::string(JAVA) +
                       "\naddjars lib\n" + lines;
  }
  // The launcher as /opt/app/appd on Linux, its configuration beside it.
  void onLinux() {
    os.conv = PlatformConventions::posix();
    os.cwd = "/opt/app";
    os.files[LINUX_LAUNCHER] = "ELF";
    os.files["/jre/bin/java"] = "ELF";
    os.files["/opt/app/appd.config"] = "mainclass App\njavapath /jre/bin/java\n";
  }
  int run(std::vector<std::string> words, const std::string& launcher = LAUNCHER) {
    words.insert(words.begin(), launcher);
    int result = kReturned;
    const int code = exitCodeOf([&] { result = runLauncher(words); });
    return code == kReturned ? result : code;
  }
  // The states the service reported, with the code of each stop.
  std::vector<std::string> reports() const {
    std::vector<std::string> states;
    for (const FakePlatform::ServiceReport& r : os.serviceReports) {
      std::string name = r.state == ServiceState::StartPending  ? "starting"
                         : r.state == ServiceState::Running     ? "running"
                         : r.state == ServiceState::StopPending ? "stopping"
                                                                : "stopped";
      if (r.state == ServiceState::Stopped) name += " " + std::to_string(r.exitCode);
      if (states.empty() || states.back() != name) states.push_back(name);
    }
    return states;
  }
};

// install makes nothing of files that others may change, names each, and
// needs the rights to do it.
TEST_F(ServiceTest, InstallRefusesWhatOthersMayChange) {
  const struct {
    const char* changeable;
    bool administrator;
    int code;
    const char* named;
  } rows[] = {
      {nullptr, true, 0, nullptr},
      {LAUNCHER, true, SERVICE_REFUSED_EXIT_CODE, "the launcher C:\\Apps\\appd.exe"},
      {SERVICE_CONFIG, true, SERVICE_REFUSED_EXIT_CODE, "the configuration C:\\Apps\\appd.config"},
      {"C:\\Apps\\base.config", true, SERVICE_REFUSED_EXIT_CODE,
       "the configuration C:\\Apps\\base.config"},
      {"C:\\Apps\\lib\\app.jar", true, SERVICE_REFUSED_EXIT_CODE,
       "the file C:\\Apps\\lib\\app.jar in the class path folder C:\\Apps\\lib can be changed"},
      {"C:\\Apps\\lib", true, SERVICE_REFUSED_EXIT_CODE, "the class path folder C:\\Apps\\lib"},
      {JAVA, true, SERVICE_REFUSED_EXIT_CODE, "the Java executable C:\\jre\\bin\\java.exe"},
      {nullptr, false, SERVICE_NO_RIGHTS_EXIT_CODE, "needs an administrator's rights"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.changeable ? row.changeable : "nothing");
    freshLaunch();
    os.othersMayChange.clear();
    os.files["C:\\Apps\\base.config"] = "argument from-base\n";
    configure("include base.config\n");
    if (row.changeable) os.othersMayChange[row.changeable] = "BUILTIN\\Users";
    os.administrator = row.administrator;
    EXPECT_EQ(run({"install"}), row.code);
    EXPECT_EQ(os.installedServices.size(), row.code == 0 ? 1u : 0u);
    if (row.named) {
      EXPECT_NE(os.err.find(row.named), std::string::npos) << os.err;
    }
    if (row.code == 0) {
      EXPECT_EQ(os.err, "");
    }
  }
}

// Without a runtime there is nothing to check, and no service to make.
TEST_F(ServiceTest, InstallRefusesWhenNoRuntimeIsFound) {
  os.files[SERVICE_CONFIG] = "mainclass App\n";
  EXPECT_EQ(run({"install"}), SERVICE_REFUSED_EXIT_CODE);
  EXPECT_TRUE(os.installedServices.empty());
  EXPECT_NE(os.err.find("no Java runtime"), std::string::npos) << os.err;
}

// Uninstall stops a running service first and waits for its end, as
// systemd's disable --now does.
TEST_F(ServiceTest, UninstallStopsTheServiceFirst) {
  configure("");
  os.serviceStatus.state = ServiceState::Stopped;
  os.serviceOrigins["appd"].madeBy = "tarvikd";
  EXPECT_EQ(run({"uninstall"}), 0);
  EXPECT_EQ(os.serviceCalls, (std::vector<std::string>{"origin appd", "stop appd", "query appd",
                                                       "uninstall appd"}));
}

// What the service manager is given: the quoted command, the system's
// account names, the start type and the dependencies; a user account needs
// its password.
TEST_F(ServiceTest, InstallGivesTheManagerTheConfiguredService) {
  const struct {
    const char* lines;
    const char* account;
    ServiceStartType type;
    int code;
  } rows[] = {
      {"", "LocalSystem", ServiceStartType::Automatic, 0},
      {"serviceAccount LocalService\nserviceStartType delayed\n",
       "NT AUTHORITY\\LocalService", ServiceStartType::Delayed, 0},
      {"serviceAccount NetworkService\nserviceStartType MANUAL\n",
       "NT AUTHORITY\\NetworkService", ServiceStartType::Manual, 0},
      {"serviceAccount NT SERVICE\\appd\n", "NT SERVICE\\appd", ServiceStartType::Automatic, 0},
      {"serviceAccount .\\alice\n", nullptr, ServiceStartType::Automatic,
       SERVICE_REFUSED_EXIT_CODE},
      {"serviceStartType sometimes\n", "LocalSystem", ServiceStartType::Automatic, 0},
  };
  os.files["C:\\Program Files\\App\\appd.exe"] = "MZ";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.lines);
    freshLaunch();
    os.files["C:\\Program Files\\App\\appd.config"] =
        std::string("mainclass App\njavapath ") + JAVA + "\nserviceDependsOn Tcpip\n" + row.lines;
    int result = kReturned;
    const int code = exitCodeOf([&] {
      result = runLauncher({"C:\\Program Files\\App\\appd.exe", "install"});
    });
    EXPECT_EQ(code == kReturned ? result : code, row.code);
    if (row.code != 0) continue;
    ASSERT_EQ(os.installedServices.size(), 1u);
    const ServiceDefinition& made = os.installedServices[0];
    EXPECT_EQ(made.commandLine, "\"C:\\Program Files\\App\\appd.exe\"");
    EXPECT_EQ(made.account, row.account);
    EXPECT_EQ(made.startType, row.type);
    EXPECT_EQ(made.dependencies, std::vector<std::string>{"Tcpip"});
    EXPECT_EQ(made.name, "appd");
    EXPECT_EQ(made.stopTimeoutMillis, 20000u);
  }
}

// install takes the place of a service only when tarvikd made it (its mark,
// or an earlier install's command: this very launcher), or with --replace;
// uninstall removes only such a one, and stops no other.
TEST_F(ServiceTest, OnlyWhatTarvikdMadeIsReplacedOrRemoved) {
  const struct {
    std::vector<std::string> words;
    const char* command;  // the service there; none when null
    const char* madeBy;
    int code;
  } rows[] = {
      {{"install"}, nullptr, "", 0},
      {{"install"}, "\"C:\\Elsewhere\\appd.exe\"", "tarvikd", 0},
      {{"install"}, "\"c:\\apps\\APPD.exe\"", "", 0},
      {{"install"}, "\"C:\\Apps\\appd.exe\" -k", "", SERVICE_REFUSED_EXIT_CODE},
      {{"install", "--replace"}, "\"C:\\Apps\\appd.exe\" -k", "", 0},
      {{"uninstall"}, "\"C:\\Apps\\appd.exe\"", "", 0},
      {{"uninstall"}, "svchost.exe -k appd", "someone", SERVICE_REFUSED_EXIT_CODE},
      {{"uninstall", "--replace"}, "\"C:\\Apps\\appd.exe\"", "", SERVICE_USAGE_EXIT_CODE},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.words.back() + " over " + (row.command ? row.command : "nothing"));
    freshLaunch();
    configure("");
    os.serviceOrigins.clear();
    os.serviceCalls.clear();
    os.serviceStatus.state = ServiceState::Stopped;
    if (row.command) {
      os.serviceOrigins["appd"].commandLine = row.command;
      os.serviceOrigins["appd"].madeBy = row.madeBy;
    }
    EXPECT_EQ(run(row.words), row.code) << os.err;
    const bool installing = row.words[0] == "install";
    if (installing) {
      ASSERT_EQ(os.installedServices.size(), row.code == 0 ? 1u : 0u);
      if (row.code == 0) {
        EXPECT_EQ(os.installedServices[0].madeBy, "tarvikd");
      }
    } else if (row.code == 0) {
      EXPECT_EQ(os.serviceCalls.back(), "uninstall appd");
    } else {
      EXPECT_LE(os.serviceCalls.size(), 1u) << "neither stopped nor removed";
    }
    if (row.code == SERVICE_REFUSED_EXIT_CODE) {
      EXPECT_NE(os.err.find("was not made by tarvikd"), std::string::npos) << os.err;
    }
  }
}

// The same for systemd's units: the unit's mark, or an earlier install's
// command; a unit of the same name in systemd's other folders, or a
// masked one, is another's.
TEST_F(ServiceTest, OnlyWhatTarvikdMadeIsReplacedOrRemovedOnLinux) {
  const std::string anothers = "[Service]\nExecStart=/usr/bin/other\n";
  const std::string earlier = "[Unit]\nDescription=appd\n\n[Service]\nExecStart=\"/opt/app/appd\" run\n";
  const struct {
    std::vector<std::string> words;
    std::string unit;  // none when empty
    std::string path = UNIT;
    bool masked = false;
    int code = 0;
  } rows[] = {
      {{"install"}, ""},
      {{"install"}, "# Made by tarvikd install; tarvikd uninstall removes it.\n[Service]\n"},
      {{"install"}, earlier},
      {{"install"}, anothers, UNIT, false, SERVICE_REFUSED_EXIT_CODE},
      {{"install", "--replace"}, anothers},
      {{"install"}, "", UNIT, true, SERVICE_REFUSED_EXIT_CODE},
      {{"install"}, anothers, "/lib/systemd/system/appd.service", false,
       SERVICE_REFUSED_EXIT_CODE},
      {{"install", "--replace"}, anothers, "/lib/systemd/system/appd.service"},
      {{"uninstall"}, earlier},
      {{"uninstall"}, anothers, UNIT, false, SERVICE_REFUSED_EXIT_CODE},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.words.back() + " over " + row.path + ": " + row.unit);
    freshLaunch();
    onLinux();
    os.files.erase(UNIT);
    os.notRegular.clear();
    if (!row.unit.empty() || row.masked) os.files[row.path] = row.unit;
    if (row.masked) os.notRegular.insert(row.path);
    EXPECT_EQ(run(row.words, LINUX_LAUNCHER), row.code) << os.err;
    const bool kept = os.files.count(row.path) && os.files[row.path] == row.unit;
    if (row.code != 0) {
      EXPECT_TRUE(kept) << os.files[row.path];
    } else if (row.words[0] == "install") {
      EXPECT_EQ(os.files[UNIT].rfind("# Made by tarvikd", 0), 0u) << os.files[UNIT];
    } else {
      EXPECT_FALSE(os.files.count(UNIT));
    }
  }
}

// systemctl's answers are the manual's codes, each with a line: a unit
// that is not there is not installed, a refusal of rights needs root; a
// masked unit is no unit of tarvikd's, even with --replace.
TEST_F(ServiceTest, SystemctlsAnswersAreTheManualsCodes) {
  const struct {
    std::vector<std::string> words;
    std::vector<uint32_t> systemctl;  // the exit code of each run
    int code;
    const char* said;
    bool masked = false;
  } rows[] = {
      {{"start"}, {0}, 0, ""},
      {{"start"}, {5}, SERVICE_NOT_INSTALLED_EXIT_CODE, "The service appd is not installed."},
      {{"stop"}, {4}, SERVICE_NO_RIGHTS_EXIT_CODE, "needs an administrator's rights: run it as root."},
      {{"restart"}, {1}, SERVICE_MANAGER_FAILED_EXIT_CODE,
       "Restarting the service appd failed: systemctl ended with 1"},
      {{"status"}, {3}, SERVICE_NOT_RUNNING_EXIT_CODE, ""},
      {{"install"}, {0, 1}, SERVICE_MANAGER_FAILED_EXIT_CODE,
       "Installing the service appd failed: systemctl ended with 1"},
      {{"install", "--replace"}, {}, SERVICE_REFUSED_EXIT_CODE, "It is left untouched", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.words[0] + " " + std::to_string(row.code));
    freshLaunch();
    onLinux();
    os.directories.insert("/run/systemd/system");
    os.files.erase(UNIT);
    os.planted.clear();
    if (row.masked) {
      os.files[UNIT] = "";
      os.notRegular.insert(UNIT);
      os.planted.insert(UNIT);
    }
    os.children.clear();
    for (uint32_t code : row.systemctl) {
      FakeChildScript child;
      child.exitCode = code;
      os.children.push_back(child);
    }
    EXPECT_EQ(run(row.words, LINUX_LAUNCHER), row.code);
    EXPECT_NE(os.err.find(row.said), std::string::npos) << os.err;
  }
}

// install makes no service whose command would run another file than the
// one it checked, or read another configuration.
TEST_F(ServiceTest, InstallRefusesACommandThatRunsOtherThanItChecked) {
  const struct {
    const char* folder;
    const char* options;  // TARVIK_OPTIONS
    int code;
    const char* said;
  } rows[] = {
      {"C:\\Apps", "", 0, ""},
      {"C:\\%APPS%", "", SERVICE_REFUSED_EXIT_CODE, "holds a %, which the service manager"},
      {"C:\\Apps", "-cother.config", SERVICE_REFUSED_EXIT_CODE,
       "-c names the configuration C:\\Apps\\other.config"},
      {"C:\\Apps", "-cappd.config", 0, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.folder) + " " + row.options);
    freshLaunch();
    const std::string folder = row.folder;
    os.cwd = folder;
    os.files[folder + "\\appd.exe"] = "MZ";
    for (const char* config : {"appd.config", "other.config"})
      os.files[folder + "\\" + config] = std::string("mainclass App\njavapath ") + JAVA + "\n";
    os.env["TARVIK_OPTIONS"] = row.options;
    EXPECT_EQ(run({"install"}, folder + "\\appd.exe"), row.code);
    EXPECT_EQ(os.installedServices.size(), row.code == 0 ? 1u : 0u);
    EXPECT_NE(os.err.find(row.said), std::string::npos) << os.err;
  }
}

// How the service ends: by itself with 0 or a code, or stopped by the
// manager gracefully (Ctrl-C) or, after the timeout, by ending its job.
TEST_F(ServiceTest, TheServiceEndsWithTheApplicationsCodeOrStopsGracefully) {
  const struct {
    const char* name;
    FakeChildScript child;
    int64_t stopAt;
    std::vector<std::string> signals;
    std::vector<std::string> states;
  } rows[] = {
      {"ends with 0", [] { FakeChildScript c; c.runSeconds = 30; return c; }(), -1, {},
       {"starting", "running", "stopped 0"}},
      {"ends with 3", [] { FakeChildScript c; c.runSeconds = 30; c.exitCode = 3; return c; }(),
       -1, {}, {"starting", "running", "stopped 3"}},
      {"stopped: Ctrl-C ends it",
       [] { FakeChildScript c; c.runsForever = true; c.secondsAfterInterrupt = 2; return c; }(),
       5, {"interrupt"}, {"starting", "running", "stopping", "stopped 0"}},
      {"stopped: Ctrl-C ignored, its job ended",
       [] { FakeChildScript c; c.runsForever = true; c.secondsAfterInterrupt = -1; return c; }(),
       5, {"interrupt", "terminate"}, {"starting", "running", "stopping", "stopped 0"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    freshLaunch();
    configure("serviceStopTimeout 4\n");
    os.startedAsService = true;
    os.stopRequestAt = row.stopAt;
    os.children = {row.child};
    os.cwd = "C:\\Windows\\System32";
    run({});
    EXPECT_EQ(os.childSignals, row.signals);
    EXPECT_EQ(reports(), row.states);
    ASSERT_FALSE(os.started.empty());
    EXPECT_TRUE(os.started.back().noWindow) << "the child's console is its own, hidden";
    // The service manager starts services in the system's folder; the
    // application runs in the launcher's, as under systemd.
    EXPECT_EQ(os.started.back().workingDir.value_or(os.cwd), "C:\\Apps");
    if (row.signals.size() == 2) {
      EXPECT_EQ(os.clock, 5 + 4) << "the timeout, not longer";
    }
  }
}

// The service's wait is the service's alone: a launch after it waits as
// the launcher always has.
TEST_F(ServiceTest, TheServicesWaitEndsWithTheService) {
  configure("");
  os.startedAsService = true;
  FakeChildScript child;
  child.runSeconds = 2;
  os.children = {child};
  run({});
  freshLaunch();
  opt.serviceLauncher = false;
  os.children = {child};
  os.exitWaits.clear();
  run({});
  ASSERT_FALSE(os.exitWaits.empty());
  EXPECT_EQ(os.exitWaits.front(), -1) << "the console launcher's own unbounded wait";
}

// Restarts after failures: the delay on the fake clock, the bound in a
// row, a stop during the delay, 999 always.
TEST_F(ServiceTest, RestartsOnFailureWaitTheirDelayAndKeepTheirBound) {
  const struct {
    const char* name;
    const char* lines;
    std::vector<uint32_t> codes;
    int64_t stopAt;
    size_t starts;
    const char* end;
    int64_t seconds;  // runs of 5 s and the delays between them
  } rows[] = {
      {"no restart configured", "", {3, 0}, -1, 1, "stopped 3", 5},
      {"bound of 2", "serviceRestartDelay 10\nserviceRestartLimit 2\n", {3, 3, 3, 0}, -1, 3,
       "stopped 3", 35},
      {"recovers", "serviceRestartDelay 10\n", {3, 0}, -1, 2, "stopped 0", 20},
      {"a stop in the delay", "serviceRestartDelay 100\n", {3, 0}, 50, 1, "stopped 0", 50},
      {"999 is no failure", "", {999, 999, 0}, -1, 3, "stopped 0", 15},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    freshLaunch();
    configure(row.lines);
    os.startedAsService = true;
    os.stopRequestAt = row.stopAt;
    os.children.clear();
    for (uint32_t code : row.codes) {
      FakeChildScript child;
      child.runSeconds = 5;
      child.exitCode = code;
      os.children.push_back(child);
    }
    run({});
    EXPECT_EQ(os.started.size(), row.starts);
    EXPECT_EQ(reports().back(), row.end);
    EXPECT_EQ(os.clock, row.seconds);
  }
}

// A stop never starts the application again, restarts configured or not:
// after the manager's stop the service ends with 0; after a SIGTERM or a
// Ctrl-C that reached `run`, with the application's code.
TEST_F(ServiceTest, AStopNeverStartsTheApplicationAgain) {
  const struct {
    const char* name;
    bool asService;
    uint32_t code;  // the application's, after the stop
  } rows[] = {
      {"the manager's stop, then a failure", true, 3},
      {"the manager's stop, then 999", true, 999},
      {"SIGTERM to run, then a failure", false, 3},
      {"SIGTERM to run, then 999", false, 999},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    freshLaunch();
    configure("serviceRestartDelay 0\n");
    os.startedAsService = row.asService;
    os.stopRequestAt = row.asService ? 5 : -1;
    os.stopSignal = false;
    FakeChildScript stopped;
    stopped.runsForever = row.asService;
    stopped.interruptedExitCode = row.code;
    stopped.runSeconds = 5;
    stopped.exitCode = row.code;
    if (!row.asService) stopped.whileRunning = [this] { os.stopSignal = true; };
    os.children = {stopped, FakeChildScript()};
    const int code = run(row.asService ? std::vector<std::string>{}
                                       : std::vector<std::string>{"run"});
    EXPECT_EQ(os.started.size(), 1u);
    if (row.asService) {
      EXPECT_EQ(reports().back(), "stopped 0");
    } else {
      EXPECT_EQ(code, static_cast<int>(row.code));
    }
  }
}

// The log keeps whole lines in each file, rolls before it would pass its
// size, keeps its number of files, and keeps what an earlier run wrote. On
// a full disk a line is written whole, once, or not at all.
TEST_F(ServiceTest, TheLogRollsBySizeAndLosesNothingAtARoll) {
  const struct {
    const char* name;
    const char* earlier;
    std::vector<std::string> writes;
    std::vector<std::string> files;  // .log, .1.log, .2.log
    int64_t disk = -1;               // the bytes the disk holds
    bool lost = false;               // a line could not be written
  } rows[] = {
      {"fits", nullptr, {"a\n", "b\n"}, {"a\nb\n", "", ""}},
      {"rolls at a line end", nullptr, {"one\ntwo\nthree\n"}, {"three\n", "one\ntwo\n", ""}},
      {"oldest dropped", nullptr, {"11111111\n", "22222222\n", "33333333\n", "4\n"},
       {"4\n", "33333333\n", "22222222\n"}},
      {"a line longer than a file", nullptr, {"abcdefghijklmn"}, {"klmn", "abcdefghij", ""}},
      {"an earlier run's log kept", "old\n", {"new\n"}, {"new\n", "old\n", ""}},
      {"a full disk drops the oldest for the newest", nullptr,
       {"11111111\n", "22222222\n", "33333333\n"}, {"33333333\n", "22222222\n", ""}, 20},
      {"a full disk: the line after the room made, once", "old\n", {"aaaa\n", "bbbb\n"},
       {"aaaa\nbbbb\n", "", ""}, 12},
      {"a full disk, nothing to drop: the line not at all", nullptr, {"aaaa\n", "bbbb\n"},
       {"aaaa\n", "", ""}, 8, true},
      {"a full disk takes back the start of the line it cuts", nullptr,
       {"aa\n", "b", "bb", "b\nc\n"}, {"aa\nc\n", "", ""}, 5, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    os.files.clear();
    if (row.earlier) os.files["C:\\logs\\app.log"] = row.earlier;
    os.diskBytes = row.disk;
    RollingLog log("C:\\logs", "app", 10, 3);
    ASSERT_TRUE(log.open());
    for (const std::string& bytes : row.writes) log.write(bytes);
    EXPECT_EQ(log.close(), !row.lost);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(os.files[log.pathOf(i)], row.files[i]) << log.pathOf(i);
  }
}

// A log that cannot be rolled away (a viewer holds it open, a folder stands
// at the next name) is never emptied, nor an older one replaced: the log
// goes on at its end, or, when it cannot be written either, in a file of a
// fresh name, after a line that says so; so does a log whose name is
// refused as it rolls (a link planted there).
TEST_F(ServiceTest, ALogThatCannotRollGoesOnAndLosesNothing) {
  auto rolled = [](const std::string& why) {
    return "The log C:\\logs\\app.log cannot be rolled (" + why + "): ";
  };
  const std::string held = rolled("C:\\logs\\app.log cannot be renamed C:\\logs\\app.1.log");
  const std::string goesOn = "it goes on at its end.\n";
  const struct {
    const char* name;
    bool held;
    const char* folder;
    bool unwritable;
    bool plantedAsItRolls;
    const char* older;  // .1.log
    const char* earlier;
    const char* writes;
    std::string log;
    std::string next;  // .1.log after
    std::string elsewhere;
  } rows[] = {
      {"held open, an earlier run's log", true, nullptr, false, false, nullptr, "old\n", "new\n",
       "old\n" + held + goesOn + "new\n", "", ""},
      {"a folder at .1.log", false, "C:\\logs\\app.1.log", false, false, nullptr, "old\n",
       "new\n", "old\n" + rolled("C:\\logs\\app.1.log is a folder") + goesOn + "new\n", "", ""},
      {"a folder at .2.log", false, "C:\\logs\\app.2.log", false, false, "older\n", "old\n",
       "new\n",
       "old\n" + rolled("C:\\logs\\app.1.log cannot be renamed C:\\logs\\app.2.log") + goesOn +
           "new\n",
       "older\n", ""},
      {"held open as it rolls", true, nullptr, false, false, nullptr, nullptr, "one\ntwo\nthree\n",
       "one\ntwo\n" + held + goesOn + "three\n", "", ""},
      {"held open and not writable", true, nullptr, true, false, nullptr, "old\n", "new\n", "old\n",
       "", held + "it cannot be written either, and the log goes on in C:\\logs\\app-"},
      {"a link planted as it rolls", false, nullptr, false, true, nullptr, nullptr,
       "one\ntwo\nnew\n", "", "one\ntwo\n",
       "The service log C:\\logs\\app.log is a link to another file. It is left untouched: "
       "remove it, or name another serviceLogFolder. The log goes on in C:\\logs\\app-"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    os.files.clear();
    os.directories = {"C:\\logs"};
    os.heldOpen.clear();
    os.unwritable.clear();
    os.planted.clear();
    if (row.earlier) os.files["C:\\logs\\app.log"] = row.earlier;
    if (row.older) os.files["C:\\logs\\app.1.log"] = row.older;
    if (row.held) os.heldOpen.insert("C:\\logs\\app.log");
    if (row.folder) os.directories.insert(row.folder);
    if (row.unwritable) os.unwritable.insert("C:\\logs\\app.log");
    RollingLog log("C:\\logs", "app", 10, 3);
    ASSERT_TRUE(log.open());
    if (row.plantedAsItRolls) os.planted.insert("C:\\logs\\app.log");
    log.write(row.writes);
    EXPECT_TRUE(log.close());
    EXPECT_EQ(os.files[log.pathOf(0)], row.log);
    EXPECT_EQ(os.files[log.pathOf(1)], row.next);
    std::string elsewhere;
    for (const auto& file : os.files)
      if (file.first.rfind("C:\\logs\\app-", 0) == 0) elsewhere = file.second;
    EXPECT_EQ(elsewhere.substr(0, row.elsewhere.size()), row.elsewhere);
    EXPECT_EQ(elsewhere.empty(), row.elsewhere.empty()) << elsewhere;
    if (!row.elsewhere.empty()) {
      EXPECT_EQ(elsewhere.substr(elsewhere.size() - 10), ".log.\nnew\n") << elsewhere;
    }
  }
}

// A link planted at the log's name is left untouched and said once, as
// the console's one "Caption: text" line, whether the manager or systemd
// started the service.
TEST_F(ServiceTest, ALinkAtTheLogsNameIsSaidOnce) {
  const struct {
    const char* name;
    bool asService;
  } rows[] = {
      {"the Windows service", true},
      {"run under systemd", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    freshLaunch();
    configure("serviceLogFolder C:\\logs\n");
    os.directories.insert("C:\\logs");
    os.files["C:\\logs\\appd.log"] = "";
    os.planted.insert("C:\\logs\\appd.log");
    os.env["INVOCATION_ID"] = "1";
    os.startedAsService = row.asService;
    os.children = {[] { FakeChildScript c; c.runSeconds = 1; return c; }()};
    run(row.asService ? std::vector<std::string>{} : std::vector<std::string>{"run"});
    const std::string line = "The service log C:\\logs\\appd.log is a link to another file.";
    const size_t first = os.err.find(line);
    ASSERT_NE(first, std::string::npos) << os.err;
    EXPECT_EQ(os.err.find(line, first + 1), std::string::npos) << os.err;
    if (row.asService) {
      EXPECT_EQ(reports().back(), "stopped 1") << "the manager is told of the end";
    }
  }
}

// A value a service directive refuses leaves a line and the earlier value.
TEST_F(ServiceTest, RefusedDirectiveValuesKeepTheEarlierValue) {
  const struct {
    const char* line;
    const char* said;
  } rows[] = {
      {"serviceName my app", "the name may hold only letters, digits and - _ ."},
      {"serviceName ../etc", "the name may hold only letters, digits and - _ ."},
      {"serviceStopTimeout 0", "from 1 to 3600"},
      {"serviceStopTimeout 99999999999999999999", "from 1 to 3600"},
      {"serviceRestartLimit -1", "from 0 to 1000"},
      {"serviceLogSize 5000", "from 1 to 4096"},
      {"serviceStopMethod shutdown", "package.Class.method"},
      {"serviceDependsOn a;b", "the name may hold only"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    freshLaunch();
    parseDirectiveLine(row.line);
    EXPECT_NE(os.err.find("ignored: "), std::string::npos) << os.err;
    EXPECT_NE(os.err.find(row.said), std::string::npos) << os.err;
    const ServiceSettings fresh;
    EXPECT_EQ(set.service.name, fresh.name);
    EXPECT_EQ(set.service.stopTimeoutSeconds, fresh.stopTimeoutSeconds);
    EXPECT_EQ(set.service.restartLimit, fresh.restartLimit);
    EXPECT_EQ(set.service.logSizeBytes, fresh.logSizeBytes);
    EXPECT_EQ(set.service.stopMethod, fresh.stopMethod);
    EXPECT_TRUE(set.service.dependencies.empty());
  }
}

// A unit's program is one quoted word as systemd reads it: a `$` stays (the
// program's path expands none), a `%` is doubled; a path systemd runs no
// program from (a quote, a backslash, a control character, not UTF-8) is
// none.
TEST(SystemdUnitTest, TheCommandIsOneWordOfTheUnitsSyntax) {
  const struct {
    const char* path;
    const char* word;
  } rows[] = {
      {"/opt/app/appd", "\"/opt/app/appd\""},
      {"/opt/my app/appd", "\"/opt/my app/appd\""},
      {"/opt/$HOME/${HOME}/100%/appd", "\"/opt/$HOME/${HOME}/100%%/appd\""},
  };
  for (const auto& row : rows) EXPECT_EQ(unitExecutable(row.path), std::string(row.word));
  for (const char* path : {"/opt/a\nb", "/opt/a\"b", "/opt/it's", "/opt/a\\b", "/opt/a\tb",
                           "/opt/\xff"})
    EXPECT_FALSE(unitExecutable(path)) << path;
  ServiceSettings service;
  service.account = "LocalService";
  service.dependencies = {"postgresql", "network-online.target"};
  std::string problem;
  const std::optional<std::string> text =
      systemdUnitText(service, "appd", "/opt/app/appd", "/opt/app", problem);
  ASSERT_TRUE(text);
  for (const char* line : {"ExecStart=\"/opt/app/appd\" run\n", "DynamicUser=yes\n",
                           "Requires=postgresql.service network-online.target\n",
                           "SuccessExitStatus=143\n", "TimeoutStopSec=20\n", "KillMode=mixed\n",
                           "Environment=PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin\n"})
    EXPECT_NE(text->find(line), std::string::npos) << line;
}

// The unit as systemd reads it back: each value is the one meant, or the
// install is refused; never one that systemd strips, or joins to the next
// line.
TEST(SystemdUnitTest, EveryValueReadsBackAsMeant) {
  const struct {
    const char* description;
    const char* account;
    const char* folder;
    const char* refused;  // what the problem names; written when null
  } rows[] = {
      {"The 100% $HOME server", "h2", "/opt/my app", nullptr},
      {"a \\ amid, \"quoted\" 'and' ;#", ".\\h2", "/opt/100%/$x", nullptr},
      {"ends in \\\\", "LocalService", "/opt/app", "the description"},
      {"x", "h2\\", "/opt/app", "the account"},
      {" padded", "h2", "/opt/app", "the description"},
      {"x", "h2", "/opt/app ", "the folder"},
      {"x", "h2", "/opt/\xff", "the launcher's path"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.description);
    ServiceSettings service;
    service.description = row.description;
    service.account = row.account;
    const std::string launcher = std::string(row.folder) + "/appd";
    std::string problem;
    const std::optional<std::string> text =
        systemdUnitText(service, "appd", launcher, row.folder, problem);
    if (row.refused) {
      EXPECT_FALSE(text) << *text;
      EXPECT_EQ(problem.rfind(row.refused, 0), 0u) << problem;
      continue;
    }
    ASSERT_TRUE(text) << problem;
    std::map<std::string, std::string> read;
    for (const UnitSetting& setting : readUnitSettings(*text))
      read[setting.section + "." + setting.key] = setting.value;
    EXPECT_EQ(unitSpecifiersResolved(read["Unit.Description"]), std::string(row.description));
    EXPECT_EQ(read["Unit.After"], "network.target");
    EXPECT_EQ(unitSpecifiersResolved(read["Service.WorkingDirectory"]), std::string(row.folder));
    EXPECT_EQ(unitSpecifiersResolved(read["Service.User"]), std::string("h2"));
    EXPECT_EQ(unitCommandWords(read["Service.ExecStart"]),
              (std::vector<std::string>{launcher, "run"}));
    EXPECT_EQ(read["Service.KillMode"], "mixed");
  }
}

// The reader keeps systemd's rules: a line that ends in an unescaped
// backslash goes on in the next, past comments; quotes, escapes and
// specifiers in a command's words; what it cannot tell is nothing.
TEST(SystemdUnitTest, TheReaderKeepsSystemdsRules) {
  const struct {
    const char* text;
    const char* value;  // of A=
  } settings[] = {
      {"[S]\nA=x\\\n  y\n", "x   y"},
      {"[S]\nA=x\\\n# note\n; note\ny\n", "x y"},
      {"[S]\nA=x\\\\\nB=y\n", "x\\\\"},
      {"[S]\n  A =  padded \t\n", "padded"},
      {"[S]\nA=at the end\\", "at the end"},
  };
  for (const auto& row : settings) {
    const std::vector<UnitSetting> read = readUnitSettings(row.text);
    ASSERT_FALSE(read.empty()) << row.text;
    EXPECT_EQ(read[0].section + " " + read[0].key + "=" + read[0].value,
              std::string("S A=") + row.value);
  }
  const struct {
    const char* command;
    std::optional<std::vector<std::string>> words;
  } commands[] = {
      {"\"/opt/my app/appd\"  run", std::vector<std::string>{"/opt/my app/appd", "run"}},
      {"/bin/a'b c'd \\x41\\s \"\\\"\\\\\"", std::vector<std::string>{"/bin/ab cd", "A ", "\"\\"}},
      {"\"/opt/100%%\" \\101", std::vector<std::string>{"/opt/100%", "A"}},
      {"/bin/%n", std::nullopt},
      {"\"/bin/open", std::nullopt},
      {"/bin/x \\q", std::nullopt},
  };
  for (const auto& row : commands) EXPECT_EQ(unitCommandWords(row.command), row.words) << row.command;
}

}  // namespace
}  // namespace tarvik
