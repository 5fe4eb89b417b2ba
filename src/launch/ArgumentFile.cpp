#include "launch/ArgumentFile.h"

#include <algorithm>
#include <memory>

#include "LaunchSettings.h"
#include "launch/CommandLineBuilder.h"
#include "launch/WindowsCommandLine.h"
#include "os/Platform.h"
#include "runtime/RuntimeRelease.h"
#include "support/AnsiCodePage.h"
#include "support/AppBaseName.h"
#include "support/LauncherFiles.h"
#include "support/LogRedirector.h"
#include "support/Utf8.h"

namespace tarvik {

namespace {

// The first Java whose launcher reads argument files.
constexpr int FIRST_ARGUMENT_FILE_JAVA = 9;

}  // namespace

std::string argumentFileText(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    // Quoted, every word is one argument, an empty one included, and
    // blanks, '#' and '@' inside it are plain characters.
    text += '"';
    for (char c : word) {
      switch (c) {
        case '\\': text += "\\\\"; break;
        case '"': text += "\\\""; break;
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        case '\f': text += "\\f"; break;
        default: text += c;
      }
    }
    text += "\"\n";
  }
  return text;
}

bool runtimeReadsArgumentFiles(const std::string& javaPath) {
  std::optional<std::string> home = runtimeHomeOfExecutable(javaPath);
  if (!home) return false;
  std::optional<std::string> version = readRuntimeVersion(*home);
  if (!version) return false;
  std::optional<int> feature = featureVersion(*version);
  return feature && *feature >= FIRST_ARGUMENT_FILE_JAVA;
}

std::optional<std::string> writeArgumentFile(
    const std::vector<std::string>& words, std::string& path) {
  Platform& os = platform();
  path.clear();
  std::optional<std::string> bytes =
      os.toAnsiCodePage(argumentFileText(words));
  if (!bytes)
    return "The arguments cannot be written in the system's code page, in "
           "which Java reads an argument file.";
  LauncherFile created = createLauncherFile(
      LauncherFileKind::ArgumentFile,
      inTempDir(appBaseName(startup().exePath) + ".args"));
  path = created.path;
  if (created.noRandomNumber)
    return "The system gave no random number to name the argument file.";
  if (created.result == CreateResult::NameTaken)
    return "No new argument file could be created: every name tried, the "
           "last " + path + ", was taken.";
  if (!created.file)
    return "The argument file " + path + " could not be created.";
  created.file->write(*bytes);
  if (!created.file->close()) {
    os.removeFile(path);
    return "The argument file " + path + " could not be written.";
  }
  return std::nullopt;
}

namespace {

// The error text when the command line is too long for the system, or
// nothing when it fits.
std::optional<std::string> commandLineTooLong(const std::string& line) {
  const size_t limit = platform().conventions().commandLineLimit;
  if (limit == 0) return std::nullopt;
  // The system counts the UTF-16 units of the wide command line.
  const size_t length = utf16Length(line);
  if (length < limit) return std::nullopt;
  return "The command line has " + std::to_string(length) +
         " characters; the system accepts at most " +
         std::to_string(limit - 1) + ".";
}

// Java 9 on reads everything after the executable from an argument file:
// `start` then runs "java @file" and the file's path is returned. Nothing
// when the runtime cannot read one or the file cannot be written; `why`
// then gives the reason.
std::optional<std::string> passThroughArgumentFile(ChildStart& start,
                                                   std::string& why,
                                                   const std::string& javaPath) {
  Platform& os = platform();
  if (!runtimeReadsArgumentFiles(javaPath)) return std::nullopt;
  // The words the child would have had, but its program.
  std::vector<std::string> words;
  if (!start.arguments.empty())
    words.assign(start.arguments.begin() + 1, start.arguments.end());
  std::string path;
  if (std::optional<std::string> failed = writeArgumentFile(words, path)) {
    why += " " + *failed;
    return std::nullopt;
  }
  // Java reads the path in the ANSI code page too: one beyond it goes by
  // its short form, which exists now that the file does.
  const std::string readable = ansiReadablePath(path);
  if (!os.toAnsiCodePage(readable)) {
    os.removeFile(path);
    why += " The argument file's path " + path +
           " cannot be written in the system's code page, in which Java "
           "reads it, and the file system gives it no short form.";
    return std::nullopt;
  }
  const std::string argument = "@" + readable;
  ChildCommand command;
  command.addText(programText(javaPath));
  command.addBlank();
  command.addWord(argument, argumentNeedsQuotes(argument));
  if (std::optional<std::string> tooLong = commandLineTooLong(command.line)) {
    os.removeFile(path);
    why = *tooLong;
    return std::nullopt;
  }
  start.commandLine = command.line;
  start.arguments = command.words;
  return path;
}

}  // namespace

ArgumentFileRoute routeThroughArgumentFile(ChildStart& start, const std::string& line,
                                           const std::string& javaPath) {
  ArgumentFileRoute route;
  if (std::optional<std::string> tooLong = commandLineTooLong(line)) {
    route.file = passThroughArgumentFile(start, *tooLong, javaPath);
    if (!route.file) route.refusal = *tooLong;
    return route;
  }
  const size_t wordLimit = platform().conventions().wordLimit;
  if (wordLimit != 0 &&
      std::any_of(start.arguments.begin(), start.arguments.end(),
                  [wordLimit](const std::string& word) { return word.size() >= wordLimit; })) {
    std::string why;
    route.file = passThroughArgumentFile(start, why, javaPath);
  }
  return route;
}

}  // namespace tarvik
