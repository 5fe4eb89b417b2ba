// The sources tried where the JavaSoft key fails, over the fake platform.
#include "runtime/RuntimeSources.h"

#include <functional>

#include "fakes/LauncherTest.h"
#include "runtime/JreLocator.h"

namespace tarvik {
namespace {

const std::string LEGACY = RUNTIME_REGISTRY_KEY;
const std::string JDK = "SOFTWARE\\JavaSoft\\JDK";
const std::string TEMURIN = "SOFTWARE\\Eclipse Adoptium\\JDK";

class RuntimeSourcesTest : public LauncherTest {
 public:
  // A runtime home on disk: its executables and, unless empty, a release file.
  void home(const std::string& dir, const std::string& version) {
    const char sep = os.conv.separator;
    os.files[dir + sep + "bin" + sep + os.conv.windowedJava] = "MZ";
    os.files[dir + sep + "bin" + sep + os.conv.consoleJava] = "MZ";
    if (!version.empty())
      os.files[dir + sep + "release"] = "JAVA_VERSION=\"" + version + "\"\n";
  }
  // A subkey `name` of `key` whose `value` names `dir`.
  static void named(std::map<std::string, FakeRegistryKey>& tree,
                    const std::string& key, const std::string& name,
                    const std::string& value, const std::string& dir) {
    tree[key].subkeys.push_back(name);
    tree[key + "\\" + name].values[value] = dir;
  }
  // An installer's <key>\<version>\hotspot\MSI with its Path.
  static void installer(std::map<std::string, FakeRegistryKey>& tree,
                        const std::string& key, const std::string& version,
                        const std::string& dir) {
    tree[key].subkeys.push_back(version);
    tree[key + "\\" + version].subkeys.push_back("hotspot");
    tree[key + "\\" + version + "\\hotspot\\MSI"].values["Path"] = dir;
  }
  OptionalText require(const std::string& version) {
    set.requiredJavaVersion = version;
    return locateRequiredRuntime();
  }
};

// (Per-user, 32-bit, Zulu and JAVA_HOME keys are run under Wine.)
TEST_F(RuntimeSourcesTest, EachSourceAloneServesBothRoads) {
  struct Case {
    const char* name;
    std::function<void(RuntimeSourcesTest&, FakePlatform&)> arrange;
    const char* chosenLine;
  } cases[] = {
      {"Temurin's key, Path with a trailing backslash",
       [](RuntimeSourcesTest& t, FakePlatform& os) {
         installer(os.registry, TEMURIN, "21.0.5.11", "C:\\Temurin\\jdk-21\\");
         t.home("C:\\Temurin\\jdk-21", "21.0.5");
       },
       "21.0.5 at C:\\Temurin\\jdk-21 from HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK"
       "\\21.0.5.11\\hotspot\\MSI"},
      {"JavaSoft\\JDK, version from the key name",
       [](RuntimeSourcesTest& t, FakePlatform& os) {
         named(os.registry, JDK, "17.0.9", "JavaHome", "C:\\Oracle\\jdk-17");
         t.home("C:\\Oracle\\jdk-17", "");
       },
       "17.0.9 at C:\\Oracle\\jdk-17 from HKLM\\SOFTWARE\\JavaSoft\\JDK\\17.0.9"},
      {"Microsoft's key",
       [](RuntimeSourcesTest& t, FakePlatform& os) {
         installer(os.registry, "SOFTWARE\\Microsoft\\JDK", "17.0.9.8", "C:\\MS\\17");
         t.home("C:\\MS\\17", "17.0.9");
       },
       "17.0.9 at C:\\MS\\17 from HKLM\\SOFTWARE\\Microsoft\\JDK\\17.0.9.8\\hotspot\\MSI"},
      {"the first PATH folder with javaw.exe",
       [](RuntimeSourcesTest& t, FakePlatform& os) {
         os.env["PATH"] = "C:\\Windows;;C:\\jdk17\\bin\\;C:\\jdk21\\bin";
         t.home("C:\\jdk17", "17.0.1");
         t.home("C:\\jdk21", "21");
       },
       "17.0.1 at C:\\jdk17 from PATH"},
  };
  for (const Case& c : cases) {
    for (const char* request : {"", "17+"}) {
      os = FakePlatform();
      resetLaunchState();
      c.arrange(*this, os);
      OptionalText path;
      const int code = exitCodeOf([&] {
        path = *request ? require(request) : locateDefaultRuntime();
      });
      EXPECT_EQ(code, kReturned) << c.name;
      ASSERT_TRUE(path) << c.name << " " << request;
      EXPECT_NE(os.out.find(std::string("runtime chosen: ") + c.chosenLine + "\n"),
                std::string::npos)
          << c.name << "\n" << os.out;
    }
  }
}

TEST_F(RuntimeSourcesTest, JavaSoftRoadThatYieldsIsUntouched) {
  named(os.registry, LEGACY, "1.8.0_60", "JavaHome", "C:\\Java\\jre8");
  os.registry[LEGACY].values["CurrentVersion"] = "1.8.0_60";
  installer(os.registry, TEMURIN, "21.0.5.11", "C:\\Temurin\\21\\");
  home("C:\\Temurin\\21", "21.0.5");
  os.env["JAVA_HOME"] = "C:\\Temurin\\21";
  EXPECT_EQ(locateDefaultRuntime(), "C:\\Java\\jre8\\bin\\javaw.exe");
  EXPECT_EQ(require("1.8"), "C:\\Java\\jre8\\bin\\javaw.exe");
  EXPECT_EQ(os.out,
            "javaVersion=1.8, javaVer=1.8\nchecking (1) 1.8.0_60\n"
            "found correct java version 1.8.0_60. checking patch level\n"
            "checking patch level 60 against 0\nfound latest java version 1.8.0_60\n");
  for (const std::string& open : os.registryOpens)
    EXPECT_EQ(open.rfind("HKLM default ", 0), 0u) << open;
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(RuntimeSourcesTest, NewestFitsAndTheEarlierSourceWinsTies) {
  struct Case {
    const char* request;
    const char* home;  // nullptr: the failure stays today's, with this code
    int code;
  } cases[] = {
      {"", "C:\\jdk21", 0},          {"17+", "C:\\jdk21", 0},
      {"11..17", "C:\\jdk17", 0},    {"11", "C:\\jdk11", 0},
      {"1.8", "C:\\jre8", 0},        {"1.8.0_45+", "C:\\jre8", 0},
      {"17", "C:\\jdk17", 0},        {"22+", nullptr, 11},
      {"nonsense", nullptr, 11},
      // Looked up directly: the missing key's box, and code 5 from the caller.
      {"1.8.0_391", nullptr, LauncherTest::kReturned},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    named(os.registry, JDK, "11", "JavaHome", "C:\\jdk11");
    named(os.registry, JDK, "17", "JavaHome", "C:\\jdk17");
    // The same 17 again, later: the earlier one stays chosen.
    os.env["JAVA_HOME"] = "C:\\other17";
    named(os.userRegistry, LEGACY, "1.8.0_392", "JavaHome", "C:\\jre8");
    installer(os.registry, TEMURIN, "21", "C:\\jdk21");
    home("C:\\jdk11", "11.0.21");
    home("C:\\jdk17", "17.0.9");
    home("C:\\other17", "17.0.9");
    home("C:\\jre8", "1.8.0_392");
    home("C:\\jdk21", "21.0.1");
    named(os.registry, JDK, "25", "JavaHome", "C:\\uninstalled");  // stale
    os.files["C:\\uninstalled\\release"] = "JAVA_VERSION=\"25\"\n";
    int code = LauncherTest::kReturned;
    OptionalText path;
    code = exitCodeOf([&] {
      path = *c.request ? require(c.request) : locateDefaultRuntime();
    });
    if (!c.home) {
      EXPECT_FALSE(path) << c.request;
      EXPECT_EQ(code, c.code) << c.request;
      ASSERT_EQ(os.boxes.size(), 1u) << c.request;
      EXPECT_EQ(os.boxes[0].caption, "Java Runtime Environment Not Found");
      continue;
    }
    EXPECT_EQ(path, std::string(c.home) + "\\bin\\javaw.exe") << c.request;
    EXPECT_EQ(os.out.find("uninstalled"), std::string::npos) << c.request;
  }
}

TEST_F(RuntimeSourcesTest, ThirtyTwoBitViewOnlyForAChildLaunch) {
  named(os.registry32, JDK, "17", "JavaHome", "C:\\x86\\jdk17");
  home("C:\\x86\\jdk17", "17.0.9");
  set.javaLib = "C:\\jvm.dll";
  EXPECT_FALSE(findRuntimeCandidates(false).size());
  for (const std::string& open : os.registryOpens)
    EXPECT_EQ(open.find("32-bit"), std::string::npos) << open;
  EXPECT_EQ(findRuntimeCandidates(true).size(), 1u);
  // javalib auto is in-process too: the 32-bit runtime is not chosen.
  os.files["C:\\x86\\jdk17\\bin\\client\\jvm.dll"] = "MZ";
  set.javaLib.clear();
  set.javaLibAuto = true;
  os.registryOpens.clear();
  EXPECT_FALSE(locateJvmLibrary());
  for (const std::string& open : os.registryOpens)
    EXPECT_EQ(open.find("32-bit"), std::string::npos) << open;
}

TEST_F(RuntimeSourcesTest, ConfiguredHomesComeFirstInTheOrderWritten) {
  struct Case {
    const char* request;  // "" for the default road
    std::vector<std::string> homes;
    const char* chosen;  // the executable; nullptr: the failure as today
  } cases[] = {
      // The first home that holds javaw.exe wins, not the newest.
      {"", {"C:\\App\\gone", "C:\\App\\rt17", "C:\\App\\rt21"}, "C:\\App\\rt17"},
      {"21", {"C:\\App\\rt17", "C:\\App\\rt21"}, "C:\\App\\rt21"},
      // None fits: the registry's runtimes follow as they do today.
      {"", {"C:\\App\\gone"}, "C:\\Java\\jre8"},
      {"1.8", {"C:\\App\\rt17"}, "C:\\Java\\jre8"},
      {"11..11", {"C:\\App\\rt17"}, nullptr},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    named(os.registry, LEGACY, "1.8.0_60", "JavaHome", "C:\\Java\\jre8");
    os.registry[LEGACY].values["CurrentVersion"] = "1.8.0_60";
    home("C:\\App\\rt17", "17.0.9");
    home("C:\\App\\rt21", "21.0.5");
    os.files["C:\\App\\gone\\release"] = "JAVA_VERSION=\"25\"\n";
    set.runtimeHomes = c.homes;
    OptionalText path;
    const int code = exitCodeOf(
        [&] { path = *c.request ? require(c.request) : locateDefaultRuntime(); });
    EXPECT_EQ(code, kReturned) << c.request;
    if (!c.chosen) {
      EXPECT_FALSE(path) << c.request;
      ASSERT_EQ(os.boxes.size(), 1u) << c.request;
      EXPECT_EQ(os.boxes[0].caption, "Java Runtime Environment Not Found");
      continue;
    }
    EXPECT_EQ(path, std::string(c.chosen) + "\\bin\\javaw.exe") << c.request;
    EXPECT_EQ(os.out.find("gone"), std::string::npos) << os.out;
    const bool bundled = std::string(c.chosen).rfind("C:\\App", 0) == 0;
    // The JavaSoft key's choice has no line of its own.
    EXPECT_EQ(os.out.find("runtime chosen: ") != std::string::npos, bundled)
        << os.out;
  }
  // The lines name the source.
  os = FakePlatform();
  resetLaunchState();
  home("C:\\App\\rt17", "17.0.9");
  set.runtimeHomes = {"C:\\App\\rt17"};
  EXPECT_EQ(locateDefaultRuntime(), "C:\\App\\rt17\\bin\\javaw.exe");
  EXPECT_EQ(os.out,
            "runtime 17.0.9 at C:\\App\\rt17 from runtimeHome\n"
            "runtime chosen: 17.0.9 at C:\\App\\rt17 from runtimeHome\n");
  EXPECT_TRUE(os.registryOpens.empty());
}

TEST_F(RuntimeSourcesTest, JavaLibAutoTakesTheLibraryOfTheChosenHome) {
  struct Case {
    const char* name;
    std::vector<std::string> libraries;  // below C:\App\rt
    const char* library;                 // nullptr: no runtime
  } cases[] = {
      {"server", {"bin\\server\\jvm.dll", "bin\\client\\jvm.dll"},
       "C:\\App\\rt\\bin\\server\\jvm.dll"},
      {"client only", {"bin\\client\\jvm.dll"}, "C:\\App\\rt\\bin\\client\\jvm.dll"},
      {"neither: the JAVA_HOME runtime", {}, "C:\\jdk17\\bin\\server\\jvm.dll"},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    resetLaunchState();
    set.javaLibAuto = true;
    set.runtimeHomes = {"C:\\App\\rt"};
    home("C:\\App\\rt", "17.0.9");
    for (const std::string& library : c.libraries)
      os.files["C:\\App\\rt\\" + library] = "MZ";
    os.env["JAVA_HOME"] = "C:\\jdk17";
    home("C:\\jdk17", "17.0.1");
    os.files["C:\\jdk17\\bin\\server\\jvm.dll"] = "MZ";
    EXPECT_EQ(locateJvmLibrary(), c.library) << c.name;
  }
  // javapath's runtime without a library is no runtime.
  os = FakePlatform();
  resetLaunchState();
  set.javaLibAuto = true;
  set.javaPath = "\"C:\\jre\\bin\\javaw.exe\"";
  home("C:\\jre", "17.0.1");
  EXPECT_FALSE(locateJvmLibrary());
  EXPECT_EQ(os.boxes.at(0).text, "No Java Installation Found");
}

TEST_F(RuntimeSourcesTest, DebugModeShowsTheChoiceInOneBox) {
  opt.debugMode = 1;
  os.env["JAVA_HOME"] = "C:\\jdk17";
  home("C:\\jdk17", "17.0.9");
  EXPECT_EQ(locateDefaultRuntime(), "C:\\jdk17\\bin\\java.exe");
  ASSERT_EQ(os.boxes.size(), 1u);
  EXPECT_EQ(os.boxes[0].caption, "Java Runtime Chosen");
  EXPECT_EQ(os.boxes[0].text, "17.0.9 at C:\\jdk17 from JAVA_HOME");
  EXPECT_EQ(os.out,
            "runtime 17.0.9 at C:\\jdk17 from JAVA_HOME\n"
            "runtime chosen: 17.0.9 at C:\\jdk17 from JAVA_HOME\n");
}

TEST_F(RuntimeSourcesTest, LinuxFoldersComeLastInNameOrder) {
  os.conv = PlatformConventions::posix();
  os.env["HOME"] = "/home/u";
  os.env["PATH"] = "/usr/bin";
  os.files["/usr/bin/java"] = "ELF";  // no release above it: unknown version
  os.findResults["/usr/lib/jvm/*"] = {".", "java-21", "..", "java-17-openjdk"};
  os.findResults["/home/u/.sdkman/candidates/java/*"] = {"22.0.1-tem"};
  home("/usr/lib/jvm/java-17-openjdk", "17.0.15");
  home("/usr/lib/jvm/java-21", "");
  home("/home/u/.sdkman/candidates/java/22.0.1-tem", "");
  std::vector<std::string> found;
  for (const RuntimeCandidate& c : findRuntimeCandidates(true))
    found.push_back(c.version.value_or("?") + " " + c.home + " " + c.source);
  EXPECT_EQ(found, (std::vector<std::string>{
                       "? /usr PATH",
                       "17.0.15 /usr/lib/jvm/java-17-openjdk /usr/lib/jvm",
                       "21 /usr/lib/jvm/java-21 /usr/lib/jvm",
                       "22.0.1-tem /home/u/.sdkman/candidates/java/22.0.1-tem "
                       "/home/u/.sdkman/candidates/java"}));
  os.env["TARVIK_JVM_DIR"] = "/opt/jvm";
  os.findResults["/opt/jvm/*"] = {"jdk"};
  home("/opt/jvm/jdk", "11.0.2");
  set.requiredJavaVersion = "11..17";
  EXPECT_EQ(locateRequiredRuntime(), "/opt/jvm/jdk/bin/java");
}

}  // namespace
}  // namespace tarvik
