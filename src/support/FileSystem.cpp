#include "support/FileSystem.h"

#include <vector>

#include "os/Platform.h"
#include "support/Message.h"
#include "support/TextUtil.h"

namespace tarvik {

void makeDirectories(const std::string& path) {
  Platform& os = platform();
  std::string copy = path;
  toForwardSlashes(copy);
  std::vector<std::string> pieces = splitOn(copy, '/');
  if (pieces.empty()) return;  // an empty path creates nothing
  const char separator = os.conventions().separator;
  std::string current = pieces[0];
  for (size_t i = 1; i < pieces.size(); ++i) {
    current += separator;
    current += pieces[i];
    int error = os.makeDirectory(current);
    if (error == 0 || error == EEXIST_CODE) continue;
    writeNotice("Error creating directory " + path + " at component " +
                   current + " error : " + os.errorText(error) + " (" +
                   std::to_string(error) + ")");
    return;
  }
}

namespace {

// Whether an entry names all of a folder, as Java's own launcher reads a
// class path: "*" alone or behind a folder separator.
bool isFolderWildcard(const std::string& pattern) {
  if (pattern == "*") return true;
  return pattern.size() >= 2 && pattern.back() == '*' &&
         (pattern[pattern.size() - 2] == '/' ||
          pattern[pattern.size() - 2] == '\\');
}

bool endsWith(const std::string& text, const char* ending) {
  const std::string tail(ending);
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string expandWildcard(const std::string& pattern) {
  std::vector<std::string> matches;
  const bool jarsOnly = isFolderWildcard(pattern);
  // The folder's own entries are never class path entries of it, and a
  // folder wildcard means its jar files only, as Java's launcher takes it.
  for (std::string& name : platform().findFiles(pattern)) {
    if (name == "." || name == "..") continue;
    if (jarsOnly && !endsWith(name, ".jar") && !endsWith(name, ".JAR"))
      continue;
    matches.push_back(std::move(name));
  }
  if (matches.empty()) return pattern;
  const std::string prefix = pattern.substr(0, pattern.find('*'));
  const char separator = platform().conventions().classPathSeparator;
  std::string result;
  for (size_t i = 0; i < matches.size(); ++i) {
    if (i > 0) result += separator;
    result += prefix;
    result += matches[i];
  }
  return result;
}

}  // namespace tarvik
