#include "launch/EmbeddedVmLauncher.h"

#include <gtest/gtest.h>

#include "fakes/FakeJvm.h"
#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

using Strings = std::vector<std::string>;

const char* const JVM = "C:\\Java\\bin\\server\\jvm.dll";
const char* const LIBRARY_CAPTION = "Unable To Load JVM Library";

class EmbeddedVmLauncherTest : public LauncherTest {
 protected:
  EmbeddedVmLauncherTest() {
    jvm.install(os, JVM);
    set.javaLib = JVM;
    set.mainClass = "app.Main";
  }

  // The options after the class path and "exit", without the command and
  // launcher properties that end them.
  Strings vmOptions() const {
    if (jvm.options.size() < 4) return {};
    return Strings(jvm.options.begin() + 2, jvm.options.end() - 2);
  }

  FakeJvm jvm;
};

TEST_F(EmbeddedVmLauncherTest, HandsTheVmTheInitArgumentsAndTheExitHook) {
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ(1, jvm.creations);
  EXPECT_EQ(0x00010002, jvm.version);
  EXPECT_EQ(1, jvm.ignoreUnrecognized);
  // Nothing configured: the class path option, "exit", the command and the
  // launcher's name, as Java's own launcher gives it.
  EXPECT_EQ(4, jvm.nOptions);
  EXPECT_EQ((Strings{"-Djava.class.path=", "exit", "-Dsun.java.command=app.Main",
                     "-Dsun.java.launcher=SUN_STANDARD"}),
            jvm.options);
  EXPECT_EQ(nullptr, jvm.extraInfo[0]);
  EXPECT_EQ(reinterpret_cast<void*>(&vmExitHook), jvm.extraInfo[1]);
  EXPECT_TRUE(jvm.broken.empty()) << jvm.broken.front();
}

struct OptionCase {
  const char* name;
  Strings params;  // as given to addVmParam
  int32_t percentRam;
  Strings expected;
};

class VmOptions : public EmbeddedVmLauncherTest,
                  public ::testing::WithParamInterface<OptionCase> {};

TEST_P(VmOptions, FollowTheClassPathAndExitInListOrder) {
  os.memoryBytes = 8192ull << 20;
  for (const std::string& param : GetParam().params) addVmParam(param);
  set.percentRam = GetParam().percentRam;
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ(GetParam().expected, vmOptions());
  EXPECT_EQ(static_cast<int>(GetParam().expected.size()) + 4, jvm.nOptions);
  for (size_t i = 2; i < jvm.extraInfo.size(); ++i)
    EXPECT_EQ(nullptr, jvm.extraInfo[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VmOptions,
    ::testing::Values(
        OptionCase{"HeapLimitComesLast",
                   {"-Dexe.mainConfig=\"C:\\Apps\\tool.config\"", "-Dmode=1",
                    "-Xss4m"},
                   50,
                   {"-Dexe.mainConfig=C:\\Apps\\tool.config", "-Dmode=1",
                    "-Xss4m", "-Xmx4096m"}},
        OptionCase{"ConfiguredHeapSuppressesTheComputedOne",
                   {"-Dexe.mainConfig=\"C:\\Apps\\tool.config\"", "-Dmode=1",
                    "-Xss4m", "-Xmx1g"},
                   50,
                   {"-Dexe.mainConfig=C:\\Apps\\tool.config", "-Dmode=1",
                    "-Xss4m", "-Xmx1g"}},
        OptionCase{"HeapOptionInAnyLetterCase", {"-XMX2g"}, 50, {"-XMX2g"}},
        OptionCase{"LowerCaseHeapOption", {"-xmx1g"}, 50, {"-xmx1g"}},
        OptionCase{"InitialHeapDoesNotCount",
                   {"-Xms256m"},
                   25,
                   {"-Xms256m", "-Xmx2048m"}},
        OptionCase{"NoPercentNoHeap", {"-Dmode=1"}, -1, {"-Dmode=1"}},
        OptionCase{"ZeroPercent", {}, 0, {"-Xmx0m"}},
        OptionCase{"AboveHundredPercent", {}, 150, {"-Xmx12288m"}},
        OptionCase{"BelowMinusOneIsNotSet", {}, -5, {}},
        OptionCase{"EmptyValueGivesTheBareName", {"-Dflag="}, -1, {"-Dflag"}},
        OptionCase{"NameTwiceGivesTwoEqualEntries",
                   {"-Dx=1", "-Dx=2"},
                   -1,
                   {"-Dx=2", "-Dx=2"}},
        // The quotes were added for a command line only.
        OptionCase{"QuotedEmptyPathReadsEmpty",
                   {"-Dexe.mainConfig=\"\""},
                   -1,
                   {"-Dexe.mainConfig="}},
        OptionCase{"QuotedNameWithoutValue",
                   {"\"-javaagent:C:/Program Files/a.jar\""},
                   -1,
                   {"-javaagent:C:/Program Files/a.jar"}},
        // Quotes that do not enclose the whole value are the user's own.
        OptionCase{"InnerQuotesStay",
                   {"-Dmsg=say \"hi\""},
                   -1,
                   {"-Dmsg=say \"hi\""}},
        OptionCase{"LoneQuoteStays", {"-Dq=\""}, -1, {"-Dq=\""}},
        OptionCase{"OpeningQuoteOnlyStays", {"-Dq=\"a"}, -1, {"-Dq=\"a"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EmbeddedVmLauncherTest, HeapSizeBeyond64BitsIsTheLargestSize) {
  os.memoryBytes = UINT64_MAX;
  set.percentRam = 2147483647;
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ(vmOptions().back(), "-Xmx18446744073709551615m");
}

TEST_F(EmbeddedVmLauncherTest, SpacedEnvironmentValueReachesTheVmUnquoted) {
  os.env["HOME"] = "C:\\Program Files\\x";
  addVmParam("-Dh=$HOME");
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ((Strings{"-Dh=C:/Program Files/x"}), vmOptions());
}

TEST_F(EmbeddedVmLauncherTest, EveryVmParamRemovedLeavesFourOptions) {
  addVmParam("-Dexe.mainConfig=\"C:\\Apps\\tool.config\"");
  removeVmParams("*");
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ(4, jvm.nOptions);
}

struct ClassPathCase {
  const char* name;
  Strings entries;
  std::string expected;  // the option text
};

class ClassPath : public EmbeddedVmLauncherTest,
                  public ::testing::WithParamInterface<ClassPathCase> {};

TEST_P(ClassPath, IsTheFirstOptionAndPrinted) {
  os.findResults["lib\\*"] = {"a.jar", "b.jar"};
  os.findResults["lib/*"] = {".", "..", "js.jar", "notes.txt", "OLD.JAR"};
  os.findResults["C:/Program Files/x/*"] = {"c.jar"};
  set.classPath = GetParam().entries;
  EXPECT_EQ(0, launchInProcess());
  ASSERT_FALSE(jvm.options.empty());
  EXPECT_EQ(GetParam().expected, jvm.options[0]);
  EXPECT_EQ("Classpath: " + GetParam().expected + "\n", os.out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClassPath,
    ::testing::Values(
        ClassPathCase{"Empty", {}, "-Djava.class.path="},
        ClassPathCase{"Joined",
                      {"lib\\a.jar", "lib\\b.jar"},
                      "-Djava.class.path=lib\\a.jar;lib\\b.jar"},
        ClassPathCase{"WildcardExpanded",
                      {"classes", "lib\\*"},
                      "-Djava.class.path=classes;lib\\a.jar;lib\\b.jar"},
        // A blank in an entry: the joiner's quotes would make it unfindable.
        ClassPathCase{"EntryWithBlank",
                      {"C:\\My Libs\\a.jar", "b.jar"},
                      "-Djava.class.path=C:\\My Libs\\a.jar;b.jar"},
        // addjars with a spaced $ value: quotes mid-entry go as well.
        ClassPathCase{"QuotedJarFolder",
                      {"\"C:/Program Files/x\"/*"},
                      "-Djava.class.path=C:/Program Files/x/c.jar"},
        ClassPathCase{"QuotedEntry",
                      {"\"C:/Program Files/app/lib\"", "b.jar"},
                      "-Djava.class.path=C:/Program Files/app/lib;b.jar"},
        // addjars lib: the jar files of lib, as the child's Java makes it.
        ClassPathCase{"JarFolderGivesItsJarsOnly",
                      {"lib/*"},
                      "-Djava.class.path=lib/js.jar;lib/OLD.JAR"},
        ClassPathCase{"TrailingBackslashStaysOne",
                      {"C:\\My Libs\\classes\\", "b.jar"},
                      "-Djava.class.path=C:\\My Libs\\classes\\;b.jar"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EmbeddedVmLauncherTest, ClassPathUsesThePlatformSeparator) {
  os.conv = PlatformConventions::posix();
  os.cwd = "/opt/app";
  jvm.install(os, "/jdk/lib/server/libjvm.so");
  set.javaLib = "/jdk/lib/server/libjvm.so";
  set.classPath = {"/opt/my app/a.jar", "b.jar"};
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ("-Djava.class.path=/opt/my app/a.jar:b.jar", jvm.options.at(0));
}

TEST_F(EmbeddedVmLauncherTest, RunsMainAndDestroysTheVm) {
  set.mainClass = "com.example.Outer$Inner";
  set.appArguments = {"in.txt", "two words", "\xc3\xa9"};
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ((Strings{"FindClass com/example/Outer$Inner",
                     "GetStaticMethodID main ([Ljava/lang/String;)V",
                     "FindClass java/lang/String", "NewObjectArray 3",
                     "NewStringUTF in.txt", "SetObjectArrayElement 0",
                     "NewStringUTF two words", "SetObjectArrayElement 1",
                     "NewStringUTF \xc3\xa9", "SetObjectArrayElement 2",
                     "CallStaticVoidMethod", "ExceptionCheck",
                     "DestroyJavaVM"}),
            jvm.calls);
  EXPECT_EQ((Strings{"in.txt", "two words", "\xc3\xa9"}), jvm.mainArgs);
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_TRUE(jvm.broken.empty()) << jvm.broken.front();
}

TEST_F(EmbeddedVmLauncherTest, OptionsReachTheVmInTheCodePageOrNotAtAll) {
  // The fake's code page is Latin-1; the short form stands in for a path
  // beyond it.
  os.shortPaths["C:\\\xD0\x94\\tool.config"] = "C:\\D~1\\tool.config";
  set.classPath = {"C:\\\xD0\x94\\tool.config"};
  addVmParam("-Dexe.mainConfig=\"C:\\\xD0\x94\\tool.config\"");
  addVmParam("-Dname=\xC3\xA9");
  set.appArguments = {"\xD0\x94\xF0\x9F\x98\x80"};
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ("-Djava.class.path=C:\\D~1\\tool.config", jvm.options[0]);
  EXPECT_EQ((Strings{"-Dexe.mainConfig=C:\\D~1\\tool.config", "-Dname=\xE9"}),
            vmOptions());
  EXPECT_EQ((Strings{"\xD0\x94\xED\xA0\xBD\xED\xB8\x80"}), jvm.mainArgs);

  // Look-alikes of syntax (U+FF02, U+FF20) and letters whose best fit is
  // another (Ł) are refused as well: nothing reaches the VM mangled.
  for (const std::string value :
       {"\xD0\x94", "\xEF\xBC\x82", "\xEF\xBC\xA0", "\xC5\x81"})
  for (bool quiet : {false, true}) {
    FakeJvm fresh;
    fresh.install(os, JVM);
    os.boxes.clear();
    opt.quietMode = quiet;
    addVmParam("-Dname=" + value);
    EXPECT_EQ(1, exitCodeOf([] { launchInProcess(); }));
    EXPECT_EQ(0, fresh.creations);
    ASSERT_EQ(quiet ? 0u : 1u, os.boxes.size());
    if (!quiet) {
      EXPECT_EQ((RecordedBox{"Unsupported JVM Option",
                             "The Java VM option\n-Dname=" + value + "\nholds "
                             "characters that the system's code page cannot "
                             "represent, so the VM cannot read it. Exiting...",
                             MB_STYLE_ICONERROR}),
                os.boxes[0]);
    }
  }
}

TEST_F(EmbeddedVmLauncherTest, NoArgumentsGiveAnEmptyArray) {
  EXPECT_EQ(0, launchInProcess());
  EXPECT_FALSE(jvm.mainArgsNull);
  EXPECT_TRUE(jvm.mainArgs.empty());
  EXPECT_NE(std::find(jvm.calls.begin(), jvm.calls.end(), "NewObjectArray 0"),
            jvm.calls.end());
}

TEST_F(EmbeddedVmLauncherTest, ExceptionFromMainIsDescribedAndCleared) {
  jvm.mainThrows = true;
  EXPECT_EQ(1, launchInProcess());
  Strings tail(jvm.calls.end() - 4, jvm.calls.end());
  EXPECT_EQ((Strings{"ExceptionCheck", "ExceptionDescribe", "ExceptionClear",
                     "DestroyJavaVM"}),
            tail);
  EXPECT_EQ("Exception in thread \"main\" java.lang.IllegalStateException: "
            "boom\n",
            os.err);
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_TRUE(jvm.broken.empty()) << jvm.broken.front();
}

TEST_F(EmbeddedVmLauncherTest, MissingClassIsDescribedAndGivesOne) {
  jvm.classMissing = true;
  set.mainClass = "com.example.App";
  EXPECT_EQ(1, launchInProcess());
  EXPECT_EQ((Strings{"FindClass com/example/App", "ExceptionDescribe",
                     "DestroyJavaVM"}),
            jvm.calls);
  EXPECT_EQ("Exception in thread \"main\" java.lang.NoClassDefFoundError: "
            "com/example/App\n",
            os.err);
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(EmbeddedVmLauncherTest, MissingMainIsDescribedAndGivesOne) {
  jvm.mainMissing = true;
  EXPECT_EQ(1, launchInProcess());
  EXPECT_EQ((Strings{"FindClass app/Main",
                     "GetStaticMethodID main ([Ljava/lang/String;)V",
                     "ExceptionDescribe", "DestroyJavaVM"}),
            jvm.calls);
  EXPECT_EQ("Exception in thread \"main\" java.lang.NoSuchMethodError: main\n",
            os.err);
  EXPECT_TRUE(jvm.broken.empty()) << jvm.broken.front();
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(EmbeddedVmLauncherTest, ArgumentsThatCannotBeBuiltStopTheLaunch) {
  jvm.outOfMemory = true;
  set.appArguments = {"a"};
  EXPECT_EQ(1, launchInProcess());
  EXPECT_EQ("DestroyJavaVM", jvm.calls.back());
  EXPECT_EQ("Exception in thread \"main\" java.lang.OutOfMemoryError\n",
            os.err);
  EXPECT_TRUE(jvm.broken.empty()) << jvm.broken.front();
}

// Where the system tells the process's exit handler the status (Linux),
// the launcher learns of System.exit there, and gives the VM no "exit"
// option, which it would list among the application's input arguments.
TEST_F(EmbeddedVmLauncherTest, ExitHookEndsTheLauncherWithTheStatus) {
  for (bool told : {false, true})
    for (int status : {3, 0, -7, 998}) {
      os.exitStatusTold = told;
      FakeJvm fresh;
      fresh.install(os, JVM);
      fresh.exitStatus = status;
      EXPECT_EQ(status, exitCodeOf([] { launchInProcess(); })) << status;
      EXPECT_EQ("CallStaticVoidMethod", fresh.calls.back());
      EXPECT_TRUE(fresh.broken.empty()) << fresh.broken.front();
      EXPECT_EQ(!told, fresh.options[1] == "exit") << told;
    }
  // After the VM, the launcher's own end is its own.
  FakeJvm returning;
  returning.install(os, JVM);
  EXPECT_EQ(0, launchInProcess());
  ASSERT_NE(nullptr, os.exitHandler);
  EXPECT_EQ(kReturned, exitCodeOf([this] { os.exitHandler(5); }));
}

struct Failure {
  const char* name;
  std::string library;  // javaLib
  jni::jint createResult;
  bool noVmPointers;
  bool noMainClass;
  int result;
  std::string caption, text;
  int creations;
};

class Failures : public EmbeddedVmLauncherTest,
                 public ::testing::WithParamInterface<Failure> {};

TEST_P(Failures, ShowTheirBoxAndReturnTheirResult) {
  const Failure& f = GetParam();
  os.libraries["C:\\Windows\\zip.dll"]["inflate"] = &os;
  set.javaLib = f.library;
  if (f.noMainClass) set.mainClass.reset();
  jvm.createResult = f.createResult;
  jvm.noVmPointers = f.noVmPointers;
  EXPECT_EQ(f.result, launchInProcess());
  EXPECT_EQ((std::vector<RecordedBox>{{f.caption, f.text, 0x10}}), os.boxes);
  EXPECT_EQ(f.creations, jvm.creations);
  // No VM was made, so none is left to destroy.
  EXPECT_TRUE(jvm.calls.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Failures,
    ::testing::Values(
        Failure{"LibraryMissing", "C:\\nowhere\\jvm.dll", 0, false, false,
                -1234, LIBRARY_CAPTION,
                "Unable to load JVM library: C:\\nowhere\\jvm.dll", 0},
        Failure{"ExportMissing", "C:\\Windows\\zip.dll", 0, false, false,
                -1235, LIBRARY_CAPTION,
                "Unable to load JVM library, missing JNI_CreateJavaVM", 0},
        Failure{"CreationFails", JVM, -6, false, false, 1,
                "Error creating JVM", "Error creating Java VM. Exiting...", 1},
        Failure{"CreationWithoutPointers", JVM, 0, true, false, 1,
                "Error creating JVM", "Error creating Java VM. Exiting...", 1},
        Failure{"NoMainClass", JVM, 0, false, true, 1,
                "No Main Class",
                "No main class is set: add a mainclass line to the "
                "configuration file. Exiting...",
                0},
        // The library is checked first: its error names the real fault.
        Failure{"NoMainClassAndNoLibrary", "jvm.dll", 0, false, true,
                -1234, LIBRARY_CAPTION,
                "Unable to load JVM library: C:\\Work\\jvm.dll", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(Failures, AreSilentInQuietMode) {
  const Failure& f = GetParam();
  os.libraries["C:\\Windows\\zip.dll"]["inflate"] = &os;
  opt.quietMode = true;
  set.javaLib = f.library;
  if (f.noMainClass) set.mainClass.reset();
  jvm.createResult = f.createResult;
  jvm.noVmPointers = f.noVmPointers;
  EXPECT_EQ(f.result, launchInProcess());
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(EmbeddedVmLauncherTest, EmptyMainClassCountsAsMissing) {
  set.mainClass = "";
  EXPECT_EQ(1, launchInProcess());
  EXPECT_EQ(0, jvm.creations);
  EXPECT_EQ("No Main Class", os.boxes.at(0).caption);
}

TEST_F(EmbeddedVmLauncherTest, CreationFailurePrintsTheClassPathFirst) {
  jvm.createResult = -1;
  set.classPath = {"a.jar"};
  EXPECT_EQ(1, launchInProcess());
  EXPECT_EQ("Classpath: -Djava.class.path=a.jar\n", os.out);
}

TEST_F(EmbeddedVmLauncherTest, WorkingDirectoryIsSetBeforeTheVmIsMade) {
  set.workingDir = "D:\\Data";
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ("D:\\Data", jvm.cwdAtCreate);
}

TEST_F(EmbeddedVmLauncherTest, WorkingDirectoryIsSetBeforeTheLibraryLoads) {
  set.workingDir = "E:\\Other";
  set.javaLib = "missing.dll";
  EXPECT_EQ(-1234, launchInProcess());
  EXPECT_EQ((Strings{"E:\\Other"}), os.chdirs);
}

TEST_F(EmbeddedVmLauncherTest, NoWorkingDirectoryLeavesTheCurrentOne) {
  EXPECT_EQ(0, launchInProcess());
  EXPECT_TRUE(os.chdirs.empty());
}

TEST_F(EmbeddedVmLauncherTest, TheTaskbarIdentityIsSetBeforeTheLibraryLoads) {
  struct Case {
    OptionalText id;
    bool service;
    Strings events;
  } cases[] = {
      {std::string("Acme.Tool"), false, {"appUserModelId Acme.Tool"}},
      {std::string("Acme.Tool"), true, {}},
      {std::nullopt, false, {}},
  };
  for (const Case& c : cases) {
    os.events.clear();
    set.appUserModelId = c.id;
    opt.serviceLauncher = c.service;
    set.javaLib = "missing.dll";
    EXPECT_EQ(-1234, launchInProcess());
    EXPECT_EQ(c.events, os.events) << c.id.value_or("") << c.service;
  }
}

struct ConsoleCase {
  const char* name;
  bool showConsole;
  std::optional<std::string> title;
  Strings events;
};

class Console : public EmbeddedVmLauncherTest,
                public ::testing::WithParamInterface<ConsoleCase> {};

TEST_P(Console, OpensBeforeAnythingElse) {
  set.showConsole = GetParam().showConsole;
  set.consoleTitle = GetParam().title;
  set.javaLib = "missing.dll";  // the console comes even before the library
  EXPECT_EQ(-1234, launchInProcess());
  EXPECT_EQ(GetParam().events, os.events);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Console,
    ::testing::Values(
        ConsoleCase{"WithTitle", true, "My App", {"openConsole", "title My App"}},
        ConsoleCase{"EmptyTitleLeftAlone", true, "", {"openConsole"}},
        ConsoleCase{"NoTitle", true, std::nullopt, {"openConsole"}},
        ConsoleCase{"TitleWithoutConsoleIgnored", false, "My App", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EmbeddedVmLauncherTest, TheRuntimesBinFolderServesTheLibrarysDependencies) {
  struct Case {
    const char* library;
    Strings folders;
  } cases[] = {
      {"C:\\jdk\\bin\\server\\jvm.dll", {"C:\\jdk\\bin"}},
      {"C:/jdk/bin/client/jvm.dll", {"C:/jdk/bin"}},
      {"jre\\bin\\Server\\jvm.dll", {"jre\\bin"}},
      {"C:\\jdk\\bin\\jvm.dll", {}},
      {"server\\jvm.dll", {}},
      {"jvm.dll", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(jvmDependencyFolders(c.library), c.folders) << c.library;

  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ(os.libraryFolders, std::vector<Strings>{{"C:\\Java\\bin"}});
}

}  // namespace
}  // namespace tarvik

namespace tarvik {
namespace {

TEST_F(EmbeddedVmLauncherTest, BehavesAsJavasLauncher) {
  struct Case {
    const char* name;
    std::optional<std::string> variable;  // JDK_JAVA_OPTIONS
    const char* release;                  // JAVA_VERSION, "" for no file
    Strings params;
    Strings options;  // everything after "exit"
    uint64_t stack;
    const char* err;
  } cases[] = {
      {"two words and the main thread's stack", std::nullopt, "17.0.9",
       {"--add-opens java.base/java.lang=ALL-UNNAMED", "-Xss64m"},
       {"--add-opens=java.base/java.lang=ALL-UNNAMED", "-Xss64m",
        "-Dsun.java.command=app.Main a b", "-Dsun.java.launcher=SUN_STANDARD"},
       64ull << 20, ""},
      {"the variable first; its class path gives way", "-Da=\"x y\" -cp c.jar -Xss1m",
       "17.0.9", {"-Xss2m"},
       {"-Da=x y", "-Xss1m", "-Xss2m", "-Dsun.java.command=app.Main a b", "-Dsun.java.launcher=SUN_STANDARD"},
       2ull << 20, "NOTE: Picked up JDK_JAVA_OPTIONS: -Da=\"x y\" -cp c.jar -Xss1m\n"},
      {"Java 8 does not read it", "-Da=1", "1.8.0_392", {},
       {"-Dsun.java.command=app.Main a b", "-Dsun.java.launcher=SUN_STANDARD"}, 0, ""},
      {"the configured command property stays", std::string(), "",
       {"-Dsun.java.command=mine"}, {"-Dsun.java.command=mine", "-Dsun.java.launcher=SUN_STANDARD"}, 0, ""},
      {"the configured launcher property stays", std::string(), "",
       {"-Dsun.java.launcher=mine"},
       {"-Dsun.java.launcher=mine", "-Dsun.java.command=app.Main a b"}, 0, ""},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    FakeJvm fresh;
    fresh.install(os, JVM);
    set.javaLib = JVM;
    set.mainClass = "app.Main";
    set.appArguments = {"a", "b"};
    if (c.variable) os.env["JDK_JAVA_OPTIONS"] = *c.variable;
    if (*c.release)
      os.files["C:\\Java\\release"] = std::string("JAVA_VERSION=\"") + c.release + "\"\n";
    for (const std::string& param : c.params) addVmParam(param);
    EXPECT_EQ(0, launchInProcess()) << c.name;
    EXPECT_EQ(c.options, Strings(fresh.options.begin() + 2, fresh.options.end()))
        << c.name;
    EXPECT_EQ(os.threadStacks, std::vector<uint64_t>{c.stack}) << c.name;
    EXPECT_EQ(os.err, c.err) << c.name;
  }
}

TEST_F(EmbeddedVmLauncherTest, VariableThatJavaRefusesStopsTheLaunch) {
  for (const char* variable : {"-Da=\"open", "-jar app.jar", "app.Main"}) {
    os.env["JDK_JAVA_OPTIONS"] = variable;
    os.err.clear();
    EXPECT_EQ(1, launchInProcess()) << variable;
    EXPECT_EQ(0, jvm.creations) << variable;
    EXPECT_NE(os.err.find("The VM is not started"), std::string::npos)
        << variable << os.err;
  }
}

// The fake's code page is Latin-1, where D with a stroke (U+0414) has no
// place: what it cannot hold is left out, and the launch goes on.
TEST_F(EmbeddedVmLauncherTest, CommandPropertyKeepsToTheCodePage) {
  const struct {
    const char* mainClass;
    Strings args;
    Strings last;
  } cases[] = {
      {"app.Main", {"\xc3\xa9", "x"}, {"-Dsun.java.command=app.Main \xe9 x"}},
      {"app.Main", {"\xd0\x94"}, {"-Dsun.java.command=app.Main"}},
      {"app.\xd0\x94", {}, {"exit"}},
  };
  for (const auto& c : cases) {
    FakeJvm fresh;
    fresh.install(os, JVM);
    set.mainClass = c.mainClass;
    set.appArguments = c.args;
    EXPECT_EQ(0, launchInProcess()) << c.mainClass;
    EXPECT_EQ(c.last, Strings{fresh.options.end()[-2]}) << c.mainClass;
    EXPECT_TRUE(os.boxes.empty());
  }
}

TEST_F(EmbeddedVmLauncherTest, WithoutANewThreadMainRunsOnThisOne) {
  os.threadFails = true;
  EXPECT_EQ(0, launchInProcess());
  EXPECT_EQ("DestroyJavaVM", jvm.calls.back());
}

TEST_F(EmbeddedVmLauncherTest, SplashThatCannotShowLeavesALineAndTheLaunchGoesOn) {
  struct Case {
    const char* library;  // the JVM library
    bool splashLibrary;
    bool image;
    const char* line;
  } cases[] = {
      {JVM, false, true,
       "No splash screen: C:\\Java\\bin\\splashscreen.dll does not exist\n"},
      {JVM, true, false, "No splash screen: the image s.png does not exist\n"},
      {"C:\\jvm.dll", true, true,
       "No splash screen: the JVM library C:\\jvm.dll is not in a runtime's "
       "server or client folder\n"},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    FakeJvm fresh;
    fresh.install(os, c.library);
    set.javaLib = c.library;
    set.mainClass = "app.Main";
    addVmParam("-splash:s.png");
    if (c.splashLibrary) os.files["C:\\Java\\bin\\splashscreen.dll"] = "MZ";
    if (c.image) os.files["s.png"] = "PNG";
    EXPECT_EQ(0, launchInProcess());
    EXPECT_EQ(os.err, c.line);
    EXPECT_EQ(Strings(fresh.options.begin() + 2, fresh.options.end()),
              (Strings{"-Dsun.java.command=app.Main", "-Dsun.java.launcher=SUN_STANDARD"}));
  }
}

}  // namespace
}  // namespace tarvik
