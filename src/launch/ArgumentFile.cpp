#include "launch/ArgumentFile.h"

#include <memory>

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "runtime/RuntimeRelease.h"
#include "support/AppBaseName.h"
#include "support/LauncherFiles.h"
#include "support/LogRedirector.h"

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

}  // namespace tarvik
