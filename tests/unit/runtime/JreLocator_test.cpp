#include "runtime/JreLocator.h"

#include <functional>

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

using Lines = std::vector<std::string>;

const std::string KEY = RUNTIME_REGISTRY_KEY;
const std::string ERROR_ICON = "icon";
const std::string PLAIN = "plain";

// Boxes as "caption | text | icon-or-plain", readable when a case fails.
Lines describe(const std::vector<RecordedBox>& boxes) {
  Lines lines;
  for (const RecordedBox& box : boxes)
    lines.push_back(box.caption + " | " + box.text + " | " +
                    (box.style == MB_STYLE_ICONERROR ? ERROR_ICON
                     : box.style == MB_STYLE_OK      ? PLAIN
                                                     : "other"));
  return lines;
}

std::string box(const std::string& caption, const std::string& text,
                const std::string& kind) {
  return caption + " | " + text + " | " + kind;
}

enum class Mode { Normal, Debug, Quiet };
const Mode ALL_MODES[] = {Mode::Normal, Mode::Debug, Mode::Quiet};
const char* modeName(Mode mode) {
  return mode == Mode::Normal ? "normal" : mode == Mode::Debug ? "debug" : "quiet";
}

class JreLocatorTest : public LauncherTest {
 public:  // the failure table arranges through these
  // Registers a runtime version with its home directory (none when empty).
  void addRuntime(const std::string& version, const std::string& home) {
    FakeRegistryKey& key = os.registry[KEY + "\\" + version];
    if (!home.empty()) key.values["JavaHome"] = home;
    os.registry[KEY].subkeys.push_back(version);
  }
  void addSubkeys(const Lines& versions) {
    for (const std::string& version : versions)
      addRuntime(version, "C:\\Java\\" + version);
  }
  void setMode(Mode mode) {
    opt.debugMode = mode == Mode::Debug ? 1 : 0;
    opt.quietMode = mode == Mode::Quiet;
  }
  OptionalText requireVersion(const std::string& version) {
    set.requiredJavaVersion = version;
    return locateRequiredRuntime();
  }
};

// --- the executable path ----------------------------------------------------

TEST_F(JreLocatorTest, ExecutablePathIsQuotedForBlanksOrVistaAndNamesTheRightJava) {
  struct Case {
    const char* home;
    bool vista;
    bool debug;
    const char* path;
  } cases[] = {
      {"C:\\Java\\jre8", false, false, "C:\\Java\\jre8\\bin\\javaw.exe"},
      {"C:\\Java\\jre8", false, true, "C:\\Java\\jre8\\bin\\java.exe"},
      {"C:\\Java\\jre8", true, false, "\"C:\\Java\\jre8\\bin\\javaw.exe\""},
      {"C:\\Java\\jre8", true, true, "\"C:\\Java\\jre8\\bin\\java.exe\""},
      {"C:\\Program Files\\Java\\jre8", false, false,
       "\"C:\\Program Files\\Java\\jre8\\bin\\javaw.exe\""},
      {"C:\\Program Files\\Java\\jre8", false, true,
       "\"C:\\Program Files\\Java\\jre8\\bin\\java.exe\""},
      // Forward slashes are not converted, nor backslashes.
      {"D:/jdk", false, false, "D:/jdk\\bin\\javaw.exe"},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    os.registry[KEY].values["CurrentVersion"] = "1.8";
    addRuntime("1.8", c.home);
    opt.vistaOrLater = c.vista;
    opt.debugMode = c.debug ? 1 : 0;
    OptionalText path = locateDefaultRuntime();
    ASSERT_TRUE(path) << c.home;
    EXPECT_EQ(*path, c.path) << c.home << " vista=" << c.vista;
    const bool quoted = c.path[0] == '"';
    Lines expected;
    if (quoted && c.debug)
      expected.push_back(box("Adding double quotes around", c.home, PLAIN));
    EXPECT_EQ(describe(os.boxes), expected) << c.home;
  }
}

TEST_F(JreLocatorTest, ExecutablePathFollowsThePosixConventions) {
  os.conv = PlatformConventions::posix();
  os.registry[KEY].values["CurrentVersion"] = "17";
  addRuntime("17", "/usr/lib/jvm/java-17");
  opt.vistaOrLater = true;
  EXPECT_EQ(locateDefaultRuntime(), "\"/usr/lib/jvm/java-17/bin/java\"");
}

TEST_F(JreLocatorTest, RequiredRuntimeFormsThePathLikeTheDefault) {
  addRuntime("1.8.0_60", "C:\\Program Files\\Java\\jre1.8.0_60");
  opt.debugMode = 1;
  EXPECT_EQ(requireVersion("1.8.0_60"),
            "\"C:\\Program Files\\Java\\jre1.8.0_60\\bin\\java.exe\"");
  EXPECT_EQ(describe(os.boxes),
            (Lines{box("JavaInstallRegPath", KEY + "\\1.8.0_60", PLAIN),
                   box("Adding double quotes around",
                       "C:\\Program Files\\Java\\jre1.8.0_60", PLAIN)}));
}

// --- the default runtime ----------------------------------------------------

struct DefaultFailure {
  const char* name;
  std::function<void(JreLocatorTest&, FakePlatform&)> arrange;
  const char* debugCaption;
  std::string debugText;
  const char* errorText;
};

TEST_F(JreLocatorTest, EveryFailedDefaultStepShowsItsBoxesEvenWhenQuiet) {
  const std::string tooLong(255, 'v');  // with its terminator: 256 bytes
  const DefaultFailure failures[] = {
      {"no runtime key", [](JreLocatorTest&, FakePlatform&) {},
       "Error Accessing Registry!", KEY, "No Java Installation Found"},
      {"no CurrentVersion",
       [](JreLocatorTest& t, FakePlatform&) { t.addRuntime("1.8", "C:\\J"); },
       "Error Reading Registry", "Java Current Version Key",
       "No Java Installation Found"},
      {"CurrentVersion beyond 255 bytes",
       [&](JreLocatorTest& t, FakePlatform& os) {
         t.addRuntime(tooLong, "C:\\J");
         os.registry[KEY].values["CurrentVersion"] = tooLong;
       },
       "Error Reading Registry", "Java Current Version Key",
       "No Java Installation Found"},
      {"CurrentVersion names a missing subkey",
       [](JreLocatorTest& t, FakePlatform& os) {
         t.addRuntime("1.8", "C:\\J");
         os.registry[KEY].values["CurrentVersion"] = "1.7";
       },
       "Error Accessing Registry!", "Java Current Version",
       "No Java Installation (No Current Version) Found"},
      {"empty CurrentVersion",
       [](JreLocatorTest&, FakePlatform& os) {
         os.registry[KEY].values["CurrentVersion"] = "";
         os.registry[KEY].values["JavaHome"] = "C:\\J";
         os.registry[KEY + "\\"].values["JavaHome"] = "C:\\J";
       },
       "Error Accessing Registry!", "Java Current Version",
       "No Java Installation (No Current Version) Found"},
      {"no JavaHome",
       [](JreLocatorTest& t, FakePlatform& os) {
         t.addRuntime("1.8", "");
         os.registry[KEY].values["CurrentVersion"] = "1.8";
       },
       "Error Reading Registry!", "Java Home Directory",
       "No Java Installation Home Directory Found"},
      {"JavaHome beyond 8192 bytes",
       [](JreLocatorTest& t, FakePlatform& os) {
         t.addRuntime("1.8", "C:\\" + std::string(8189, 'h'));
         os.registry[KEY].values["CurrentVersion"] = "1.8";
       },
       "Error Reading Registry!", "Java Home Directory",
       "No Java Installation Home Directory Found"},
  };
  for (const DefaultFailure& f : failures) {
    for (Mode mode : ALL_MODES) {
      os = FakePlatform();
      f.arrange(*this, os);
      setMode(mode);
      EXPECT_EQ(locateDefaultRuntime(), std::nullopt) << f.name;
      Lines expected;
      if (mode == Mode::Debug)
        expected.push_back(box(f.debugCaption, f.debugText, ERROR_ICON));
      expected.push_back(box("Error!", f.errorText, ERROR_ICON));
      EXPECT_EQ(describe(os.boxes), expected) << f.name << ", " << modeName(mode);
      EXPECT_EQ(os.out, "") << f.name;
    }
  }
}

TEST_F(JreLocatorTest, DefaultValuesUpToTheirBuffersAreRead) {
  const std::string version(211, 'v');  // the key path is then 254 long
  const std::string home = "C:\\" + std::string(8188, 'h');  // 8191 bytes
  addRuntime(version, home);
  os.registry[KEY].values["CurrentVersion"] = version;
  EXPECT_EQ(locateDefaultRuntime(), home + "\\bin\\javaw.exe");
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(JreLocatorTest, DefaultKeyPathBeyond254IsNotCutToAnotherKey) {
  const std::string version(212, 'v');
  addRuntime(version, "C:\\Full");
  // The key a cut path would name.
  os.registry[(KEY + "\\" + version).substr(0, 254)].values["JavaHome"] =
      "C:\\Cut";
  os.registry[KEY].values["CurrentVersion"] = version;
  EXPECT_EQ(locateDefaultRuntime(), std::nullopt);
  EXPECT_EQ(describe(os.boxes),
            (Lines{box("Error!",
                       "No Java Installation (No Current Version) Found",
                       ERROR_ICON)}));
}

// --- the required runtime: direct lookups -----------------------------------

TEST_F(JreLocatorTest, AbsentOrEmptyRequirementFindsNothingSilently) {
  addSubkeys({"1.8.0_60"});
  opt.debugMode = 1;
  set.requiredJavaVersion.reset();
  EXPECT_EQ(locateRequiredRuntime(), std::nullopt);
  EXPECT_EQ(requireVersion(""), std::nullopt);
  selectRuntimeVersion();
  EXPECT_TRUE(os.boxes.empty());
  EXPECT_EQ(os.out, "");
  EXPECT_EQ(set.requiredJavaVersion, "");
}

TEST_F(JreLocatorTest, VersionWithPatchLevelIsLookedUpWithoutEnumerating) {
  addSubkeys({"1.8.0_45", "1.8.0_60"});
  EXPECT_EQ(requireVersion("1.8.0_45"), "C:\\Java\\1.8.0_45\\bin\\javaw.exe");
  EXPECT_EQ(set.requiredJavaVersion, "1.8.0_45");
  EXPECT_EQ(os.out, "");
}

TEST_F(JreLocatorTest, MissingVersionKeyNamesTheApplicationAndVersion) {
  struct Case {
    OptionalText appName;
    OptionalText mainClass;
    const char* shownName;
  } names[] = {
      {std::string("My Tool"), std::string("com.example.Main"), "My Tool"},
      {std::string(""), std::string("com.example.Main"), "com.example.Main"},
      {std::nullopt, std::string("com.example.Main"), "com.example.Main"},
      {std::nullopt, std::nullopt, "(null)"},
  };
  addSubkeys({"1.8.0_45"});
  for (const Case& c : names) {
    for (Mode mode : ALL_MODES) {
      os.boxes.clear();
      set.appName = c.appName;
      set.mainClass = c.mainClass;
      setMode(mode);
      EXPECT_EQ(requireVersion("1.8.0_31"), std::nullopt);
      Lines expected;
      if (mode == Mode::Debug) {
        expected.push_back(box("JavaInstallRegPath", KEY + "\\1.8.0_31", PLAIN));
        expected.push_back(
            box("Error Accessing Registry!", "Java Current Version", ERROR_ICON));
      }
      if (mode != Mode::Quiet)
        expected.push_back(box("Java Runtime Environment Not Found",
                               std::string(c.shownName) +
                                   " requires the Java Runtime Environment "
                                   "version 1.8.0_31.",
                               PLAIN));
      EXPECT_EQ(describe(os.boxes), expected)
          << c.shownName << ", " << modeName(mode);
    }
  }
}

TEST_F(JreLocatorTest, VersionKeyWithoutJavaHomeShowsTheKeyPath) {
  addRuntime("1.8.0_31", "");
  for (Mode mode : ALL_MODES) {
    os.boxes.clear();
    setMode(mode);
    EXPECT_EQ(requireVersion("1.8.0_31"), std::nullopt);
    Lines expected;
    if (mode == Mode::Debug) {
      expected.push_back(box("JavaInstallRegPath", KEY + "\\1.8.0_31", PLAIN));
      expected.push_back(
          box("Error Reading Registry!", "Java Home Directory", ERROR_ICON));
    }
    if (mode != Mode::Quiet)
      expected.push_back(box(
          "Error!", "No Java Home Directory Found for " + KEY + "\\1.8.0_31 ",
          ERROR_ICON));
    EXPECT_EQ(describe(os.boxes), expected) << modeName(mode);
  }
}

TEST_F(JreLocatorTest, RequirementMessagesAreCutTo254Characters) {
  set.appName = std::string(300, 'a');
  EXPECT_EQ(requireVersion("1.8.0_31"), std::nullopt);
  ASSERT_EQ(os.boxes.size(), 1u);
  EXPECT_EQ(os.boxes[0].text, std::string(254, 'a'));

  os.boxes.clear();
  set.appName = std::string(200, 'a');
  os.registry[KEY];  // an empty runtime key: nothing matches
  set.requiredJavaVersion = "1.8.0_45+";
  EXPECT_EQ(exitCodeOf([&] { locateRequiredRuntime(); }), 11);
  ASSERT_EQ(os.boxes.size(), 1u);
  const std::string full = std::string(200, 'a') +
                           " requires the Java Runtime Environment version "
                           "1.8.0_45+\n.";
  EXPECT_EQ(os.boxes[0].text, full.substr(0, 254));
}

TEST_F(JreLocatorTest, RequiredKeyPathBeyond254FailsInsteadOfBeingCut) {
  const std::string fits = "1.8.0_" + std::string(205, '1');  // path of 254
  const std::string tooLong = fits + "1";
  addRuntime(fits, "C:\\Fits");
  addRuntime(tooLong, "C:\\TooLong");  // cut to 254, its path names `fits`
  EXPECT_EQ(requireVersion(fits), "C:\\Fits\\bin\\javaw.exe");
  EXPECT_EQ(requireVersion(tooLong), std::nullopt);
  const std::string text =
      "(null) requires the Java Runtime Environment version " + tooLong + ".";
  EXPECT_EQ(describe(os.boxes),
            (Lines{box("Java Runtime Environment Not Found",
                       text.substr(0, 254), PLAIN)}));
}

// --- the required runtime: selection among the registered versions ----------

TEST_F(JreLocatorTest, FamilyPicksTheHighestPatchLevelAndPrintsEachStep) {
  addSubkeys({"1.8", "1.8.0_45", "1.8.0_60"});
  EXPECT_EQ(requireVersion("1.8"), "C:\\Java\\1.8.0_60\\bin\\javaw.exe");
  EXPECT_EQ(set.requiredJavaVersion, "1.8.0_60");
  EXPECT_EQ(os.out,
            "javaVersion=1.8, javaVer=1.8\n"
            "checking (1) 1.8\n"
            "found correct java version 1.8. checking patch level\n"
            "No patch level found in 1.8\n"
            "checking (2) 1.8.0_45\n"
            "found correct java version 1.8.0_45. checking patch level\n"
            "checking patch level 45 against 0\n"
            "found latest java version 1.8.0_45\n"
            "checking (3) 1.8.0_60\n"
            "found correct java version 1.8.0_60. checking patch level\n"
            "checking patch level 60 against 45\n"
            "found latest java version 1.8.0_60\n");
  EXPECT_TRUE(os.boxes.empty());
}

TEST_F(JreLocatorTest, DiagnosticLinesArePrintedInQuietModeToo) {
  addSubkeys({"1.7.0_80", "1.8.0_60"});
  setMode(Mode::Quiet);
  EXPECT_EQ(requireVersion("1.8.0_50+"), "C:\\Java\\1.8.0_60\\bin\\javaw.exe");
  EXPECT_EQ(os.out,
            "javaVersion=1.8.0_50+, javaVer=1.8.0\n"
            "checking (1) 1.7.0_80\n"
            "checking (2) 1.8.0_60\n"
            "found correct java version 1.8.0_60. checking patch level\n"
            "checking patch level 60 against 50\n"
            "found latest java version 1.8.0_60\n");
}

TEST_F(JreLocatorTest, SelectionRules) {
  struct Case {
    const char* required;
    Lines subkeys;
    const char* chosen;  // requiredJavaVersion afterwards
  } cases[] = {
      {"1.8", {"1.8.0_60", "1.8", "1.8.0_45"}, "1.8.0_60"},
      // No patch level above 0: the family key itself is used.
      {"1.8", {"1.8", "1.8.0"}, "1.8"},
      {"1.8", {"1.8", "1.8.0_0"}, "1.8"},
      {"1.8", {"1.7.0_80"}, "1.8"},
      // Ties go to the subkey enumerated last.
      {"1.8", {"1.8.0_60", "1.8.0_60-b27"}, "1.8.0_60-b27"},
      {"1.8", {"1.8.0_60-b27", "1.8.0_60"}, "1.8.0_60"},
      // A plain prefix test.
      {"1.8", {"1.80_1"}, "1.80_1"},
      {"1.8", {"1.8.0_60", "1.80_99"}, "1.80_99"},
      {"1.8.0_45+", {"1.8.0_45", "1.8.0_31"}, "1.8.0_45"},
      {"1.8.0_45+", {"1.8.0_102", "1.8.0_60", "1.7.0_99"}, "1.8.0_102"},
      // A '+' without '_' stays in the family and matches nothing.
      {"1.8+", {"1.8.0_60", "1.8"}, "1.8+"},
      // The patch level is read like atoi reads it.
      {"1.8.0_45abc+", {"1.8.0_50xyz"}, "1.8.0_50xyz"},
      {"1.8.0_ 45+", {"1.8.0_46"}, "1.8.0_46"},
      // Longer than 19 characters: matched in full, not cut.
      {"1.8.0.12345678901234567", {"1.8.0.1234567890123_9"}, "1.8.0.12345678901234567"},
      {"1.8.0.12345678901234567", {"1.8.0.12345678901234567_9"},
       "1.8.0.12345678901234567_9"},
  };
  for (const Case& c : cases) {
    os = FakePlatform();
    addSubkeys(c.subkeys);
    set.requiredJavaVersion = c.required;
    EXPECT_EQ(exitCodeOf([] { selectRuntimeVersion(); }), kReturned)
        << c.required;
    EXPECT_EQ(set.requiredJavaVersion, c.chosen) << c.required;
    EXPECT_TRUE(os.boxes.empty()) << c.required;
  }
}

TEST_F(JreLocatorTest, NoSubkeyAtOrAboveTheWantedPatchEndsWith11) {
  struct Case {
    const char* required;
    Lines subkeys;
  } cases[] = {
      {"1.8.0_45+", {"1.8.0_31"}},
      {"1.8.0_45+", {"1.8.0", "1.7.0_99"}},
      {"1.8.0_45+", {}},
  };
  for (const Case& c : cases) {
    for (Mode mode : ALL_MODES) {
      os = FakePlatform();
      os.registry[KEY];
      addSubkeys(c.subkeys);
      setMode(mode);
      set.appName = "Tool";
      EXPECT_EQ(exitCodeOf([&] { requireVersion(c.required); }), 11)
          << c.required;
      Lines expected;
      if (mode != Mode::Quiet)
        expected.push_back(
            box("Incompatible JRE Version Found",
                std::string("Tool requires the Java Runtime Environment "
                            "version ") +
                    c.required + "\n.",
                PLAIN));
      EXPECT_EQ(describe(os.boxes), expected)
          << c.required << ", " << modeName(mode);
    }
  }
}

TEST_F(JreLocatorTest, SelectionWithoutRuntimeKeyEndsWith11) {
  for (Mode mode : ALL_MODES) {
    os = FakePlatform();
    setMode(mode);
    EXPECT_EQ(exitCodeOf([&] { requireVersion("1.8"); }), 11);
    Lines expected;
    if (mode == Mode::Debug)
      expected.push_back(
          box("Error Accessing Registry!", "Java Current Version", ERROR_ICON));
    if (mode != Mode::Quiet)
      expected.push_back(box("Java Runtime Environment Not Found",
                             "(null) requires the Java Runtime Environment "
                             "version 1.8\n.",
                             PLAIN));
    EXPECT_EQ(describe(os.boxes), expected) << modeName(mode);
    EXPECT_EQ(os.out, "");
  }
}

TEST_F(JreLocatorTest, SelectionWithNoBetterMatchFallsBackToTheFamilyKey) {
  addSubkeys({"1.7.0_80"});
  set.appName = "Tool";
  EXPECT_EQ(requireVersion("1.8"), std::nullopt);
  EXPECT_EQ(describe(os.boxes),
            (Lines{box("Java Runtime Environment Not Found",
                       "Tool requires the Java Runtime Environment version 1.8.",
                       PLAIN)}));
}

TEST_F(JreLocatorTest, FailedEnumerationsAreSkippedAndKeepTheirIndex) {
  addSubkeys({"1.8.0_45", "1.8.0_99", "1.8.0_60"});
  os.registry[KEY].failEnumAt = {1};
  EXPECT_EQ(requireVersion("1.8"), "C:\\Java\\1.8.0_60\\bin\\javaw.exe");
  EXPECT_NE(os.out.find("checking (1) 1.8.0_45\n"), std::string::npos);
  EXPECT_EQ(os.out.find("checking (2)"), std::string::npos);
  EXPECT_NE(os.out.find("checking (3) 1.8.0_60\n"), std::string::npos);
}

TEST_F(JreLocatorTest, SubkeyNamesBeyond255CharactersAreSkipped) {
  addSubkeys({"1.8.0_60" + std::string(248, 'x'), "1.8.0_50"});
  EXPECT_EQ(requireVersion("1.8"), "C:\\Java\\1.8.0_50\\bin\\javaw.exe");
  EXPECT_EQ(os.out.find("checking (1)"), std::string::npos);
}

TEST_F(JreLocatorTest, UncountableRuntimeKeyIsSearchedAsEmpty) {
  addSubkeys({"1.8.0_60"});
  os.registry[KEY].failCount = true;
  set.requiredJavaVersion = "1.8";
  selectRuntimeVersion();
  EXPECT_EQ(set.requiredJavaVersion, "1.8");
  set.requiredJavaVersion = "1.8.0_45+";
  EXPECT_EQ(exitCodeOf([] { selectRuntimeVersion(); }), 11);
  EXPECT_EQ(os.out,
            "javaVersion=1.8, javaVer=1.8\n"
            "javaVersion=1.8.0_45+, javaVer=1.8.0\n");
}

TEST_F(JreLocatorTest, HugePatchLevelsStopAtTheIntLimit) {
  addSubkeys({"1.8.0_99999999999999999999", "1.8.0_2147483647"});
  EXPECT_EQ(requireVersion("1.8.0_-99999999999999+"),
            "C:\\Java\\1.8.0_2147483647\\bin\\javaw.exe");
  EXPECT_NE(os.out.find("checking patch level 2147483647 against -2147483648\n"),
            std::string::npos);
  EXPECT_NE(os.out.find("checking patch level 2147483647 against 2147483647\n"),
            std::string::npos);
}

}  // namespace
}  // namespace tarvik
