// What a launch uses, resolved once, through the whole launcher: every file
// the configuration or an option names is the launcher's folder's, whatever
// folder the application runs in, and the child is handed those paths.
#include <gtest/gtest.h>

#include "Tarvik.h"
#include "fakes/LauncherTest.h"
#include "launch/ResolvedLaunch.h"
#include "support/LauncherFolder.h"

namespace tarvik {
namespace {

using Strings = std::vector<std::string>;

class ResolvedLaunchTest : public LauncherTest {
 protected:
  // The child's words of a launch of C:\Apps\tool.exe, typed as `typed`,
  // with this configuration, from C:\Work.
  Strings childWords(const std::string& config, const std::string& typed) {
    os.cwd = "C:\\Work";
    os.files["C:\\Apps\\tool.config"] = config;
    os.files["C:\\Java\\bin\\java.exe"] = "MZ";
    os.programsFound["javaw"] = "C:\\Windows\\javaw.exe";
    os.children.push_back(FakeChildScript());
    exitCodeOf([&] { runLauncher({typed}, "C:\\Apps\\tool.exe"); });
    if (os.started.empty()) return {"(no child)"};
    workingDir = os.started[0].workingDir.value_or("(launcher's)");
    return os.started[0].arguments;
  }
  std::string workingDir;
};

TEST_F(ResolvedLaunchTest, RelativePathsAreTheLaunchersFolderWhereverTheApplicationRuns) {
  const struct {
    const char* name;
    const char* typed;
    const char* lines;
    Strings expected;  // the words after the Java path but the configuration's
    const char* runsIn;
  } rows[] = {
      {"workingDir elsewhere", "C:\\Apps\\tool.exe",
       "workingDir C:\\Data\naddjar lib\\a.jar\naddjars more\naddpath classes\n"
       "vmparam -javaagent:agents\\x.jar=opt\nvmparam -splash:img\\s.png\n"
       "vmparam -Xbootclasspath/a:boot.jar;C:\\abs\\b.jar\n"
       "vmparam --module-path\nvmparam mods\nvmparam @opts.txt\n"
       "vmparam -Djava.security.policy==app.policy\nvmparam -Dplain=rel.txt\n",
       {"-javaagent:C:\\Apps\\agents\\x.jar=opt", "-splash:C:\\Apps\\img\\s.png",
        "-Xbootclasspath/a:C:\\Apps\\boot.jar;C:\\abs\\b.jar", "--module-path",
        "C:\\Apps\\mods", "@C:\\Apps\\opts.txt", "-Djava.security.policy==C:\\Apps\\app.policy",
        "-Dplain=rel.txt", "-classpath",
        "C:\\Apps\\lib\\a.jar;C:\\Apps\\more/*;C:\\Apps\\classes", "app.Main"},
       "C:\\Data"},
      {"typed by name: the caller's folder", "tool",
       "addjar lib\\a.jar\nvmparam -agentpath:native\\a.dll\n",
       {"-agentpath:C:\\Apps\\native\\a.dll", "-classpath", "C:\\Apps\\lib\\a.jar", "app.Main"},
       "C:\\Work"},
      {"a relative workingDir is the launcher's folder's", "C:\\Apps\\tool.exe",
       "workingDir data\naddjar a.jar\n",
       {"-classpath", "C:\\Apps\\a.jar", "app.Main"}, "C:\\Apps\\data"},
      {"a URL names no file", "C:\\Apps\\tool.exe",
       "vmparam -Djava.security.policy=http://h/p\n",
       {"-Djava.security.policy=http://h/p", "-classpath", "", "app.Main"},
       "(launcher's)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    resetLaunchState();
    os.started.clear();
    const Strings words = childWords(
        std::string("javapath C:\\Java\\bin\\java.exe\nmainclass app.Main\n") + row.lines,
        row.typed);
    ASSERT_GT(words.size(), 2u);
    // After the program and the configuration's path.
    EXPECT_EQ(Strings(words.begin() + 2, words.end()), row.expected);
    EXPECT_EQ(workingDir, row.runsIn);
  }
}

// The Java executable: named by its full path where, read from the folder
// the child starts in, what was written would name another file.
TEST_F(ResolvedLaunchTest, TheJavaExecutableIsTheFileThatWillRun) {
  const struct {
    const char* javapath;
    const char* typed;
    const char* program;
  } rows[] = {
      // The system's search finds the file the launch found.
      {"javaw", "C:\\Apps\\tool.exe", "javaw"},
      {"jre\\bin\\java.exe", "C:\\Apps\\tool.exe", "jre\\bin\\java.exe"},
      {"jre\\bin\\java.exe", "tool", "C:\\Apps\\jre\\bin\\java.exe"},
      {"\\Java\\bin\\java.exe", "tool", "C:\\Java\\bin\\java.exe"},
      {"C:\\Java\\bin\\java.exe", "tool", "C:\\Java\\bin\\java.exe"},
      // Nothing found: as given, so that its start fails and says so.
      {"nosuchjava", "tool", "nosuchjava"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.javapath) + " " + row.typed);
    resetLaunchState();
    os.started.clear();
    const Strings words =
        childWords(std::string("mainclass app.Main\njavapath ") + row.javapath + "\n", row.typed);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words[0], row.program);
  }
}

// Every file the resolved launch names is a full path, the configuration's
// files among them, and the child's class path and options are made of it.
TEST_F(ResolvedLaunchTest, EveryFileItNamesIsAFullPath) {
  os.cwd = "C:\\Work";
  os.files["C:\\Apps\\tool.config"] =
      "javapath jre\\bin\\java.exe\nmainclass M\ninclude parts\\more.config\n"
      "include D:drive.config\n"
      "addjars lib\naddjars D:\nworkingDir C:\\Data\nvmparam -javaagent:a.jar\n"
      "vmparam @opts.txt\n";
  // Read by the VM in the folder it runs in, a drive's own folder too.
  os.files["C:\\Apps\\opts.txt"] = "-javaagent:D:b.jar -javaagent:\\c.jar -javaagent:d.jar";
  os.files["C:\\Apps\\jre\\bin\\java.exe"] = "MZ";
  startup().exePath = "C:\\Apps\\tool.exe";
  settleInLauncherFolder();
  readConfigFile("C:\\Apps\\tool.config");
  const std::optional<ResolvedLaunch> launch = resolveLaunch(FileList::Made);
  ASSERT_TRUE(launch);
  Strings paths;
  for (const LaunchFile& file : launch->files) {
    EXPECT_TRUE(isFullyQualifiedPath(file.path, os.conventions())) << file.path;
    paths.push_back(file.path);
  }
  EXPECT_EQ(paths, (Strings{"C:\\Apps\\tool.exe", "C:\\Apps\\tool.config",
                            "C:\\Apps\\parts\\more.config", "D:\\drive.config",
                            "C:\\Apps\\jre\\bin\\java.exe", "C:\\Apps\\lib", "D:\\",
                            "C:\\Apps\\a.jar", "C:\\Apps\\opts.txt", "D:\\b.jar",
                            "C:\\c.jar", "C:\\Data\\d.jar", "C:\\Data"}));
  EXPECT_EQ(launch->java, "C:\\Apps\\jre\\bin\\java.exe");
  EXPECT_EQ(launch->applicationFolder, "C:\\Data");
}

}  // namespace
}  // namespace tarvik
