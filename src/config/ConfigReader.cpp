#include "config/ConfigReader.h"

#include <algorithm>
#include <climits>
#include <set>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "LaunchSettings.h"
#include "config/DesktopDirectives.h"
#include "config/ServiceDirectives.h"
#include "config/EnvironmentReferences.h"
#include "config/VariableTable.h"
#include "launch/JavaLauncherOptions.h"
#include "launch/WindowsCommandLine.h"
#include "runtime/JreLocator.h"
#include "support/FileSystem.h"
#include "support/LauncherFolder.h"
#include "support/Message.h"
#include "os/Platform.h"
#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {

namespace {

// Includes deeper than this are refused even when no file repeats (a file
// reached under several spellings of its path would otherwise nest on).
constexpr size_t MAX_INCLUDE_DEPTH = 64;
constexpr size_t MAX_FILES_PER_CONFIGURATION = 10000;
// A configuration file larger than this is not read: no text a person
// writes comes near it, and a file that never ends (a device) stops here.
constexpr uint64_t MAX_CONFIGURATION_BYTES = 64ull << 20;

// The files being read, outermost first, as comparable keys.
std::vector<std::string>& filesBeingRead() {
  static std::vector<std::string> files;
  return files;
}

// The path resolved against the launcher's folder, with one kind of
// separator, no "." components or doubled separators and, where paths
// ignore letter case, lower-cased: equal keys name the same file.
std::string fileKey(const std::string& path) {
  Platform& os = platform();
  const PlatformConventions& conv = os.conventions();
  std::string full = inLauncherFolder(path);
  if (conv.driveLetterPaths) {
    toForwardSlashes(full);
    full = toLowerCase(full);
  }
  const char sep = conv.driveLetterPaths ? '/' : conv.separator;
  std::string key;
  key.reserve(full.size());
  size_t start = 0;
  while (start <= full.size()) {
    size_t end = full.find(sep, start);
    if (end == std::string::npos) end = full.size();
    const size_t length = end - start;
    if (start == 0) {
      key.assign(full, 0, length);
    } else if (length != 0 && !(length == 1 && full[start] == '.')) {
      key += sep;
      key.append(full, start, length);
    }
    start = end + 1;
  }
  return key;
}

// The leading decimal digits of `word` as a number, or nothing when it does
// not start with a digit or the number exceeds `limit`.
std::optional<uint64_t> leadingUnsigned(const std::string& word,
                                        size_t start, uint64_t limit) {
  if (start >= word.size() || word[start] < '0' || word[start] > '9')
    return std::nullopt;
  uint64_t number = 0;
  for (size_t i = start; i < word.size() && word[i] >= '0' && word[i] <= '9';
       ++i) {
    number = number * 10 + static_cast<uint64_t>(word[i] - '0');
    if (number > limit) return std::nullopt;
  }
  return number;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
         c == '\f';
}

// The leading integer of `text` (blanks skipped, optional sign) when it
// fits a 32-bit signed integer.
std::optional<int32_t> leadingInt32(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const uint64_t limit =
      negative ? static_cast<uint64_t>(INT32_MAX) + 1 : INT32_MAX;
  std::optional<uint64_t> number = leadingUnsigned(text, i, limit);
  if (!number) return std::nullopt;
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(*number))
                  : static_cast<int32_t>(*number);
}

void applyJavaVersion(const std::string& argument) {
  LaunchSettings& s = settings();
  s.requiredJavaVersion = expandEnvironmentReferences(argument, false);
  OptionalText runtime = locateRequiredRuntime();
  if (!runtime || runtime->empty()) exitLauncher(5);
  s.javaPath = runtime;
}

void applySetenv(const std::string& argument) {
  const size_t equals = argument.find('=');
  if (equals == std::string::npos) return;
  const std::string name = argument.substr(0, equals);
  const std::string value = argument.substr(equals + 1);
  debugBox(name, value);
  setEnvironmentValue(name, expandEnvironmentReferences(value, false));
}

void applyKeepalive(const std::string& argument) {
  LaunchSettings& s = settings();
  const std::vector<std::string> words = splitWords(argument);
  if (words.empty()) return;
  if (toLowerCase(words[0]) == "true") {
    s.keepAlive = true;
    return;
  }
  s.keepAlive = false;
  if (words.size() < 2) return;
  // Seconds whose milliseconds do not fit the field keep the earlier value.
  std::optional<uint64_t> seconds =
      leadingUnsigned(words[1], 0, INT32_MAX / 1000);
  if (!seconds) return;
  s.keepAliveMillis = static_cast<int32_t>(*seconds * 1000);
  writeRecord(std::to_string(s.keepAliveMillis) + "\n");
}

// The option `-D<name>` stays one word: what a `$NAME` or `%name%` value
// brings (the characters `fromValue` marks) neither ends it nor adds one.
void applyAddToPath(const std::string& argument, const std::string& fromValue) {
  LaunchSettings& s = settings();
  std::vector<std::string> wordMarks;
  const std::vector<std::string> words = splitWords(argument, fromValue, &wordMarks);
  if (words.size() < 2) return;
  const std::string key = "-D" + words[0];
  std::string& value = s.vmParamValues[key];
  // The value stored already is written as it is meant: its quotes are
  // syntax.
  std::string text = value + platform().conventions().classPathSeparator;
  std::string marks(text.size(), '0');
  for (size_t i = 1; i < words.size(); ++i) {
    text += (i > 1 ? " " : "") + words[i];
    marks += (i > 1 ? "0" : "") + wordMarks[i];
  }
  const std::string expanded = expandEnvironmentReferences(text, true, &marks);
  const std::string option = key + '=' + expanded;
  const std::string kept = textOfWords(
      option, splitWindowsArguments(option, std::string(key.size() + 1, '0') + marks));
  if (kept == option) {
    value = expanded;
  } else if (startsWith(kept, key + '=')) {
    value = kept.substr(key.size() + 1);
    s.vmParamsAsWords.insert(key);
  } else {
    platform().writeStderr("addToPath " + words[0] + " ignored: " + key +
                           " cannot be written as one word with its value\n");
  }
}

void applyPercentRam(const std::string& argument) {
  std::optional<int32_t> percent = leadingInt32(argument);
  if (!percent) return;
  if (*percent < -1) {
    // No memory size can be made of a negative share: the line is dropped
    // rather than handing the JVM a nonsensical heap size.
    platform().writeStderr("percentRam " + std::to_string(*percent) +
                           " ignored: the value must not be below -1\n");
    return;
  }
  settings().percentRam = *percent;
}

std::string expandQuoted(const std::string& text) {
  return expandEnvironmentReferences(text, true);
}

std::string expandPlain(const std::string& text) {
  return expandEnvironmentReferences(text, false);
}

constexpr const char MAIN_CLASS_REFUSED_CAPTION[] = "Main Class Refused";

// Java is handed the main class as one word: blanks around it are no part
// of it, and one that would be several words ends the launch.
void applyMainClass(const std::string& argument) {
  const std::string mainClass = trimmed(expandPlain(argument));
  const bool oneWord = std::none_of(mainClass.begin(), mainClass.end(), [](char c) {
    return c == ' ' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == '\x7F';
  });
  if (oneWord) {
    settings().mainClass = mainClass;
    return;
  }
  const std::string text = "mainclass " + mainClass +
                           " refused: a main class is one word, without blanks, "
                           "double quotes or control characters";
  platform().writeStderr(text + "\n");
  if (!isConsoleLauncher()) showMessage(MAIN_CLASS_REFUSED_CAPTION, text, true);
  exitLauncher(MAIN_CLASS_REFUSED_EXIT_CODE);
}

}  // namespace

namespace {

// Whether a vmparam's text is nothing but references to variables that are
// not set ("$MY_OPTS", "$A $B"): it stands for no option.
bool onlyUnsetReferences(const std::string& text, std::string& names) {
  const std::vector<std::string> pieces = splitWords(text);
  if (pieces.empty()) return false;
  for (const std::string& piece : pieces) {
    const std::string name = piece.substr(1);
    if (piece[0] != '$' || name.empty() ||
        name.find_first_of("$/\\\"") != std::string::npos || name == "pid" ||
        platform().getEnv(name))
      return false;
    names += (names.empty() ? "" : ", ") + name;
  }
  return true;
}

// Stores the option `text`, or `meant` written anew where the text says
// other words.
void storeWords(const std::string& text, const std::vector<std::string>& meant) {
  const std::string kept = textOfWords(text, meant);
  storeVmParam(kept, kept != text);
}

}  // namespace

void addVmParam(const std::string& text, const std::string& fromValue) {
  std::string names;
  if (onlyUnsetReferences(text, names)) {
    writeLogNote("vmparam " + text + " adds no option: " + names + " not set\n");
    return;
  }
  std::string marks = fromValue;
  const std::string param = expandEnvironmentReferences(text, true, &marks);
  // The characters from values are no syntax: a value never adds a word
  // or ends one.
  storeWords(param, splitWindowsArguments(param, marks));
}

void addVmParamsFrom(const std::string& argument) {
  const std::vector<std::string> words = splitWords(argument);
  if (words.size() != 1) {
    platform().writeStderr("vmparamsFrom " + argument + " ignored: it names "
                           "one environment variable\n");
    return;
  }
  const std::string& name = words[0];
  const std::optional<std::string> value = platform().getEnv(name);
  if (!value || value->empty()) {
    writeLogNote("vmparamsFrom " + name + " adds no option: the variable is " +
                 (value ? "empty" : "not set") + "\n");
    return;
  }
  std::vector<std::string> refused;
  for (const std::vector<std::string>& option : optionsOfVariable(name, *value, refused))
    storeVmParam(commandLineText(option), true);
  for (const std::string& line : refused)
    platform().writeStderr("vmparamsFrom: " + line + "\n");
}

void addVmParamWord(const std::string& word) {
  // The word is one option, whatever it holds: only the quotes that the
  // expansion adds to group a spaced value are syntax.
  std::string marks(word.size(), '1');
  std::string param = expandEnvironmentReferences(word, true, &marks);
  const std::vector<std::string> meant = splitWindowsArguments(param, marks);
  // Quotes of the word's own, or of a spaced expansion, are kept as they
  // are; so is a value ending in a backslash, which would escape the quote.
  if (param.find_first_of(" \t") != std::string::npos &&
      param.find('"') == std::string::npos && param.back() != '\\') {
    const size_t equals = param.find('=');
    if (equals == std::string::npos)
      param = "\"" + param + "\"";
    else
      param = param.substr(0, equals + 1) + "\"" + param.substr(equals + 1) + "\"";
  }
  storeWords(param, meant);
}

namespace {

// A path written for Windows in a configuration shared between systems:
// where folders are separated by '/', a backslash in a path means one too.
std::string localPath(std::string path) {
  if (platform().conventions().separator == '/') toForwardSlashes(path);
  return path;
}

// javaVersion chooses its runtime where it stands, so a directive that
// changes the choice must come before it.
void noteLateDirective(const std::string& line) {
  if (settings().requiredJavaVersion)
    platform().writeStderr(line + " follows javaVersion, which has chosen its "
                           "runtime already: write it before javaVersion.\n");
}

// `javalib auto` runs in-process on the runtime discovery chooses; any
// other value names the library.
void applyJavaLib(const std::string& argument) {
  LaunchSettings& s = settings();
  const std::vector<std::string> words = splitWords(argument);
  s.javaLibAuto = words.size() == 1 && words[0] == "auto";
  s.javaLib = s.javaLibAuto ? std::string() : localPath(expandPlain(argument));
  if (s.javaLibAuto) noteLateDirective("javalib auto");
}

// A runtime home relative to the launcher's folder, or absolute.
void applyRuntimeHome(const std::string& argument) {
  std::string home = withoutSurroundingQuotes(localPath(expandPlain(argument)));
  if (home.empty()) return;
  home = inLauncherFolder(home);
  settings().runtimeHomes.push_back(home);
  noteLateDirective("runtimeHome " + home);
}

// The file an `include` line names.
std::string includedPath(const std::string& argument) {
  return localPath(expandPlain(argument));
}

// Blanks and tabs that end a path directive's value are no part of the
// path (Windows drops them from file names anyway; elsewhere they would
// name a file that is not there).
const std::string_view PATH_DIRECTIVES[] = {
    "javapath", "addpath", "addjar", "addjars", "include",
    "workingDir", "javalib", "outputFile", "runtimeHome",
};

bool takesAPath(std::string_view keyword) {
  for (std::string_view path : PATH_DIRECTIVES)
    if (keyword == path) return true;
  return false;
}

std::string withoutTrailingBlanks(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.pop_back();
  return text;
}

using DirectiveAction = void (*)(const std::string& argument);

// For the directives whose values must stay inside their words: the
// argument, and a '1' for each character of it that a `%name%` value
// brought.
using ValueAwareAction = void (*)(const std::string& argument,
                                  const std::string& fromValue);

struct Directive {
  std::string_view keyword;
  DirectiveAction apply;
  ValueAwareAction applyWithValues = nullptr;
};

// Tried in this order; the first keyword the line begins with decides, so
// "addjars" must stand before "addjar".
const Directive DIRECTIVES[] = {
    // Before "vmparam", which it begins with.
    {"vmparamsFrom", addVmParamsFrom},
    {"vmparam", nullptr, addVmParam},
    {"javapath", [](const std::string& a) { settings().javaPath = localPath(expandQuoted(a)); }},
    {"addpath", [](const std::string& a) { settings().classPath.push_back(localPath(expandQuoted(a))); }},
    {"mainclass", applyMainClass},
    {"appname", [](const std::string& a) { settings().appName = expandPlain(a); }},
    {"javaVersion", applyJavaVersion},
    {"addjars", [](const std::string& a) { settings().classPath.push_back(localPath(expandQuoted(a)) + "/*"); }},
    {"argument", [](const std::string& a) { settings().appArguments.push_back(a); }},
    {"leadingArgument", [](const std::string& a) { settings().leadingArguments.push_back(a); }},
    {"addjar", [](const std::string& a) { settings().classPath.push_back(localPath(expandQuoted(a))); }},
    {"include", [](const std::string& a) { readConfigFile(includedPath(a)); }},
    // A title is text and a folder or file one path: the quotes that `$`
    // expansion adds to group a spaced value are no part of either.
    {"consoleTitle", [](const std::string& a) { settings().consoleTitle = withoutSurroundingQuotes(expandQuoted(a)); }},
    {"workingDir", [](const std::string& a) { settings().workingDir = withoutQuotes(localPath(expandQuoted(a))); }},
    {"outputFile", [](const std::string& a) { settings().outputFile = withoutQuotes(expandQuoted(a)); }},
    {"showConsole", [](const std::string& a) { settings().showConsole = toLowerCase(a) == "true"; }},
    {"startupCache", [](const std::string& a) { settings().startupCache = toLowerCase(a) == "true"; }},
    {"setenv", applySetenv},
    {"keepalive", applyKeepalive},
    {"addToPath", nullptr, applyAddToPath},
    {"var", defineVariable},
    {"percentRam", applyPercentRam},
    {"createDir", makeDirectories},
    {"javalib", applyJavaLib},
    {"runtimeHome", applyRuntimeHome},
    {"rmvmparam", removeVmParams},
    {"singleInstance", applySingleInstance},
    {"javaDownloadUrl", applyJavaDownloadUrl},
    {"appUserModelId", applyAppUserModelId},
    {"serviceName", applyServiceName},
    {"serviceDisplayName", applyServiceDisplayName},
    {"serviceDescription", applyServiceDescription},
    {"serviceStartType", applyServiceStartType},
    {"serviceAccount", applyServiceAccount},
    {"serviceDependsOn", applyServiceDependsOn},
    {"serviceStopTimeout", applyServiceStopTimeout},
    {"serviceStopMethod", applyServiceStopMethod},
    {"serviceRestartDelay", applyServiceRestartDelay},
    {"serviceRestartLimit", applyServiceRestartLimit},
    {"serviceLogFolder", applyServiceLogFolder},
    {"serviceLogSize", applyServiceLogSize},
    {"serviceLogFiles", applyServiceLogFiles},
};

}  // namespace

std::vector<std::string_view> directiveKeywords() {
  std::vector<std::string_view> keywords;
  for (const Directive& directive : DIRECTIVES) keywords.push_back(directive.keyword);
  return keywords;
}

namespace {

// A file's bytes as UTF-8 text. UTF-16 with its byte-order mark (Notepad's
// "Unicode") is text of its own. Valid UTF-8 is taken as it is; anything
// else was written in the ANSI code page, as every file before UTF-8 was,
// and reads as it always did.
std::string configText(std::string bytes) {
  Platform& os = platform();
  const bool littleEndian = startsWith(bytes, "\xFF\xFE");
  if (littleEndian || startsWith(bytes, "\xFE\xFF"))
    bytes = utf8FromUtf16(bytes.substr(2), !littleEndian);
  if (os.conventions().ctrlZEndsTextFiles) {
    const size_t end = bytes.find('\x1A');
    if (end != std::string::npos) bytes.resize(end);
  }
  // Notepad's byte-order mark would make the first line unrecognised.
  if (startsWith(bytes, "\xEF\xBB\xBF")) bytes.erase(0, 3);
  if (isValidUtf8(bytes)) return bytes;
  return os.fromAnsiCodePage(bytes);
}

// The directive a line begins with, or null. Every line is tried against
// the table: compared in place, with no text made for a keyword.
const Directive* directiveFor(const std::string& line) {
  for (const Directive& directive : DIRECTIVES) {
    const std::string_view keyword = directive.keyword;
    if (line.size() >= keyword.size() && line[0] == keyword[0] &&
        line.compare(0, keyword.size(), keyword) == 0)
      return &directive;
  }
  return nullptr;
}

// Calls `apply` with each non-empty line of a configuration's text.
template <typename LineAction>
void forEachLine(const std::string& text, LineAction apply) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    // A CR LF pair ends a line like LF alone; a lone CR is a character.
    if (end > start && text[end - 1] == '\r' && end < text.size()) --end;
    // Lines are C strings to the directives: a NUL byte ends them.
    const char* first = text.data() + start;
    end = static_cast<size_t>(std::find(first, text.data() + end, '\0') -
                              text.data());
    if (end > start) apply(text.substr(start, end - start));
    start = next;
  }
}

// The argument a directive gets from its line's text after the keyword,
// `%name%` variables substituted: a path loses its trailing blanks.
std::string argumentFor(const Directive& directive, const std::string& argument) {
  return takesAPath(directive.keyword) ? withoutTrailingBlanks(argument)
                                       : argument;
}

// Adds `path` and the files its `include` lines name, each once, and
// applies the lines that decide which files those are (`var`, `setenv`)
// or what the launcher writes (`outputFile`).
void collectFiles(const std::string& path, const std::string& folder,
                  std::vector<std::string>& files, std::set<std::string>& keys) {
  const PlatformConventions& conv = platform().conventions();
  const std::string full =
      isAbsolutePath(path, conv) ? path : folder + conv.separator + path;
  if (files.size() >= MAX_FILES_PER_CONFIGURATION ||
      !keys.insert(fileKey(full)).second)
    return;
  files.push_back(full);
  FileRead read = readConfigurationBytes(full);
  if (!read.content) return;
  forEachLine(configText(std::move(*read.content)), [&](const std::string& line) {
    if (line[0] == '#' || line[0] == '/') return;
    const size_t space = line.find(' ');
    const Directive* directive = directiveFor(line);
    if (space == std::string::npos || !directive) return;
    const std::optional<std::string> substituted =
        substituteVariables(line.substr(space + 1));
    if (!substituted) return;
    const std::string argument = argumentFor(*directive, *substituted);
    if (directive->keyword == "var") {
      // Only what a `var` line defines; its complaints come when it is read.
      const size_t equals = argument.find('=');
      if (equals != std::string::npos)
        variables()[argument.substr(0, equals)] = argument.substr(equals + 1);
    } else if (directive->keyword == "include") {
      collectFiles(includedPath(argument), folder, files, keys);
    } else if (directive->keyword == "setenv" ||
               directive->keyword == "outputFile") {
      directive->apply(argument);
    }
  });
}

}  // namespace

FileRead readConfigurationBytes(const std::string& path) {
  return platform().readRegularFile(path, MAX_CONFIGURATION_BYTES);
}

std::string readRefusalReason(ReadRefusal refusal) {
  switch (refusal) {
    case ReadRefusal::NotRegularFile:
      return "it is no regular file (a FIFO or a device, say)";
    case ReadRefusal::TooLarge:
      return "it holds more than " + std::to_string(MAX_CONFIGURATION_BYTES) +
             " bytes";
    default: return "it cannot be read";
  }
}

ConfigurationLook lookThroughConfiguration(const std::string& path,
                                           const std::string& folder) {
  // Read as the launch will read them, but nothing is applied, shown or
  // kept: the variables, the environment, the output file and the debug
  // mode are as they were afterwards.
  struct Restore {
    VariableTable variables = tarvik::variables();
    OptionalText outputFile = settings().outputFile;
    int32_t debugMode = options().debugMode;
    ~Restore() {
      tarvik::variables() = variables;
      settings().outputFile = outputFile;
      options().debugMode = debugMode;
    }
  } restore;
  EnvironmentLook environment;
  options().debugMode = 0;
  settings().outputFile.reset();
  ConfigurationLook look;
  std::set<std::string> keys;
  collectFiles(path, folder, look.files, keys);
  look.outputFile = settings().outputFile;
  return look;
}

int readConfigFile(const std::string& path, std::optional<FileRead> given) {
  std::vector<std::string>& reading = filesBeingRead();
  const std::string key = fileKey(path);
  for (const std::string& open : reading) {
    if (open == key) {
      platform().writeStderr("Skipped include of " + path +
                             ": the file is already being read\n");
      return 0;
    }
  }
  if (reading.size() >= MAX_INCLUDE_DEPTH) {
    platform().writeStderr("Skipped include of " + path + ": includes nest " +
                           "more than " + std::to_string(MAX_INCLUDE_DEPTH) +
                           " deep\n");
    return 0;
  }

  // Files that include others more than once could fan out into billions
  // of reads below the depth bound; a whole configuration reads at most
  // MAX_FILES_PER_CONFIGURATION files.
  static size_t filesRead = 0;
  if (reading.empty()) filesRead = 0;
  if (++filesRead > MAX_FILES_PER_CONFIGURATION) {
    platform().writeStderr("Skipped include of " + path + ": the configuration " +
                           "has read " + std::to_string(MAX_FILES_PER_CONFIGURATION) +
                           " files already\n");
    return 0;
  }

  debugBox("Reading Config file", path);
  startup().configurationFiles.push_back(fullPathInLauncherFolder(path));
  FileRead read = given ? std::move(*given) : readConfigurationBytes(path);
  if (!read.content) {
    // A file that is not there stays unread without a word, as it always
    // was; one that is there but no text file says why.
    if (read.refusal != ReadRefusal::CannotRead)
      platform().writeStderr(
          std::string(reading.empty() ? "Skipped configuration file "
                                      : "Skipped include of ") +
          path + ": " + readRefusalReason(read.refusal) + "\n");
    return 0;
  }

  reading.push_back(key);
  // Popped on every way out, also when a directive ends the process in a
  // test (which throws) and the next test reads files again.
  struct PopOnExit {
    std::vector<std::string>& files;
    ~PopOnExit() { files.pop_back(); }
  } pop{reading};

  forEachLine(configText(std::move(*read.content)), parseDirectiveLine);
  return 0;
}

void parseDirectiveLine(const std::string& line) {
  if (line.empty() || line[0] == '#' || line[0] == '/') return;
  const size_t space = line.find(' ');
  if (space == std::string::npos) return;
  std::string fromValue;
  std::string overgrowing;
  const std::optional<std::string> substituted =
      substituteVariables(line.substr(space + 1), &fromValue, &overgrowing);
  const Directive* directive = directiveFor(line);
  if (!directive) return;
  if (!substituted) {
    platform().writeStderr("Skipped a " + std::string(directive->keyword) +
                           " line: %" + overgrowing + "% would grow it by more than " +
                           std::to_string(MAX_EXPANSION_GROWTH) +
                           " characters (does a variable refer back to itself?)\n");
    return;
  }
  const std::string& argument = *substituted;
  if (directive->applyWithValues) {
    directive->applyWithValues(argument, fromValue);
    return;
  }
  directive->apply(argumentFor(*directive, argument));
}

}  // namespace tarvik
