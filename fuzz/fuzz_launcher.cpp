// The whole launcher, C:\Apps\tool.exe, on an arbitrary command line and
// configuration, with one scripted Java child: it ends with one of its
// documented codes, starts a child only without -o and then with the
// command line it printed (look-alikes as '?'), writes a command file of exactly its three
// records, restarts only on 999, and in quiet mode shows nothing but the
// boxes that quiet mode keeps ("Error!" when no runtime is registered,
// and the version box of a -v before the -q).
//
// Input sections, separated by 0x01: the launcher's words (separated by
// 0x02), tool.config, b.config (for `include`), and the child: its exit
// code in digits, "f" when it cannot be started, "r" when it asks for a
// restart first (999), "n" when no runtime is registered.
//
// The environment holds values shaped to add JVM options where a value is
// taken for command-line syntax ($INJ, $INJ_SLASH, $INJ_TAIL). The child's
// words are the Java executable, the options, the class path option and
// its value, the main class and the arguments: no value adds an option or
// changes the main class. They are made of the launch resolved once, whose
// every file is a full path, whatever workingDir the configuration sets.
#include <set>

#include "FuzzSupport.h"
#include "Tarvik.h"
#include "config/ConfigLocation.h"
#include "launch/CommandLineBuilder.h"
#include "launch/ResolvedLaunch.h"
#include "launch/WindowsCommandLine.h"
#include "support/LauncherFolder.h"
#include "runtime/JreLocator.h"
#include "support/AnsiCodePage.h"

namespace {

// Keeps each piece written to standard output apart, so records can be
// told from arguments that happen to hold their text.
class WritesPlatform : public tarvik::FakePlatform {
 public:
  std::vector<std::string> writes;
  std::vector<std::string> created;
  void writeStdout(const std::string& text) override {
    writes.push_back(text);
    FakePlatform::writeStdout(text);
  }
  tarvik::CreatedFile createTextFile(const std::string& path,
                                     tarvik::FileCreation creation,
                                     tarvik::FileContent content) override {
    tarvik::CreatedFile file = FakePlatform::createTextFile(path, creation, content);
    if (file.file) created.push_back(resolve(path));
    return file;
  }
};

uint32_t digits(const std::string& text) {
  uint32_t n = 0;
  for (char c : text)
    if (c >= '0' && c <= '9') n = n * 10 + static_cast<uint32_t>(c - '0');
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvik;
  using namespace tarvik::fuzz;
  if (size > 20000) return 0;
  std::vector<std::string> parts = sections(data, size, '\x01', 4);
  parts.resize(4);
  WritesPlatform os;
  Session session(os);

  std::vector<std::string> argv = {"C:\\Apps\\tool.exe"};
  if (!parts[0].empty())
    for (const std::string& word : split(parts[0], '\x02'))
      argv.push_back(withoutByte(word, '\0'));
  os.files["C:\\Apps\\tool.config"] = parts[1];
  os.files["C:\\Apps\\b.config"] = parts[2];
  const std::string& child = parts[3];
  auto childFlag = [&child](char c) { return child.find(c) != std::string::npos; };
  if (!childFlag('n')) {
    const std::string runtimes = RUNTIME_REGISTRY_KEY;
    os.registry[runtimes].values["CurrentVersion"] = "1.8";
    os.registry[runtimes].subkeys = {"1.8", "1.8.0_45"};
    os.registry[runtimes + "\\1.8"].values["JavaHome"] = "C:\\Java 8";
    os.registry[runtimes + "\\1.8.0_45"].values["JavaHome"] = "C:\\J845";
  }
  const uint32_t childCode = digits(child);
  // Values that would make "-Dinjected=1" a word of their own if they
  // were syntax.
  os.env["INJ"] = "a\" -Dinjected=1 \"b";
  os.env["INJ_SLASH"] = "C:\\dir\\\" -Dinjected=1 \"";
  os.env["INJ_TAIL"] = "x -Dinjected=1 y\\";
  if (childFlag('r')) os.children.push_back({999, 0, "", false});
  FakeChildScript script;
  script.exitCode = childCode;
  script.runSeconds = 1;
  if (childFlag('f')) script.startError = "The system cannot find the file specified.";
  os.children.push_back(script);

  bool exited = false;
  int code = 0;
  try {
    code = runLauncher(argv);
  } catch (const ProcessExit& end) {
    exited = true;
    code = end.code;
  }

  // The command-line records printed before starts, written at once after
  // the identification's line.
  const std::string records = "#Command line=\n";
  std::vector<std::string> printedLines;
  for (const std::string& piece : os.writes) {
    const size_t after = piece.rfind("#Version ", 0) == 0 ? piece.find('\n') : std::string::npos;
    if (after != std::string::npos && piece.compare(after + 1, records.size(), records) == 0)
      printedLines.push_back(piece.substr(after + 1));
  }
  const size_t printed = printedLines.size();

  const LauncherOptions& opts = options();
  if (!exited) {
    FUZZ_CHECK(code == 0 || code == 2, "the entry returned an undocumented code");
  } else {
    static const std::set<int> documented = {0, 1, 2, 4, 5, 7, 11, 12, -3, -1234, -1235};
    FUZZ_CHECK(documented.count(code) ||
                   (opts.passExitCodeFlag && code == static_cast<int>(childCode)),
               "the launcher ended with an undocumented code");
  }
  if (opts.writeCommandFile || settings().inProcess())
    FUZZ_CHECK(os.started.empty(), "a child was started with -o or javalib");
  // After the scripted children, a started child ends with 0.
  const size_t restarts = (childFlag('r') ? 1u : 0u) + (childCode == 999 ? 1u : 0u);
  FUZZ_CHECK(os.started.size() <= 1 + restarts,
             "started again without a restart request");
  // Records are printed before each start; only a start that fails (code
  // 4) leaves them without a child.
  FUZZ_CHECK(printed == os.started.size() ||
                 (printed == os.started.size() + 1 && exited && code == 4),
             "a start without its printed records");
  // The child gets that line with '?' for what the ANSI code page (Latin-1
  // here) does not hold, but in the Java executable's own path.
  for (size_t i = 0; i < os.started.size(); ++i)
    FUZZ_CHECK(ansiFaithfulText(printedLines[i]) ==
                   records + ansiFaithfulText(os.started[i].commandLine) + "\n",
               "the child got another command line than the one printed");

  // The words end in the class path option, its value, the main class and
  // the arguments; no option is "-Dinjected=1" unless the input wrote it.
  const bool injectedWritten = std::string(reinterpret_cast<const char*>(data), size)
                                   .find("njected") != std::string::npos;
  for (const ChildStart& start : os.started) {
    const std::vector<std::string>& words = start.arguments;
    const std::vector<std::string> arguments = applicationArguments(settings());
    // (No main class, or an empty one, is the writer's; one of several
    // words is refused before any child.)
    if (!settings().mainClass || settings().mainClass->empty()) break;
    const std::vector<std::string> mainWords = splitWindowsArguments(*settings().mainClass);
    FUZZ_CHECK(mainWords.size() == 1, "a child was started with a main class of several words");
    FUZZ_CHECK(words.size() >= arguments.size() + 4, "the child lacks a word");
    const size_t main = words.size() - arguments.size() - 1;
    FUZZ_CHECK(words[main] == ansiFaithfulText(mainWords[0]),
               "a word other than the main class stands as the main class");
    FUZZ_CHECK(words[main - 2] == "-classpath",
               "the class path option does not stand before the main class");
    for (size_t i = 0; i < arguments.size(); ++i)
      FUZZ_CHECK(words[main + 1 + i] == ansiFaithfulText(arguments[i]),
                 "the child's arguments are not the application's");
    if (!injectedWritten)
      for (size_t i = 1; i < main; ++i)
        FUZZ_CHECK(words[i] != "-Dinjected=1", "a value added a JVM option");
  }

  // The child is handed the resolved launch: every file it names is a full
  // path, and the program, the class path and the folder the child runs in
  // are the resolved launch's, whatever folder the application runs in.
  if (!os.started.empty()) {
    const std::optional<ResolvedLaunch> launch = resolveLaunch(FileList::Made);
    FUZZ_CHECK(launch.has_value(), "a child started without a resolved launch");
    for (const LaunchFile& file : launch->files) {
      FUZZ_CHECK(isFullyQualifiedPath(file.path, os.conventions()),
                 "a file of the resolved launch is no full path");
    }
    for (const std::string& entry : launch->classPath)
      FUZZ_CHECK(entry.empty() || isFullyQualifiedPath(entry, os.conventions()),
                 "a class path entry of the resolved launch is no full path");
    const ChildStart& start = os.started.back();
    FUZZ_CHECK(start.workingDir == launch->applicationFolder,
               "the child runs in another folder than the resolved launch's");
    FUZZ_CHECK(!start.arguments.empty() &&
                   start.arguments[0] == splitWindowsCommandLine(programText(launch->program))[0],
               "the child's program is not the resolved launch's");
    const std::vector<std::string> arguments = applicationArguments(settings());
    const bool oneWordMain = settings().mainClass &&
                             splitWindowsArguments(*settings().mainClass).size() == 1;
    if (oneWordMain && start.arguments.size() >= arguments.size() + 4) {
      const size_t main = start.arguments.size() - arguments.size() - 1;
      FUZZ_CHECK(start.arguments[main - 1] ==
                     ansiFaithfulText(joinClassPathEntries(handedClassPathEntries(*launch), false)),
                 "the child's class path is not the resolved launch's");
    }
  }

  // A command file holds exactly its three records, as text-mode lines.
  const std::string commandFile = appBaseName(argv[0]) + ".out";
  for (const std::string& path : os.created) {
    if (path != os.resolve(commandFile) && path != *os.tempDir + commandFile)
      continue;
    const std::string& text = os.files[path];
    FUZZ_CHECK(text.rfind("#Version @(#)src/Tarvik Version: 2.2.1", 0) == 0,
               "the command file does not start with its version record");
    const size_t second = text.find("\r\n#Command line=\r\n");
    FUZZ_CHECK(second != std::string::npos, "no command-line record");
    FUZZ_CHECK(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0,
               "the command file's last line has no line end");
  }

  bool debugWord = false;
  for (size_t i = 1; i < argv.size(); ++i) debugWord |= argv[i] == "-d";
  if (opts.quietMode && !debugWord)
    for (const RecordedBox& box : os.boxes)
      // (-v shows its box when no -q came before it.)
      if (box.caption != "Error!" && box.caption != "Version") {
        std::fprintf(stderr, "box [%s] [%s]\n", box.caption.c_str(), box.text.c_str());
        FUZZ_CHECK(false, "a box in quiet mode");
      }
  return 0;
}
