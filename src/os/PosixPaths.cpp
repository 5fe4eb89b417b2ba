// The POSIX backend's answers about paths and the environment: where a
// program named without a folder is found, where links lead, what a folder
// holds, and the environment a service is given.
#ifdef _WIN32
#error "PosixPaths.cpp is for POSIX builds only"
#endif

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "os/PosixPlatform.h"

extern char** environ;

namespace tarvik {

namespace {

// The search path execvp takes where PATH is not set.
constexpr const char DEFAULT_SEARCH_PATH[] = "/bin:/usr/bin";

bool isRunnableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> PosixPlatform::findProgram(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  const char* value = getenv("PATH");
  const std::string searched = value ? value : DEFAULT_SEARCH_PATH;
  size_t start = 0;
  for (;;) {
    const size_t end = searched.find(':', start);
    std::string folder = searched.substr(start, end - start);
    // An empty entry is the current folder, as execvp reads it.
    if (folder.empty()) folder = currentDirectory();
    if (!folder.empty()) {
      const std::string path = folder.back() == '/' ? folder + name : folder + "/" + name;
      if (isRunnableFile(path)) {
        if (path[0] == '/') return path;
        return currentDirectory() + "/" + path;
      }
    }
    if (end == std::string::npos) return std::nullopt;
    start = end + 1;
  }
}

std::optional<std::string> PosixPlatform::finalPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return std::nullopt;
  std::string result(resolved);
  free(resolved);
  return result;
}

std::optional<std::vector<std::string>> PosixPlatform::folderEntries(
    const std::string& folder) {
  DIR* handle = opendir(folder.c_str());
  if (!handle) return std::nullopt;
  std::vector<std::string> names;
  while (dirent* entry = readdir(handle)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
      continue;
    names.push_back(entry->d_name);
  }
  closedir(handle);
  return names;
}

Platform::Environment PosixPlatform::environment() {
  Environment variables;
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string text(*entry);
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    variables.push_back({text.substr(0, equals), text.substr(equals + 1)});
  }
  return variables;
}

void PosixPlatform::replaceEnvironment(const Environment& variables) {
  clearenv();
  for (const auto& variable : variables)
    setenv(variable.first.c_str(), variable.second.c_str(), 1);
}

Platform::Environment PosixPlatform::serviceEnvironment() {
  return {{"PATH", conventions_.serviceSearchPath}};
}

}  // namespace tarvik
