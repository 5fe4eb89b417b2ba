#include "support/FileSystem.h"

#include "fakes/LauncherTest.h"
#include "support/Message.h"

namespace tarvik {
namespace {

class FileSystemTest : public LauncherTest {
 protected:
  std::vector<std::string> mkdirs() const {
    std::vector<std::string> made;
    for (const std::string& event : os.events)
      if (event.rfind("mkdir ", 0) == 0) made.push_back(event.substr(6));
    return made;
  }
};

TEST_F(FileSystemTest, MakeDirectoriesCreatesEachComponentButTheFirst) {
  struct Case {
    const char* path;
    std::vector<std::string> tried;
  } cases[] = {
      {"C:/data/app/logs", {"C:\\data", "C:\\data\\app", "C:\\data\\app\\logs"}},
      {"C:\\a\\b", {"C:\\a", "C:\\a\\b"}},
      {"logs/today", {"logs\\today"}},
      {"/root/x", {"\\root", "\\root\\x"}},
      {"", {}},
      {"single", {}},
      {"a//b/", {"a\\", "a\\\\b"}},
  };
  for (const Case& c : cases) {
    os.events.clear();
    os.directories.clear();
    makeDirectories(c.path);
    EXPECT_EQ(mkdirs(), c.tried) << c.path;
    EXPECT_TRUE(os.out.empty()) << c.path;
  }
}

TEST_F(FileSystemTest, ExistingDirectoriesAreNoFailure) {
  os.directories = {"C:\\a", "C:\\a\\b"};
  makeDirectories("C:/a/b/c");
  EXPECT_TRUE(os.out.empty());
  EXPECT_TRUE(os.directories.count("C:\\a\\b\\c"));
}

TEST_F(FileSystemTest, FirstRealFailureIsReportedAndStopsTheWalk) {
  os.mkdirErrors["C:\\x"] = 13;
  makeDirectories("C:\\x\\y");
  EXPECT_EQ(os.out,
            "Error creating directory C:\\x\\y at component C:\\x error : "
            "Permission denied (13)");
  EXPECT_EQ(mkdirs(), std::vector<std::string>{"C:\\x"});
}

TEST_F(FileSystemTest, PosixConventionsBuildPathsWithSlashes) {
  os.conv = PlatformConventions::posix();
  makeDirectories("/var/app\\logs");
  EXPECT_EQ(mkdirs(), (std::vector<std::string>{"/var", "/var/app", "/var/app/logs"}));
}

TEST_F(FileSystemTest, ExpandWildcardJoinsMatchesBehindThePrefix) {
  os.findResults["lib/*.jar"] = {"a.jar", "b.jar"};
  os.findResults["lib\\*"] = {".", "..", "x.jar", "y.JAR", "z.Jar", "a.txt", "sub"};
  os.findResults["lib/*.*"] = {"..", "x.jar", "x.txt"};
  os.findResults["*"] = {".", "a.jar", "b.zip"};
  os.findResults["dots/*"] = {".", ".."};
  EXPECT_EQ(expandWildcard("lib/*.jar"), "lib/a.jar;lib/b.jar");
  // As Java's launcher reads a folder wildcard: its .jar and .JAR files.
  EXPECT_EQ(expandWildcard("lib\\*"), "lib\\x.jar;lib\\y.JAR");
  EXPECT_EQ(expandWildcard("*"), "a.jar");
  // Other patterns keep every match but the folder's own entries.
  EXPECT_EQ(expandWildcard("lib/*.*"), "lib/x.jar;lib/x.txt");
  EXPECT_EQ(expandWildcard("dots/*"), "dots/*");
  EXPECT_EQ(expandWildcard("none/*.jar"), "none/*.jar");
  os.conv = PlatformConventions::posix();
  EXPECT_EQ(expandWildcard("lib/*.jar"), "lib/a.jar:lib/b.jar");
}

TEST_F(FileSystemTest, ShowMessageIsSilentInQuietMode) {
  showMessage("Cap", "Text", true);
  showMessage("Cap2", "Text2", false);
  opt.quietMode = true;
  showMessage("Hidden", "x", true);
  showMessage("Hidden", "y", false);
  EXPECT_EQ(os.boxes, (std::vector<RecordedBox>{{"Cap", "Text", MB_STYLE_ICONERROR},
                                                {"Cap2", "Text2", MB_STYLE_OK}}));
}

}  // namespace
}  // namespace tarvik
