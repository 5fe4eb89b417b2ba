// The words the child is handed, from configuration, environment and
// switches through the whole launcher: a value never adds a word, ends one
// or changes the main class.
#include <gtest/gtest.h>

#include "Tarvik.h"
#include "fakes/FakeJvm.h"
#include "fakes/LauncherTest.h"
#include "launch/EmbeddedVmLauncher.h"
#include "runtime/JreLocator.h"

namespace tarvik {
namespace {

using Strings = std::vector<std::string>;

const char* const INJECTED = "a\" -Dinjected=1 \"b";

class ChildWordsTest : public LauncherTest {
 protected:
  // The child's words after the Java executable but the configuration's
  // path, of a launch with this configuration, environment and command
  // line.
  Strings childWords(const std::string& config,
                     const std::map<std::string, std::string>& env,
                     const Strings& words) {
    os.registry[RUNTIME_REGISTRY_KEY].values["CurrentVersion"] = "1.8";
    os.registry[std::string(RUNTIME_REGISTRY_KEY) + "\\1.8"].values["JavaHome"] =
        "C:\\Java";
    os.files[folder + "\\tool.config"] = config;
    for (const auto& [name, value] : env) os.env[name] = value;
    FakeChildScript script;
    os.children.push_back(script);
    Strings argv = {folder + "\\tool.exe"};
    argv.insert(argv.end(), words.begin(), words.end());
    exitCode = exitCodeOf([&] { runLauncher(argv); });
    if (os.started.empty()) return {"(no child)"};
    line = os.started[0].commandLine;
    Strings result;
    for (size_t i = 1; i < os.started[0].arguments.size(); ++i)
      if (os.started[0].arguments[i] != "-Dexe.mainConfig=" + folder + "\\tool.config")
        result.push_back(os.started[0].arguments[i]);
    return result;
  }

  std::string folder = "C:\\Apps";
  std::string line;
  int exitCode = 0;
};

TEST_F(ChildWordsTest, ValuesStayInsideTheirWords) {
  struct Case {
    const char* name;
    const char* config;
    std::map<std::string, std::string> env;
    Strings words;
    Strings expected;  // the words between the Java path and the class path
    Strings arguments;
  } cases[] = {
      {"a $ value with quotes", "vmparam -Dq=$V\nmainclass app.Main\n",
       {{"V", INJECTED}}, {}, {std::string("-Dq=") + INJECTED}, {}},
      {"a %var% value with quotes", "var V=a\" -Dinjected=1 \"b\nvmparam -Dq=%V%\nmainclass app.Main\n",
       {}, {}, {std::string("-Dq=") + INJECTED}, {}},
      {"a $ value after a quote of the line's own",
       "vmparam \"-Dq=$V\"\nmainclass app.Main\n", {{"V", "x\" \"y"}}, {},
       {"-Dq=x\" \"y"}, {}},
      {"a -D word with quotes of its own", "mainclass app.Main\n", {},
       {"-Dx=say \"hi\" now"}, {"-Dx=say \"hi\" now"}, {}},
      {"a -D word ending in a backslash", "mainclass app.Main\n", {},
       {"-Dx=C:\\my dir\\"}, {"-Dx=C:\\my dir\\"}, {}},
      {"a -D word of a $ value with quotes", "mainclass app.Main\n",
       {{"V", INJECTED}}, {"-Dq=$V"}, {std::string("-Dq=") + INJECTED}, {}},
      {"addToPath: a $ value with quotes", "vmparam -Dp=a\naddToPath p $V\nmainclass app.Main\n",
       {{"V", INJECTED}}, {}, {std::string("-Dp=a;") + INJECTED}, {}},
      {"addToPath: a %var% value with quotes and blanks",
       "var V=x  \" -Dinjected=1 \"y\nvmparam -Dp=a\naddToPath p %V%\nmainclass app.Main\n",
       {}, {}, {"-Dp=a;x  \" -Dinjected=1 \"y"}, {}},
      {"javapath: a $ value with quotes is part of the program's word",
       "javapath C:\\Java\\bin\\$V\"\nmainclass app.Main\n", {{"V", INJECTED}}, {}, {}, {}},
      {"an unset $ reference as the whole vmparam",
       "vmparam $MY_OPTS\nvmparam -Da=1\nmainclass app.Main\n", {}, {}, {"-Da=1"}, {}},
      {"vmparamsFrom: each option one word, the others left out",
       "vmparamsFrom MAVEN_OPTS\nmainclass app.Main\n",
       {{"MAVEN_OPTS",
         "-Xmx1g \"-Dmsg=a b\" '-Dq=x\"y' --add-opens java.base/java.lang=ALL-UNNAMED "
         "Other -jar x.jar -cp y @more --module=m/C -version -p"}},
       {},
       {"-Xmx1g", "-Dmsg=a b", "-Dq=x\"y", "--add-opens",
        "java.base/java.lang=ALL-UNNAMED"},
       {}},
      {"vmparamsFrom: the options that end the launch, in either form",
       "vmparamsFrom JAVA_OPTS\nmainclass app.Main\n",
       {{"JAVA_OPTS",
         "-Da=1 -Xinternalversion --describe-module=java.base --describe-module java.base "
         "-d java.base -Xshare:dump --list-modules --validate-modules -XshowSettings "
         "-XshowSettings:all --dry-run -version --version -version:17 -showversion "
         "--show-version --help -h -? -X --help-extra -fullversion -XX:+PrintFlagsInitial "
         "-Xlog:help -XX:+PrintSharedArchiveAndExit -XX:AOTMode=create "
         "-XX:+DumpSharedSpaces -XX:+PrintFlagsFinal -Db=2"}},
       {},
       {"-Da=1", "-XX:+PrintFlagsFinal", "-Db=2"},
       {}},
      {"vmparamsFrom an unset and an empty variable",
       "vmparamsFrom ANT_OPTS\nvmparamsFrom JAVA_OPTS\nmainclass app.Main\n",
       {{"JAVA_OPTS", ""}}, {}, {}, {}},
      {"vmparamsFrom with a quote that is not closed",
       "vmparamsFrom JAVA_OPTS\nmainclass app.Main\n",
       {{"JAVA_OPTS", "-Da=1 \"-Db=2"}}, {}, {}, {}},
      {"leading arguments before the command line's words",
       "mainclass org.codehaus.groovy.tools.GroovyStarter\n"
       "leadingArgument --main\nleadingArgument groovy.ui.GroovyMain\nargument --last\n",
       {}, {"script.groovy"}, {}, {"--main", "groovy.ui.GroovyMain", "script.groovy", "--last"}},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    Strings expected = c.expected;
    const std::string mainClass =
        c.arguments.empty() ? "app.Main" : "org.codehaus.groovy.tools.GroovyStarter";
    expected.insert(expected.end(), {"-classpath", "", mainClass});
    expected.insert(expected.end(), c.arguments.begin(), c.arguments.end());
    EXPECT_EQ(childWords(c.config, c.env, c.words), expected) << c.name << "\n" << line;
  }
}

// A main class that would be several words ends the launch before any
// child or VM with the line that names it; blanks around it are no part of
// it.
TEST_F(ChildWordsTest, AMainClassIsOneWordOrTheLaunchIsRefused) {
  struct Case {
    const char* config;
    const char* value;  // of $M
    const char* refused;  // nullptr: the launch goes on
  } cases[] = {
      {"mainclass app.Main -Dinjected=1\n", "", "app.Main -Dinjected=1"},
      {"mainclass $M\n", "app.Main \"x\"", "app.Main \"x\""},
      {"var M=app\"Main\nmainclass %M%\n", "", "app\"Main"},
      {"javalib C:\\Java\\bin\\server\\jvm.dll\nmainclass $M\n", "a\tb", "a\tb"},
      {"mainclass  app.Main \t\n", "", nullptr},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    const Strings words = childWords(c.config, {{"M", c.value}}, {});
    if (!c.refused) {
      EXPECT_EQ(words, (Strings{"-classpath", "", "app.Main"})) << c.config;
      continue;
    }
    EXPECT_EQ(words, Strings{"(no child)"}) << c.config;
    EXPECT_EQ(exitCode, 7) << c.config;
    EXPECT_EQ(os.err, std::string("mainclass ") + c.refused +
                          " refused: a main class is one word, without blanks, "
                          "double quotes or control characters\n")
        << c.config;
  }
}

// appUserModelId: the agent beside the launcher, by its full path, and the
// ID are one word before the configured options; without an agent Java can
// load, the launch goes on without it, and the -log file says why.
TEST_F(ChildWordsTest, TheTaskbarAgentIsOneWordOrALineInTheLog) {
  const std::string config = "vmparam -Da=1\nmainclass app.Main\nappUserModelId Acme.Tool\n";
  struct Case {
    std::string folder;
    bool agentThere;
    Strings expected;  // before -Da=1
    std::string err;
  } cases[] = {
      {"C:\\My Apps", true, {"-agentpath:C:\\My Apps\\tarvik-appid.dll=Acme.Tool"}, ""},
      {"C:\\Apps", false, {},
       "appUserModelId Acme.Tool not set: the agent C:\\Apps\\tarvik-appid.dll is missing\n"},
      {"C:\\A=B", true, {},
       "appUserModelId Acme.Tool not set: the agent's path C:\\A=B\\tarvik-appid.dll holds '=', "
       "where Java's option ends the path\n"},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    folder = c.folder;
    if (c.agentThere) os.files[folder + "\\tarvik-appid.dll"] = "MZ";
    Strings expected = c.expected;
    expected.insert(expected.end(), {"-Da=1", "-classpath", "", "app.Main"});
    EXPECT_EQ(childWords(config, {}, {"-log", "C:\\t.log"}), expected) << c.folder;
    EXPECT_EQ(os.err, c.err) << c.folder;
  }
}

// Where the words are the ones written, the line stays as it always was.
TEST_F(ChildWordsTest, LinesThatSayWhatIsMeantStay) {
  EXPECT_EQ(childWords("vmparam -Dh=$H\nmainclass app.Main\n",
                       {{"H", "C:\\Program Files\\x"}}, {"-Dx=C:/Program Files/y"}),
            (Strings{"-Dx=C:/Program Files/y", "-Dh=C:/Program Files/x",
                     "-classpath", "", "app.Main"}));
  EXPECT_EQ(line, "\"C:\\Java\\bin\\javaw.exe\" -Dx=\"C:/Program Files/y\" "
                  "-Dexe.mainConfig=\"C:\\Apps\\tool.config\" "
                  "-Dh=\"C:/Program Files/x\" -classpath \"\" app.Main");
}

TEST_F(ChildWordsTest, LinesInTheLogFile) {
  struct Case {
    const char* config;
    bool log;
    const char* err;
  } cases[] = {
      {"vmparam $MY_OPTS\n", true, "vmparam $MY_OPTS adds no option: MY_OPTS not set\n"},
      {"vmparam $MY_OPTS\n", false, ""},
      {"vmparamsFrom MAVEN_OPTS\n", true,
       "vmparamsFrom MAVEN_OPTS adds no option: the variable is not set\n"},
      {"vmparamsFrom A B\n", false, "vmparamsFrom A B ignored: it names one environment variable\n"},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    opt.logToFile = c.log;
    os.files["C:\\Apps\\t.config"] = c.config;
    readConfigFile("C:\\Apps\\t.config");
    EXPECT_EQ(os.err, c.err) << c.config;
    EXPECT_TRUE(set.vmParams.empty()) << c.config;
  }
}

TEST_F(ChildWordsTest, TheVmInProcessGetsTheSameWords) {
  FakeJvm jvm;
  const char* const library = "C:\\Java\\bin\\server\\jvm.dll";
  jvm.install(os, library);
  set.javaLib = library;
  set.mainClass = "app.Main";
  os.env["V"] = INJECTED;
  os.env["OPTS"] = "-Dm='a b' --add-opens java.base/java.lang=ALL-UNNAMED";
  addVmParam("-Dq=$V");
  addVmParamWord("-Dx=say \"hi\" now");
  addVmParamsFrom("OPTS");
  set.leadingArguments = {"--main"};
  set.appArguments = {"x"};
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ((Strings{std::string("-Dq=") + INJECTED, "-Dx=say \"hi\" now", "-Dm=a b",
                     "--add-opens=java.base/java.lang=ALL-UNNAMED",
                     "-Dsun.java.command=app.Main --main x",
                     "-Dsun.java.launcher=SUN_STANDARD"}),
            Strings(jvm.options.begin() + 2, jvm.options.end()));
  EXPECT_EQ(jvm.mainArgs, (Strings{"--main", "x"}));
}

}  // namespace
}  // namespace tarvik
