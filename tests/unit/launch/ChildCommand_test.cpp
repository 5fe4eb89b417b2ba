// The words a POSIX child is given are those a Windows child's C runtime
// reads from the command line built beside them.
#include <gtest/gtest.h>

#include "fakes/LauncherTest.h"
#include "launch/ChildLauncher.h"
#include "launch/CommandLineBuilder.h"
#include "launch/WindowsCommandLine.h"

namespace tarvik {
namespace {

using Words = std::vector<std::string>;

class ChildCommandTest : public LauncherTest {};

TEST_F(ChildCommandTest, WordsAreTheRuntimesParseOfTheLine) {
  struct Case {
    const char* name;
    std::string javaPath;
    Words vmParams;
    Words classPath;
    std::optional<std::string> mainClass;
    Words arguments;
  } cases[] = {
      {"quoted spaced program", "\"C:\\Program Files\\jdk\\bin\\java.exe\"",
       {}, {"a.jar"}, "Main", {"x"}},
      {"unquoted spaced program", "/opt/my java/bin/java", {}, {}, "Main", {}},
      {"option with blanks and quotes", "java",
       {"-Dx=\"a b\"", "-Dy=two words", "-Dz=\\\"q\\\""}, {}, "Main", {}},
      {"option ending in backslashes", "java", {"-Dp=C:\\dir\\\\"}, {},
       "Main", {"after"}},
      {"no class path, no main class", "java", {}, {}, std::nullopt,
       {"a", "b"}},
      {"spaced class path", "java", {}, {"C:\\My Libs\\x.jar", "y.jar"},
       "app.Main", {}},
      {"class path of a spaced folder", "java", {}, {"C:\\My Libs\\", "a\\\\b"}, "M", {}},
      {"class path grouped by quotes", "java", {}, {"\"C:/Program Files/x\"", "", "b\\"},
       "M", {}},
      {"class path of an empty entry", "java", {}, {""}, "M", {}},
      {"arguments of every kind", "java", {"-server"}, {"c"}, "M",
       {"", " ", "\"", "a\\", "a\\\\\"b", "tab\tin", "ü", "-o", "@file"}},
      {"empty program", "", {"-Dx=1"}, {}, "Main", {"a"}},
  };
  for (const Case& c : cases) {
    for (bool vista : {false, true}) {
      resetLaunchState();
      opt.vistaOrLater = vista;
      set.javaPath = c.javaPath;
      for (const std::string& param : c.vmParams) addVmParam(param);
      set.classPath = c.classPath;
      set.mainClass = c.mainClass;
      set.appArguments = c.arguments;
      std::optional<ChildCommand> command = buildChildCommand();
      ASSERT_TRUE(command) << c.name;
      EXPECT_EQ(command->line, buildCommandLine()) << c.name;
      EXPECT_EQ(command->words, splitWindowsCommandLine(command->line))
          << c.name << ": " << command->line;
    }
  }
}

TEST_F(ChildCommandTest, TheChildIsStartedWithTheWords) {
  set.javaPath = "\"C:\\jdk 17\\bin\\java.exe\"";
  set.mainClass = "Main";
  set.appArguments = {"a b", "c\\"};
  opt.passExitCodeFlag = true;
  os.children.push_back(FakeChildScript());
  exitCodeOf([] { launchJava(); });
  ASSERT_EQ(os.started.size(), 1u);
  EXPECT_EQ(os.started[0].arguments,
            (Words{"C:\\jdk 17\\bin\\java.exe", "-classpath", "", "Main",
                   "a b", "c\\"}));
}

}  // namespace
}  // namespace tarvik
