#include "launch/SingleInstance.h"

#include <algorithm>

#include "Tarvik.h"
#include "launch/InstanceForwarding.h"
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

namespace tarvik {
namespace {

const std::string INSTANCES_FOLDER = "C:\\Users\\me\\AppData\\Local\\Tarvik\\instances";
const std::string ENDPOINT = INSTANCES_FOLDER + "\\" + instanceEndpointName("acme");

// The second launch hands its command line's words over; only an
// acknowledged hand-over ends with 0.
TEST_F(SingleInstanceTest, ASecondLaunchHandsItsArgumentsToTheFirst) {
  const std::string running = "singleInstance acme: the application runs already";
  struct Case {
    std::string name;
    bool folderMade, listens, hasWindow;
    std::string handOverError, folderError;
    std::vector<std::string> words;
    int code;
    size_t handOvers;
    std::string err;
  } cases[] = {
      {"taken", true, true, true, "", "", {"a", "b", "c d"}, 0, 1,
       running + "; the arguments were handed over to it and its window was brought forward\n"},
      {"taken, no window", true, true, false, "", "", {"x"}, 0, 1,
       running + "; the arguments were handed over to it\n"},
      {"taken, no arguments", true, true, true, "", "", {}, 0, 1,
       running + "; the arguments were handed over to it and its window was brought forward\n"},
      {"nobody listens", true, false, true, "", "", {"a"}, 12, 1,
       running + "; its window was brought forward\n"},
      {"no answer in time", true, true, true, "no answer within 5000 ms", "", {"a"}, 12, 1,
       running + "; its window was brought forward\n"},
      {"no folder: an older first launcher", false, false, true, "", "", {"a"}, 12, 0,
       running + "; its window was brought forward\n"},
      {"another user's folder", true, true, true, "", "another user's folder", {"a"}, 12, 0,
       running + "; its window was brought forward\n"},
      {"too many arguments", true, true, true, "", "",
       std::vector<std::string>(MAX_FORWARDED_ARGUMENTS + 1, "a"), 12, 0,
       running + "; its window was brought forward\n"},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.err.clear();
    os.started.clear();
    os.handedOver.clear();
    os.runningInstances = {"acme"};
    os.instanceHasWindow = c.hasWindow;
    os.instanceFolderMade = c.folderMade;
    os.instanceFolderError = c.folderError;
    os.handOverError = c.handOverError;
    os.listeningEndpoints.clear();
    if (c.listens) os.listeningEndpoints.insert(ENDPOINT);
    EXPECT_EQ(run("singleInstance acme\n", c.words), c.code) << c.name;
    EXPECT_TRUE(os.started.empty()) << c.name;
    EXPECT_EQ(os.err, c.err) << c.name;
    ASSERT_EQ(os.handedOver.size(), c.handOvers) << c.name;
    if (c.handOvers == 0) continue;
    EXPECT_EQ(os.handedOver[0].first, ENDPOINT) << c.name;
    EXPECT_EQ(os.handedOver[0].second, *forwardingMessage(startup().callerDir, c.words))
        << c.name;
  }
}

// A first instance claimed moments ago may not listen yet (its Java is
// starting, say when several files are opened at once): the second launch
// tries again until the claim is INSTANCE_START_MILLIS old. An older
// claim, or one of unknown age, is asked once.
TEST_F(SingleInstanceTest, AnInstanceThatIsStartingIsWaitedFor) {
  const std::string running = "singleInstance acme: the application runs already";
  struct Case {
    std::string name;
    int64_t heldMillis, listensAfterMillis;
    int code;
    bool retried;
    bool noLocalSockets;
    int64_t folderMadeAfterMillis = 0;
  } cases[] = {
      {"listens a moment later", 0, 800, 0, true, false},
      {"listens late in the window", 4000, 800, 0, true, false},
      // A Java that takes long to start (a busy machine, a large
      // application) is waited for too.
      {"listens after 8 seconds", 0, 8000, 0, true, false},
      {"never listens", 1000, -1, 12, true, false},
      {"claimed long ago", 60000, -1, 12, false, false},
      {"claimed long ago, listening later is not waited for", 60000, 100, 12, false, false},
      {"age not told", -1, 100, 12, false, false},
      // Windows before 10 1803 and Wine: nobody can ever listen.
      {"no local sockets", 0, -1, 12, false, true},
      // So quick that the first launch has not made the instances' folder.
      {"its folder not made yet", 0, 800, 0, true, false, 300},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.err.clear();
    os.handedOver.clear();
    os.sleeps.clear();
    os.runningInstances = {"acme"};
    os.instanceHasWindow = false;
    os.instanceFolderError.clear();
    os.handOverError.clear();
    os.listeningEndpoints.clear();
    os.instanceHeldMillis = c.heldMillis;
    os.listensAfterMillis = c.listensAfterMillis;
    os.noLocalSockets = c.noLocalSockets;
    os.instanceFolderMade = c.folderMadeAfterMillis == 0;
    os.instanceFolderMadeAfterMillis = c.folderMadeAfterMillis;
    EXPECT_EQ(run("singleInstance acme\n", {"a.txt"}), c.code) << c.name;
    EXPECT_TRUE(os.started.empty()) << c.name;
    EXPECT_EQ(os.err, running + (c.code == 0 ? "; the arguments were handed over to it\n" : "\n"))
        << c.name;
    EXPECT_EQ(os.handedOver.size() > 1, c.retried) << c.name;
    int64_t slept = 0;
    for (const int64_t millis : os.sleeps) slept += millis;
    if (!c.retried) {
      EXPECT_TRUE(os.sleeps.empty()) << c.name;
      continue;
    }
    if (c.code == 12) {
      EXPECT_GE(c.heldMillis + slept, INSTANCE_START_MILLIS) << c.name;
    }
    EXPECT_LE(c.heldMillis + slept, INSTANCE_START_MILLIS + 200) << c.name;
  }
}

// The first launch names the endpoint to its Java, what stands there
// removed; without a usable folder it names none.
TEST_F(SingleInstanceTest, TheFirstLaunchNamesTheEndpointToItsJava) {
  const std::string option = "-Dtarvik.instance=" + ENDPOINT;
  struct Case {
    std::string name;
    std::string folder, folderError;
    bool stale;
    bool named;
  } cases[] = {
      {"named", INSTANCES_FOLDER, "", false, true},
      {"a stale endpoint is removed", INSTANCES_FOLDER, "", true, true},
      {"a refused folder", INSTANCES_FOLDER, "others may enter the folder", false, false},
      {"too long for a socket", "C:\\" + std::string(100, 'x'), "", false, false},
      {"not ASCII", "C:\\Users\\J\xC3\xBCrgen", "", false, false},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    os.started.clear();
    os.removed.clear();
    os.runningInstances.clear();
    os.instanceFolderPath = c.folder;
    os.instanceFolderError = c.folderError;
    if (c.stale) os.files[ENDPOINT] = "";
    EXPECT_EQ(run("singleInstance acme\n", {}), 0) << c.name;
    ASSERT_EQ(os.started.size(), 1u) << c.name;
    const std::vector<std::string>& words = os.started[0].arguments;
    const size_t named = std::count_if(words.begin(), words.end(), [](const std::string& w) {
      return w.rfind("-Dtarvik.instance=", 0) == 0;
    });
    EXPECT_EQ(named, c.named ? 1u : 0u) << c.name;
    if (c.named) {
      EXPECT_NE(std::find(words.begin(), words.end(), option), words.end()) << c.name;
    }
    EXPECT_EQ(os.files.count(ENDPOINT), 0u) << c.name;
    EXPECT_EQ(std::count(os.removed.begin(), os.removed.end(), ENDPOINT), c.named ? 1 : 0) << c.name;
  }
}

}  // namespace
}  // namespace tarvik
