// The real tarvik.exe under Wine (LANG=C.UTF-8, ANSI code page 1252) with
// text beyond the code page: a launcher folder, configuration files in
// UTF-8 and cp1252, arguments, a message box, and the in-process JVM.
#include <gtest/gtest.h>

#include <sstream>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

const std::string TEXT = "\xC3\xA9 \xD0\x94 \xE5\xB7\xA5\xE5\x85\xB7";  // é Д 工具
// Without blanks, for option values: vmparam values are command-line text.
const std::string WORD = "\xC3\xA9\xD0\x94\xE5\xB7\xA5";  // éД工
const std::string FOLDER = "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8"
                           "\xD0\xB9\xE5\xB7\xA5\xE5\x85\xB7";  // Дмитрий工具

bool isAscii(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > 0x7F || c == '?') return false;
  return true;
}

// The text as the child is handed it: what cp1252 lacks as '?' (for these
// texts: Latin-1 is kept, nothing between U+0080 and U+009F occurs).
std::string handed(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    result += lead < 0xC4 ? text.substr(i, length) : "?";
    i += length;
  }
  return result;
}

// The path itself, or a short form: ASCII with a '~' and no '?'.
bool namesPath(const std::string& seen, const std::string& path) {
  return seen == path || (isAscii(seen) && seen.find('~') != std::string::npos);
}

class WineUnicodeTest : public ::testing::Test {
 protected:
  WineEnvironment& wine = WineEnvironment::get();

  std::string tool(const std::string& dir, const std::string& config) {
    std::string exe = wine.installLauncher(dir, "tool.exe");
    writeFile(dir + "/tool.config", config);
    return exe;
  }

  std::string fakeJava() {
    return WineEnvironment::windowsPath(wine.testTool("fakejava.exe"));
  }

  // Runs with LANG=C.UTF-8 and the fake java recording into `record`.
  RunResult run(const std::string& exe, const std::string& record,
                std::vector<std::string> args = {}) {
    RunOptions options = RunOptions::of(std::move(args));
    options.env = {{"LANG", "C.UTF-8"},
                   {"FAKEJAVA_RECORD", WineEnvironment::windowsPath(record)},
                   {"FAKEJVM_RECORD", WineEnvironment::windowsPath(record)}};
    options.cwd = newCaseDir("elsewhere");
    return wine.runLauncher(exe, options);
  }

  // The value after `prefix` in the first argument that starts with it.
  static std::string argAfter(const FakeJavaRun& run, const std::string& prefix) {
    for (const std::string& arg : run.args)
      if (arg.rfind(prefix, 0) == 0) return arg.substr(prefix.size());
    return "<none>";
  }
};

TEST_F(WineUnicodeTest, LauncherInAFolderBeyondTheCodePage) {
  const std::string base = newCaseDir("case");
  std::string dir = base + "/" + FOLDER;
  makeDirs(dir);
  std::string winDir = WineEnvironment::windowsPath(dir);
  std::string exe = tool(dir, "mainclass app.Main\njavapath " + fakeJava() + "\n");
  RunResult r = run(exe, base + "/record");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(0u, r.exitCode) << r.err;
  EXPECT_TRUE(r.boxes.empty());
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(base + "/record");
  ASSERT_EQ(1u, runs.size()) << "the configuration was not found";
  EXPECT_EQ(winDir, runs[0].cwd);
  const std::string config = argAfter(runs[0], "-Dexe.mainConfig=");
  EXPECT_TRUE(namesPath(config, winDir + "\\tool.config")) << config;
}

TEST_F(WineUnicodeTest, ConfigurationsInUtf8AndCp1252) {
  std::string dir = newCaseDir("configs");
  std::string winDir = WineEnvironment::windowsPath(dir);
  const std::string jar = TEXT + ".jar";
  writeFile(dir + "/" + jar, "");
  const std::string body = "mainclass app.Main\njavapath " + fakeJava() +
                           "\nargument " + TEXT + "\nvmparam -Dtext=" + WORD +
                           "\naddjar " + winDir + "\\" + jar + "\n";
  struct Row {
    std::string name, config;
    std::vector<std::string> args;
    std::string argument, property;
  } rows[] = {
      {"utf8", body, {WORD + " " + FOLDER, "-Dswitch=" + WORD}, TEXT, WORD},
      {"utf8-bom", "\xEF\xBB\xBF" + body, {}, TEXT, WORD},
      {"cp1252", "mainclass app.Main\njavapath " + fakeJava() +
                     "\nargument \xE9\nvmparam -Dtext=\xE9\n",
       {}, "\xC3\xA9", "\xC3\xA9"},
      // A Ctrl-Z ends the file, as old editors meant it.
      {"ctrl-z", "mainclass app.Main\njavapath " + fakeJava() +
                     "\nargument \xC3\xA9\nvmparam -Dtext=\xC3\xA9\n\x1A"
                     "argument hidden\n",
       {}, "\xC3\xA9", "\xC3\xA9"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string appDir = dir + "/" + row.name;
    makeDirs(appDir);
    RunResult r = run(tool(appDir, row.config), appDir + "/record", row.args);
    ASSERT_FALSE(r.timedOut);
    std::vector<FakeJavaRun> runs = readFakeJavaRuns(appDir + "/record");
    ASSERT_EQ(1u, runs.size()) << r.err;
    const std::vector<std::string>& args = runs[0].args;
    // What the code page lacks reaches the child as '?'.
    EXPECT_EQ(handed(row.property), argAfter(runs[0], "-Dtext=")) << runs[0].cmdline;
    // The launcher's own arguments come before the configuration's.
    std::vector<std::string> tail = {"app.Main"};
    if (!row.args.empty()) tail.push_back(handed(row.args[0]));
    tail.push_back(handed(row.argument));
    ASSERT_GE(args.size(), tail.size());
    EXPECT_EQ(tail, std::vector<std::string>(args.end() - tail.size(), args.end()))
        << runs[0].cmdline;
    if (!row.args.empty()) {
      EXPECT_EQ(handed(WORD), argAfter(runs[0], "-Dswitch=")) << runs[0].cmdline;
    }
    if (row.name.rfind("utf8", 0) == 0) {
      std::string classPath = "<none>";
      for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-classpath") classPath = args[i + 1];
      EXPECT_TRUE(namesPath(classPath, winDir + "\\" + jar)) << classPath;
    }
  }
}

// java.exe reads its command line in the ANSI code page, where Windows
// gives U+FF02 the best fit '"', U+FF3C '\\', U+FF20 '@' and Ł 'L'. What
// the code page lacks reaches it as '?'; é, which it holds, stays.
TEST_F(WineUnicodeTest, LookAlikesNeverBecomeCommandLineSyntax) {
  std::string dir = newCaseDir("lookalike");
  const std::string quote = "\xEF\xBC\x82", backslash = "\xEF\xBC\xBC",
                    at = "\xEF\xBC\xA0", barredL = "\xC5\x81", e = "\xC3\xA9";
  std::string exe = tool(dir, "mainclass app.Main\njavapath " + fakeJava() +
                                  "\nvmparam -Dx=" + at + e + "\n");
  RunResult r = run(exe, dir + "/record",
                    {"report" + quote + " --admin " + quote + ".txt",
                     backslash + quote + " x", at + "opts", barredL + e});
  ASSERT_FALSE(r.timedOut);
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir + "/record");
  ASSERT_EQ(1u, runs.size()) << r.err;
  const std::vector<std::string>& args = runs[0].ansiArgs;
  const std::vector<std::string> tail = {"app.Main", "report? --admin ?.txt",
                                         "?? x", "?opts", "?" + e};
  ASSERT_GE(args.size(), tail.size()) << runs[0].ansiCmdline;
  EXPECT_EQ(tail, std::vector<std::string>(args.end() - tail.size(), args.end()))
      << runs[0].ansiCmdline;
  EXPECT_EQ("?" + e, argAfter(runs[0], "-Dx=")) << runs[0].cmdline;
  // The record shows what was configured.
  EXPECT_NE(std::string::npos, r.out.find("-Dx=" + at + e)) << r.out;

  // In-process, such an option is refused before it reaches the VM.
  const std::string fakeJvm =
      WineEnvironment::windowsPath(wine.testTool("fakejvm.dll"));
  for (const std::string& value : {quote, at, barredL}) {
    writeFile(dir + "/tool.config", "javalib " + fakeJvm +
                                        "\nmainclass app.Main\nvmparam -Dx=" +
                                        value + "\n");
    r = run(exe, dir + "/record-vm");
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(1u, r.exitCode);
    ASSERT_EQ(1u, r.boxes.size());
    EXPECT_EQ("Unsupported JVM Option", r.boxes[0].caption);
    EXPECT_FALSE(fileExists(dir + "/record-vm"));
  }
}

TEST_F(WineUnicodeTest, FilesTheLauncherWritesHoldUtf8) {
  std::string dir = newCaseDir("written");
  std::string exe = tool(dir, "mainclass app.Main\njavapath " + fakeJava() +
                                  "\nargument " + TEXT + "\n");
  RunResult r = run(exe, dir + "/record", {"-o"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_NE(std::string::npos,
            commandLineOf(readFile(dir + "/tool.out")).find("app.Main \"" + TEXT + "\" "))
      << readFile(dir + "/tool.out");
  r = run(exe, dir + "/record", {"-log", WineEnvironment::windowsPath(dir + "/tool.log")});
  ASSERT_FALSE(r.timedOut);
  EXPECT_NE(std::string::npos,
            readFile(dir + "/tool.log").find("app.Main \"" + TEXT + "\" \r\n"))
      << readFile(dir + "/tool.log");
}

TEST_F(WineUnicodeTest, MessageBoxesShowTextBeyondTheCodePage) {
  std::string dir = newCaseDir("box");
  std::string exe = tool(dir, "setenv " + FOLDER + "=" + TEXT +
                                  "\nappname " + TEXT + "\njavaVersion 99\n");
  RunOptions options = RunOptions::of({"-d"});
  options.env = {{"LANG", "C.UTF-8"}};
  RunResult r = wine.runLauncher(exe, options);
  ASSERT_FALSE(r.timedOut);
  bool caption = false, text = false;
  for (const Box& box : r.boxes) {
    if (box.caption == FOLDER && box.text == TEXT) caption = true;
    if (box.text.rfind(TEXT + " requires the Java Runtime Environment", 0) == 0)
      text = true;
  }
  EXPECT_TRUE(caption);
  EXPECT_TRUE(text);
}

TEST_F(WineUnicodeTest, InProcessStringsAndOptions) {
  const std::string base = newCaseDir("jni");
  std::string dir = base + "/" + FOLDER;
  makeDirs(dir);
  const std::string fakeJvm =
      WineEnvironment::windowsPath(wine.testTool("fakejvm.dll"));
  const std::string smile = "\xF0\x9F\x98\x80";  // beyond U+FFFF
  std::string exe = tool(dir, "javalib " + fakeJvm +
                                  "\nmainclass app.Main\nargument " + TEXT +
                                  smile + "\nvmparam -Dtext=\xC3\xA9\n");
  RunResult r = run(exe, base + "/record", {"\xD0\x96"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_TRUE(r.boxes.empty());
  const std::string record = readFile(base + "/record");
  EXPECT_NE(std::string::npos,
            record.find("NewStringUTF\t" + TEXT + smile + "\n")) << record;
  EXPECT_NE(std::string::npos, record.find("NewStringUTF\t\xD0\x96\n")) << record;
  EXPECT_NE(std::string::npos, record.find("\t-Dtext=\xC3\xA9\t")) << record;
  EXPECT_EQ(std::string::npos, record.find("bad\t")) << record;
  std::string config = "<none>";
  std::istringstream lines(record);
  for (std::string line; std::getline(lines, line);) {
    const std::string mark = "\t-Dexe.mainConfig=";
    size_t at = line.find(mark);
    if (at != std::string::npos)
      config = line.substr(at + mark.size(), line.rfind('\t') - at - mark.size());
  }
  EXPECT_TRUE(isAscii(config) && config.find('~') != std::string::npos) << config;

  // An option the code page cannot hold ends the launch.
  writeFile(dir + "/tool.config", "javalib " + fakeJvm +
                                      "\nmainclass app.Main\nvmparam -Dtext=" +
                                      TEXT + "\n");
  r = run(exe, base + "/record2");
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(1u, r.exitCode);
  ASSERT_EQ(1u, r.boxes.size());
  EXPECT_EQ("Unsupported JVM Option", r.boxes[0].caption);
  EXPECT_NE(std::string::npos, r.boxes[0].text.find("-Dtext=" + TEXT))
      << r.boxes[0].text;
  EXPECT_FALSE(fileExists(base + "/record2"));
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
