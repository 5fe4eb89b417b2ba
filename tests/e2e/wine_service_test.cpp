// The real tarvikd.exe under Wine, a service of Wine's service manager:
// installed, started, stopped and uninstalled through its words, with
// fakejava.exe as its java.exe or fakejvm.dll as its JVM. The service
// outlives the programs that start it: the suite keeps the prefix's
// wineserver running.
//
// Wine gives every file to the user it runs as, the administrator, and
// the Unix mode alone says who else may write it: the services live in
// the prefix's C: drive, whose folders nobody else may write (Z:\tmp may
// be written by everyone, and the install refuses what lies below it).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

// tarvikd's exit codes (src/service/ServiceWords.h).
const uint32_t REFUSED = 21;
const uint32_t NOT_INSTALLED = 24;

const std::string SERVICES_KEY = "HKLM\\System\\CurrentControlSet\\Services\\";

// The number after "FIELD :" in `sc query`'s output, or -1.
long scField(const std::string& out, const std::string& field) {
  const size_t at = out.find(field);
  if (at == std::string::npos) return -1;
  const size_t colon = out.find(':', at);
  return colon == std::string::npos ? -1 : std::strtol(out.c_str() + colon + 1, nullptr, 10);
}

bool waitForText(const std::string& path, const std::string& text, int millis) {
  for (int waited = 0; waited < millis; waited += 100) {
    if (fileExists(path) && has(readFile(path), text)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

class WineServiceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WineEnvironment& wine = WineEnvironment::get();
    wine.keepServer();
    const std::string bin = wine.unixPath("C:\\tvsvc\\jre\\bin");
    makeDirs(bin);
    makeDirs(wine.unixPath("C:\\tvsvc\\jre\\lib"));
    writeFile(bin + "/java.exe", readFile(wine.testTool("fakejava.exe")));
    writeFile(bin + "/jvm.dll", readFile(wine.testTool("fakejvm.dll")));
  }

  // C:\tvsvc\NAME\NAME.exe, a copy of tarvikd.exe, with its configuration;
  // the service's name is the launcher's. Returns the folder (Unix path).
  std::string makeService(const std::string& name, const std::string& config) {
    const std::string dir = wine.unixPath(folder(name));
    makeDirs(dir);
    wine.installLauncher(dir, name + ".exe", "tarvikd.exe");
    writeFile(dir + "/" + name + ".config", config);
    return dir;
  }
  static std::string folder(const std::string& name) { return "C:\\tvsvc\\" + name; }

  RunResult word(const std::string& name, const std::string& word) {
    return wine.runWine({folder(name) + "\\" + name + ".exe", word}, wine.unixPath(folder(name)));
  }

  std::string scQuery(const std::string& name) { return wine.runWine({"sc", "query", name}).out; }

  // `sc query` once the service is STOPPED (within `seconds`).
  std::string waitStopped(const std::string& name, int seconds) {
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    std::string out = scQuery(name);
    while (scField(out, "STATE") != 1 && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      out = scQuery(name);
    }
    return out;
  }

  WineEnvironment& wine = WineEnvironment::get();
};

// `sc qc` prints nothing under Wine (its QueryServiceConfig answers no
// dependencies either): the service's key tells what the manager keeps.
TEST_F(WineServiceTest, AnInstallShowsAsConfiguredAReinstallChangesItAndUninstallRemovesIt) {
  struct Case {
    const char* config;
    std::vector<std::string> shown;
    std::vector<std::string> gone;
  };
  const std::string common = "mainclass app.Main\njavapath C:\\tvsvc\\jre\\bin\\java.exe\n";
  const Case cases[] = {
      {"serviceDisplayName Tarvik Gamma\nserviceDescription The gamma service\n"
       "serviceStartType manual\nserviceAccount LocalService\n"
       "serviceDependsOn PlugPlay\nserviceDependsOn RpcSs\nserviceStopTimeout 7\n",
       {"DisplayName    REG_SZ    Tarvik Gamma", "Description    REG_SZ    The gamma service",
        "Start    REG_DWORD    0x3", "ObjectName    REG_SZ    NT AUTHORITY\\LocalService",
        "DependOnService    REG_MULTI_SZ    PlugPlay\\0RpcSs",
        "ImagePath    REG_SZ    \"C:\\tvsvc\\gamma\\gamma.exe\"", "MadeBy    REG_SZ    tarvikd",
        "PreshutdownTimeout    REG_DWORD    0x1b58"},
       {}},
      {"serviceStartType automatic\n",
       {"DisplayName    REG_SZ    gamma", "Start    REG_DWORD    0x2",
        "ObjectName    REG_SZ    LocalSystem"},
       {"PlugPlay", "Tarvik Gamma", "The gamma service"}},
  };
  for (const Case& c : cases) {
    makeService("gamma", common + c.config);
    const RunResult installed = word("gamma", "install");
    ASSERT_EQ(installed.exitCode, 0u) << installed.err;
    const std::string key = wine.runWine({"reg", "query", SERVICES_KEY + "gamma"}).out;
    for (const std::string& line : c.shown) EXPECT_TRUE(has(key, line)) << line << "\n" << key;
    for (const std::string& text : c.gone) EXPECT_FALSE(has(key, text)) << text << "\n" << key;
    EXPECT_EQ(scField(scQuery("gamma"), "STATE"), 1);
  }
  EXPECT_EQ(word("gamma", "uninstall").exitCode, 0u);
  EXPECT_NE(wine.runWine({"reg", "query", SERVICES_KEY + "gamma"}).exitCode, 0u);
  EXPECT_EQ(word("gamma", "status").exitCode, NOT_INSTALLED);
}

// A service that tarvikd did not make (sc's, here) is neither changed nor
// removed, until install --replace puts tarvikd's in its place. One an
// earlier tarvikd made, without the mark, is known by its command.
TEST_F(WineServiceTest, AServiceTarvikdDidNotMakeIsLeftAsItIsUntilReplaced) {
  const std::string dir = makeService("zeta", "mainclass app.Main\n"
                                              "javapath C:\\tvsvc\\jre\\bin\\java.exe\n");
  const std::string other = "C:\\windows\\system32\\cmd.exe /c exit";
  ASSERT_EQ(wine.runWine({"sc", "create", "zeta", "binPath=", other}).exitCode, 0u);
  const struct {
    std::vector<std::string> words;
    uint32_t code;
    const char* command;  // the service's afterwards
    bool unmarked = false;
  } steps[] = {
      {{"install"}, REFUSED, "cmd.exe"},
      {{"uninstall"}, REFUSED, "cmd.exe"},
      {{"install", "--replace"}, 0, "zeta.exe"},
      {{"install"}, 0, "MadeBy    REG_SZ    tarvikd", true},
  };
  for (const auto& step : steps) {
    if (step.unmarked)
      wine.runWine({"reg", "delete", SERVICES_KEY + "zeta", "/v", "MadeBy", "/f"});
    std::vector<std::string> command = {folder("zeta") + "\\zeta.exe"};
    command.insert(command.end(), step.words.begin(), step.words.end());
    const RunResult r = wine.runWine(command, dir);
    EXPECT_EQ(r.exitCode, step.code) << step.words.back() << ": " << r.err;
    const std::string key = wine.runWine({"reg", "query", SERVICES_KEY + "zeta"}).out;
    EXPECT_TRUE(has(key, step.command)) << step.words.back() << "\n" << key;
  }
  EXPECT_EQ(word("zeta", "uninstall").exitCode, 0u);
  EXPECT_EQ(word("zeta", "status").exitCode, NOT_INSTALLED);
}

TEST_F(WineServiceTest, AnInstallIsRefusedWhenOthersMayChangeWhatTheServiceRuns) {
  struct Case {
    const char* name;
    const char* opened;  // made writable by all, in the service's folder
    const char* said;
  };
  const Case cases[] = {
      {"delta", "delta.config", "C:\\tvsvc\\delta\\delta.config can be changed by Everyone,"},
      {"epsilon", ".", "C:\\tvsvc\\epsilon\\epsilon.exe can be changed by Everyone "
                       "(C:\\tvsvc\\epsilon)"},
  };
  for (const Case& c : cases) {
    const std::string dir = makeService(c.name, "mainclass app.Main\n"
                                                "javapath C:\\tvsvc\\jre\\bin\\java.exe\n");
    ASSERT_EQ(std::system(("chmod o+w " + shellQuoted(dir + "/" + c.opened)).c_str()), 0);
    const RunResult refused = word(c.name, "install");
    EXPECT_EQ(refused.exitCode, REFUSED) << c.name;
    EXPECT_TRUE(has(refused.err, c.said)) << refused.err;
    EXPECT_EQ(word(c.name, "status").exitCode, NOT_INSTALLED) << c.name;
  }
}

// Each service runs until it ends by itself or, with `stop`, until it is
// asked to once `readyText` stands in its file `ready`.
TEST_F(WineServiceTest, ARunEndsAsTheApplicationOrTheStopSaysAndTheManagerShowsIt) {
  struct Case {
    const char* name;
    const char* config;
    bool stop;
    const char* readyText;
    long win32ExitCode;
    long serviceExitCode;
    int javaRuns;
    // In the named file of the service's folder.
    std::vector<std::pair<std::string, std::string>> found;
    // From the stop word to STOPPED; below the stop timeout when the
    // application heeded the stop.
    double minStopSeconds, maxStopSeconds;
  };
  const std::string java =
      "javapath C:\\tvsvc\\jre\\bin\\java.exe\n"
      "setenv FAKEJAVA_RECORD=C:\\tvsvc\\$NAME\\record\n"
      "setenv FAKEJAVA_READY=C:\\tvsvc\\$NAME\\ready\n";
  const std::string jvm =
      "javalib C:\\tvsvc\\jre\\bin\\jvm.dll\n"
      "setenv FAKEJVM_RECORD=C:\\tvsvc\\$NAME\\ready\n"
      "setenv FAKEJVM_MAIN_WAITS=1\nsetenv FAKEJVM_STOP_METHOD=shutdown\n";
  const Case cases[] = {
      {"graceful",
       "setenv FAKEJAVA_CTRL_EXIT=0\nsetenv FAKEJAVA_SLEEP_MS=60000\n"
       "setenv FAKEJAVA_PRINT=hello from the application\nserviceStopTimeout 30\n",
       true, "", 0, 0, 1,
       {{"ready.ctrl", "ctrl 0"},
        {"logs/graceful.log", "hello from the application\nhello from the application "
                              "(stderr)\nStopping: the application is sent Ctrl-C.\n"}},
       0, 25},
      {"deaf", "setenv FAKEJAVA_CTRL_EXIT=ignore\nsetenv FAKEJAVA_SLEEP_MS=60000\n"
               "serviceStopTimeout 2\n",
       true, "", 0, 0, 1,
       {{"ready.ctrl", "ctrl 0"}, {"logs/deaf.log", "did not end within 2 seconds"}}, 2, 15},
      {"failing", "setenv FAKEJAVA_EXIT=3\n", false, "", 1066, 3, 1, {}, 0, 0},
      {"restarting",
       "setenv FAKEJAVA_EXIT=5\nserviceRestartDelay 0\nserviceRestartLimit 2\n", false, "",
       1066, 5, 3, {{"logs/restarting.log", "after 2 restarts in a row"}}, 0, 0},
      {"recovering",
       "setenv FAKEJAVA_EXITS=5,0\nsetenv FAKEJAVA_COUNTER=C:\\tvsvc\\recovering\\counter\n"
       "serviceRestartDelay 1\n",
       false, "", 0, 0, 2, {{"logs/recovering.log", "restart 1 of 3"}}, 0, 0},
      {"inprocess", "serviceStopMethod app.Main.shutdown\n", true, "CallStaticVoidMethod", 0, 0,
       0, {{"ready", "AttachCurrentThread\nFindClass\tapp/Main\n"
                     "GetStaticMethodID\tshutdown\t()V\nCallStaticVoidMethod\nstop\n"},
           {"ready", "main ends"}},
       0, 19},
      // System.exit(0) ends the process from the stop's thread.
      {"exiting", "", true, "CallStaticVoidMethod", 0, 0, 0,
       {{"ready", "GetStaticMethodID\texit\t(I)V\nCallStaticVoidMethod\nexit\t0\thook"}}, 0, 19},
      // In-process, 999 cannot start the VM again in the service's process,
      // nor can a new process be the service: it ends for the recovery
      // actions, and the log says why.
      {"inprocess999", "setenv FAKEJVM_EXIT_STATUS=999\n", false, "", 1066, 999, 0,
       {{"logs/inprocess999.log", "cannot be made again"}}, 0, 0},
  };
  for (const Case& c : cases) {
    const std::string name = c.name;
    const bool inProcess = name.rfind("inprocess", 0) == 0 || name == "exiting";
    std::string config = "mainclass app.Main\nserviceStartType manual\n" +
                         std::string(inProcess ? jvm : java) + c.config;
    for (size_t at; (at = config.find("$NAME")) != std::string::npos;)
      config.replace(at, 5, name);
    const std::string dir = makeService(name, config);
    const RunResult installed = word(name, "install");
    ASSERT_EQ(installed.exitCode, 0u) << name << ": " << installed.err;
    const RunResult started = word(name, "start");
    EXPECT_EQ(started.exitCode, 0u) << name << ": " << started.err;
    double stopSeconds = 0;
    std::string query;
    if (c.stop) {
      ASSERT_TRUE(waitForText(dir + "/ready", c.readyText, 20000)) << name;
      EXPECT_EQ(scField(scQuery(name), "STATE"), 4) << name;
      const auto asked = Clock::now();
      const RunResult stopped = word(name, "stop");
      EXPECT_EQ(stopped.exitCode, 0u) << name << ": " << stopped.err;
      query = waitStopped(name, 30);
      stopSeconds = std::chrono::duration<double>(Clock::now() - asked).count();
    } else {
      query = waitStopped(name, 30);
    }
    EXPECT_EQ(scField(query, "STATE"), 1) << name << "\n" << query;
    EXPECT_EQ(scField(query, "WIN32_EXIT_CODE"), c.win32ExitCode)
        << name << "\n" << query << readFile(dir + "/logs/" + name + ".log");
    EXPECT_EQ(scField(query, "SERVICE_EXIT_CODE"), c.serviceExitCode) << name << "\n" << query;
    if (c.stop) {
      EXPECT_GE(stopSeconds, c.minStopSeconds) << name;
      EXPECT_LT(stopSeconds, c.maxStopSeconds) << name;
    }
    if (!inProcess) {
      EXPECT_EQ(readFakeJavaRuns(dir + "/record").size(), size_t(c.javaRuns)) << name;
    }
    for (const auto& found : c.found)
      EXPECT_TRUE(has(readFile(dir + "/" + found.first), found.second))
          << name << ": " << found.first << ":\n" << readFile(dir + "/" + found.first);
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
