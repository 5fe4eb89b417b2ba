// Support for end-to-end tests: the real launcher run under Wine (through
// the PE harness, which reads and answers every message box and reports the
// full 32-bit exit code) or natively on Linux.
#ifndef TARVIK_TESTS_E2E_H
#define TARVIK_TESTS_E2E_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tarvik {
namespace e2e {

struct Box {
  std::string caption;
  std::string text;
  std::string buttons;  // "ok", "yesno", "okcancel" or "other"
  bool icon = false;
};

// (Not named "Run": that would hide testing::Test::Run inside fixtures.)
struct RunResult {
  std::vector<Box> boxes;
  bool timedOut = false;
  uint32_t exitCode = 0;
  std::string out;
  std::string err;
  // The harness's other report lines ("interrupt\tsent", "other\tended").
  std::vector<std::string> records;
};

struct RunOptions {
  std::vector<std::string> args;
  // Answers for the boxes in the order they appear: "ok", "yes" or "no".
  std::vector<std::string> answers;
  // Unix path of the working directory; empty for the launcher's folder.
  std::string cwd;
  // Wine: the program as typed (a relative path, a bare name, a "\\?\"
  // path), in place of the launcher's own Windows path.
  std::string program;
  std::vector<std::pair<std::string, std::string>> env;
  int timeoutMs = 60000;
  // Wine: standard input and output are pipes (input given, output read
  // through `cat`), not files.
  bool pipes = false;
  std::string input;
  // Wine: the harness's own console, a Ctrl-C sent to it once this file
  // exists, the program ended once that one does (Unix paths).
  bool console = false;
  std::string interruptWhen;
  std::string endWhen;

  // Options with just the launcher's arguments.
  static RunOptions of(std::vector<std::string> arguments) {
    RunOptions options;
    options.args = std::move(arguments);
    return options;
  }
};

// One run of the fake java.exe (tests/e2e/win/fakejava.c) as its record
// file tells it.
struct FakeJavaRun {
  std::string cmdline;
  std::vector<std::string> args;
  // The command line as java.exe reads it (GetCommandLineA), and its words.
  std::string ansiCmdline;
  std::vector<std::string> ansiArgs;
  // The content of each argument file (@FILE) by argument index.
  std::map<size_t, std::string> argFiles;
  std::string cwd;
  std::map<std::string, std::string> env;  // the variables it was asked for
  std::string stdoutKind;
  std::string stderrKind;
  // FAKEJAVA_AGENTS: its taskbar identity once the agents ran.
  std::string appId;
};
std::vector<FakeJavaRun> readFakeJavaRuns(const std::string& recordPath);

// Text-mode line ends (CR LF) back to LF; a CR of its own stays.
std::string crlfToLf(const std::string& text);
// The command line of a command file ("#Version", "#Command line=", the
// line), or "<no command line>" when the file is not whole.
std::string commandLineOf(const std::string& commandFile);
// A string value as a .reg file writes it: quoted, with backslashes and
// quotes escaped.
std::string regString(const std::string& text);
// The same `count` bytes of any value on every run (a fixed-seed generator).
std::string binaryBytes(size_t count);

// `text` as one word of a POSIX shell's command, in single quotes.
std::string shellQuoted(const std::string& text);

// Whether `part` stands anywhere in `text`.
inline bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// What a shell command prints on its standard output.
std::string shellOutput(const std::string& command);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);
void makeDirs(const std::string& path);
// A fresh empty folder for one case, below this test binary's own root.
std::string newCaseDir(const std::string& name);
// The source tree (for test data) and the native build's launchers.
std::string sourceDir();
std::string nativeLauncher();
std::string nativeConsoleLauncher();
std::string nativeServiceLauncher();
// The JDK the Linux tests use.
std::string javaHome();

// Runs a program natively; out and err are captured.
RunResult runNative(const std::string& exe, const RunOptions& options);
// The same without a desktop, so that message boxes come out on stderr.
RunResult runWithoutDesktop(const std::string& exe, RunOptions options);

// Compiles the Java sources matched by `sourcesGlob` (below the source
// tree) into `classesDir`, against `classPath` when one is given; false
// when javac fails.
bool compileJava(const std::string& sourcesGlob, const std::string& classesDir,
                 const std::string& classPath = "");
// Copies the native launcher into `dir` as `name` and writes `config`
// beside it as `name`.config; returns the launcher's path.
std::string installNativeLauncher(const std::string& dir, const std::string& name,
                                  const std::string& config);

// One Wine prefix and one virtual X display for the whole test binary,
// stopped when the binary ends.
class WineEnvironment {
 public:
  static WineEnvironment& get();

  // "Z:\\tmp\\x" for "/tmp/x".
  static std::string windowsPath(const std::string& unixPath);
  // The Unix path of a "Z:" or "C:" path of this prefix.
  std::string unixPath(const std::string& windowsPath) const;
  // Copies the built tarvik.exe (or `program`) into `dir` as `name`;
  // returns its path.
  std::string installLauncher(const std::string& dir, const std::string& name,
                              const std::string& program = "tarvik.exe");
  // The path of a built Windows test tool such as "fakejava.exe".
  std::string testTool(const std::string& name);
  // Runs a Windows program through the harness.
  RunResult runLauncher(const std::string& exe, const RunOptions& options);
  // Writes a string value below HKEY_LOCAL_MACHINE (or the root given in
  // `key`, e.g. "HKCR\\.x").
  void registryAdd(const std::string& key, const std::string& valueName,
                   const std::string& data);
  void registryDeleteTree(const std::string& key);
  // Keeps the prefix's wineserver running between programs (`wineserver
  // -p`), as a service that outlives the program starting it needs.
  void keepServer();
  // Runs `wine ARGS...` in this prefix; returns its (8-bit) exit code.
  int wine(const std::vector<std::string>& args);
  // The same with a UTF-8 locale, so arguments arrive as UTF-16 whole, and
  // standard output and error captured (the exit code is cut to 8 bits).
  RunResult runWine(const std::vector<std::string>& args, const std::string& cwd = "");

  ~WineEnvironment();

 private:
  WineEnvironment();
  // Makes a prefix at prefix_ with the registry the suites need; false when
  // Wine made no whole one.
  bool makePrefix();
  std::string shellPrefix() const;
  // Throws when the harness gives no exit code, unless Wine failed to start
  // the program and `mayTryAgain`.
  RunResult runLauncherOnce(const std::string& exe, const RunOptions& options,
                            bool mayTryAgain);
  std::string prefix_;
  std::string display_;
  int xvfbPid_ = -1;
  std::string buildDir_;
};

}  // namespace e2e
}  // namespace tarvik

#endif  // TARVIK_TESTS_E2E_H
