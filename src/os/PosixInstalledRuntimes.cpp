// The installed runtimes of a Linux machine as registry keys (see
// PosixInstalledRuntimes.h). The discovery itself reads the file system; the rest
// is plain text work.
#ifdef _WIN32
#error "PosixInstalledRuntimes.cpp is for POSIX builds only"
#endif

#include "os/PosixInstalledRuntimes.h"
#include "os/PosixPlatform.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>

namespace tarvik {

namespace {

const char RUNTIME_KEY[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

class MemoryKey : public RegistryKey {
 public:
  MemoryKey(std::map<std::string, std::string> values,
            std::vector<std::string> subkeys)
      : values_(std::move(values)), subkeys_(std::move(subkeys)) {}
  std::optional<std::string> readString(const std::string& name,
                                        size_t capacity) override {
    auto it = values_.find(name);
    if (it == values_.end() || it->second.size() + 1 > capacity)
      return std::nullopt;
    return it->second;
  }
  std::optional<uint32_t> subkeyCount() override {
    return static_cast<uint32_t>(subkeys_.size());
  }
  std::optional<std::string> subkeyName(uint32_t index) override {
    if (index >= subkeys_.size()) return std::nullopt;
    return subkeys_[index];
  }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> subkeys_;
};

// The numbers of a version text: "1.8.0_362" -> 1 8 0 362.
std::vector<long> versionNumbers(const std::string& version) {
  std::vector<long> numbers;
  long current = -1;
  for (char c : version) {
    if (c >= '0' && c <= '9') {
      current = (current < 0 ? 0 : current) * 10 + (c - '0');
      if (current > 1000000000L) current = 1000000000L;
    } else if (current >= 0) {
      numbers.push_back(current);
      current = -1;
    }
  }
  if (current >= 0) numbers.push_back(current);
  return numbers;
}

std::string realPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (!realpath(path.c_str(), buffer)) return path;
  return buffer;
}

std::string javaOnPath() {
  const char* path = getenv("PATH");
  if (!path) return std::string();
  // The folders between colons; an empty one is the current folder, and
  // nothing follows a colon at the end.
  const std::string dirs = path;
  for (size_t start = 0; start < dirs.size();) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/java";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

}  // namespace

std::vector<std::string> subkeysForVersion(const std::string& version) {
  std::vector<std::string> names = {version};
  std::vector<long> numbers = versionNumbers(version);
  if (numbers.empty()) return names;
  if (numbers[0] == 1 && numbers.size() >= 2) {
    // The old scheme: 1.8.0_362 is family 1.8 and already has its patch.
    std::string family = "1." + std::to_string(numbers[1]);
    if (family != version) names.push_back(family);
    return names;
  }
  std::string family = std::to_string(numbers[0]);
  long update = numbers.size() >= 3 ? numbers[2] : 0;
  if (family != version) names.push_back(family);
  names.push_back(family + "_" + std::to_string(update));
  return names;
}

bool olderVersion(const std::string& a, const std::string& b) {
  return versionNumbers(a) < versionNumbers(b);
}

InstalledRuntimeRegistry::InstalledRuntimeRegistry(
    const std::vector<InstalledRuntime>& runtimes, const std::string& current) {
  std::vector<InstalledRuntime> sorted = runtimes;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const InstalledRuntime& a, const InstalledRuntime& b) {
                     return olderVersion(a.version, b.version);
                   });
  Key& root = keys_[RUNTIME_KEY];
  // Newer runtimes come later, so a shared name ends up naming the newest.
  std::map<std::string, std::string> homes;
  std::vector<std::string> order;
  for (const InstalledRuntime& runtime : sorted) {
    for (const std::string& name : subkeysForVersion(runtime.version)) {
      if (!homes.count(name)) order.push_back(name);
      homes[name] = runtime.home;
    }
  }
  root.subkeys = order;
  for (const auto& entry : homes)
    keys_[std::string(RUNTIME_KEY) + "\\" + entry.first].values["JavaHome"] =
        entry.second;
  std::string currentVersion;
  for (const InstalledRuntime& runtime : sorted) {
    if (runtime.home == current) currentVersion = runtime.version;
  }
  if (currentVersion.empty() && !sorted.empty())
    currentVersion = sorted.back().version;
  if (!currentVersion.empty()) root.values["CurrentVersion"] = currentVersion;
}

InstalledRuntimeRegistry InstalledRuntimeRegistry::discover() {
  const char* configured = getenv(JVM_DIR_VARIABLE);
  std::string base = configured && *configured ? configured : DEFAULT_JVM_DIR;
  std::vector<InstalledRuntime> runtimes;
  std::set<std::string> seen;
  if (DIR* dir = opendir(base.c_str())) {
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      std::string home = base + "/" + name;
      const FileRead release = posixReadRegularFile(home + "/release", UINT64_MAX);
      if (!release.content) continue;
      std::optional<std::string> version = releaseVersion(*release.content);
      // A runtime linked under several names counts once, by its own name.
      home = realPath(home);
      if (!version || !seen.insert(home).second) continue;
      runtimes.push_back({home, *version});
    }
  }
  // `java` on PATH, as Debian's alternatives resolve it, names the current
  // runtime: <home>/bin/java.
  std::string current;
  std::string java = javaOnPath();
  if (!java.empty()) {
    std::string resolved = realPath(java);
    size_t bin = resolved.rfind("/bin/java");
    if (bin != std::string::npos) {
      std::string home = resolved.substr(0, bin);
      for (const InstalledRuntime& runtime : runtimes) {
        if (realPath(runtime.home) == home) current = runtime.home;
      }
    }
  }
  return InstalledRuntimeRegistry(runtimes, current);
}

std::unique_ptr<RegistryKey> InstalledRuntimeRegistry::open(
    const std::string& keyPath) const {
  auto it = keys_.find(keyPath);
  if (it == keys_.end()) return nullptr;
  return std::make_unique<MemoryKey>(it->second.values, it->second.subkeys);
}

}  // namespace tarvik
