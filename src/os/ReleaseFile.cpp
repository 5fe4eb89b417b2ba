#include "os/ReleaseFile.h"

namespace tarvik {

std::optional<std::string> releaseVersion(const std::string& releaseText) {
  const std::string key = "JAVA_VERSION=";
  size_t start = 0;
  while (start <= releaseText.size()) {
    size_t end = releaseText.find('\n', start);
    if (end == std::string::npos) end = releaseText.size();
    std::string line = releaseText.substr(start, end - start);
    start = end + 1;
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
      value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.empty()) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

}  // namespace tarvik
