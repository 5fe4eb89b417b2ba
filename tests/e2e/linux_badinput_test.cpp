// Bad input for the native launcher: configurations that are binary, huge,
// cut by NUL bytes or CR-only line ends, that include themselves; values
// that refer to themselves; very many entries; files that cannot be
// written; libraries that are none; registry values too long for their
// buffers; numbers that overflow. Each row states its outcome: the message
// or the documented silent skip, the exit code (cut to 8 bits by Linux),
// no crash, no hang, and no file lost or half-written without a report.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>

#include "E2e.h"

using namespace std::string_literals;

namespace tarvik {
namespace e2e {
namespace {

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// NUL-separated words as the recorder writes them.
std::vector<std::string> nulWords(const std::string& text) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

// One row: the configuration (and any further files beside it), the
// launcher's arguments and environment, the exit code and what else
// must hold.
struct Row {
  std::string name;
  std::string config;
  std::vector<std::string> args;
  uint32_t exitCode;
  std::function<void(const RunResult&, const std::string& dir)> check;
  std::vector<std::pair<std::string, std::string>> files = {};
  std::vector<std::pair<std::string, std::string>> env = {};
  std::string cwd = "";
  // Makes what else the row needs in its folder (links, FIFOs).
  std::function<void(const std::string& dir)> plant = {};
};

class LinuxBadInputTest : public ::testing::Test {
 protected:
  // A launcher copy named "app" in a fresh folder, with an empty registry
  // store of its own and a recorder script as the Java executable.
  std::string makeApp(const std::string& name) {
    dir = newCaseDir(name);
    std::string exe = dir + "/app";
    EXPECT_EQ(0, std::system(("cp '" + nativeLauncher() + "' '" + exe + "'").c_str()));
    makeDirs(dir + "/registry");
    writeFile(dir + "/rec.sh",
              "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$REC\"\nexit 0\n");
    EXPECT_EQ(0, std::system(("chmod +x '" + dir + "/rec.sh'").c_str()));
    return exe;
  }

  std::string recorder() const { return dir + "/rec.sh"; }

  RunResult run(const std::string& exe, const std::vector<std::string>& args,
                std::vector<std::pair<std::string, std::string>> env = {},
                const std::string& cwd = "") {
    RunOptions options = RunOptions::of(args);
    options.cwd = cwd;
    // No runtime outside the case's registry store (JAVA_HOME, PATH, the
    // runtime folders), so that a store that fails fails as it always has.
    options.env = {{"DISPLAY", ""},
                   {"WAYLAND_DISPLAY", ""},
                   {"TARVIK_REGISTRY", dir + "/registry"},
                   {"TARVIK_USER_REGISTRY", dir + "/user-registry"},
                   {"TARVIK_JVM_DIR", dir + "/no-runtimes"},
                   {"HOME", dir},
                   {"JAVA_HOME", ""},
                   {"PATH", dir + "/no-runtimes"},
                   {"REC", dir + "/record"}};
    options.env.insert(options.env.end(), env.begin(), env.end());
    options.timeoutMs = 60000;
    return runNative(exe, options);
  }

  // "<dir>" in arguments, environment values and the working folder
  // stands for the row's case folder.
  std::string inCase(std::string text) const {
    if (text.rfind("<dir>", 0) == 0) text.replace(0, 5, dir);
    return text;
  }

  void runRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.name);
      std::string exe = makeApp(row.name);
      writeFile(dir + "/app.config", row.config);
      for (const auto& file : row.files) {
        std::string path = dir + "/" + file.first;
        makeDirs(path.substr(0, path.rfind('/')));
        writeFile(path, file.second);
      }
      if (row.plant) row.plant(dir);
      std::vector<std::string> args;
      for (const std::string& arg : row.args) args.push_back(inCase(arg));
      std::vector<std::pair<std::string, std::string>> env;
      for (const auto& var : row.env) env.push_back({var.first, inCase(var.second)});
      auto begin = std::chrono::steady_clock::now();
      RunResult r = run(exe, args, env, inCase(row.cwd));
      double seconds = std::chrono::duration<double>(
                           std::chrono::steady_clock::now() - begin).count();
      ASSERT_FALSE(r.timedOut) << "hung";
      EXPECT_EQ(row.exitCode, r.exitCode) << r.err.substr(0, 400);
      EXPECT_LT(seconds, 30.0);
      row.check(r, dir);
    }
  }

  std::string dir;
};

// Configurations the reader must get through.
TEST_F(LinuxBadInputTest, ConfigurationsThatAreNotPlainText) {
  const std::string java = "javapath /bin/true\n";
  std::string manyLines;
  for (int i = 0; i < 100000; ++i) {
    switch (i % 4) {
      case 0: manyLines += "# comment " + std::to_string(i) + "\n"; break;
      case 1: manyLines += "var v" + std::to_string(i) + "=" + std::to_string(i) + "\n"; break;
      case 2: manyLines += "nospace\n"; break;
      default: manyLines += "\n";
    }
  }
  auto commandFile = [](const std::string& d) { return readFile(d + "/app.out"); };
  std::string grow;
  for (int i = 0; i < 8; ++i) grow += "setenv GROW=ab$GROW\n";
  std::vector<Row> rows = {
      {"binary", binaryBytes(65536) + "\n" + java + "mainclass after.Binary\n",
       {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         std::string line = commandLineOf(commandFile(d));
         EXPECT_EQ(0u, line.rfind("/bin/true ", 0)) << line;
         EXPECT_TRUE(endsWith(line, " after.Binary")) << line;
       }},
      // A NUL ends the line for the directive; the rest of it is dropped.
      {"nul", java + "mainclass nul.Main\0ignored\nargument a\0b\n\0argument "
                     "hidden\nargument last\n"s,
       {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         std::string line = commandLineOf(commandFile(d));
         EXPECT_TRUE(endsWith(line, " nul.Main \"a\" \"last\" ")) << line;
         EXPECT_FALSE(has(line, "ignored") || has(line, "hidden")) << line;
       }},
      {"10mb-line", "# " + std::string(10 << 20, 'x') + "\n" + java +
                        "mainclass big.Line\n",
       {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         EXPECT_TRUE(endsWith(commandLineOf(commandFile(d)), " big.Line"));
       }},
      {"100000-lines", manyLines + java + "mainclass many.Lines\nargument %v99997%\n",
       {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         std::string line = commandLineOf(commandFile(d));
         EXPECT_TRUE(endsWith(line, " many.Lines \"99997\" ")) << line;
       }},
      // Only LF ends a line: with CR alone the file is one line, and its
      // first directive takes all the rest as its argument (a Java path
      // with a blank, so between quotes).
      {"cr-only", "javapath /bin/true\rmainclass cr.Only\r", {"-o"}, 0,
       [&](const RunResult&, const std::string& d) {
         std::string line = commandLineOf(commandFile(d));
         EXPECT_EQ(0u, line.rfind("\"/bin/true\rmainclass cr.Only\r\" -Dexe.mainConfig=", 0))
             << line;
       }},
      {"includes-itself", "include app.config\n" + java + "mainclass self.Inc\n",
       {"-o"}, 0,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Skipped include of app.config: the file is "
                                "already being read\n")) << r.err;
         EXPECT_TRUE(endsWith(commandLineOf(commandFile(d)), " self.Inc"));
       }},
      {"include-each-other", "include b.config\nargument fromA\n", {"-o"}, 0,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Skipped include of app.config")) << r.err;
         std::string line = commandLineOf(commandFile(d));
         EXPECT_TRUE(endsWith(line, " mutual.Inc \"fromB\" \"fromA\" ")) << line;
       },
       {{"b.config", "include app.config\n" + java + "mainclass mutual.Inc\n"
                     "argument fromB\n"}}},
      // A self-referring value set again line after line grows by at
      // most 1 MiB per line (64-fold per line without that bound).
      {"env-refers-to-itself", java + "mainclass env.Self\naddpath $SELF\n"
                                      "addjar $A/lib\n" + grow,
       {"-o"}, 0,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Stopped expanding $SELF: references nested "
                                "more than 64 deep")) << r.err;
         EXPECT_TRUE(has(r.err, "Stopped expanding $GROW: the text would grow "
                                "by more than 1048576 characters")) << r.err;
         std::string line = commandLineOf(commandFile(d));
         EXPECT_TRUE(has(line, " -classpath $SELF/x/x/x")) << line;
         EXPECT_TRUE(endsWith(line, " env.Self")) << line;
       },
       {},
       {{"SELF", "$SELF/x"}, {"A", "$B"}, {"B", "$A"}}},
  };
  runRows(rows);
}

TEST_F(LinuxBadInputTest, ManyEntriesAndLongCommandLines) {
  std::string config = "mainclass many.Entries\n";
  std::string expectedPath;
  for (int i = 0; i < 10000; ++i) {
    config += "addjar j" + std::to_string(i) + ".jar\n";
    expectedPath += (i ? ":j" : "j") + std::to_string(i) + ".jar";
  }
  std::vector<std::string> args = {"-passExitCode"};
  for (int i = 0; i < 500; ++i) args.push_back("cli" + std::to_string(i));
  for (int i = 0; i < 500; ++i) config += "argument cfg" + std::to_string(i) + "\n";

  std::string exe = makeApp("many-entries");
  writeFile(dir + "/app.config", "javapath " + recorder() + "\n" + config);
  RunResult r = run(exe, args);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(0u, r.exitCode) << r.err;
  std::vector<std::string> got = nulWords(readFile(dir + "/record"));
  ASSERT_EQ(4u + 1000u, got.size());
  EXPECT_EQ("-Dexe.mainConfig=" + dir + "/app.config", got[0]);
  EXPECT_EQ("-classpath", got[1]);
  EXPECT_EQ(expectedPath, got[2]);
  EXPECT_EQ("many.Entries", got[3]);
  EXPECT_EQ("cli0", got[4]);
  EXPECT_EQ("cli499", got[503]);
  EXPECT_EQ("cfg0", got[504]);
  EXPECT_EQ("cfg499", got[1003]);

  // Linux sets no command-line limit of its own: 40 000 characters pass.
  std::string longArgument(40000, 'a');
  writeFile(dir + "/app.config", "javapath " + recorder() +
                                     "\nmainclass long.Line\nargument " +
                                     longArgument + "\n");
  r = run(exe, {"-passExitCode"});
  EXPECT_EQ(0u, r.exitCode) << r.err;
  got = nulWords(readFile(dir + "/record"));
  // No class path entry: "-classpath" is followed by the empty word.
  ASSERT_EQ(5u, got.size());
  EXPECT_EQ("", got[2]);
  EXPECT_EQ("long.Line", got[3]);
  EXPECT_EQ(longArgument, got[4]);

  // One the system refuses (an argument of 10 MB) is a start failure.
  writeFile(dir + "/record", "untouched");
  writeFile(dir + "/app.config", "javapath " + recorder() +
                                     "\nmainclass huge.Line\nargument " +
                                     std::string(10 << 20, 'b') + "\n");
  r = run(exe, {"-passExitCode"});
  EXPECT_EQ(4u, r.exitCode);
  EXPECT_TRUE(has(r.err, "Unable to start Java " + recorder() +
                             ": Argument list too long\n")) << r.err.substr(0, 300);
  EXPECT_EQ("untouched", readFile(dir + "/record"));
}

// Files the launcher reads or writes in places where it cannot.
TEST_F(LinuxBadInputTest, FilesThatCannotBeReadOrWritten) {
  const std::string java = "javapath /bin/true\nmainclass files.Main\n";
  std::vector<Row> rows = {
      // A configuration that cannot be read is skipped without a word; with
      // nothing configured no runtime is found (2 with -passExitCode).
      {"c-directory", java, {"-c/tmp", "-o", "-passExitCode"}, 2,
       [](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Error!: No Java Installation Found\n")) << r.err;
         EXPECT_FALSE(fileExists(d + "/app.out"));
       }},
      {"c-missing", java, {"-cno-such.config", "-o", "-passExitCode"}, 2,
       [](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Error!: No Java Installation Found\n")) << r.err;
         EXPECT_FALSE(fileExists(d + "/no-such.out"));
       }},
      // The sample file is written where the launcher was started.
      {"sample-folder-in-the-way", java, {"-sample"}, 1,
       [](const RunResult& r, const std::string& d) {
         EXPECT_EQ("Unable to write sample.config: Is a directory\n", r.err);
         EXPECT_TRUE(fileExists(d + "/sample.config/keep"));
       },
       {{"sample.config/keep", "kept"}}, {}, "<dir>"},
      {"sample-unwritable", java, {"-sample"}, 1,
       [](const RunResult& r, const std::string&) {
         EXPECT_EQ(0u, r.err.rfind("Unable to write sample.config: ", 0)) << r.err;
       },
       {}, {}, "/proc"},
      {"sample-replaces", java, {"-sample"}, 0,
       [](const RunResult&, const std::string& d) {
         std::string sample = readFile(d + "/sample.config");
         EXPECT_EQ(0u, sample.rfind("#Created with version @(#)src/Tarvik", 0));
         EXPECT_FALSE(has(sample, "OLD SAMPLE"));
       },
       {{"sample.config", "OLD SAMPLE " + std::string(20000, 'o')}}, {}, "<dir>"},
      // The command file goes to the temporary folder when a folder of its
      // name stands in the current one; when that fails too it is reported.
      {"command-file-folder", java, {"-o"}, 0,
       [](const RunResult&, const std::string& d) {
         EXPECT_TRUE(fileExists(d + "/app.out/keep"));
         EXPECT_TRUE(endsWith(commandLineOf(readFile(d + "/tmp/app.out")),
                              " files.Main"));
       },
       {{"app.out/keep", "kept"}, {"tmp/.keep", ""}}, {{"TMPDIR", "<dir>/tmp"}}},
      {"command-file-nowhere", java, {"-o"}, 253,
       [](const RunResult& r, const std::string& d) {
         EXPECT_EQ("Error opening .out files: app.out\nand /proc/no/app.out\n",
                   r.err);
         EXPECT_TRUE(fileExists(d + "/app.out/keep"));
       },
       {{"app.out/keep", "kept"}}, {{"TMPDIR", "/proc/no"}}},
      {"command-file-replaced", java, {"-o"}, 0,
       [](const RunResult&, const std::string& d) {
         std::string file = readFile(d + "/app.out");
         EXPECT_EQ(0u, file.rfind("#Version @(#)src/Tarvik", 0)) << file;
         EXPECT_FALSE(has(file, "OLD"));
         EXPECT_TRUE(endsWith(commandLineOf(file), " files.Main"));
       },
       {{"app.out", "OLD COMMAND FILE " + std::string(20000, 'o') + "\n"}}},
      // A log that cannot be created is reported and the launch goes on.
      {"log-folder-in-the-way", java, {"-log", "<dir>/logdir", "-passExitCode"}, 0,
       [](const RunResult& r, const std::string& d) {
         EXPECT_EQ(0u, r.out.rfind("Unable to create file!\n", 0)) << r.out;
         EXPECT_TRUE(has(r.out, "#Command line=\n/bin/true ")) << r.out;
         EXPECT_TRUE(fileExists(d + "/logdir/keep"));
       },
       {{"logdir/keep", "kept"}}},
      {"log-unwritable", java, {"-log", "/proc/no/app.log", "-passExitCode"}, 0,
       [](const RunResult& r, const std::string&) {
         EXPECT_EQ(0u, r.out.rfind("Unable to create file!\n", 0)) << r.out;
       }},
      {"log-truncated", java, {"-log", "<dir>/app.log", "-passExitCode"}, 0,
       [](const RunResult& r, const std::string& d) {
         std::string log = readFile(d + "/app.log");
         EXPECT_EQ(0u, log.rfind("#Version @(#)src/Tarvik", 0)) << log.substr(0, 100);
         EXPECT_FALSE(has(log, "OLD"));
         EXPECT_EQ("", r.out);
       },
       {{"app.log", "OLD LOG " + std::string(20000, 'o') + "\n"}}},
  };
  runRows(rows);
}

// Files planted under the names the launcher writes are never written
// through; configurations that are no regular file are not read (a device
// would never end, a FIFO would block); the check that -log destroys no
// configuration sees the files a setenv line names.
TEST_F(LinuxBadInputTest, LinksAndFilesThatAreNoRegularFiles) {
  const std::string java = "javapath /bin/true\nmainclass files.Main\n";
  auto victim = [](const std::string& d) { return readFile(d + "/victim"); };
  auto plantLink = [](const std::string& name, bool hard) {
    return [name, hard](const std::string& d) {
      writeFile(d + "/victim", "precious\n");
      const std::string from = d + "/victim", to = d + "/" + name;
      ASSERT_EQ(0, hard ? link(from.c_str(), to.c_str()) : symlink(from.c_str(), to.c_str()));
    };
  };
  std::vector<Row> rows = {
      {"command-file-symlink", java, {"-o"}, 253,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "The command file app.out is a link to another file. It "
                                "is left untouched: remove it, or run -o in another "
                                "folder.\n")) << r.err;
         EXPECT_EQ("precious\n", victim(d));
       },
       {}, {}, "", plantLink("app.out", false)},
      {"sample-hard-link", java, {"-sample"}, 1,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "The sample file sample.config has other names too (a "
                                "hard link).")) << r.err;
         EXPECT_EQ("precious\n", victim(d));
       },
       {}, {}, "<dir>", plantLink("sample.config", true)},
      {"log-symlink", java, {"-log", "<dir>/run.log", "-passExitCode"}, 1,
       [&](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "/run.log is a link to another file. It is left "
                                "untouched: name another log file.\n")) << r.err;
         EXPECT_EQ("precious\n", victim(d));
         EXPECT_FALSE(fileExists(d + "/record"));
       },
       {}, {}, "", plantLink("run.log", false)},
      {"include-dev-zero", "include /dev/zero\n" + java, {"-o"}, 0,
       [](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Skipped include of /dev/zero: it is no regular file "
                                "(a FIFO or a device, say)\n")) << r.err;
         EXPECT_TRUE(endsWith(commandLineOf(readFile(d + "/app.out")), " files.Main"));
       }},
      {"include-fifo", "include pipe.config\n" + java, {"-o"}, 0,
       [](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "Skipped include of pipe.config: it is no regular "
                                "file")) << r.err;
         EXPECT_TRUE(endsWith(commandLineOf(readFile(d + "/app.out")), " files.Main"));
       },
       {}, {}, "", [](const std::string& d) {
         ASSERT_EQ(0, mkfifo((d + "/pipe.config").c_str(), 0600));
       }},
      {"c-dev-zero", java, {"-c/dev/zero", "-o", "-passExitCode"}, 2,
       [](const RunResult& r, const std::string&) {
         EXPECT_TRUE(has(r.err, "Skipped configuration file /dev/zero: it is no "
                                "regular file")) << r.err;
         EXPECT_TRUE(has(r.err, "Error!: No Java Installation Found\n")) << r.err;
       }},
      {"log-names-a-file-included-through-setenv",
       "setenv APPHOME=$HOME/shared\ninclude $APPHOME/common.config\n" + java,
       {"-log", "<dir>/shared/common.config", "-passExitCode"}, 1,
       [](const RunResult& r, const std::string& d) {
         EXPECT_TRUE(has(r.err, "/shared/common.config is this application's "
                                "configuration file")) << r.err;
         EXPECT_EQ("argument shared\n", readFile(d + "/shared/common.config"));
       },
       {{"shared/common.config", "argument shared\n"}}},
      {"output-file-is-the-log", "outputFile logs/run.log\n" + java,
       {"-log", "-passExitCode"}, 0,
       [](const RunResult& r, const std::string& d) {
         EXPECT_EQ("", r.out);
         EXPECT_TRUE(has(readFile(d + "/logs/run.log"), "#Command line=\n/bin/true "));
       },
       {{"logs/.keep", ""}}, {}, "/"},
  };
  runRows(rows);

  // The console launcher's own configuration: "Configuration File Not
  // Found" with the reason, exit code 2.
  dir = newCaseDir("console-dev-zero");
  const std::string tool = dir + "/tool";
  ASSERT_EQ(0, std::system(("cp '" + nativeConsoleLauncher() + "' '" + tool + "'").c_str()));
  RunResult r = run(tool, {}, {{"TARVIK_OPTIONS", "-c/dev/zero"}});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(2u, r.exitCode);
  EXPECT_TRUE(has(r.err, "Configuration File Not Found: The configuration file "
                         "/dev/zero cannot be read: it is no regular file (a FIFO "
                         "or a device, say).\n")) << r.err;
}

TEST_F(LinuxBadInputTest, LibrariesThatAreNoJvm) {
  struct LibraryRow {
    std::string name, javalib;
    uint32_t exitCode;  // -1234 and -1235 cut to 8 bits
    std::string message;
  };
  const std::string libm = "/lib/x86_64-linux-gnu/libm.so.6";
  std::vector<LibraryRow> rows = {
      {"missing", "/no/such/libjvm.so", 46,
       "Unable To Load JVM Library: Unable to load JVM library: /no/such/libjvm.so\n"},
      {"not-a-library", "<dir>/app.config", 46,
       "Unable To Load JVM Library: Unable to load JVM library: <dir>/app.config\n"},
      {"no-export", libm, 45,
       "Unable To Load JVM Library: Unable to load JVM library, missing "
       "JNI_CreateJavaVM\n"},
  };
  for (LibraryRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::string exe = makeApp("javalib-" + row.name);
    auto fill = [this](std::string text) {
      size_t at = text.find("<dir>");
      return at == std::string::npos ? text : text.replace(at, 5, dir);
    };
    ASSERT_TRUE(row.javalib[0] == '<' || row.javalib != libm || fileExists(libm));
    writeFile(dir + "/app.config", "javalib " + fill(row.javalib) +
                                       "\nmainclass lib.Main\n");
    RunResult r = run(exe, {"-passExitCode"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(row.exitCode, r.exitCode) << r.err;
    EXPECT_TRUE(has(r.err, fill(row.message))) << r.err;
  }
}

TEST_F(LinuxBadInputTest, RegistryValuesLongerThanTheirBuffers) {
  const std::string key = "/registry/SOFTWARE/JavaSoft/Java Runtime Environment";
  struct RegistryRow {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;  // below `key`
    std::string config;
    uint32_t exitCode;
    std::string message;
  };
  std::vector<RegistryRow> rows = {
      {"current-version-too-long", {{"CurrentVersion", std::string(300, '1')}},
       "mainclass reg.Main\n", 2, "Error!: No Java Installation Found\n"},
      {"java-home-too-long",
       {{"CurrentVersion", "17"}, {"17/JavaHome", "/" + std::string(9000, 'h')}},
       "mainclass reg.Main\n", 2,
       "Error!: No Java Installation Home Directory Found\n"},
      // A required version too long for a key path names no key.
      {"required-version-too-long", {{"CurrentVersion", "17"}},
       "appname Reg\njavaVersion 1.8.0_" + std::string(300, '9') + "\n", 5,
       "Java Runtime Environment Not Found: Reg requires the Java Runtime "
       "Environment version 1.8.0_999"},
  };
  for (const RegistryRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::string exe = makeApp("registry-" + row.name);
    for (const auto& value : row.values) {
      std::string path = dir + key + "/" + value.first;
      makeDirs(path.substr(0, path.rfind('/')));
      writeFile(path, value.second + "\n");
    }
    writeFile(dir + "/app.config", row.config);
    RunResult r = run(exe, {"-o", "-passExitCode"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(row.exitCode, r.exitCode) << r.err;
    EXPECT_TRUE(has(r.err, row.message)) << r.err.substr(0, 400);
    // Messages are cut to their buffers (254 characters and the caption).
    for (size_t start = 0, end; (end = r.err.find('\n', start)) != std::string::npos;
         start = end + 1)
      EXPECT_LT(end - start, 400u);
    EXPECT_FALSE(fileExists(dir + "/app.out"));
  }
}

// Values the desktop directives refuse: reported, ignored, the launch goes
// on (a claim, which would fail in the missing lock folder, would say so);
// a refused page is never offered.
TEST_F(LinuxBadInputTest, DesktopDirectiveValues) {
  const std::string start = "javapath /bin/true\nmainclass a.Main\n";
  const std::string noRuntime = "mainclass a.Main\njavaVersion 99\n";
  auto said = [](const std::string& text, bool offered) {
    return [text, offered](const RunResult& r, const std::string&) {
      EXPECT_TRUE(has(r.err, text)) << r.err;
      EXPECT_EQ(offered, has(r.err, "Would you like to download Java")) << r.err;
    };
  };
  const std::vector<std::pair<std::string, std::string>> locks = {
      {"XDG_RUNTIME_DIR", "<dir>/locks"}};
  runRows({
      {"empty-instance-name", start + "singleInstance \n", {}, 0,
       [](const RunResult& r, const std::string&) {
         EXPECT_EQ("singleInstance  ignored: the name is empty\n", r.err);
       }, {}, locks},
      {"backslash-instance-name", start + "singleInstance a\\b\n", {}, 0,
       [](const RunResult& r, const std::string&) {
         EXPECT_EQ("singleInstance a\\b ignored: the name must not hold \\ or /\n", r.err);
       }, {}, locks},
      {"slash-instance-name", start + "singleInstance ../../x\n", {}, 0,
       [](const RunResult& r, const std::string&) {
         EXPECT_EQ("singleInstance ../../x ignored: the name must not hold \\ or /\n", r.err);
       }, {}, locks},
      {"file-url", "javaDownloadUrl file:///bin/sh\n" + noRuntime, {}, 11,
       said("javaDownloadUrl file:///bin/sh ignored: only http and https URLs "
            "are accepted\n", false)},
      {"javascript-url", "javaDownloadUrl javascript:alert(1)\n" + noRuntime, {}, 11,
       said("javaDownloadUrl javascript:alert(1) ignored", false)},
      {"web-url-answered-no", "javaDownloadUrl https://example.com/java\n" + noRuntime,
       {}, 11, said("from https://example.com/java?", true)},
  });
}

TEST_F(LinuxBadInputTest, NumbersThatOverflow) {
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
    writeFile(dir + "/app.config",
              "javapath /bin/true\nmainclass num.Main\n" + row.lines);
    RunResult r = run(exe, {"-o"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(0u, r.exitCode) << r.err;
    EXPECT_EQ(row.printed, r.out);
    std::string line = commandLineOf(readFile(dir + "/app.out"));
    EXPECT_EQ(row.heapOption, has(line, " -Xmx")) << line;
  }
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
