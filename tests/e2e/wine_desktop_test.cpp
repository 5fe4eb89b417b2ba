// The real tarvik.exe under Wine as a desktop application: one instance per
// singleInstance name, the download page of javaDownloadUrl opened through
// the shell, and the taskbar identity of appUserModelId. fakejava.exe stands in for javaw.exe (keeping a
// window) and for the browser the https protocol names.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

// Tries `condition` until it holds or `millis` have passed; each try once.
bool waitFor(const std::function<bool()>& condition, int millis) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(millis);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

class WineDesktopTest : public ::testing::Test {
 protected:
  // A launcher tool.exe with `config` beside it, in a fresh folder.
  std::string makeApp(const std::string& name, const std::string& config) {
    dir = newCaseDir(name);
    writeFile(dir + "/javaw.exe", readFile(wine.testTool("fakejava.exe")));
    writeFile(dir + "/tool.config", config);
    return wine.installLauncher(dir, "tool.exe");
  }

  RunOptions options(std::vector<std::string> args,
                     std::vector<std::pair<std::string, std::string>> env) {
    RunOptions o = RunOptions::of(std::move(args));
    o.env = std::move(env);
    o.env.push_back({"FAKEJAVA_RECORD", WineEnvironment::windowsPath(dir + "/record.txt")});
    return o;
  }

  size_t runs() { return readFakeJavaRuns(dir + "/record.txt").size(); }

  WineEnvironment& wine = WineEnvironment::get();
  std::string dir;
};

// The first launch leaves its child running (keepalive 0); a second one
// starts no child and ends with 12, whether the child's window is hidden or
// minimised (then it is restored); once the child has ended, a launch
// starts again.
TEST_F(WineDesktopTest, SecondLaunchBringsTheRunningOneForward) {
  for (const std::string window : {"hidden", "minimized"}) {
    SCOPED_TRACE(window);
    std::string exe = makeApp("single-" + window, "");
    writeFile(dir + "/tool.config",
              "javapath " + WineEnvironment::windowsPath(dir) + "\\javaw.exe\n"
              "mainclass app.Main\nsingleInstance acme " + window +
                  "\nkeepalive false 0\n");
    const std::string stop = dir + "/stop", restored = dir + "/restored";
    RunOptions o = options({}, {{"FAKEJAVA_SLEEP_MS", "60000"},
                                {"FAKEJAVA_WINDOW", window},
                                {"FAKEJAVA_WINDOW_FILE", WineEnvironment::windowsPath(restored)},
                                {"FAKEJAVA_STOP_FILE", WineEnvironment::windowsPath(stop)}});
    RunResult first = wine.runLauncher(exe, o);
    EXPECT_EQ(first.exitCode, 0u) << first.err;
    ASSERT_TRUE(waitFor([&] { return runs() == 1; }, 10000));

    // The child is told where to listen, in the user's own folder.
    const std::vector<std::string> words = readFakeJavaRuns(dir + "/record.txt")[0].args;
    const std::string endpoint = "\\AppData\\Local\\Tarvik\\instances\\tarvik-" +
                                 std::string(window == "hidden" ? "dafd96c51564d53a"
                                                                : "8c331a8a63274664");
    EXPECT_EQ(std::count_if(words.begin(), words.end(), [&](const std::string& word) {
                return word.rfind("-Dtarvik.instance=C:\\users\\", 0) == 0 &&
                       has(word, endpoint);
              }), 1) << testing::PrintToString(words);

    // Wine's sockets have no AF_UNIX: nobody listens, and it ends as it did.
    RunResult second = wine.runLauncher(exe, o);
    EXPECT_EQ(second.exitCode, 12u) << second.err;
    EXPECT_TRUE(has(second.err, "singleInstance acme " + window +
                                    ": the application runs already")) << second.err;
    EXPECT_FALSE(has(second.err, "handed over")) << second.err;
    EXPECT_TRUE(second.boxes.empty());
    if (window == "minimized") {
      EXPECT_TRUE(waitFor([&] { return fileExists(restored); }, 5000));
    }
    EXPECT_EQ(runs(), 1u) << "a second child was started";

    writeFile(stop, "");
    // One round of ending and starting again is enough.
    if (window == "hidden") continue;
    ASSERT_TRUE(waitFor([&] { return !fileExists(stop); }, 10000));
    o.env[0].second = "0";
    RunResult third;
    waitFor([&] {
      third = wine.runLauncher(exe, o);
      return third.exitCode != 12u;
    }, 5000);
    EXPECT_EQ(third.exitCode, 0u) << third.err;
    EXPECT_TRUE(waitFor([&] { return runs() == 2; }, 10000));
  }
}

// No fitting runtime: Yes hands the page, encoded, to the https handler;
// No and -q open nothing; the exit code stays 11.
TEST_F(WineDesktopTest, DownloadPageOpensOnYesOnly) {
  std::string opener = newCaseDir("browser") + "/browser.exe";
  writeFile(opener, readFile(wine.testTool("fakejava.exe")));
  wine.registryAdd("HKCR\\https", "URL Protocol", "");
  wine.registryAdd("HKCR\\https\\shell\\open\\command", "",
                   "\"" + WineEnvironment::windowsPath(opener) + "\" \"%1\"");
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> answers;
    bool boxShown, opened;
  } cases[] = {
      {{}, {"yes"}, true, true},
      {{}, {"no"}, true, false},
      {{"-q"}, {}, false, false},
  };
  for (const Case& c : cases) {
    std::string exe = makeApp("download", "mainclass app.Main\n"
                              "javaDownloadUrl https://example.com/get java\"x\n"
                              "javaVersion 17\n");
    RunOptions o = options(c.args, {});
    o.answers = c.answers;
    RunResult run = wine.runLauncher(exe, o);
    EXPECT_EQ(run.exitCode, 11u) << run.err;
    ASSERT_EQ(run.boxes.size(), c.boxShown ? 1u : 0u);
    if (c.boxShown) {
      EXPECT_EQ(run.boxes[0].caption, "Java Runtime Environment Not Found");
      EXPECT_EQ(run.boxes[0].text,
                "app.Main requires the Java Runtime Environment version 17\n."
                "\n\nWould you like to download Java from "
                "https://example.com/get%20java%22x?");
      EXPECT_EQ(run.boxes[0].buttons, "yesno");
    }
    // The browser runs on its own; give it time to record.
    EXPECT_EQ(waitFor([&] { return runs() == 1; }, c.opened ? 10000 : 2000),
              c.opened);
    if (c.opened) {
      std::vector<FakeJavaRun> records = readFakeJavaRuns(dir + "/record.txt");
      EXPECT_EQ(records[0].args.back(), "https://example.com/get%20java%22x");
    }
  }
}

// The ID is set in the process that owns the windows: the child, by the
// agent beside the launcher, which the stand-in loads as the VM does; the
// launcher's own, before the VM is created. Where the system keeps the ID
// the stand-ins read it back; Wine 8.0 keeps none (its calls are stubs,
// Get answers E_NOTIMPL), and its trace of Set shows the ID set instead.
TEST_F(WineDesktopTest, TaskbarIdentityIsSetInTheProcessThatOwnsTheWindows) {
  const std::string id = "Acme.Tool.Main";
  const std::string setTrace = "SetCurrentProcessExplicitAppUserModelID L\"" + id + "\"";
  const auto expectSet = [&](const std::string& reported, const std::string& err) {
    if (reported.rfind("<none", 0) != 0)
      EXPECT_EQ(reported, id);
    else
      EXPECT_TRUE(has(err, setTrace)) << reported << "\n" << err;
  };
  struct Case {
    const char* name;
    bool inProcess;
    bool agentThere;
  } cases[] = {
      {"child", false, true},
      {"child without the agent", false, false},
      {"in-process", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A blank in the folder: the option is still one word.
    std::string exe = makeApp(std::string("taskbar ") + c.name, "");
    const std::string folder = WineEnvironment::windowsPath(dir);
    if (c.agentThere) wine.installLauncher(dir, "tarvik-appid.dll", "tarvik-appid.dll");
    const std::string java = c.inProcess ? "javalib " + WineEnvironment::windowsPath(wine.testTool("fakejvm.dll"))
                                         : "javapath " + folder + "\\javaw.exe";
    writeFile(dir + "/tool.config", java + "\nmainclass app.Main\nappUserModelId " + id + "\n");
    // In-process the VM's line on standard error follows Wine's trace there.
    std::vector<std::string> args = {"-passExitCode"};
    if (!c.inProcess) args.insert(args.end(), {"-log", folder + "\\tool.log"});
    RunOptions o = options(args,
                           {{"FAKEJAVA_AGENTS", "1"},
                            {"FAKEJVM_APPID", "1"},
                            {"FAKEJVM_RECORD", folder + "\\jvm.txt"},
                            {"WINEDEBUG", "-all,fixme+shcore,fixme+shell"}});
    RunResult r = wine.runLauncher(exe, o);
    EXPECT_EQ(r.exitCode, 0u) << r.err;
    const std::string log = c.inProcess ? "" : readFile(dir + "/tool.log");
    if (c.inProcess) {
      const std::string jvm = readFile(dir + "/jvm.txt");
      const size_t at = jvm.find("appid\t");
      ASSERT_NE(at, std::string::npos) << jvm;
      expectSet(jvm.substr(at + 6, jvm.find('\n', at) - at - 6), r.err);
      const size_t set = r.err.find(setTrace);
      if (set != std::string::npos) {
        EXPECT_LT(set, r.err.find("fakejvm: JNI_CreateJavaVM")) << r.err;
        EXPECT_NE(r.err.find("fakejvm: JNI_CreateJavaVM"), std::string::npos) << r.err;
      }
      continue;
    }
    const std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir + "/record.txt");
    ASSERT_EQ(runs.size(), 1u) << r.err;
    const std::string agent = folder + "\\tarvik-appid.dll";
    if (c.agentThere) {
      ASSERT_GE(runs[0].args.size(), 2u);
      EXPECT_EQ(runs[0].args[1], "-agentpath:" + agent + "=" + id);
      expectSet(runs[0].appId, r.err);
      EXPECT_FALSE(has(log, "appUserModelId")) << log;
    } else {
      for (const std::string& arg : runs[0].args) EXPECT_FALSE(has(arg, "-agentpath")) << arg;
      EXPECT_TRUE(has(log, "appUserModelId " + id + " not set: the agent " + agent + " is missing"))
          << log;
    }
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
