#include "runtime/JavaDownload.h"

#include <functional>

#include "fakes/LauncherTest.h"
#include "runtime/JreLocator.h"

namespace tarvik {
namespace {

const std::string RUNTIMES_KEY = RUNTIME_REGISTRY_KEY;
const std::string URL = "https://example.com/java";
const std::string QUESTION =
    "\n\nWould you like to download Java from " + URL + "?";

class JavaDownloadTest : public LauncherTest {
 public:  // the failure table arranges through it
  FakeRegistryKey& key(const std::string& path) { return os.registry[path]; }
};

// Each way discovery finds no fitting runtime, answered Yes, No and in
// quiet mode: the box keeps its text and adds the question, only Yes
// opens the page, and the end is today's. The console launcher shows no
// box and opens nothing: its line on standard error names the page.
TEST_F(JavaDownloadTest, EveryDiscoveryFailureOffersThePage) {
  struct Failure {
    std::string name;
    std::function<void(JavaDownloadTest&)> arrange;
    std::function<void()> act;
    std::string caption, text;
    unsigned style;
    bool shownWhenQuiet;
    int code;
  } failures[] = {
      {"no runtime key", [](JavaDownloadTest&) {},
       [] { locateDefaultRuntime(); }, "Error!", "No Java Installation Found",
       MB_STYLE_ICONERROR, true, kReturned},
      {"no version key",
       [](JavaDownloadTest& t) { t.key(RUNTIMES_KEY).values["x"] = "y"; },
       [] {
         settings().requiredJavaVersion = "1.8.0_31";
         locateRequiredRuntime();
       },
       "Java Runtime Environment Not Found",
       "(null) requires the Java Runtime Environment version 1.8.0_31.",
       MB_STYLE_OK, false, kReturned},
      {"no JavaHome",
       [](JavaDownloadTest& t) { t.key(RUNTIMES_KEY + "\\1.8.0_31").values["x"] = "y"; },
       [] {
         settings().requiredJavaVersion = "1.8.0_31";
         locateRequiredRuntime();
       },
       "Error!", "No Java Home Directory Found for " + RUNTIMES_KEY + "\\1.8.0_31 ",
       MB_STYLE_ICONERROR, false, kReturned},
      {"no fitting version", [](JavaDownloadTest&) {},
       [] {
         settings().requiredJavaVersion = "17";
         locateRequiredRuntime();
       },
       "Java Runtime Environment Not Found",
       "(null) requires the Java Runtime Environment version 17\n.",
       MB_STYLE_OK, false, 11},
  };
  for (const Failure& f : failures) {
    for (const char* how : {"yes", "no", "quiet", "no url", "console", "console quiet"}) {
      const std::string mode = how;
      SCOPED_TRACE(f.name + ", " + mode);
      resetLaunchState();
      os.registry.clear();
      os.boxes.clear();
      os.opened.clear();
      os.err.clear();
      os.answers = {mode == "yes" ? ANSWER_YES : ANSWER_NO};
      if (mode != "no url") settings().javaDownloadUrl = URL;
      options().quietMode = mode == "quiet" || mode == "console quiet";
      const bool console = mode.rfind("console", 0) == 0;
      if (console) options().kind = LauncherKind::Console;
      f.arrange(*this);
      EXPECT_EQ(exitCodeOf(f.act), f.code);
      std::vector<RecordedBox> boxes;
      if (mode == "yes" || mode == "no")
        boxes.push_back({f.caption, f.text + QUESTION, f.style | MB_STYLE_YESNO});
      else if (mode == "no url" || (mode == "quiet" && f.shownWhenQuiet))
        boxes.push_back({f.caption, f.text, f.style});
      EXPECT_EQ(os.boxes, boxes);
      const bool told = mode == "console" || f.shownWhenQuiet;
      EXPECT_EQ(os.err, console && told ? f.caption + ": " + f.text +
                                              " Java can be downloaded from " + URL + "\n"
                                        : "");
      EXPECT_EQ(os.opened, mode == "yes" ? std::vector<std::string>{URL}
                                         : std::vector<std::string>{});
    }
  }
}

}  // namespace
}  // namespace tarvik
