// Bad input for the real tarvik.exe under Wine: configurations that are
// binary, huge, cut by NUL bytes or CR-only line ends, that include
// themselves; values that refer to themselves; very many entries and a
// command line longer than Windows allows; files that cannot be written;
// libraries that are no JVM; registry values too long for their buffers;
// numbers that overflow. Each row states its outcome: the message box or
// the documented silent skip, the full 32-bit exit code, no crash, no
// hang, and no file lost or half-written without a report. Rows that need
// nothing but the configuration use -o, so one start answers each.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "E2e.h"

using namespace std::string_literals;

namespace tarvik {
namespace e2e {
namespace {

const std::string RUNTIMES = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A .reg file of string values, imported in one Wine start.
std::string regFile(const std::string& key,
                    const std::vector<std::pair<std::string, std::string>>& values) {
  auto escaped = [](const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\\' || c == '"') out += '\\';
      out += c;
    }
    return out;
  };
  std::string text = "REGEDIT4\r\n\r\n";
  std::string section;
  for (const auto& value : values) {
    std::string sub = key;
    std::string name = value.first;
    size_t slash = name.rfind('\\');
    if (slash != std::string::npos) {
      sub += "\\" + name.substr(0, slash);
      name = name.substr(slash + 1);
    }
    if (sub != section) {
      text += "\r\n[" + sub + "]\r\n";
      section = sub;
    }
    text += "\"" + escaped(name) + "\"=\"" + escaped(value.second) + "\"\r\n";
  }
  return text;
}

struct Row {
  std::string name;
  std::string config;
  std::vector<std::string> args;
  uint32_t exitCode;
  std::function<void(const RunResult&, const std::string& dir)> check;
  std::vector<std::pair<std::string, std::string>> files = {};
  std::string cwd = "";  // "<dir>": the case folder; empty: the exe's
  // Makes what else the row needs in its folder (links).
  std::function<void(const std::string& dir)> plant = {};
};

class WineBadInputTest : public ::testing::Test {
 protected:
  // A launcher tool.exe in a fresh folder.
  std::string makeApp(const std::string& name) {
    dir = newCaseDir(name);
    winDir = WineEnvironment::windowsPath(dir);
    return wine.installLauncher(dir, "tool.exe");
  }

  static std::string fakeJava() {
    return WineEnvironment::windowsPath(WineEnvironment::get().testTool("fakejava.exe"));
  }

  RunResult run(const std::string& exe, std::vector<std::string> args,
                std::vector<std::pair<std::string, std::string>> env = {},
                const std::string& cwd = "") {
    RunOptions options = RunOptions::of(std::move(args));
    options.env = std::move(env);
    options.env.push_back(
        {"FAKEJAVA_RECORD", WineEnvironment::windowsPath(dir + "/record.txt")});
    options.cwd = cwd;
    options.timeoutMs = 60000;
    return wine.runLauncher(exe, options);
  }

  std::string inCase(std::string text) const {
    for (size_t at; (at = text.find("<dir>")) != std::string::npos;)
      text.replace(at, 5, winDir);
    return text;
  }

  void runRows(const std::vector<Row>& rows,
               std::vector<std::pair<std::string, std::string>> env = {}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.name);
      std::string exe = makeApp(row.name);
      writeFile(dir + "/tool.config", row.config);
      for (const auto& file : row.files) {
        std::string path = dir + "/" + file.first;
        makeDirs(path.substr(0, path.rfind('/')));
        writeFile(path, file.second);
      }
      if (row.plant) row.plant(dir);
      std::vector<std::string> args;
      for (const std::string& arg : row.args) args.push_back(inCase(arg));
      RunResult r = run(exe, args, env, row.cwd == "<dir>" ? dir : row.cwd);
      ASSERT_FALSE(r.timedOut) << "hung";
      EXPECT_EQ(row.exitCode, r.exitCode) << r.err.substr(0, 400);
      row.check(r, dir);
    }
  }

  WineEnvironment& wine = WineEnvironment::get();
  std::string dir, winDir;
};

TEST_F(WineBadInputTest, ConfigurationsThatAreNotPlainText) {
  const std::string java = "javapath " + fakeJava() + "\n";
  std::string manyLines;
  for (int i = 0; i < 100000; ++i) {
    switch (i % 4) {
      case 0: manyLines += "# comment " + std::to_string(i) + "\n"; break;
      case 1: manyLines += "var v" + std::to_string(i) + "=" + std::to_string(i) + "\n"; break;
      case 2: manyLines += "nospace\n"; break;
      default: manyLines += "\n";
    }
  }
  auto line = [](const std::string& d) { return commandLineOf(readFile(d + "/tool.out")); };
  // A Ctrl-Z ends a text file on Windows, so the binary bytes hold none.
  std::string binary = binaryBytes(65536);
  for (char& c : binary)
    if (c == '\x1A') c = '\x1B';
  std::vector<Row> rows = {
      {"binary", binary + "\n" + java + "mainclass after.Binary\n",
       {"-o"}, 0,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(r.boxes.empty());
         EXPECT_EQ(0u, line(d).rfind(fakeJava() + " ", 0)) << line(d);
         EXPECT_TRUE(endsWith(line(d), " after.Binary")) << line(d);
       }},
      // A NUL ends the line for the directive; the rest of it is dropped.
      {"nul", java + "mainclass nul.Main\0ignored\nargument a\0b\n\0argument "
                     "hidden\nargument last\n"s,
       {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         EXPECT_TRUE(endsWith(line(d), " nul.Main \"a\" \"last\" ")) << line(d);
         EXPECT_FALSE(has(line(d), "ignored") || has(line(d), "hidden"));
       }},
      {"10mb-line", "# " + std::string(10 << 20, 'x') + "\n" + java +
                        "mainclass big.Line\n",
       {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         EXPECT_TRUE(endsWith(line(d), " big.Line")) << line(d).substr(0, 200);
       }},
      {"100000-lines", manyLines + java + "mainclass many.Lines\nargument %v99997%\n",
       {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         EXPECT_TRUE(endsWith(line(d), " many.Lines \"99997\" ")) << line(d);
       }},
      // Only LF ends a line (CR LF too): with CR alone the file is one
      // line, and its first directive takes the rest as its argument (a
      // Java path with a blank, so between quotes).
      {"cr-only", "javapath C:\\j\\java.exe\rmainclass cr.Only\r", {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         EXPECT_EQ(0u, line(d).rfind("\"C:\\j\\java.exe\rmainclass cr.Only\r\" "
                                     "-Dexe.mainConfig=", 0))
             << line(d);
       }},
      {"includes-itself", "include tool.config\n" + java + "mainclass self.Inc\n",
       {"-o"}, 0,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Skipped include of tool.config: the file is "
                                "already being read")) << r.err;
         EXPECT_TRUE(endsWith(line(d), " self.Inc")) << line(d);
       }},
      {"include-each-other", "include b.config\nargument fromA\n", {"-o"}, 0,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Skipped include of tool.config")) << r.err;
         EXPECT_TRUE(endsWith(line(d), " mutual.Inc \"fromB\" \"fromA\" ")) << line(d);
       },
       {{"b.config", "include tool.config\n" + java +
                         "mainclass mutual.Inc\nargument fromB\n"}}},
  };
  runRows(rows);

  // A value that refers to itself, and two that refer to each other.
  std::string grow;
  for (int i = 0; i < 8; ++i) grow += "setenv GROW=ab$GROW\n";
  std::vector<Row> selfReferring = {
      {"env-refers-to-itself",
       java + "mainclass env.Self\naddpath $SELF\naddjar $A\\lib\n" + grow, {"-o"}, 0,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Stopped expanding $SELF: references nested "
                                "more than 64 deep")) << r.err;
         EXPECT_TRUE(has(r.err, "Stopped expanding $A") ||
                     has(r.err, "Stopped expanding $B")) << r.err;
         EXPECT_TRUE(has(line(d), " -classpath $SELF/x/x/x")) << line(d);
         EXPECT_TRUE(endsWith(line(d), " env.Self")) << line(d);
       }},
  };
  runRows(selfReferring, {{"SELF", "$SELF/x"}, {"A", "$B"}, {"B", "$A"}});
}

TEST_F(WineBadInputTest, ManyEntriesAndCommandLinesLongerThanWindowsTakes) {
  // Within the limit: 1000 class path entries and 1000 arguments arrive.
  std::string config = "javapath " + fakeJava() + "\nmainclass many.Entries\n";
  std::string expectedPath;
  for (int i = 0; i < 1000; ++i) {
    config += "addjar j" + std::to_string(i) + ".jar\n";
    expectedPath += (i ? ";j" : "j") + std::to_string(i) + ".jar";
  }
  for (int i = 0; i < 500; ++i) config += "argument cfg" + std::to_string(i) + "\n";
  std::vector<std::string> args = {"-passExitCode"};
  for (int i = 0; i < 500; ++i) args.push_back("cli" + std::to_string(i));
  std::string exe = makeApp("many-entries");
  writeFile(dir + "/tool.config", config);
  RunResult r = run(exe, args);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(0u, r.exitCode) << r.err;
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir + "/record.txt");
  ASSERT_EQ(1u, runs.size());
  const std::vector<std::string>& got = runs[0].args;
  ASSERT_EQ(5u + 1000u, got.size());
  EXPECT_EQ("-classpath", got[2]);
  EXPECT_EQ(expectedPath, got[3]);
  EXPECT_EQ("many.Entries", got[4]);
  EXPECT_EQ("cli0", got[5]);
  EXPECT_EQ("cfg499", got[1004]);

  // 10 000 entries make a command line longer than 32 767 characters: the
  // start is refused with a report and the code 4, nothing is started.
  for (int i = 1000; i < 10000; ++i)
    config += "addjar j" + std::to_string(i) + ".jar\n";
  for (int i = 500; i < 1000; ++i) config += "argument cfg" + std::to_string(i) + "\n";
  writeFile(dir + "/tool.config", config);
  std::remove((dir + "/record.txt").c_str());
  r = run(exe, {"-passExitCode"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(4u, r.exitCode) << r.err;
  ASSERT_EQ(1u, r.boxes.size());
  EXPECT_EQ("Unable To Start Java", r.boxes[0].caption);
  EXPECT_EQ(0u, r.boxes[0].text.rfind("Unable to start Java for class many.Entries\n"
                                      " with Java " + fakeJava() + ".\nThe command line has ",
                                      0)) << r.boxes[0].text;
  EXPECT_TRUE(endsWith(r.boxes[0].text, " characters; the system accepts at most 32766."))
      << r.boxes[0].text;
  EXPECT_TRUE(r.boxes[0].icon);
  EXPECT_FALSE(fileExists(dir + "/record.txt"));

  // The command file holds the whole line all the same.
  r = run(exe, {"-o"});
  EXPECT_EQ(0u, r.exitCode);
  std::string line = commandLineOf(readFile(dir + "/tool.out"));
  EXPECT_GT(line.size(), 32767u);
  EXPECT_TRUE(has(line, " -classpath j0.jar;j1.jar;")) << line.substr(0, 300);
  EXPECT_TRUE(has(line, ";j9999.jar many.Entries \"cfg0\" ")) << line.substr(0, 300);
  EXPECT_TRUE(endsWith(line, " \"cfg999\" "));
}

TEST_F(WineBadInputTest, FilesThatCannotBeReadOrWritten) {
  const std::string java = "javapath " + fakeJava() + "\nmainclass files.Main\n";
  auto noConfigRead = [](const RunResult& r, const std::string&) {
    // Nothing read, so no runtime: the registry lookup's one box.
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ("Error!", r.boxes[0].caption);
    EXPECT_EQ(0u, r.boxes[0].text.rfind("No Java Installation", 0)) << r.boxes[0].text;
  };
  std::vector<Row> rows = {
      // A configuration that cannot be read is skipped without a word.
      {"c-directory", java, {"-c<dir>", "-o", "-passExitCode"}, 2, noConfigRead},
      {"c-missing", java, {"-cno-such.config", "-o", "-passExitCode"}, 2, noConfigRead},
      // The sample file goes where the launcher was started, or nowhere.
      {"sample-folder-in-the-way", java, {"-sample"}, 1,
       [](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(r.boxes.empty());
         EXPECT_EQ("kept", readFile(d + "/sample.config/keep"));
       },
       {{"sample.config/keep", "kept"}}, "<dir>"},
      {"sample-unwritable", java, {"-sample"}, 1,
       [](const RunResult& r, const std::string&) { EXPECT_TRUE(r.boxes.empty()); },
       {}, "/proc"},
      {"sample-replaces", java, {"-sample"}, 0,
       [](const RunResult&, const std::string& d) {
         std::string sample = readFile(d + "/sample.config");
         EXPECT_EQ(0u, sample.rfind("#Created with version @(#)src/Tarvik", 0));
         EXPECT_FALSE(has(sample, "OLD SAMPLE"));
       },
       {{"sample.config", "OLD SAMPLE " + std::string(20000, 'o')}}, "<dir>"},
      {"command-file-replaced", java, {"-o"}, 0,
       [](const RunResult&, const std::string& d) {
         std::string file = readFile(d + "/tool.out");
         EXPECT_EQ(0u, file.rfind("#Version @(#)src/Tarvik", 0)) << file;
         EXPECT_FALSE(has(file, "OLD"));
         EXPECT_TRUE(endsWith(file, " files.Main\r\n"));
       },
       {{"tool.out", "OLD COMMAND FILE " + std::string(20000, 'o') + "\n"}}},
      // A log that cannot be created is reported; the launch goes on.
      {"log-folder-in-the-way", java, {"-log", "<dir>\\logdir", "-passExitCode"}, 0,
       [](const RunResult& r, const std::string& d) {
         EXPECT_EQ(0u, crlfToLf(r.out).rfind("Unable to create file!\n", 0)) << r.out;
         EXPECT_TRUE(has(crlfToLf(r.out), "#Command line=\n" + fakeJava() + " ")) << r.out;
         EXPECT_EQ("kept", readFile(d + "/logdir/keep"));
         EXPECT_TRUE(fileExists(d + "/record.txt"));
       },
       {{"logdir/keep", "kept"}}},
      {"log-unwritable", java, {"-log", "Z:\\proc\\no\\tool.log", "-passExitCode"}, 0,
       [](const RunResult& r, const std::string& d) {
         EXPECT_EQ(0u, crlfToLf(r.out).rfind("Unable to create file!\n", 0)) << r.out;
         EXPECT_TRUE(fileExists(d + "/record.txt"));
       }},
      {"log-truncated", java, {"-log", "<dir>\\tool.log", "-passExitCode"}, 0,
       [](const RunResult& r, const std::string& d) {
         std::string log = readFile(d + "/tool.log");
         EXPECT_EQ(0u, log.rfind("#Version @(#)src/Tarvik", 0)) << log.substr(0, 100);
         EXPECT_FALSE(has(log, "OLD"));
         EXPECT_EQ("", r.out);
       },
       {{"tool.log", "OLD LOG " + std::string(20000, 'o') + "\n"}}},
  };
  runRows(rows);
}

// A command file of several names is not written through; a device
// named as a configuration is not read.
TEST_F(WineBadInputTest, HardLinksAndDevices) {
  const std::string java = "javapath " + fakeJava() + "\nmainclass files.Main\n";
  std::vector<Row> rows = {
      {"command-file-hard-link", java, {"-o"}, 4294967293u,
       [](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(crlfToLf(r.err), "The command file tool.out has other names too "
                                          "(a hard link).")) << r.err;
         EXPECT_EQ("precious\n", readFile(d + "/victim"));
       },
       {}, "", [](const std::string& d) {
         writeFile(d + "/victim", "precious\n");
         ASSERT_EQ(0, link((d + "/victim").c_str(), (d + "/tool.out").c_str()));
       }},
      {"include-dev-zero", "include Z:\\dev\\zero\n" + java, {"-o"}, 0,
       [](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(crlfToLf(r.err), "Skipped include of Z:\\dev\\zero: it is no "
                                          "regular file")) << r.err;
         EXPECT_TRUE(endsWith(commandLineOf(readFile(d + "/tool.out")), " files.Main"));
       }},
  };
  runRows(rows);
}

TEST_F(WineBadInputTest, LibrariesThatAreNoJvm) {
  struct LibraryRow {
    std::string name, javalib;
    uint32_t exitCode;
    std::string text;
  };
  const std::string notJvm = WineEnvironment::windowsPath(wine.testTool("notjvm.dll"));
  std::vector<LibraryRow> rows = {
      {"missing", "Z:\\no\\such\\jvm.dll", 4294966062u,  // -1234
       "Unable to load JVM library: Z:\\no\\such\\jvm.dll"},
      {"not-a-library", "<dir>\\tool.config", 4294966062u,
       "Unable to load JVM library: <dir>\\tool.config"},
      {"no-export", notJvm, 4294966061u,  // -1235
       "Unable to load JVM library, missing JNI_CreateJavaVM"},
  };
  for (const LibraryRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::string exe = makeApp("javalib-" + row.name);
    writeFile(dir + "/tool.config", "javalib " + inCase(row.javalib) +
                                        "\nmainclass lib.Main\n");
    RunResult r = run(exe, {"-passExitCode"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(row.exitCode, r.exitCode) << r.err;
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ("Unable To Load JVM Library", r.boxes[0].caption);
    EXPECT_EQ(inCase(row.text), r.boxes[0].text);
    EXPECT_TRUE(r.boxes[0].icon);
  }
}

TEST_F(WineBadInputTest, NumbersThatOverflow) {
  struct NumberRow {
    std::string name, lines, printed;
    bool heapOption;
  };
  std::vector<NumberRow> rows = {
      // Too big for the field: the earlier value stays, nothing is said.
      {"overflow", "keepalive false 99999999999\npercentRam 99999999999\n", "", false},
      {"millis-overflow", "keepalive false 2147484\npercentRam -2147483649\n", "", false},
      {"largest", "keepalive false 2147483\npercentRam 2147483647\n", "2147483000\n", true},
  };
  for (const NumberRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::string exe = makeApp("numbers-" + row.name);
    writeFile(dir + "/tool.config",
              "javapath " + fakeJava() + "\nmainclass num.Main\n" + row.lines);
    RunResult r = run(exe, {"-o"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(0u, r.exitCode) << r.err;
    EXPECT_EQ(row.printed, crlfToLf(r.out));
    std::string line = commandLineOf(readFile(dir + "/tool.out"));
    EXPECT_EQ(row.heapOption, has(line, " -Xmx")) << line;
  }
}

TEST_F(WineBadInputTest, RegistryValuesLongerThanTheirBuffers) {
  // One import: a CurrentVersion of 300 characters (the buffer holds 255)
  // and a runtime "9" whose JavaHome of 9000 characters exceeds 8192.
  std::string regDir = newCaseDir("registry");
  writeFile(regDir + "/long.reg",
            regFile("HKEY_LOCAL_MACHINE\\" + RUNTIMES,
                    {{"CurrentVersion", std::string(300, '1')},
                     {"9\\JavaHome", "C:\\" + std::string(9000, 'h')}}));
  ASSERT_EQ(0, wine.wine({"reg", "import",
                          WineEnvironment::windowsPath(regDir + "/long.reg")}));

  struct RegistryRow {
    std::string name, config;
    uint32_t exitCode;
    std::string caption, text;
  };
  const std::vector<RegistryRow> rows = {
      {"current-version-too-long", "mainclass reg.Main\n", 2, "Error!",
       "No Java Installation Found"},
      {"java-home-too-long", "mainclass reg.Main\n", 2, "Error!",
       "No Java Installation Home Directory Found"},
      // A required version too long for a key path names no key.
      {"required-version-too-long",
       "appname Reg\njavaVersion 1.8.0_" + std::string(300, '9') + "\n", 5,
       "Java Runtime Environment Not Found",
       ("Reg requires the Java Runtime Environment version 1.8.0_" +
        std::string(300, '9')).substr(0, 254)},
  };
  for (const RegistryRow& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.name == "java-home-too-long")
      wine.registryAdd(RUNTIMES, "CurrentVersion", "9");
    std::string exe = makeApp("registry-" + row.name);
    writeFile(dir + "/tool.config", row.config);
    RunResult r = run(exe, {"-o", "-passExitCode"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(row.exitCode, r.exitCode) << r.err;
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ(row.caption, r.boxes[0].caption);
    EXPECT_EQ(row.text, r.boxes[0].text);
    EXPECT_FALSE(fileExists(dir + "/tool.out"));
  }
}

// Last in this file: it leaves the prefix's temporary folder changed.
TEST_F(WineBadInputTest, CommandFileFallsBackToTheTemporaryFolder) {
  const std::string java = "javapath " + fakeJava() + "\nmainclass temp.Main\n";
  std::string tempDir = newCaseDir("temp");
  auto setTemp = [&](const std::string& winPath) {
    writeFile(tempDir + "/env.reg",
              regFile("HKEY_CURRENT_USER\\Environment",
                      {{"TMP", winPath}, {"TEMP", winPath}}));
    ASSERT_EQ(0, wine.wine({"reg", "import",
                            WineEnvironment::windowsPath(tempDir + "/env.reg")}));
  };

  // A folder of the command file's name stands in the current folder.
  setTemp(WineEnvironment::windowsPath(tempDir));
  std::vector<Row> rows = {
      {"command-file-folder", java, {"-o"}, 0,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(r.boxes.empty());
         EXPECT_EQ("kept", readFile(d + "/tool.out/keep"));
         EXPECT_TRUE(endsWith(commandLineOf(readFile(tempDir + "/tool.out")),
                              " temp.Main"));
       },
       {{"tool.out/keep", "kept"}}},
  };
  runRows(rows);

  // And the temporary folder cannot take it either: reported, code -3.
  setTemp("Z:\\proc\\no");
  rows = {
      {"command-file-nowhere", java, {"-o"}, 4294967293u,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_EQ("Error opening .out files: tool.out\nand Z:\\proc\\no\\tool.out\n",
                   crlfToLf(r.err));
         EXPECT_EQ("kept", readFile(d + "/tool.out/keep"));
       },
       {{"tool.out/keep", "kept"}}},
  };
  runRows(rows);
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
