#include "launch/SingleInstance.h"

#include "Tarvik.h"
#include "fakes/LauncherTest.h"
#include "runtime/JreLocator.h"

namespace tarvik {
namespace {

class SingleInstanceTest : public LauncherTest {
 protected:
  SingleInstanceTest() {
    os.registry[RUNTIME_REGISTRY_KEY].values["CurrentVersion"] = "1.8";
    os.registry[std::string(RUNTIME_REGISTRY_KEY) + "\\1.8"].values["JavaHome"] =
        "C:\\Java";
  }
  int run(const std::string& config, std::vector<std::string> words) {
    os.files["C:\\Apps\\tool.config"] = "mainclass app.Main\n" + config;
    words.insert(words.begin(), "C:\\Apps\\tool.exe");
    int result = kReturned;
    int code = exitCodeOf([&] { result = runLauncher(words); });
    return code == kReturned ? result : code;
  }
};

TEST_F(SingleInstanceTest, ASecondLaunchBringsTheFirstForwardAndStartsNoJava) {
  const std::string running = "singleInstance acme: the application runs already";
  struct Case {
    std::string name;
    std::string config;
    std::vector<std::string> words;
    bool otherRuns, hasWindow;
    std::string claimError;
    int code;
    size_t children;
    std::string err;
  } cases[] = {
      {"no directive", "", {}, true, true, "", 0, 1, ""},
      {"first launch", "singleInstance acme\n", {}, false, true, "", 0, 1, ""},
      {"another name runs", "singleInstance acme\n", {}, false, true, "", 0, 1, ""},
      {"second launch", "singleInstance acme\n", {}, true, true, "", 12, 0,
       running + "; its window was brought forward\n"},
      {"second, quiet", "singleInstance acme\n", {"-q"}, true, true, "", 12, 0,
       running + "; its window was brought forward\n"},
      {"second, passing the code", "singleInstance acme\n", {"-passExitCode"},
       true, true, "", 12, 0, running + "; its window was brought forward\n"},
      {"second, no window", "singleInstance acme\n", {}, true, false, "", 12, 0,
       running + "\n"},
      {"-o claims nothing", "singleInstance acme\n", {"-o"}, true, true, "", 0, 0, ""},
      {"the system cannot tell", "singleInstance acme\n", {}, false, true,
       "Access is denied.", 0, 1,
       "singleInstance acme: cannot tell whether the application runs already "
       "(Access is denied.); starting it\n"},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.err.clear();
    os.started.clear();
    os.claims.clear();
    os.broughtForward.clear();
    os.runningInstances.clear();
    if (c.otherRuns) os.runningInstances.insert(c.name == "another name runs" ? "other" : "acme");
    os.instanceHasWindow = c.hasWindow;
    os.instanceClaimError = c.claimError;
    EXPECT_EQ(run(c.config, c.words), c.code) << c.name;
    EXPECT_EQ(os.started.size(), c.children) << c.name;
    EXPECT_EQ(os.err, c.err) << c.name;
    EXPECT_EQ(os.broughtForward.size(), c.code == 12 ? 1u : 0u) << c.name;
    EXPECT_TRUE(os.boxes.empty()) << c.name;
  }
}

}  // namespace
}  // namespace tarvik
