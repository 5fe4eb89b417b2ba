#include "launch/CommandLineBuilder.h"

#include <cstdint>
#include <iterator>
#include <utility>

#include "LaunchSettings.h"
#include "cache/StartupCache.h"
#include "launch/InstanceForwarding.h"
#include "launch/ResolvedLaunch.h"
#include "launch/TaskbarIdentity.h"
#include "launch/VmOptionFiles.h"
#include "launch/WindowsCommandLine.h"
#include "runtime/JreLocator.h"
#include "runtime/RuntimeRelease.h"
#include "support/AnsiCodePage.h"
#include "support/FileSystem.h"
#include "support/LauncherFolder.h"
#include "support/Message.h"
#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// The text of one VM option as the list and the value map hold it.
std::string vmOptionText(const LaunchSettings& s, const std::string& name) {
  auto value = s.vmParamValues.find(name);
  if (value == s.vmParamValues.end() || value->second.empty()) return name;
  return name + "=" + value->second;
}

}  // namespace

uint64_t physicalMemoryMiB() { return platform().physicalMemoryBytes() >> 20; }

bool setsHeapLimit(const std::string& vmParamName) {
  return startsWith(toLowerCase(vmParamName.substr(0, 4)), "-xmx");
}

std::string heapLimitOption(int32_t percentRam, bool runtimeIs32Bit) {
  // Below -1 the product would be negative: treated as not set.
  if (percentRam < 0) return std::string();
  // No machine has no memory: 0 is the system failing to say. A limit made
  // of it (-Xmx0m) would keep the VM from starting.
  if (platform().physicalMemoryBytes() == 0) {
    platform().writeStderr("percentRam " + std::to_string(percentRam) +
                           " ignored: the physical memory cannot be read\n");
    return std::string();
  }
  const double mem = static_cast<double>(physicalMemoryMiB());
  const double size = mem * (static_cast<double>(percentRam) / 100.0);
  // A share so large that the size passes 64 bits has no integer to be
  // converted to; the largest one stands for it.
  uint64_t mib = size >= 18446744073709551616.0
                     ? UINT64_MAX
                     : static_cast<uint64_t>(size);
  if (runtimeIs32Bit && mib > HEAP_LIMIT_32_BIT_MIB) {
    platform().writeStderr("percentRam " + std::to_string(percentRam) +
                           " limited to " + std::to_string(HEAP_LIMIT_32_BIT_MIB) +
                           " MiB: the runtime is a 32-bit one\n");
    mib = HEAP_LIMIT_32_BIT_MIB;
  }
  return "-Xmx" + std::to_string(mib) + "m";
}

std::string joinClassPathEntries(const std::vector<std::string>& entries,
                                 bool expandWildcards) {
  const char separator = platform().conventions().classPathSeparator;
  std::string joined;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& entry = entries[i];
    if (expandWildcards && entry.find('*') != std::string::npos)
      joined += expandWildcard(entry);
    else
      joined += entry;
    if (i + 1 < entries.size()) joined += separator;
  }
  return joined;
}

ClassPathWord classPathWord(const std::vector<std::string>& entries,
                            bool expandWildcards) {
  // The quotes only group a spaced `$` value; the test for blanks looks at
  // the entries before any expansion.
  std::vector<std::string> bare;
  bool quoted = false;
  for (const std::string& entry : entries) {
    bare.push_back(withoutQuotes(entry));
    if (findFirstOf(bare.back(), " \t") != std::string::npos) quoted = true;
  }
  return {joinClassPathEntries(bare, expandWildcards), quoted};
}

std::string joinClassPath(const std::vector<std::string>& entries,
                          bool expandWildcards) {
  const ClassPathWord classPath = classPathWord(entries, expandWildcards);
  return classPath.quoted ? quoteArgument(classPath.word) : classPath.word;
}

std::vector<VmOptionText> configuredVmOptions(const LaunchSettings& s,
                                              bool& heapGiven,
                                              std::vector<NamedFile>* named,
                                              bool inProcessWords) {
  std::vector<VmOptionText> texts;
  texts.reserve(s.vmParams.size());
  heapGiven = false;
  // The files options name are the launcher's folder's where relative, for
  // the child and for a VM in this process alike.
  OptionPathWalk childWalk;
  OptionPathWalk inProcessWalk;
  const bool runsElsewhere = applicationFolder().has_value();
  for (const std::string& name : s.vmParams) {
    if (setsHeapLimit(name)) heapGiven = true;
    // java.exe reads its options and class path in the ANSI code page.
    std::string text = ansiReadableOption(vmOptionText(s, name));
    std::vector<std::string> words = splitWindowsArguments(text);
    // Read from the launcher's folder, where the application runs there,
    // they name those files as written.
    std::vector<std::string> full = withFullOptionPaths(words, childWalk);
    std::vector<std::string> inProcess;
    if (inProcessWords) {
      inProcess = words;
      if (!s.vmParamsAsWords.count(name)) {
        auto value = s.vmParamValues.find(name);
        inProcess = {ansiReadableOption(
            value != s.vmParamValues.end() && !value->second.empty()
                ? name + "=" + withoutSurroundingQuotes(value->second)
                : withoutSurroundingQuotes(name))};
      }
      std::vector<std::string> fullInProcess = withFullOptionPaths(inProcess, inProcessWalk);
      if (runsElsewhere) inProcess = std::move(fullInProcess);
    }
    if (full != words && runsElsewhere) {
      text = textOfWords(text, full);
      words = std::move(full);
    }
    texts.push_back({std::move(text), std::move(words), std::move(inProcess)});
  }
  if (named)
    named->insert(named->end(), childWalk.named.begin(), childWalk.named.end());
  return texts;
}

void ChildCommand::addText(const std::string& text) {
  const bool program = line.empty();
  line += text;
  if (program) {
    std::vector<std::string> programPieceWords = splitWindowsCommandLine(text);
    words.insert(words.end(), std::make_move_iterator(programPieceWords.begin()),
                 std::make_move_iterator(programPieceWords.end()));
    programEnd = line.size();
    programWords = words.size();
    return;
  }
  splitWindowsArgumentsInto(text, words);
}

void ChildCommand::addText(const std::string& text,
                           const std::vector<std::string>& textWords) {
  line += text;
  words.insert(words.end(), textWords.begin(), textWords.end());
}

void ChildCommand::addWord(const std::string& word, bool quoted) {
  line += quoted ? quoteArgument(word) : word;
  words.push_back(word);
}

std::string programText(const std::string& javaPath) {
  // The system reads the program as far as the first blank, or from a
  // double quote to the next: a path that is that one word stays as given.
  const bool quotedWhole = javaPath.size() > 1 && javaPath[0] == '"' &&
                           javaPath.find('"', 1) == javaPath.size() - 1;
  if (quotedWhole || findFirstOf(javaPath, " \t\"") == std::string::npos) return javaPath;
  // Any other quote only groups (the word has no way to hold one): one
  // pair around the whole keeps every blank inside it, those of a `$`
  // value with quotes too.
  std::string path;
  for (char c : javaPath)
    if (c != '"') path += c;
  if (findFirstOf(path, " \t") == std::string::npos) return path;
  return "\"" + path + "\"";
}

ChildCommand handedToChild(ChildCommand command) {
  // '?' is no syntax, so the line of faithful words is the faithful line.
  // A line that fits the code page whole, as most do, is handed as it is.
  if (fitsAnsi(command.line)) return command;
  const std::string rest = command.line.substr(command.programEnd);
  std::string faithful = ansiFaithfulText(rest);
  if (faithful != rest) {
    command.line.resize(command.programEnd);
    command.line += faithful;
  }
  for (size_t i = command.programWords; i < command.words.size(); ++i) {
    std::string word = ansiFaithfulText(command.words[i]);
    if (word != command.words[i]) command.words[i] = std::move(word);
  }
  return command;
}

std::optional<ChildCommand> buildChildCommand(const ResolvedLaunch& launch) {
  const LaunchSettings& s = settings();
  const LauncherOptions& opts = options();

  ChildCommand command;
  // The program, the options, -classpath and its value, the main class.
  command.words.reserve(launch.vmOptions.size() + 8);
  command.addText(programText(launch.program));
  command.addBlank();
  if (!launch.runtimeHome.empty())
    for (const std::string& option :
         startupCacheOptions(launch, opts.writeCommandFile)) {
      command.addWord(option, argumentNeedsQuotes(option));
      command.addBlank();
    }
  // Named only to a Java that starts: -o records claim no instance.
  for (const std::string& option : instanceEndpointOptions()) {
    command.addWord(option, argumentNeedsQuotes(option));
    command.addBlank();
  }
  // One word, whatever the launcher's folder is called.
  if (const std::optional<std::string> agent = taskbarIdentityOption(launch)) {
    command.addWord(*agent, argumentNeedsQuotes(*agent));
    command.addBlank();
  }

  for (const VmOptionText& option : launch.vmOptions) {
    command.addText(option.text, option.words);
    command.addBlank();
  }
  if (!launch.heapGiven) {
    std::string heap = heapLimitOption(s.percentRam, s.runtimeIs32Bit);
    if (!heap.empty()) {
      command.addText(heap);
      command.addBlank();
    }
  }

  command.addWord("-classpath", false);
  command.addBlank();
  const std::vector<std::string> entries = handedClassPathEntries(launch);
  if (launch.applicationFolder) {
    // Full paths, whatever their folders' names hold: one word.
    const std::string classPath = joinClassPathEntries(entries, false);
    command.addWord(classPath, argumentNeedsQuotes(classPath));
  } else {
    // An empty class path (no entry, or one empty entry) is still a word:
    // left out, it would make Java take the main class for the class path.
    // Java reads "" as the current folder, its own default, and no
    // CLASSPATH variable changes what runs. (joinClassPath's text, made
    // from the word it is read as: nothing to split.)
    const ClassPathWord classPath = classPathWord(entries, false);
    command.addWord(classPath.word, classPath.quoted || classPath.word.empty());
  }
  command.addBlank();

  // The main class is one word, whatever a value in it holds.
  if (s.mainClass) command.addWord(*s.mainClass, argumentNeedsQuotes(*s.mainClass));

  const std::vector<std::string> arguments = applicationArguments(s);
  if (!arguments.empty()) {
    command.addBlank();
    for (const std::string& argument : arguments) {
      // Quoting is what keeps an argument whole and unchanged; escaping
      // inside the quotes keeps a trailing backslash or a quote from
      // changing the argument list.
      const bool quoted = argumentNeedsQuotes(argument) || opts.vistaOrLater;
      if (quoted) debugBox("Adding double quotes around", argument);
      command.addWord(argument, quoted);
      command.addBlank();
    }
  }
  return command;
}

std::optional<ChildCommand> buildChildCommand() {
  const std::optional<ResolvedLaunch> launch = resolveLaunch();
  if (!launch) return std::nullopt;
  return buildChildCommand(*launch);
}

std::optional<std::string> buildCommandLine() {
  std::optional<ChildCommand> command = buildChildCommand();
  if (!command) return std::nullopt;
  return command->line;
}

}  // namespace tarvik
