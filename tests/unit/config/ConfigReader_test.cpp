#include "config/ConfigReader.h"

#include <gtest/gtest.h>

#include "config/VariableTable.h"
#include "runtime/JreLocator.h"
#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

using Texts = std::vector<std::string>;

class ConfigReaderTest : public LauncherTest {
 protected:
  // Writes `content` as C:\Work\<name> and reads it.
  void read(const std::string& content, const std::string& name = "a.config") {
    os.files["C:\\Work\\" + name] = content;
    EXPECT_EQ(readConfigFile(name), 0);
  }
};

TEST_F(ConfigReaderTest, LineClassification) {
  struct Case {
    const char* line;
    OptionalText mainClass;
  } cases[] = {
      {"mainclass com.acme.Main", "com.acme.Main"},
      {"mainclass  com.acme.Main", "com.acme.Main"},
      {"mainclass com.acme.Main \t", "com.acme.Main"},
      {"mainclass a.b#not.a.comment", "a.b#not.a.comment"},
      {"mainclassX com.acme.Main", "com.acme.Main"},
      {"mainclass ", ""},
      {"mainclass", std::nullopt},
      {"mainclass\tcom.acme.Main", std::nullopt},
      {"MainClass com.acme.Main", std::nullopt},
      {" mainclass com.acme.Main", std::nullopt},
      {"# mainclass x", std::nullopt},
      {"/ mainclass x", std::nullopt},
      {"//mainclass x", std::nullopt},
      {"unknown mainclass x", std::nullopt},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    parseDirectiveLine(c.line);
    EXPECT_EQ(set.mainClass, c.mainClass) << c.line;
  }
  EXPECT_TRUE(os.out.empty());
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(ConfigReaderTest, KeywordsAreTriedInTableOrder) {
  parseDirectiveLine("addjars lib");
  parseDirectiveLine("addjar lib/a.jar");
  parseDirectiveLine("addpath classes");
  EXPECT_EQ(set.classPath, (Texts{"lib/*", "lib/a.jar", "classes"}));
  parseDirectiveLine("variable x");  // a `var` line with the argument "x"
  EXPECT_EQ(os.out, "Attempted to parse invalid var line: x\n");
}

TEST_F(ConfigReaderTest, ExpansionColumnPerDirective) {
  os.env["E"] = "C:\\a b";
  os.env["C"] = "app\\Main";
  variables()["v"] = "V";
  struct Case {
    const char* line;
    OptionalText LaunchSettings::*field;
    const char* expected;
  } cases[] = {
      {"javapath $E\\bin\\java", &LaunchSettings::javaPath,
       "\"C:/a b/bin/java\""},
      {"mainclass $C", &LaunchSettings::mainClass, "app/Main"},
      {"appname %v% $E", &LaunchSettings::appName, "V C:/a b"},
      // The quotes group the value on a command line; a title and a path
      // are used without them.
      {"consoleTitle $E", &LaunchSettings::consoleTitle, "C:/a b"},
      {"workingDir $E", &LaunchSettings::workingDir, "C:/a b"},
      {"outputFile $E", &LaunchSettings::outputFile, "C:/a b"},
      {"workingDir $E\\sub", &LaunchSettings::workingDir, "C:/a b/sub"},
      {"consoleTitle say \"$E\" now", &LaunchSettings::consoleTitle,
       "say \"C:/a b\" now"},
      // Blanks and tabs that end a path are dropped; other values keep them.
      {"javapath C:\\jdk\\bin\\java.exe \t ", &LaunchSettings::javaPath,
       "C:\\jdk\\bin\\java.exe"},
      {"workingDir D:\\w ", &LaunchSettings::workingDir, "D:\\w"},
      {"outputFile out.txt\t", &LaunchSettings::outputFile, "out.txt"},
      {"appname Tool ", &LaunchSettings::appName, "Tool "},
  };
  for (const Case& c : cases) {
    parseDirectiveLine(c.line);
    EXPECT_EQ(set.*c.field, c.expected) << c.line;
  }
  parseDirectiveLine("addpath $E");
  parseDirectiveLine("addjars $E");
  parseDirectiveLine("addjar $E");
  EXPECT_EQ(set.classPath,
            (Texts{"\"C:/a b\"", "\"C:/a b\"/*", "\"C:/a b\""}));
  parseDirectiveLine("argument $HOME");
  parseDirectiveLine("argument %v%");
  EXPECT_EQ(set.appArguments, (Texts{"$HOME", "V"}));
  parseDirectiveLine("addjar h2.jar ");
  parseDirectiveLine("addjars lib\t");
  parseDirectiveLine("addpath classes  ");
  EXPECT_EQ(Texts(set.classPath.begin() + 3, set.classPath.end()),
            (Texts{"h2.jar", "lib/*", "classes"}));
  parseDirectiveLine("argument a ");
  EXPECT_EQ(set.appArguments.back(), "a ");
  parseDirectiveLine("javalib $E");
  EXPECT_EQ(set.javaLib, "C:/a b");
  parseDirectiveLine("javalib C:\\jvm.dll ");
  EXPECT_EQ(set.javaLib, "C:\\jvm.dll");
  parseDirectiveLine("vmparam -Dh=$E");
  EXPECT_EQ(set.vmParamValues["-Dh"], "\"C:/a b\"");
}

TEST_F(ConfigReaderTest, ShowConsoleWantsExactlyTrue) {
  struct Case {
    const char* line;
    bool on;
  } cases[] = {
      {"showConsole TRUE", true},   {"showConsole true", true},
      {"showConsole yes", false},   {"showConsole true ", false},
      {"showConsole  true", false},
  };
  for (const Case& c : cases) {
    set.showConsole = !c.on;  // e.g. the -con switch
    parseDirectiveLine(c.line);
    EXPECT_EQ(set.showConsole, c.on) << c.line;
  }
}

TEST_F(ConfigReaderTest, Keepalive) {
  struct Case {
    const char* line;
    bool before, keepAlive;
    int32_t millis;
    const char* out;
  } cases[] = {
      {"keepalive true", false, true, 3000, ""},
      {"keepalive TRUE 30", false, true, 3000, ""},
      {"keepalive false 30", true, false, 30000, "30000\n"},
      {"keepalive  false   7 more", true, false, 7000, "7000\n"},
      {"keepalive false 0", true, false, 0, "0\n"},
      {"keepalive false 12s", true, false, 12000, "12000\n"},
      {"keepalive false", true, false, 3000, ""},
      {"keepalive no 5", true, false, 5000, "5000\n"},
      {"keepalive false soon", true, false, 3000, ""},
      {"keepalive false -5", true, false, 3000, ""},
      {"keepalive false 2147483", true, false, 2147483000, "2147483000\n"},
      {"keepalive false 2147484", true, false, 3000, ""},
      {"keepalive false 99999999999999999999999", true, false, 3000, ""},
      {"keepalive  ", true, true, 3000, ""},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.out.clear();
    set.keepAlive = c.before;
    parseDirectiveLine(c.line);
    EXPECT_EQ(set.keepAlive, c.keepAlive) << c.line;
    EXPECT_EQ(set.keepAliveMillis, c.millis) << c.line;
    EXPECT_EQ(os.out, c.out) << c.line;
  }
}

TEST_F(ConfigReaderTest, PercentRam) {
  struct Case {
    const char* line;
    int32_t percent;
    bool complains;
  } cases[] = {
      {"percentRam 50", 50, false},
      {"percentRam 150", 150, false},
      {"percentRam abc", 20, false},
      {"percentRam  \t 40%", 40, false},
      {"percentRam +30", 30, false},
      {"percentRam -1", -1, false},
      {"percentRam 2147483647", 2147483647, false},
      {"percentRam 2147483648", 20, false},
      {"percentRam -2147483649", 20, false},
      {"percentRam -5", 20, true},
      {"percentRam -", 20, false},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.err.clear();
    set.percentRam = 20;
    parseDirectiveLine(c.line);
    EXPECT_EQ(set.percentRam, c.percent) << c.line;
    EXPECT_EQ(os.err, c.complains ? "percentRam -5 ignored: the value must "
                                    "not be below -1\n"
                                  : "")
        << c.line;
  }
}

TEST_F(ConfigReaderTest, AddToPathAppendsToADefinedParameter) {
  read("vmparam -Dplugin.path=a.jar\naddToPath plugin.path b.jar  c.jar\n");
  EXPECT_EQ(set.vmParams, (Texts{"-Dplugin.path"}));
  EXPECT_EQ(set.vmParamValues["-Dplugin.path"], "a.jar;b.jar c.jar");

  resetLaunchState();
  read("addToPath plugin.path b.jar\nvmparam -Dplugin.path=a.jar\n");
  EXPECT_EQ(set.vmParamValues["-Dplugin.path"], "a.jar");

  resetLaunchState();
  read("addToPath plugin.path b.jar\naddToPath plugin.path\n");
  EXPECT_TRUE(set.vmParams.empty());  // not on the command line
  EXPECT_EQ(set.vmParamValues["-Dplugin.path"], ";b.jar");
}

TEST_F(ConfigReaderTest, AddToPathExpandsTheWholeValue) {
  os.env["LIB"] = "C:\\my libs";
  read("vmparam -Dp=x\naddToPath p $LIB\\extra.jar\n");
    // The stored value holds no '=', so all of it is put in quotes.
  EXPECT_EQ(set.vmParamValues["-Dp"], "\"x;C:/my libs/extra.jar\"");
}

// A value that doubles itself line by line stops at the bound, as a `$NAME`
// expansion does, and the lines that would pass it are skipped.
TEST_F(ConfigReaderTest, VariablesGrowALineByAtMostAMebibyte) {
  std::string config = "var A=0123456789abcdef\n";
  for (int i = 0; i < 18; ++i) config += "var A=%A%%A%\n";
  read(config + "vmparam -Dx=%A%\n");
  EXPECT_EQ(variables()["A"].size(), 1u << 20);
  EXPECT_EQ(set.vmParamValues["-Dx"].size(), 1u << 20);
  const std::string line = "Skipped a var line: %A% would grow it by more than "
                           "1048576 characters (does a variable refer back to itself?)\n";
  EXPECT_EQ(os.err, line + line);
}

TEST_F(ConfigReaderTest, SetenvReachesTheEnvironmentAndLaterReferences) {
  read("setenv APP_HOME=C:\\apps\\x\n"
       "setenv EMPTY=\n"
       "setenv NOEQUALS\n"
       "setenv B=$APP_HOME\\bin\n"
       "mainclass $B\n");
  EXPECT_EQ(os.env["APP_HOME"], "C:\\apps\\x");  // nothing expanded
  EXPECT_EQ(os.env["EMPTY"], "");
  EXPECT_EQ(os.env.count("NOEQUALS"), 0u);
  EXPECT_EQ(os.env["B"], "C:/apps/x/bin");
  EXPECT_EQ(set.mainClass, "C:/apps/x/bin");
}

TEST_F(ConfigReaderTest, SetenvShowsTheUnexpandedValueInDebugMode) {
  opt.debugMode = 1;
  os.env["X"] = "x";
  parseDirectiveLine("setenv N=$X");
  ASSERT_FALSE(os.boxes.empty());
  EXPECT_EQ(os.boxes[0], (RecordedBox{"N", "$X", MB_STYLE_OK}));
  EXPECT_EQ(os.env["N"], "x");
}

TEST_F(ConfigReaderTest, ListsGrowInFileOrderAndSingleValuesAreReplaced) {
  read("argument one\n"
       "mainclass First\n"
       "argument two\n"
       "mainclass Second\n"
       "rmvmparam -Dgone\n"
       "vmparam -Dgone=1\n"
       "vmparam -Dkept=2\n"
       "rmvmparam -Dgone\n"
       "rmvmparam \n");
  EXPECT_EQ(set.appArguments, (Texts{"one", "two"}));
  EXPECT_EQ(set.mainClass, "Second");
  EXPECT_EQ(set.vmParams, (Texts{"-Dkept"}));
}

TEST_F(ConfigReaderTest, CreateDirMakesEachComponent) {
  os.env["X"] = "x";
  parseDirectiveLine("createDir C:\\data\\$X\\logs");
  EXPECT_EQ(os.events, (Texts{"mkdir C:\\data", "mkdir C:\\data\\$X",
                              "mkdir C:\\data\\$X\\logs"}));
}

TEST_F(ConfigReaderTest, JavaVersionWithoutARuntimeEndsWithFive) {
  opt.quietMode = true;
  os.env["VER"] = "1.8.0_45";
  set.javaPath = "earlier";
  EXPECT_EQ(exitCodeOf([&] { read("javaVersion $VER\nmainclass X\n"); }), 5);
  EXPECT_EQ(set.requiredJavaVersion, "1.8.0_45");
  EXPECT_EQ(set.javaPath, "earlier");
  EXPECT_FALSE(set.mainClass);  // the process ended at that line
}

TEST_F(ConfigReaderTest, JavaVersionRuntimeBecomesTheJavaPath) {
  os.registry[std::string(RUNTIME_REGISTRY_KEY) + "\\1.8.0_45"].values
      ["JavaHome"] = "C:\\jre";
  set.requiredJavaVersion = "1.8.0_45";
  OptionalText runtime = locateRequiredRuntime();
  if (!runtime) GTEST_SKIP() << "runtime discovery not available yet";
  resetLaunchState();
  read("javapath early\njavaVersion 1.8.0_45\n");
  EXPECT_EQ(set.javaPath, runtime);
  parseDirectiveLine("javapath late");
  EXPECT_EQ(set.javaPath, "late");
}

TEST_F(ConfigReaderTest, VariablesAreSeenFromTheirLineOn) {
  read("mainclass %v%\n"
       "var v=one\n"
       "appname %v%\n"
       "var v=two\n"
       "argument %v%\n");
  EXPECT_EQ(set.mainClass, "%v%");
  EXPECT_EQ(set.appName, "one");
  EXPECT_EQ(set.appArguments, (Texts{"two"}));
}

TEST_F(ConfigReaderTest, IncludeIsReadAtItsLineAndSharesEverything) {
  os.files["C:/Work/extra.config"] =
      "argument %before%\nvar after=A\nargument inside\n";
  os.env["DIR"] = "C:\\Work";
  read("var before=B\n"
       "argument first\n"
       "include $DIR\\extra.config\n"
       "argument %after%\n"
       "include missing.config\n"
       "argument last\n");
  EXPECT_EQ(set.appArguments, (Texts{"first", "B", "inside", "A", "last"}));
  EXPECT_TRUE(os.err.empty());
}

TEST_F(ConfigReaderTest, IncludeCyclesAreStoppedWithOneLine) {
  os.files["C:\\Work\\b.config"] = "argument b\ninclude C:/WORK/./a.config\n";
  read("argument a1\ninclude b.config\nargument a2\ninclude a.config\n");
  EXPECT_EQ(set.appArguments, (Texts{"a1", "b", "a2"}));
  EXPECT_EQ(os.err,
            "Skipped include of C:/WORK/./a.config: the file is already "
            "being read\n"
            "Skipped include of a.config: the file is already being read\n");
  // Once the files are closed they may be read again.
  os.err.clear();
  set.appArguments.clear();
  readConfigFile("a.config");
  EXPECT_EQ(set.appArguments, (Texts{"a1", "b", "a2"}));
}

TEST_F(ConfigReaderTest, IncludeDepthIsBounded) {
  // Every file is new, yet the chain must end.
  for (int i = 0; i < 100; ++i)
    os.files["C:\\Work\\f" + std::to_string(i)] =
        "argument " + std::to_string(i) + "\ninclude f" +
        std::to_string(i + 1) + "\n";
  readConfigFile("f0");
  EXPECT_EQ(set.appArguments.size(), 64u);
  EXPECT_EQ(os.err,
            "Skipped include of f64: includes nest more than 64 deep\n");
}

TEST_F(ConfigReaderTest, LineEnds) {
  struct Case {
    std::string content;
    Texts arguments;
  } cases[] = {
      {"argument a\r\nargument b\r\n", {"a", "b"}},
      {"argument a\nargument b", {"a", "b"}},   // last line without end
      {"argument a\r\r\nargument b\r", {"a\r", "b\r"}},
      {"argument a\rargument b\r", {"a\rargument b\r"}},  // CR only: one line
      {"\n\n\r\n#x y\nargument a\n\n", {"a"}},
      {"", {}},
      {"\xEF\xBB\xBF" "argument a\nargument b\n", {"a", "b"}},  // BOM skipped
      {std::string("argument a\0b c\nargument d\n", 26), {"a", "d"}},
      {std::string("\0argument a\nargument b", 22), {"b"}},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    read(c.content);
    EXPECT_EQ(set.appArguments, c.arguments) << c.content;
  }
}

TEST_F(ConfigReaderTest, EncodingByteOrderMarkAndCtrlZ) {
  // The fake's ANSI code page is Latin-1.
  struct Case {
    bool windows;
    std::string content;
    Texts arguments;
  } cases[] = {
      {true, "argument \xC3\xA9 \xD0\x94 \xE5\xB7\xA5\n", {"\xC3\xA9 \xD0\x94 \xE5\xB7\xA5"}},
      {true, "\xEF\xBB\xBF" "argument \xC3\xA9\n", {"\xC3\xA9"}},
      {true, "argument \xE9\n", {"\xC3\xA9"}},  // not UTF-8: the ANSI code page
      {true, "\xEF\xBB\xBF" "argument \xE9\n", {"\xC3\xA9"}},
      {true, "argument \xF0\x9F\x98\x80\n", {"\xF0\x9F\x98\x80"}},
      {true, "argument \xED\xA0\x80\n", {"\xC3\xAD\xC2\xA0\xC2\x80"}},  // a surrogate is not UTF-8
      {true, "argument a\nargument b\x1A\nargument c\n", {"a", "b"}},
      {false, "argument a\nargument b\x1A\nargument c\n", {"a", "b\x1A", "c"}},
      {false, "\xEF\xBB\xBF" "argument a\n", {"a"}},
      // Notepad's "Unicode": UTF-16 with its byte-order mark, either order.
      {true, std::string("\xFF\xFE" "a\0r\0g\0u\0m\0e\0n\0t\0 \0\xE9\0\x14\x04\r\0\n\0", 28),
       {"\xC3\xA9\xD0\x94"}},
      {false, std::string("\xFE\xFF\0a\0r\0g\0u\0m\0e\0n\0t\0 \xD8\x3D\xDE\x00\0\n", 26),
       {"\xF0\x9F\x98\x80"}},
      // U+011A holds the byte 1A; only the character Ctrl-Z ends the file.
      {true, std::string("\xFF\xFE" "a\0r\0g\0u\0m\0e\0n\0t\0 \0\x1A\x01\n\0\x1A\0x\0", 28),
       {"\xC4\x9A"}},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.conv = c.windows ? PlatformConventions::windows()
                        : PlatformConventions::posix();
    os.files[os.resolve("t.config")] = c.content;
    readConfigFile("t.config");
    EXPECT_EQ(set.appArguments, c.arguments) << c.content;
  }
}

TEST_F(ConfigReaderTest, BinaryFileIsReadWithoutHarm) {
  std::string binary;
  for (int i = 0; i < 65536; ++i) binary += static_cast<char>((i * 7919) % 256);
  // A Ctrl-Z would end the file as Windows reads text.
  for (char& c : binary)
    if (c == '\x1A') c = '\x1B';
  read(binary + "\nmainclass after.Binary\n");
  EXPECT_EQ(set.mainClass, "after.Binary");
}

TEST_F(ConfigReaderTest, HugeLinesAndManyLinesAreFast) {
  const std::string big(10 << 20, 'x');
  std::string many;
  for (int i = 0; i < 100000; ++i) many += "argument " + std::to_string(i) + "\n";
  read("argument " + big + "\n" + many + "mainclass " + big + "$X\n");
  ASSERT_EQ(set.appArguments.size(), 100001u);
  EXPECT_EQ(set.appArguments[0], big);
  EXPECT_EQ(set.appArguments[100000], "99999");
  EXPECT_EQ(set.mainClass, big + "$X");
}

TEST_F(ConfigReaderTest, ALineOfPercentSigns) {
  read("argument " + std::string(10000, '%') + "\n");
  EXPECT_EQ(set.appArguments, (Texts{std::string(5000, '%')}));
}

TEST_F(ConfigReaderTest, UnreadableFilesAreSkippedSilently) {
  EXPECT_EQ(readConfigFile("C:\\nowhere.config"), 0);
  EXPECT_EQ(readConfigFile(""), 0);
  EXPECT_TRUE(os.out.empty() && os.err.empty() && os.boxes.empty());
  EXPECT_EQ(set.vmParams.size(), 0u);
}

// A file that is there but never ends (a device), would block (a FIFO) or
// is beyond any configuration's size is not read: a line names it and why,
// and the rest of the configuration is read as before.
TEST_F(ConfigReaderTest, FilesThatAreNoTextFilesAreNamedAndSkipped) {
  struct Row {
    const char* name;
    bool notRegular;
    size_t size;
    std::string err;
  } rows[] = {
      {"a FIFO or a device", true, 10, "Skipped include of C:\\Work\\b.config: it is "
                                       "no regular file (a FIFO or a device, say)\n"},
      {"larger than 64 MiB", false, (64u << 20) + 1,
       "Skipped include of C:\\Work\\b.config: it holds more than 67108864 bytes\n"},
      {"exactly 64 MiB", false, 64u << 20, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    resetLaunchState();
    os.err.clear();
    os.notRegular.clear();
    os.files["C:\\Work\\b.config"] = std::string(row.size, '#');
    if (row.notRegular) os.notRegular.insert("C:\\Work\\b.config");
    read("argument before\ninclude C:\\Work\\b.config\nargument after\n");
    EXPECT_EQ(os.err, row.err);
    EXPECT_EQ(set.appArguments, (Texts{"before", "after"}));
  }
  resetLaunchState();
  os.err.clear();
  os.notRegular = {"C:\\Work\\a.config"};
  read("mainclass a.B\n");
  EXPECT_EQ(os.err, "Skipped configuration file a.config: it is no regular "
                    "file (a FIFO or a device, say)\n");
  EXPECT_FALSE(set.mainClass);
}

TEST_F(ConfigReaderTest, DebugModeNamesEachFileRead) {
  opt.debugMode = 1;
  os.files["C:\\Work\\inc"] = "";
  read("include inc\n");
  std::vector<RecordedBox> expected = {
      {"Reading Config file", "a.config", MB_STYLE_OK},
      {"Reading Config file", "inc", MB_STYLE_OK},
  };
  EXPECT_EQ(os.boxes, expected);
}

TEST_F(ConfigReaderTest, PosixConventionsUseColonAndSlashes) {
  os.conv = PlatformConventions::posix();
  os.cwd = "/work";
  os.files["/work/a.config"] =
      "vmparam -Dp=x\naddToPath p y\ninclude ./a.config\n";
  readConfigFile("a.config");
  EXPECT_EQ(set.vmParamValues["-Dp"], "x:y");
  EXPECT_EQ(os.err,
            "Skipped include of ./a.config: the file is already being read\n");
}

TEST_F(ConfigReaderTest, IncludesThatFanOutStopAtTheFileBudget) {
  // Each of 40 files includes the next one twice: 2^40 reads unbounded.
  for (int i = 0; i < 40; ++i) {
    std::string next = "f" + std::to_string(i + 1) + ".config";
    os.files["C:\\Work\\f" + std::to_string(i) + ".config"] =
        "argument " + std::to_string(i) + "\ninclude " + next + "\ninclude " + next + "\n";
  }
  readConfigFile("f0.config");
  // One argument per file read (missing files count against the budget too).
  EXPECT_GT(set.appArguments.size(), 4000u);
  EXPECT_LT(set.appArguments.size(), 10000u);
  EXPECT_NE(os.err.find("Skipped include of "), std::string::npos);
  EXPECT_NE(os.err.find(": the configuration has read 10000 files already\n"),
            std::string::npos);

  // The budget is per configuration: a later one starts afresh.
  set.appArguments.clear();
  os.files["C:\\Work\\small.config"] = "argument s\n";
  readConfigFile("small.config");
  EXPECT_EQ(set.appArguments, Texts{"s"});
}

}  // namespace
}  // namespace tarvik

namespace tarvik {
namespace {

class SharedConfigTest : public LauncherTest {};

TEST_F(SharedConfigTest, WindowsPathsInAConfigurationWorkWithSlashSeparators) {
  const char* lines =
      "javapath C:\\jre\\bin\\java\n"
      "addpath classes\\main\n"
      "addjars lib\\ext\n"
      "addjar lib\\a.jar\n"
      "workingDir data\\work\n"
      "javalib jre\\lib\\server\\libjvm.so\n"
      "argument C:\\keep\\as\\is\n"
      "vmparam -Dp=a\\b\n";
  for (bool posix : {false, true}) {
    resetLaunchState();
    os.conv = posix ? PlatformConventions::posix() : PlatformConventions::windows();
    os.files[os.resolve("app.config")] = lines;
    readConfigFile("app.config");
    const char* sep = posix ? "/" : "\\";
    auto path = [&](std::string text) {
      for (size_t i; (i = text.find('|')) != std::string::npos;) text.replace(i, 1, sep);
      return text;
    };
    EXPECT_EQ(set.javaPath, path("C:|jre|bin|java"));
    EXPECT_EQ(set.classPath, (Texts{path("classes|main"), path("lib|ext") + "/*",
                                    path("lib|a.jar")}));
    EXPECT_EQ(set.workingDir, path("data|work"));
    EXPECT_EQ(set.javaLib, path("jre|lib|server|libjvm.so"));
    EXPECT_EQ(set.appArguments, Texts{"C:\\keep\\as\\is"}) << "arguments are no paths";
    EXPECT_EQ(set.vmParamValues["-Dp"], "a\\b");
  }
}

}  // namespace
}  // namespace tarvik

namespace tarvik {
namespace {

TEST_F(ConfigReaderTest, RuntimeHomeIsBesideTheLauncherAndJavalibAutoIsAValue) {
  const struct {
    const char* line;
    Texts homes;
    bool automatic;
    const char* javaLib;
  } cases[] = {
      {"runtimeHome runtime", {"C:\\Apps\\runtime"}, false, ""},
      {"runtimeHome \"D:\\My Runtimes\\17\"", {"D:\\My Runtimes\\17"}, false, ""},
      {"runtimeHome /opt/rt", {"/opt/rt"}, false, ""},
      {"runtimeHome ", {}, false, ""},
      {"javalib auto", {}, true, ""},
      {"javalib  auto ", {}, true, ""},
      {"javalib autox", {}, false, "autox"},
  };
  for (const auto& c : cases) {
    resetLaunchState();
    startup().launcherDir = "C:\\Apps";
    parseDirectiveLine(c.line);
    EXPECT_EQ(set.runtimeHomes, c.homes) << c.line;
    EXPECT_EQ(set.javaLibAuto, c.automatic) << c.line;
    EXPECT_EQ(set.javaLib, c.javaLib) << c.line;
    EXPECT_EQ(os.err, "") << c.line;
  }
  // Written after javaVersion, which has chosen already: said so.
  set.requiredJavaVersion = "17";
  parseDirectiveLine("runtimeHome rt");
  EXPECT_EQ(os.err, "runtimeHome C:\\Apps\\rt follows javaVersion, which has "
                    "chosen its runtime already: write it before javaVersion.\n");
}

}  // namespace
}  // namespace tarvik
