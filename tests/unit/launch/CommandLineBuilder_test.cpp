#include "launch/CommandLineBuilder.h"

#include <functional>

#include "fakes/LauncherTest.h"
#include "launch/WindowsCommandLine.h"
#include "runtime/JreLocator.h"

namespace tarvik {
namespace {

class CommandLineBuilderTest : public LauncherTest {
 protected:
  CommandLineBuilderTest() { set.javaPath = "java"; }

  void addParam(const std::string& text) { addVmParam(text); }

  void registerRuntime(const std::string& home) {
    os.registry[RUNTIME_REGISTRY_KEY].values["CurrentVersion"] = "1.8";
    os.registry[std::string(RUNTIME_REGISTRY_KEY) + "\\1.8"]
        .values["JavaHome"] = home;
  }
};

TEST_F(CommandLineBuilderTest, ThePartsExample) {
  set.javaPath = "javaw";
  addParam("-Dmode=1");
  set.percentRam = 50;
  os.memoryBytes = 8192ull << 20;
  set.classPath = {"lib\\a.jar", "lib\\b.jar"};
  set.mainClass = "app.Main";
  set.appArguments = {"in.txt"};
  opt.vistaOrLater = true;
  EXPECT_EQ(buildCommandLine(),
            "javaw -Dmode=1 -Xmx4096m -classpath lib\\a.jar;lib\\b.jar "
            "app.Main \"in.txt\" ");
}

TEST_F(CommandLineBuilderTest, PathsOutsideTheCodePageGoByTheirShortForm) {
  // java.exe reads these in the code page (the fake's is Latin-1).
  os.shortPaths = {{"C:\\\xD0\x94\\t.config", "C:\\D~1\\t.config"},
                   {"C:\\\xD0\x94\\lib", "C:\\D~1\\lib"}};
  addParam("-Dexe.mainConfig=\"C:\\\xD0\x94\\t.config\"");
  addParam("-Dtext=\xD0\x94");
  set.classPath = {"C:\\\xD0\x94\\lib/*", "\xE5\xB7\xA5.jar"};
  set.mainClass = "app.Main";
  set.appArguments = {"\xD0\x94"};
  EXPECT_EQ(buildCommandLine(),
            "java -Dexe.mainConfig=\"C:\\D~1\\t.config\" -Dtext=\xD0\x94 "
            "-classpath C:\\D~1\\lib/*;\xE5\xB7\xA5.jar app.Main \xD0\x94 ");
}

TEST_F(CommandLineBuilderTest, LinesForEachSetting) {
  struct Case {
    const char* name;
    std::function<void()> setUp;
    const char* line;
  } cases[] = {
      {"defaults", []  {}, "java -classpath \"\" "},
      // Else Java takes the main class for the class path.
      {"a class path of one empty entry is still a word",
       [&] {
         set.classPath = {""};
         set.mainClass = "app.Main";
       },
       "java -classpath \"\" app.Main"},
      {"quarter of 16303 MiB is cut to whole MiB",
       [&] { set.percentRam = 25; },
       "java -Xmx4075m -classpath \"\" "},
      {"zero percent", [&] { set.percentRam = 0; },
       "java -Xmx0m -classpath \"\" "},
      {"above 100 is used as given",
       [&] {
         set.percentRam = 150;
         os.memoryBytes = 1000ull << 20;
       },
       "java -Xmx1500m -classpath \"\" "},
      {"no limit when the physical memory cannot be read",
       [&] {
         set.percentRam = 25;
         os.memoryBytes = 0;
       },
       "java -classpath \"\" "},
      {"below -1 counts as not set",
       [&] { set.percentRam = -7; },
       "java -classpath \"\" "},
      {"-XMX in capitals suppresses the computed limit",
       [&] {
         set.percentRam = 25;
         addParam("-XMX2g");
       },
       "java -XMX2g -classpath \"\" "},
      {"lower-case -xmx too",
       [&] {
         set.percentRam = 25;
         addParam("-xmx1g");
       },
       "java -xmx1g -classpath \"\" "},
      {"-Xms does not, and the limit follows every option",
       [&] {
         set.percentRam = 25;
         addParam("-Xms256m");
         addParam("-Da=b");
       },
       "java -Xms256m -Da=b -Xmx4075m -classpath \"\" "},
      {"a name given twice stands twice with the last value",
       [&] {
         addParam("-Dx=1");
         addParam("-Dy");
         addParam("-Dx=2");
       },
       "java -Dx=2 -Dy -Dx=2 -classpath \"\" "},
      {"an option with nothing after '=' is its bare name",
       [&] { addParam("-Dflag="); },
       "java -Dflag -classpath \"\" "},
      {"javaPath is used exactly as stored",
       [&] {
         set.javaPath = "\"C:\\Program Files\\Java\\bin\\javaw.exe\"";
       },
       "\"C:\\Program Files\\Java\\bin\\javaw.exe\" -classpath \"\" "},
      {"main class without arguments ends the line",
       [&] {
         set.classPath = {"a.jar"};
         set.mainClass = "app.Main";
       },
       "java -classpath a.jar app.Main"},
      {"arguments without a main class",
       [&] { set.appArguments = {"x"}; },
       "java -classpath \"\"  x "},
      {"before Vista only blanks are quoted",
       [&] {
         set.mainClass = "M";
         set.appArguments = {"a b", "ab", "C:\\dir\\"};
       },
       "java -classpath \"\" M \"a b\" ab C:\\dir\\ "},
      {"from Vista on every argument is quoted",
       [&] {
         opt.vistaOrLater = true;
         set.mainClass = "M";
         set.appArguments = {"a b", "ab"};
       },
       "java -classpath \"\" M \"a b\" \"ab\" "},
      {"a trailing backslash is doubled before the closing quote",
       [&] {
         opt.vistaOrLater = true;
         set.mainClass = "M";
         set.appArguments = {"C:\\", "D:\\data\\", "next"};
       },
       "java -classpath \"\" M \"C:\\\\\" \"D:\\data\\\\\" \"next\" "},
      {"a double quote is escaped and quoted even without a blank",
       [&] {
         set.mainClass = "M";
         set.appArguments = {"say\"hi", "\\\"x"};
       },
       "java -classpath \"\" M \"say\\\"hi\" \"\\\\\\\"x\" "},
      {"an empty argument stays an argument",
       [&] {
         set.mainClass = "M";
         set.appArguments = {"", "x"};
       },
       "java -classpath \"\" M \"\" x "},
      {"one pair of quotes around a class path with a blank",
       [&] {
         set.classPath = {"C:\\My Libs\\a.jar", "b.jar"};
       },
       "java -classpath \"C:\\My Libs\\a.jar;b.jar\" "},
      {"the closing quote of the class path is not escaped away",
       [&] {
         set.classPath = {"b.jar", "C:\\My Libs\\classes\\"};
         set.mainClass = "M";
       },
       "java -classpath \"b.jar;C:\\My Libs\\classes\\\\\" M"},
      {"a 32-bit runtime gets a heap it can reserve",
       [&] {
         set.percentRam = 50;
         set.runtimeIs32Bit = true;
       },
       "java -Xmx1024m -classpath \"\" "},
      {"a 32-bit runtime's smaller share stays",
       [&] {
         set.percentRam = 5;
         set.runtimeIs32Bit = true;
       },
       "java -Xmx815m -classpath \"\" "},
      {"wildcards are left to the Java launcher",
       [&] {
         set.classPath = {"lib\\*"};
         os.findResults["lib\\*"] = {"a.jar"};
       },
       "java -classpath lib\\* "},
  };
  for (Case& c : cases) {
    resetLaunchState();
    os.memoryBytes = 16303ull << 20;
    os.findResults.clear();
    set.javaPath = "java";
    c.setUp();
    EXPECT_EQ(buildCommandLine(), std::string(c.line)) << c.name;
  }
  EXPECT_EQ(os.err,
            "percentRam 25 ignored: the physical memory cannot be read\n"
            "percentRam 50 limited to 1024 MiB: the runtime is a 32-bit one\n");
}

TEST_F(CommandLineBuilderTest, ArgumentsReachTheChildUnchanged) {
  const std::vector<std::string> arguments = {
      "C:\\dir\\", "say \"hi\"", "", "a\"b", "\\\\share\\", "plain",
      "tab\there", "x\\\\\"", "-Dnot.an=option"};
  for (bool vista : {false, true}) {
    opt.vistaOrLater = vista;
    set.javaPath = "\"C:\\Program Files\\Java\\bin\\java.exe\"";
    set.classPath = {"C:\\My Libs\\classes\\", "b.jar"};
    set.mainClass = "app.Main";
    set.appArguments = arguments;
    std::optional<std::string> line = buildCommandLine();
    ASSERT_TRUE(line);
    std::vector<std::string> expected = {
        "C:\\Program Files\\Java\\bin\\java.exe", "-classpath",
        "C:\\My Libs\\classes\\;b.jar", "app.Main"};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(splitWindowsCommandLine(*line), expected) << *line;
  }
}

TEST_F(CommandLineBuilderTest, DiscoveredRuntimeIsKeptForTheRestart) {
  set.javaPath.reset();
  registerRuntime("C:\\Java\\jre8");
  opt.vistaOrLater = true;
  std::optional<std::string> first = buildCommandLine();
  EXPECT_EQ(first, "\"C:\\Java\\jre8\\bin\\javaw.exe\" -classpath \"\" ");
  EXPECT_EQ(set.javaPath, "\"C:\\Java\\jre8\\bin\\javaw.exe\"");
  os.registry.clear();  // a restart does not search again
  EXPECT_EQ(buildCommandLine(), first);
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(CommandLineBuilderTest, NoRuntimeBuildsNothing) {
  set.javaPath.reset();
  EXPECT_EQ(buildCommandLine(), std::nullopt);
  EXPECT_FALSE(set.javaPath);
}

TEST_F(CommandLineBuilderTest, DebugBoxesNameThePathAndEachQuotedArgument) {
  opt.debugMode = 1;
  set.appArguments = {"a b", "ab", "\""};
  buildCommandLine();
  std::vector<RecordedBox> expected = {
      {"Javapath is", "java", MB_STYLE_OK},
      {"Adding double quotes around", "a b", MB_STYLE_OK},
      {"Adding double quotes around", "\"", MB_STYLE_OK},
  };
  EXPECT_EQ(os.boxes, expected);
}

TEST_F(CommandLineBuilderTest, JoinedClassPath) {
  os.findResults["lib\\*.jar"] = {"a.jar", "b.jar"};
  os.findResults["my lib\\*"] = {"c.jar"};
  struct Case {
    std::vector<std::string> entries;
    bool expand;
    const char* joined;
  } cases[] = {
      {{}, false, ""},
      {{"a.jar"}, false, "a.jar"},
      {{"a.jar", "", "b.jar"}, false, "a.jar;;b.jar"},
      {{"C:\\My Libs\\a.jar", "b.jar"}, false, "\"C:\\My Libs\\a.jar;b.jar\""},
      {{"lib\\*.jar", "x"}, false, "lib\\*.jar;x"},
      {{"lib\\*.jar", "x"}, true, "lib\\a.jar;lib\\b.jar;x"},
      {{"lib\\none*"}, true, "lib\\none*"},
      // The blank is looked for before expansion.
      {{"my lib\\*"}, true, "\"my lib\\c.jar\""},
      {{"C:\\My Libs\\"}, false, "\"C:\\My Libs\\\\\""},
      // Quotes only group a spaced `$` value: the class path is quoted once.
      {{"\"C:/Program Files/Acme/lib\"", "plain.jar"}, false,
       "\"C:/Program Files/Acme/lib;plain.jar\""},
      {{"\"C:/Program Files/Acme\"/*"}, false, "\"C:/Program Files/Acme/*\""},
      {{"\"C:/x\"", "b.jar"}, false, "C:/x;b.jar"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(joinClassPath(c.entries, c.expand), c.joined) << c.joined;
}

TEST_F(CommandLineBuilderTest, PosixConventionsJoinWithColons) {
  os.conv = PlatformConventions::posix();
  EXPECT_EQ(joinClassPath({"lib/a.jar", "classes"}, false),
            "lib/a.jar:classes");
}

// Found by fuzzing: the largest share of the largest memory overflowed the
// conversion to an integer (undefined behaviour).
TEST_F(CommandLineBuilderTest, HeapSizeBeyond64BitsIsTheLargestSize) {
  os.memoryBytes = UINT64_MAX;
  EXPECT_EQ(heapLimitOption(INT32_MAX), "-Xmx18446744073709551615m");
  EXPECT_EQ(heapLimitOption(100), "-Xmx17592186044415m");
}

TEST_F(CommandLineBuilderTest, PhysicalMemoryIsInWholeMiB) {
  os.memoryBytes = (16303ull << 20) + (1 << 20) - 1;
  EXPECT_EQ(physicalMemoryMiB(), 16303u);
  os.memoryBytes = (1ull << 20) - 1;
  EXPECT_EQ(physicalMemoryMiB(), 0u);
}

}  // namespace
}  // namespace tarvik
