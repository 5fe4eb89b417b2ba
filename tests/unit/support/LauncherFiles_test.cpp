// The files the launcher creates, through the switches that make them: a
// file of the launcher's own is replaced as it always was; a link, a file
// of several names or a FIFO under a name it may replace is left as it is,
// said, and the launch ends with the kind's exit code.
#include "Tarvik.h"

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

class LauncherFilesTest : public LauncherTest {};

TEST_F(LauncherFilesTest, ANameThatMayBeReplacedIsNeverFollowedOrShared) {
  enum Planted { Own, Link, HardLink, Fifo };
  struct Row {
    const char* name;
    std::vector<std::string> words;
    std::string path;
    Planted planted;
    int code;
    std::string err;
  } rows[] = {
      {"command file of its own", {"-o"}, "C:\\Apps\\tool.out", Own, 0, ""},
      {"command file a link", {"-o"}, "C:\\Apps\\tool.out", Link, -3,
       "The command file tool.out is a link to another file. It is left "
       "untouched: remove it, or run -o in another folder.\n"},
      {"sample of its own", {"-sample"}, "C:\\Work\\sample.config", Own, 0, ""},
      {"sample a hard link", {"-sample"}, "C:\\Work\\sample.config", HardLink, 1,
       "The sample file sample.config has other names too (a hard link). It is "
       "left untouched: remove it, or run -sample in another folder.\n"},
      {"named log a link", {"-log", "run.log"}, "C:\\Work\\run.log", Link, 1,
       "The log file run.log is a link to another file. It is left untouched: "
       "name another log file.\n"},
      {"named log a FIFO", {"-log", "run.log"}, "C:\\Work\\run.log", Fifo, 1,
       "The log file run.log is no regular file. It is left untouched: name "
       "another log file.\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    resetLaunchState();
    os = FakePlatform();
    os.files["C:\\Apps\\tool.config"] = "javapath java\nmainclass app.Main\n";
    os.files[row.path] = "precious";
    if (row.planted == Link) os.planted.insert(row.path);
    if (row.planted == HardLink) os.hardLinked.insert(row.path);
    if (row.planted == Fifo) os.notRegular.insert(row.path);
    std::vector<std::string> argv = {"C:\\Apps\\tool.exe"};
    argv.insert(argv.end(), row.words.begin(), row.words.end());
    const int code = exitCodeOf([&] { runLauncher(argv); });
    EXPECT_EQ(os.err, row.err);
    if (row.planted == Own) {
      EXPECT_NE(os.files[row.path], "precious");
      continue;
    }
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(os.files[row.path], "precious");
    ASSERT_EQ(os.boxes.size(), 1u);
    EXPECT_EQ(os.boxes[0].caption, "File Not Replaced");
    EXPECT_EQ(os.boxes[0].text + "\n", row.err);
    EXPECT_TRUE(os.started.empty());
  }
}

}  // namespace
}  // namespace tarvik
