// The configuration reader on arbitrary file contents: a main file and two
// more it may include (directly, in a loop, or itself), over an
// environment whose values refer to themselves and to each other, and a
// registry with two runtimes for `javaVersion`. Reading ends, it ends the
// process only for `javaVersion` (codes 5 and 11) and for a main class of
// several words (its own code), each line adds at most
// one list entry, no text keeps a line end or a NUL, the numbers stay in
// their ranges, a file that includes itself is reported, and reading the
// same files again from a fresh start gives the same settings.
#include "FuzzSupport.h"
#include "config/ConfigReader.h"
#include "config/VariableTable.h"
#include "runtime/JreLocator.h"
#include "support/Utf8.h"

namespace tarvik {
namespace {

const char* const FILE_NAMES[] = {"a.config", "b.config", "c.config"};

class ReadCountingPlatform : public FakePlatform {
 public:
  size_t reads = 0;
  size_t linesRead = 0;
  FileRead readRegularFile(const std::string& path, uint64_t maxBytes) override {
    FileRead read = FakePlatform::readRegularFile(path, maxBytes);
    if (const std::optional<std::string>& content = read.content) {
      ++reads;
      linesRead += 1;
      for (char c : *content) linesRead += c == '\n' || c == '\0';
    }
    return read;
  }
};

struct Outcome {
  LaunchSettings settings;
  VariableTable variables;
  std::map<std::string, std::string> env;
  std::string out, err;
  std::vector<RecordedBox> boxes;
  bool exited = false;
  int exitCode = 0;
  size_t reads = 0, linesRead = 0;
};

bool sameSettings(const LaunchSettings& a, const LaunchSettings& b) {
  return a.javaPath == b.javaPath && a.mainClass == b.mainClass &&
         a.requiredJavaVersion == b.requiredJavaVersion &&
         a.appName == b.appName && a.consoleTitle == b.consoleTitle &&
         a.workingDir == b.workingDir && a.outputFile == b.outputFile &&
         a.classPath == b.classPath && a.appArguments == b.appArguments &&
         a.vmParams == b.vmParams && a.vmParamValues == b.vmParamValues &&
         a.appLogFile == b.appLogFile && a.javaLib == b.javaLib &&
         a.javaLibAuto == b.javaLibAuto && a.runtimeHomes == b.runtimeHomes &&
         a.showConsole == b.showConsole && a.keepAlive == b.keepAlive &&
         a.keepAliveMillis == b.keepAliveMillis &&
         a.percentRam == b.percentRam;
}

Outcome readOnce(const std::vector<std::string>& files, bool debug) {
  ReadCountingPlatform os;
  fuzz::Session session(os);
  options().debugMode = debug;
  os.env = {{"HOME", "C:\\Program Files\\x"},
            {"SELF", "$SELF/x"},
            {"A", "$B\\a"},
            {"B", "$A/b"},
            {"SPACED", "a b"}};
  const std::string runtimes = RUNTIME_REGISTRY_KEY;
  os.registry[runtimes].subkeys = {"1.8", "1.8.0_45"};
  os.registry[runtimes].values["CurrentVersion"] = "1.8";
  os.registry[runtimes + "\\1.8"].values["JavaHome"] = "C:\\J8";
  os.registry[runtimes + "\\1.8.0_45"].values["JavaHome"] = "C:\\J845";
  for (size_t i = 0; i < files.size(); ++i)
    os.files[std::string("C:\\Work\\") + FILE_NAMES[i]] = files[i];

  Outcome outcome;
  try {
    readConfigFile(FILE_NAMES[0]);
  } catch (const ProcessExit& end) {
    outcome.exited = true;
    outcome.exitCode = end.code;
  }
  outcome.settings = settings();
  outcome.variables = variables();
  outcome.env = os.env;
  outcome.out = os.out;
  outcome.err = os.err;
  outcome.boxes = os.boxes;
  outcome.reads = os.reads;
  outcome.linesRead = os.linesRead;
  return outcome;
}

// A file's text as the reader sees its keywords: UTF-16 with its
// byte-order mark is read as characters, not bytes.
std::string keywordText(const std::string& file) {
  const bool littleEndian = file.rfind("\xFF\xFE", 0) == 0;
  if (littleEndian || file.rfind("\xFE\xFF", 0) == 0)
    return file + utf8FromUtf16(file.substr(2), !littleEndian);
  return file;
}

bool clean(const std::string& text) {
  return text.find('\n') == std::string::npos &&
         text.find('\0') == std::string::npos;
}

bool clean(const OptionalText& text) { return !text || clean(*text); }

}  // namespace
}  // namespace tarvik

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvik;
  using namespace tarvik::fuzz;
  if (size > 20000) return 0;
  std::vector<std::string> files = sections(data, size, '\x01', 3);
  const bool debug = !files[0].empty() && files[0][0] == 'D';

  Outcome first = readOnce(files, debug);
  const LaunchSettings& s = first.settings;

  bool asksForVersion = false;
  bool namesMainClass = false;
  size_t includeLines = 0;
  for (const std::string& bytes : files) {
    const std::string file = keywordText(bytes);
    asksForVersion |= file.find("javaVersion") != std::string::npos;
    namesMainClass |= file.find("mainclass") != std::string::npos;
    for (size_t at = file.find("include"); at != std::string::npos;
         at = file.find("include", at + 1))
      ++includeLines;
  }
  if (first.exited && first.exitCode == MAIN_CLASS_REFUSED_EXIT_CODE) {
    FUZZ_CHECK(namesMainClass, "a main class was refused without a mainclass line");
  } else if (first.exited) {
    FUZZ_CHECK(first.exitCode == 5 || first.exitCode == 11,
               "reading ended with a code other than 5, 7 or 11");
    FUZZ_CHECK(asksForVersion, "reading ended without a javaVersion line");
  }
  FUZZ_CHECK(s.classPath.size() + s.appArguments.size() + s.vmParams.size() <=
                 first.linesRead,
             "more list entries than lines read");
  const size_t bound = 1 + includeLines;
  FUZZ_CHECK(first.reads <= bound * bound * bound,
             "a file was read more often than its includes allow");
  for (const std::string& argument : s.appArguments)
    FUZZ_CHECK(clean(argument), "an argument holds a line end or NUL");
  for (const auto& entry : first.variables)
    FUZZ_CHECK(clean(entry.first) && clean(entry.second),
               "a variable holds a line end or NUL");
  FUZZ_CHECK(clean(s.mainClass) && clean(s.appName) && clean(s.javaLib) &&
                 clean(s.requiredJavaVersion),
             "a text field holds a line end or NUL");
  FUZZ_CHECK(s.keepAliveMillis >= 0 && s.keepAliveMillis % 1000 == 0,
             "keepAliveMillis out of its range");
  FUZZ_CHECK(s.percentRam >= -1, "percentRam below -1");
  if (!first.exited) {
    // The lines as the reader sees them: UTF-16 after its byte-order mark is
    // decoded first, and where a Ctrl-Z ends a text file (as on the fake's
    // system), the lines after it are never read.
    static const bool ctrlZEnds = FakePlatform().conventions().ctrlZEndsTextFiles;
    std::string mainText = files[0];
    const bool littleEndian = mainText.rfind("\xFF\xFE", 0) == 0;
    if (littleEndian || mainText.rfind("\xFE\xFF", 0) == 0)
      mainText = utf8FromUtf16(mainText.substr(2), !littleEndian);
    if (ctrlZEnds)
      mainText = mainText.substr(0, mainText.find('\x1A'));
    const std::string own = std::string("\ninclude ") + FILE_NAMES[0] + "\n";
    if (("\n" + mainText + "\n").find(own) != std::string::npos)
      FUZZ_CHECK(first.err.find("Skipped include of a.config: the file is "
                                "already being read") != std::string::npos,
                 "a file that includes itself was not reported");
  }

  Outcome second = readOnce(files, debug);
  FUZZ_CHECK(second.exited == first.exited &&
                 second.exitCode == first.exitCode &&
                 sameSettings(second.settings, first.settings) &&
                 second.variables == first.variables &&
                 second.env == first.env && second.out == first.out &&
                 second.err == first.err && second.boxes == first.boxes,
             "reading the same files twice gave different results");
  return 0;
}
