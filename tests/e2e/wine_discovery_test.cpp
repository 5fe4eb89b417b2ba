// The real tarvik.exe under Wine finding runtimes that today's installers
// leave where the JavaSoft key fails: installer keys, JavaSoft\JDK,
// per-user and 32-bit keys, JAVA_HOME and PATH, and `javaVersion` ranges.
// Each runtime is a fake home with a release file and the PE test double
// as its bin\javaw.exe.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

const std::string HKLM = "HKEY_LOCAL_MACHINE\\SOFTWARE\\";
const std::string HKCU = "HKEY_CURRENT_USER\\SOFTWARE\\";
const std::string WOW = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\";

// UTF-16LE with its byte-order mark, as regedit reads a version 5 file.
std::string utf16(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

struct Value {
  std::string key;  // full key path
  std::string name;
  std::string data;
};

class WineDiscoveryTest : public ::testing::Test {
 protected:
  // Replaces every key a runtime source reads by `values`, in one start.
  void registry(const std::vector<Value>& values) {
    std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (const std::string& root : {HKLM, HKCU, WOW})
      for (const char* vendor : {"JavaSoft", "Eclipse Adoptium", "Microsoft\\JDK",
                                 "Azul Systems"})
        reg += "[-" + root + vendor + "]\r\n\r\n";
    for (const Value& value : values)
      reg += "[" + value.key + "]\r\n" + regString(value.name) + "=" +
             regString(value.data) + "\r\n\r\n";
    const std::string file = newCaseDir("registry") + "/keys.reg";
    writeFile(file, utf16(reg));
    ASSERT_EQ(wine.wine({"regedit", "/S", WineEnvironment::windowsPath(file)}), 0);
  }

  // A runtime home below the case folder; its Windows path.
  std::string home(const std::string& name, const std::string& version) {
    const std::string dir = dir_ + "/" + name;
    makeDirs(dir + "/bin");
    writeFile(dir + "/bin/javaw.exe", readFile(wine.testTool("fakejava.exe")));
    writeFile(dir + "/release", "IMPLEMENTOR=\"Test\"\nJAVA_VERSION=\"" + version + "\"\n");
    return WineEnvironment::windowsPath(dir);
  }

  // Writes the command line (-o) with this configuration; the Java path
  // it starts with, or what went wrong.
  std::string javaPathOf(const std::string& config, RunOptions options = {}) {
    const std::string exe = wine.installLauncher(dir_, "tool.exe");
    writeFile(dir_ + "/tool.config", "mainclass com.acme.Main\n" + config);
    options.args = {"-o", "-q"};
    run_ = wine.runLauncher(exe, options);
    if (run_.exitCode != 0) return "exit " + std::to_string(run_.exitCode);
    const std::string line = commandLineOf(readFile(dir_ + "/tool.out"));
    // Wine reports a Vista or later, so the path is always quoted.
    if (line.empty() || line[0] != '"') return line;
    return line.substr(1, line.find('"', 1) - 1);
  }

  void SetUp() override {
    dir_ = newCaseDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }

  WineEnvironment& wine = WineEnvironment::get();
  std::string dir_;
  RunResult run_;
};

TEST_F(WineDiscoveryTest, TemurinKeyAloneIsTheDefaultAndIsStarted) {
  const std::string jdk = home("jdk-21", "21.0.5");
  registry({{HKLM + "Eclipse Adoptium\\JDK\\21.0.5.11\\hotspot\\MSI", "Path", jdk + "\\"}});
  const std::string exe = wine.installLauncher(dir_, "tool.exe");
  writeFile(dir_ + "/tool.config",
            "mainclass com.acme.Main\nsetenv FAKEJAVA_RECORD=" +
                WineEnvironment::windowsPath(dir_ + "/record") +
                "\nsetenv FAKEJAVA_EXIT=7\n");
  RunResult run = wine.runLauncher(exe, RunOptions::of({"-q", "-passExitCode"}));
  EXPECT_EQ(run.exitCode, 7u);
  EXPECT_TRUE(run.boxes.empty());
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir_ + "/record");
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_FALSE(runs[0].args.empty());
  EXPECT_EQ(runs[0].args[0], jdk + "\\bin\\javaw.exe");
  EXPECT_NE(crlfToLf(run.out).find("runtime chosen: 21.0.5 at " + jdk + " from HKLM\\"
                                   "SOFTWARE\\Eclipse Adoptium\\JDK\\21.0.5.11\\hotspot\\MSI\n"),
            std::string::npos)
      << run.out;
}

TEST_F(WineDiscoveryTest, EachSourceAloneIsFound) {
  struct Case {
    const char* name;
    std::string where;  // a registry key below a root, JAVA_HOME or PATH
    const char* value;
  } cases[] = {
      {"jdk", HKLM + "JavaSoft\\JDK\\17", "JavaHome"},
      {"user", HKCU + "Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", "Path"},
      {"zulu", HKLM + "Azul Systems\\Zulu\\zulu-17", "InstallationPath"},
      {"wow", WOW + "JavaSoft\\Java Runtime Environment\\17", "JavaHome"},
      {"javahome", "JAVA_HOME", ""},
      {"path", "PATH", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string jdk = home(c.name, "17.0.9");
    RunOptions options;
    if (c.where == "JAVA_HOME")
      options.env = {{"JAVA_HOME", jdk}};
    else if (c.where == "PATH")
      options.env = {{"WINEPATH", jdk + "\\bin"}};
    registry(*c.value ? std::vector<Value>{{c.where, c.value, jdk}} : std::vector<Value>{});
    EXPECT_EQ(javaPathOf("javaVersion 17\n", options), jdk + "\\bin\\javaw.exe");
  }
}

TEST_F(WineDiscoveryTest, VersionFormsChooseAmongTheSources) {
  const std::string jdk11 = home("jdk11", "11.0.21");
  const std::string jdk17 = home("jdk17", "17.0.9");
  const std::string jdk21 = home("jdk21", "21.0.1");
  registry({{HKLM + "JavaSoft\\JDK\\11", "JavaHome", jdk11},
            {HKLM + "Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI", "Path", jdk21},
            // An uninstalled runtime's key is passed over.
            {HKLM + "Microsoft\\JDK\\25.0.0.1\\hotspot\\MSI", "Path", "Z:\\nowhere\\jdk25"}});
  RunOptions withJavaHome;
  withJavaHome.env = {{"JAVA_HOME", jdk17}};
  EXPECT_EQ(javaPathOf("javaVersion 17+\n", withJavaHome), jdk21 + "\\bin\\javaw.exe");
  EXPECT_EQ(crlfToLf(run_.out).find("nowhere"), std::string::npos) << run_.out;
  EXPECT_EQ(javaPathOf("javaVersion 11..17\n", withJavaHome), jdk17 + "\\bin\\javaw.exe");
  EXPECT_EQ(javaPathOf("", withJavaHome), jdk21 + "\\bin\\javaw.exe");
  // Nothing fits: today's box and code.
  EXPECT_EQ(javaPathOf("javaVersion 22+\n", withJavaHome), "exit 11");
}

TEST_F(WineDiscoveryTest, JavaSoftKeyStillWinsWhereItMatches) {
  const std::string jre8 = home("jre8", "1.8.0_392");
  const std::string jdk21 = home("jdk21", "21.0.1");
  const std::string legacy = HKLM + "JavaSoft\\Java Runtime Environment";
  registry({{legacy, "CurrentVersion", "1.8"},
            {legacy + "\\1.8", "JavaHome", jre8},
            {HKLM + "Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI", "Path", jdk21}});
  EXPECT_EQ(javaPathOf(""), jre8 + "\\bin\\javaw.exe");
  EXPECT_EQ(crlfToLf(run_.out).find("runtime"), std::string::npos) << run_.out;
  EXPECT_EQ(javaPathOf("javaVersion 1.8\n"), jre8 + "\\bin\\javaw.exe");
  // Where it has no match, the other sources answer.
  EXPECT_EQ(javaPathOf("javaVersion 21\n"), jdk21 + "\\bin\\javaw.exe");
}

TEST_F(WineDiscoveryTest, NothingFoundFailsAsBefore) {
  registry({{HKLM + "Eclipse Adoptium\\JDK\\21.0.1.12\\hotspot\\MSI", "Path", "Z:\\gone"}});
  const std::string exe = wine.installLauncher(dir_, "tool.exe");
  writeFile(dir_ + "/tool.config", "mainclass com.acme.Main\n");
  RunResult run = wine.runLauncher(exe, RunOptions::of({"-q", "-passExitCode"}));
  EXPECT_EQ(run.exitCode, 2u);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].caption + " | " + run.boxes[0].text,
            "Error! | No Java Installation Found");
  EXPECT_EQ(crlfToLf(run.out).find("runtime"), std::string::npos) << run.out;
  EXPECT_EQ(javaPathOf("javaVersion 1.8.0_31\n"), "exit 5");
}

// A runtime the application brings in a folder beside the exe comes
// before the registry's; without the folder the registry's runs again.
TEST_F(WineDiscoveryTest, BundledRuntimeWinsOverTheRegistrysUntilItIsRemoved) {
  const std::string registered = home("jdk-21", "21.0.5");
  registry({{HKLM + "JavaSoft\\Java Runtime Environment", "CurrentVersion", "21"},
            {HKLM + "JavaSoft\\Java Runtime Environment\\21", "JavaHome", registered}});
  const std::string bundled = home("runtime", "17.0.9");
  const std::string exe = wine.installLauncher(dir_, "tool.exe");
  writeFile(dir_ + "/tool.config",
            "mainclass com.acme.Main\nruntimeHome missing\nruntimeHome runtime\n"
            "setenv FAKEJAVA_RECORD=" + WineEnvironment::windowsPath(dir_ + "/record") + "\n");
  for (const std::string& expected : {bundled, registered}) {
    RunResult run = wine.runLauncher(exe, RunOptions::of({"-q", "-passExitCode"}));
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir_ + "/record");
    ASSERT_EQ(runs.size(), 1u) << expected;
    EXPECT_EQ(runs[0].args.at(0), expected + "\\bin\\javaw.exe");
    const bool fromHome = expected == bundled;
    EXPECT_EQ(crlfToLf(run.out).find("runtime chosen: 17.0.9 at " + bundled +
                                     " from runtimeHome\n") != std::string::npos,
              fromHome) << run.out;
    std::remove((dir_ + "/record").c_str());
    ASSERT_EQ(std::system(("rm -rf '" + dir_ + "/runtime'").c_str()), 0);
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
