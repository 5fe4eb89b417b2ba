#include "support/FileSystem.h"

#include <vector>

#include "os/Platform.h"
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
    os.writeStdout("Error creating directory " + path + " at component " +
                   current + " error : " + os.errorText(error) + " (" +
                   std::to_string(error) + ")");
    return;
  }
}

std::string expandWildcard(const std::string& pattern) {
  std::vector<std::string> matches = platform().findFiles(pattern);
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
