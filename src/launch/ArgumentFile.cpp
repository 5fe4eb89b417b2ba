#include "launch/ArgumentFile.h"

#include <memory>

#include "LaunchSettings.h"
#include "config/ConfigLocation.h"
#include "os/Platform.h"
#include "runtime/RuntimeRelease.h"
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

std::string argumentFilePath() {
  return inTempDir(appBaseName(startup().exePath) + "-" +
                   std::to_string(platform().processId()) + ".args");
}

std::optional<std::string> writeArgumentFile(
    const std::string& path, const std::vector<std::string>& words) {
  std::optional<std::string> bytes =
      platform().toAnsiCodePage(argumentFileText(words));
  if (!bytes)
    return "The arguments cannot be written in the system's code page, in "
           "which Java reads an argument file.";
  std::unique_ptr<OutputFile> file = platform().createTextFile(path);
  if (file) file->write(*bytes);
  if (!file || !file->close())
    return "The argument file " + path + " could not be written.";
  return std::nullopt;
}

}  // namespace tarvik
