// The command line built from arbitrary settings, split again as the
// Windows C runtime splits it, gives back the Java executable, the VM
// options, the class path, the main class and every application argument
// unchanged, whatever bytes the arguments and class path entries hold.
//
// Input sections, separated by 0x01: flags (v vista, d debug, r[digits]
// percentRam, m<digits> physical memory in bytes, w the Java path between
// quotes), the Java path, VM options, class path
// entries, the main class, the arguments; items within a section are
// separated by 0x02.
#include <algorithm>
#include <climits>

#include "FuzzSupport.h"
#include "config/ConfigReader.h"
#include "launch/CommandLineBuilder.h"
#include "launch/WindowsCommandLine.h"

namespace {

std::string without(std::string text, const std::string& bytes) {
  std::string out;
  for (char c : text)
    if (bytes.find(c) == std::string::npos) out += c;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvik;
  using namespace tarvik::fuzz;
  std::vector<std::string> parts = sections(data, size, '\x01', 6);
  parts.resize(6);
  FakePlatform os;
  Session session(os);
  LaunchSettings& s = settings();
  const std::string& flags = parts[0];
  auto flag = [&flags](char c) { return flags.find(c) != std::string::npos; };
  options().vistaOrLater = flag('v');
  options().debugMode = flag('d');
  // "r<digits>" sets percentRam (50 without digits), "m<digits>" the
  // physical memory in bytes: both may be as large as their types allow.
  auto number = [&flags](char c, uint64_t fallback) {
    size_t at = flags.find(c);
    if (at == std::string::npos || at + 1 >= flags.size() ||
        flags[at + 1] < '0' || flags[at + 1] > '9')
      return fallback;
    uint64_t n = 0;
    for (size_t i = at + 1; i < flags.size() && flags[i] >= '0' && flags[i] <= '9'; ++i)
      n = n > (UINT64_MAX - 9) / 10 ? UINT64_MAX : n * 10 + uint64_t(flags[i] - '0');
    return n;
  };
  if (flag('r')) s.percentRam = static_cast<int32_t>(std::min<uint64_t>(number('r', 50), INT32_MAX));
  os.memoryBytes = number('m', os.memoryBytes);
  const std::string nul(1, '\0');

  // A Java path is used verbatim: one that holds blanks must come quoted.
  std::string java = without(parts[1], nul + "\"");
  if (!flag('w')) java = without(java, " \t");
  if (java.empty()) java = "java";
  s.javaPath = flag('w') ? "\"" + java + "\"" : java;

  // VM options are written verbatim too, so only options that stand as
  // one word are generated; '$' is left out as it would be expanded.
  for (const std::string& option : split(parts[2], '\x02')) {
    const std::string word = without(option, nul + " \t\"$");
    if (!word.empty()) addVmParam(word);
  }
  for (const std::string& entry : split(parts[3], '\x02'))
    s.classPath.push_back(without(entry, nul));
  const std::string mainClass = without(parts[4], nul + " \t\"");
  if (!mainClass.empty()) s.mainClass = mainClass;
  if (!parts[5].empty())
    for (const std::string& argument : split(parts[5], '\x02'))
      s.appArguments.push_back(without(argument, nul));

  std::vector<std::string> expected = {java};
  bool heapGiven = false;
  for (const std::string& name : s.vmParams) {
    heapGiven |= setsHeapLimit(name);
    auto value = s.vmParamValues.find(name);
    const std::string option =
        value == s.vmParamValues.end() || value->second.empty()
            ? name
            : name + "=" + value->second;
    // `vmparam =` leaves an empty option, which is no word on the line.
    if (!option.empty()) expected.push_back(option);
  }
  // No limit at all when the memory cannot be read (0 bytes).
  if (!heapGiven && s.percentRam >= 0 && os.memoryBytes > 0)
    expected.push_back(heapLimitOption(s.percentRam));
  expected.push_back("-classpath");
  std::string joined;
  for (size_t i = 0; i < s.classPath.size(); ++i)
    // Quotes in an entry only group it: they never reach Java.
    joined += (i ? ";" : "") + without(s.classPath[i], "\"");
  // An empty class path is still a word (""): left out, Java would take
  // the main class for the class path.
  expected.push_back(joined);
  if (s.mainClass) expected.push_back(*s.mainClass);
  size_t quotedArguments = 0;
  for (const std::string& argument : s.appArguments) {
    expected.push_back(argument);
    if (options().vistaOrLater || argumentNeedsQuotes(argument))
      ++quotedArguments;
  }

  std::optional<std::string> line = buildCommandLine();
  FUZZ_CHECK(line.has_value(), "no command line with a Java path set");
  FUZZ_CHECK(line->find('\0') == std::string::npos, "a NUL in the command line");
  const std::vector<std::string> parsed = splitWindowsCommandLine(*line);
  if (parsed != expected) {
    std::fprintf(stderr, "command line [%s]\n", line->c_str());
    for (size_t i = 0; i < parsed.size() || i < expected.size(); ++i)
      std::fprintf(stderr, "%zu: parsed [%s] expected [%s]\n", i,
                   i < parsed.size() ? parsed[i].c_str() : "-",
                   i < expected.size() ? expected[i].c_str() : "-");
  }
  FUZZ_CHECK(parsed == expected,
             "the C runtime's parse does not give the settings back");
  if (!s.appArguments.empty())
    FUZZ_CHECK(line->back() == ' ', "arguments end with one blank");

  size_t quoteBoxes = 0;
  for (const RecordedBox& box : os.boxes)
    if (box.caption == "Adding double quotes around") ++quoteBoxes;
  FUZZ_CHECK(quoteBoxes == (options().debugMode ? quotedArguments : 0),
             "one \"Adding double quotes around\" box per quoted argument");
  return 0;
}
