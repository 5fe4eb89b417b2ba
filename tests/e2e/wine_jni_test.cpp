// The real tarvik.exe under Wine running a JVM in its own process: the JVM
// is fakejvm.dll, which records the start-up options and the JNI calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

using Lines = std::vector<std::string>;

// One record of fakejvm.dll: tab-separated fields, escapes undone.
Lines fieldsOf(const std::string& line) {
  Lines fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      char e = line[++i];
      fields.back() += e == 't' ? '\t' : e == 'n' ? '\n' : e == 'r' ? '\r' : e;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

class WineJniTest : public ::testing::Test {
 protected:
  WineEnvironment& wine = WineEnvironment::get();

  // A launcher "tool.exe" with `config` beside it.
  std::string makeTool(const std::string& name, const std::string& config) {
    dir = newCaseDir(name);
    std::string exe = wine.installLauncher(dir, "tool.exe");
    writeFile(dir + "/tool.config", config);
    return exe;
  }

  std::string fakeJvm() {
    return WineEnvironment::windowsPath(wine.testTool("fakejvm.dll"));
  }

  // Runs with the fake JVM recording into the case folder.
  RunResult run(const std::string& exe, Lines args,
                std::vector<std::pair<std::string, std::string>> env = {}) {
    RunOptions options = RunOptions::of(std::move(args));
    options.env = std::move(env);
    options.env.push_back(
        {"FAKEJVM_RECORD", WineEnvironment::windowsPath(dir + "/record")});
    return wine.runLauncher(exe, options);
  }

  // The records, each as its fields joined by '|'.
  Lines record() {
    Lines lines;
    std::istringstream in(readFile(dir + "/record"));
    std::string line;
    while (std::getline(in, line)) {
      std::string joined;
      for (const std::string& field : fieldsOf(line))
        joined += (joined.empty() ? "" : "|") + field;
      lines.push_back(joined);
    }
    return lines;
  }

  // The JNI call records, after the creation and its options.
  static Lines callsOf(const Lines& lines) {
    Lines calls;
    for (const std::string& line : lines)
      if (line.rfind("create|", 0) != 0 && line.rfind("option|", 0) != 0)
        calls.push_back(line);
    return calls;
  }

  // Records of calls the launcher must never make.
  static Lines brokenRules(const Lines& lines) {
    Lines broken;
    for (const std::string& line : lines)
      if (line.rfind("bad|", 0) == 0 || line.rfind("unexpected|", 0) == 0)
        broken.push_back(line);
    return broken;
  }

  std::string dir;
};

TEST_F(WineJniTest, HandsTheVmTheOptionsInOrderAndRunsMain) {
  std::string exe = makeTool(
      "options", "javalib " + fakeJvm() +
                     "\nmainclass com.example.App\n"
                     "addjar C:\\My Libs\\a.jar\naddjar b.jar\n"
                     "vmparam -Dmode=1\nvmparam -Xss4m\npercentRam 50\n");
  RunResult r = run(exe, {"-passExitCode", "one", "two words"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_TRUE(r.boxes.empty());
  Lines lines = record();
  ASSERT_GE(lines.size(), 7u) << readFile(dir + "/record");
  std::string config = WineEnvironment::windowsPath(dir) + "\\tool.config";
  EXPECT_EQ("create|0x00010002|8|1", lines[0]);
  EXPECT_EQ("option|0|-Djava.class.path=C:\\My Libs\\a.jar;b.jar|nohook",
            lines[1]);
  EXPECT_EQ("option|1|exit|hook", lines[2]);
  EXPECT_EQ("option|2|-Dexe.mainConfig=" + config + "|nohook", lines[3]);
  EXPECT_EQ("option|3|-Dmode=1|nohook", lines[4]);
  EXPECT_EQ("option|4|-Xss4m|nohook", lines[5]);
  // Wine reports the host's memory: the size is whatever half of it is.
  EXPECT_EQ(0u, lines[6].rfind("option|5|-Xmx", 0)) << lines[6];
  EXPECT_EQ("m|nohook", lines[6].substr(lines[6].size() - 8)) << lines[6];
  EXPECT_EQ((Lines{"FindClass|com/example/App",
                   "GetStaticMethodID|main|([Ljava/lang/String;)V",
                   "FindClass|java/lang/String", "NewObjectArray|2",
                   "NewStringUTF|one", "SetObjectArrayElement|0",
                   "NewStringUTF|two words", "SetObjectArrayElement|1",
                   "CallStaticVoidMethod", "ExceptionCheck", "DestroyJavaVM"}),
            callsOf(lines));
  EXPECT_TRUE(brokenRules(lines).empty());
  EXPECT_NE(std::string::npos,
            r.out.find("Classpath: -Djava.class.path=C:\\My Libs\\a.jar;b.jar"))
      << r.out;
}

TEST_F(WineJniTest, ConfiguredHeapStandsLastAndNoArgumentsGiveAnEmptyArray) {
  std::string exe = makeTool("heap", "javalib " + fakeJvm() +
                                         "\nmainclass app.Main\n"
                                         "vmparam -Dmode=1\nvmparam -Xss4m\n"
                                         "vmparam -Xmx1g\npercentRam 50\n");
  RunResult r = run(exe, {"-passExitCode"});
  EXPECT_EQ(0u, r.exitCode);
  Lines lines = record();
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ("create|0x00010002|8|1", lines[0]);
  EXPECT_EQ("option|5|-Xmx1g|nohook", lines[6]);
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "NewObjectArray|0"));
  EXPECT_TRUE(brokenRules(lines).empty());
}

TEST_F(WineJniTest, EveryOptionRemovedLeavesClassPathExitCommandAndLauncher) {
  std::string exe = makeTool("bare", "javalib " + fakeJvm() +
                                         "\nmainclass app.Main\nrmvmparam *\n");
  RunResult r = run(exe, {"-passExitCode"});
  EXPECT_EQ(0u, r.exitCode);
  Lines lines = record();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ("create|0x00010002|4|1", lines[0]);
  EXPECT_EQ("option|0|-Djava.class.path=|nohook", lines[1]);
  EXPECT_EQ("option|1|exit|hook", lines[2]);
  EXPECT_EQ("option|2|-Dsun.java.command=app.Main|nohook", lines.at(3));
  EXPECT_EQ("option|3|-Dsun.java.launcher=SUN_STANDARD|nohook", lines.at(4));
}

TEST_F(WineJniTest, ExitHookEndsTheLauncherWithTheFullStatus) {
  std::string exe = makeTool("exit", "javalib " + fakeJvm() +
                                         "\nmainclass app.Main\n");
  // 0x12345678: more than the 8 bits wine itself passes on.
  RunResult r = run(exe, {}, {{"FAKEJVM_EXIT_STATUS", "305419896"}});
  EXPECT_EQ(305419896u, r.exitCode);
  Lines lines = record();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("exit|305419896|hook", lines.back());
  EXPECT_TRUE(brokenRules(lines).empty());
}

struct FailureCase {
  const char* name;
  std::string env;  // a FAKEJVM_ switch, or empty
  uint32_t exitCode;
  Lines calls;  // the JNI calls recorded
  std::string err;
};

TEST_F(WineJniTest, VmFailuresGiveTheirResults) {
  const FailureCase cases[] = {
      {"noclass", "FAKEJVM_NO_CLASS", 1,
       {"FindClass|app/Main", "ExceptionDescribe", "DestroyJavaVM"},
       "java.lang.NoClassDefFoundError"},
      {"nomain", "FAKEJVM_NO_MAIN", 1,
       {"FindClass|app/Main", "GetStaticMethodID|main|([Ljava/lang/String;)V",
        "ExceptionDescribe", "DestroyJavaVM"},
       "java.lang.NoSuchMethodError"},
      {"throws", "FAKEJVM_THROW", 1,
       {"FindClass|app/Main", "GetStaticMethodID|main|([Ljava/lang/String;)V",
        "FindClass|java/lang/String", "NewObjectArray|0",
        "CallStaticVoidMethod", "ExceptionCheck", "ExceptionDescribe",
        "ExceptionClear", "DestroyJavaVM"},
       "java.lang.RuntimeException: thrown by fakejvm"},
  };
  for (const FailureCase& c : cases) {
    std::string exe = makeTool(c.name, "javalib " + fakeJvm() +
                                           "\nmainclass app.Main\n");
    RunResult r = run(exe, {"-passExitCode"}, {{c.env, "1"}});
    EXPECT_EQ(c.exitCode, r.exitCode) << c.name;
    EXPECT_TRUE(r.boxes.empty()) << c.name;
    Lines lines = record();
    EXPECT_EQ(c.calls, callsOf(lines)) << c.name;
    if (!c.err.empty()) {
      EXPECT_NE(std::string::npos, r.err.find(c.err)) << c.name << r.err;
    }
    EXPECT_TRUE(brokenRules(lines).empty()) << c.name;
  }
}

TEST_F(WineJniTest, CreationFailureShowsItsBoxAndGivesOne) {
  std::string exe = makeTool("create", "javalib " + fakeJvm() +
                                           "\nmainclass app.Main\n");
  RunResult r = run(exe, {"-passExitCode"}, {{"FAKEJVM_CREATE_RESULT", "-1"}});
  EXPECT_EQ(1u, r.exitCode);
  ASSERT_EQ(1u, r.boxes.size());
  EXPECT_EQ("Error creating JVM", r.boxes[0].caption);
  EXPECT_EQ("Error creating Java VM. Exiting...", r.boxes[0].text);
  EXPECT_TRUE(r.boxes[0].icon);
  Lines lines = record();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(0u, lines[0].rfind("create|", 0));
  // Nothing more is asked of a VM that was not made.
  EXPECT_TRUE(callsOf(lines).empty()) << readFile(dir + "/record");
}

TEST_F(WineJniTest, LibraryFailuresShowTheirBoxesUnlessQuiet) {
  struct Case {
    const char* name;
    std::string javaLib;
    uint32_t exitCode;
    std::string text;
  };
  const Case cases[] = {
      {"nolib", "Z:\\nowhere\\jvm.dll", 4294966062u,  // -1234
       "Unable to load JVM library: Z:\\nowhere\\jvm.dll"},
      {"noexport", WineEnvironment::windowsPath(wine.testTool("notjvm.dll")),
       4294966061u,  // -1235
       "Unable to load JVM library, missing JNI_CreateJavaVM"},
  };
  for (const Case& c : cases) {
    std::string exe = makeTool(c.name, "javalib " + c.javaLib +
                                           "\nmainclass app.Main\n");
    RunResult r = run(exe, {"-passExitCode"});
    EXPECT_EQ(c.exitCode, r.exitCode) << c.name;
    ASSERT_EQ(1u, r.boxes.size()) << c.name;
    EXPECT_EQ("Unable To Load JVM Library", r.boxes[0].caption);
    EXPECT_EQ(c.text, r.boxes[0].text);
    EXPECT_EQ("ok", r.boxes[0].buttons);
    EXPECT_TRUE(r.boxes[0].icon);

    RunResult quiet = run(exe, {"-q", "-passExitCode"});
    EXPECT_EQ(c.exitCode, quiet.exitCode) << c.name;
    EXPECT_TRUE(quiet.boxes.empty()) << c.name;
  }
}

// The class path the VM gets means what the child's does: the jar files of
// an addjars folder, one backslash at the end of a folder, and spaced `$`
// values without the quotes that group them on a command line.
TEST_F(WineJniTest, ClassPathAsJavasOwnLauncherReadsIt) {
  std::string home = newCaseDir("acme home");
  std::string exe = makeTool(
      "classpath", "javalib " + fakeJvm() +
                       "\nmainclass app.Main\naddjars lib\n"
                       "addpath C:\\My Libs\\classes\\\naddpath $ACME\\lib\n");
  makeDirs(dir + "/lib/sub");
  for (const char* name : {"a.jar", "b.JAR", "notes.txt"})
    writeFile(dir + "/lib/" + name, "x");
  RunResult r = run(exe, {"-passExitCode"},
                    {{"ACME", WineEnvironment::windowsPath(home)}});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  Lines lines = record();
  ASSERT_GE(lines.size(), 2u) << readFile(dir + "/record");
  const std::string prefix = "option|0|-Djava.class.path=";
  ASSERT_EQ(0u, lines[1].rfind(prefix, 0)) << lines[1];
  std::string value = lines[1].substr(prefix.size());
  value.resize(value.size() - std::string("|nohook").size());
  std::string spaced = WineEnvironment::windowsPath(home);
  for (char& c : spaced)
    if (c == '\\') c = '/';
  const std::string rest = ";C:\\My Libs\\classes\\;" + spaced + "/lib";
  // The folder's entries come in the order the system lists them.
  EXPECT_TRUE(value == "lib/a.jar;lib/b.JAR" + rest ||
              value == "lib/b.JAR;lib/a.jar" + rest)
      << value;
}

// A JVM library needs DLLs that ship in the runtime's bin folder (the C++
// runtime); they are found there, not only where Windows happens to have
// them.
TEST_F(WineJniTest, TheJvmLibrarysDependenciesComeFromTheRuntimesBinFolder) {
  std::string runtime = newCaseDir("runtime") + "/jdk";
  makeDirs(runtime + "/bin/server");
  writeFile(runtime + "/bin/server/jvm.dll", readFile(wine.testTool("depjvm.dll")));
  writeFile(runtime + "/bin/tvdep.dll", readFile(wine.testTool("tvdep.dll")));
  const std::string library =
      WineEnvironment::windowsPath(runtime) + "\\bin\\server\\jvm.dll";
  for (const std::string& javalib : {library, std::string("$JDK/bin/server/jvm.dll")}) {
    std::string exe = makeTool("dependency", "javalib " + javalib +
                                                 "\nmainclass app.Main\n");
    RunResult r = run(exe, {"-passExitCode"},
                      {{"JDK", WineEnvironment::windowsPath(runtime)}});
    EXPECT_EQ(0u, r.exitCode) << javalib << r.err;
    EXPECT_TRUE(r.boxes.empty()) << javalib << r.boxes[0].text;
    Lines lines = record();
    ASSERT_FALSE(lines.empty()) << javalib;
    EXPECT_EQ("dependency|42", lines[0]) << javalib;
  }
}

// javalib auto runs the JVM library of the runtime discovery chose, and
// shows -splash: through that runtime's splash library before the VM is
// made, on a scaled screen in the image's scaled form.
TEST_F(WineJniTest, AutoLoadsTheChosenHomesLibraryAndItsSplashScreen) {
  std::string exe = makeTool("auto", "runtimeHome rt\njavalib auto\nmainclass app.Main\n"
                                     "vmparam -splash:splash.png\n");
  makeDirs(dir + "/rt/bin/server");
  writeFile(dir + "/rt/bin/server/jvm.dll", readFile(wine.testTool("fakejvm.dll")));
  writeFile(dir + "/rt/bin/splashscreen.dll", readFile(wine.testTool("splashscreen.dll")));
  writeFile(dir + "/splash.png", "png");
  writeFile(dir + "/splash@2x.png", "png");
  const std::string library = WineEnvironment::windowsPath(dir) + "\\rt\\bin\\server\\jvm.dll";
  RunResult r = run(exe, {"-passExitCode"}, {{"FAKEJVM_RECORD_PATH", "1"}, {"FAKESPLASH_SCALED", "1"}});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_TRUE(r.boxes.empty());
  EXPECT_NE(std::string::npos, crlfToLf(r.out).find("#JVM library=\n" + library + "\n")) << r.out;
  Lines lines = record();
  ASSERT_GE(lines.size(), 6u) << readFile(dir + "/record");
  EXPECT_EQ((Lines{"splash|SplashInit", "splash|SplashSetScaleFactor|2",
                   "splash|SplashLoadFile|splash@2x.png",
                   "splash|SplashSetFileJarName|splash.png|<null>",
                   "library|" + library, "create|0x00010002|5|1"}),
            Lines(lines.begin(), lines.begin() + 6));
  EXPECT_EQ("option|2|-Dexe.mainConfig=" + WineEnvironment::windowsPath(dir) +
                "\\tool.config|nohook", lines.at(8));
  EXPECT_TRUE(brokenRules(lines).empty());
  // -o names the library and starts nothing.
  std::remove((dir + "/record").c_str());
  r = run(exe, {"-o"});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_NE(std::string::npos,
            crlfToLf(readFile(dir + "/tool.out")).find("\n#JVM library=\n" + library + "\n"));
  EXPECT_FALSE(fileExists(dir + "/record"));
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
