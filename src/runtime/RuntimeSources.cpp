#include "runtime/RuntimeSources.h"

#include <algorithm>
#include <memory>
#include <set>

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/Message.h"
#include "runtime/RuntimeRelease.h"
#include "runtime/VersionRequest.h"

namespace tarvik {

namespace {

constexpr size_t HOME_VALUE_CAPACITY = 8192;
constexpr size_t SUBKEY_NAME_LIMIT = 255;

enum class KeyShape {
  // <key>\<name>, the home in a value of that subkey.
  Named,
  // <key>\<version>\<vm>\MSI, the home in a value of the MSI key.
  Installer,
};

// (The texts are arrays, not pointers: a table of pointers is relocated at
// every start.)
struct RegistrySource {
  char key[48];
  KeyShape shape;
  char homeValue[24];
};

// A new vendor joins with one row.
const RegistrySource REGISTRY_SOURCES[] = {
    {"SOFTWARE\\JavaSoft\\Java Runtime Environment", KeyShape::Named, "JavaHome"},
    {"SOFTWARE\\JavaSoft\\JRE", KeyShape::Named, "JavaHome"},
    {"SOFTWARE\\JavaSoft\\JDK", KeyShape::Named, "JavaHome"},
    {"SOFTWARE\\JavaSoft\\Java Development Kit", KeyShape::Named, "JavaHome"},
    {"SOFTWARE\\Eclipse Adoptium\\JDK", KeyShape::Installer, "Path"},
    {"SOFTWARE\\Eclipse Adoptium\\JRE", KeyShape::Installer, "Path"},
    {"SOFTWARE\\Microsoft\\JDK", KeyShape::Installer, "Path"},
    {"SOFTWARE\\Microsoft\\JRE", KeyShape::Installer, "Path"},
    {"SOFTWARE\\Azul Systems\\Zulu", KeyShape::Named, "InstallationPath"},
};

std::vector<std::string> subkeyNames(RegistryKey& key) {
  std::vector<std::string> names;
  const uint32_t count = key.subkeyCount().value_or(0);
  for (uint32_t i = 0; i < count; ++i) {
    std::optional<std::string> name = key.subkeyName(i);
    if (name && !name->empty() && name->size() <= SUBKEY_NAME_LIMIT &&
        name->find('\0') == std::string::npos)
      names.push_back(*name);
  }
  return names;
}

std::string childExecutable() {
  const PlatformConventions& conv = platform().conventions();
  return startsConsoleJava() ? conv.consoleJava : conv.windowedJava;
}

class CandidateList {
 public:
  explicit CandidateList(bool childLaunch) : childLaunch_(childLaunch) {}

  void readRegistry() {
    std::vector<RegistryView> views = {RegistryView::Bits64};
    if (childLaunch_) views.push_back(RegistryView::Bits32);
    for (RegistryView view : views)
      for (const RegistrySource& source : REGISTRY_SOURCES)
        for (const RegistryPlace& place :
             {RegistryPlace::machine(view), RegistryPlace::user(view)})
          readKey(place, source);
  }

  void readJavaHome() {
    if (std::optional<std::string> home = platform().getEnv("JAVA_HOME"))
      add(*home, std::nullopt, "JAVA_HOME");
  }

  // The first PATH folder that holds the executable in a runtime's bin
  // folder; its home is above it.
  void readPath() {
    std::optional<std::string> path = platform().getEnv("PATH");
    if (!path) return;
    const char listSeparator = platform().conventions().classPathSeparator;
    size_t start = 0;
    while (start <= path->size()) {
      size_t end = path->find(listSeparator, start);
      if (end == std::string::npos) end = path->size();
      const std::string folder = trimHome(path->substr(start, end - start));
      start = end + 1;
      if (folder.empty()) continue;
      const std::string exe = folder + separator() + childExecutable();
      if (platform().findFiles(exe).empty()) continue;
      // A folder of copies such as Oracle's "javapath" is no runtime's bin
      // folder: the search goes on.
      std::optional<std::string> home = runtimeHomeOfExecutable(exe);
      if (!home) continue;
      add(*home, std::nullopt, "PATH");
      return;
    }
  }

  void readFolders() {
    Platform& os = platform();
    for (const RuntimeFolder& row : os.conventions().runtimeFolders) {
      std::string folder = row.path;
      if (!row.baseVariable.empty()) {
        std::optional<std::string> base = os.getEnv(row.baseVariable);
        if (!base || base->empty()) continue;
        folder = *base + row.path;
      }
      if (!row.overrideVariable.empty()) {
        std::optional<std::string> given = os.getEnv(row.overrideVariable);
        if (given && !given->empty()) folder = *given;
      }
      std::vector<std::string> names =
          os.findFiles(folder + separator() + "*");
      // The system lists a folder in no particular order.
      std::sort(names.begin(), names.end());
      for (const std::string& name : names) {
        if (name == "." || name == "..") continue;
        add(folder + separator() + name, versionOfName(name), folder);
      }
    }
  }

  void readConfiguredHomes() {
    for (const std::string& home : settings().runtimeHomes)
      add(home, std::nullopt, "runtimeHome");
  }

  std::vector<RuntimeCandidate> take() { return std::move(found_); }

 private:
  static char separator() { return platform().conventions().separator; }

  // A home as a key or variable may give it: quoted, or with a trailing
  // separator (an installer's Path value has one).
  static std::string trimHome(std::string home) {
    if (home.size() >= 2 && home.front() == '"' && home.back() == '"')
      home = home.substr(1, home.size() - 2);
    while (home.size() > 1 &&
           (home.back() == separator() || home.back() == '/' ||
            home.back() == '\\'))
      home.pop_back();
    return home;
  }

  void readKey(const RegistryPlace& place, const RegistrySource& source) {
    Platform& os = platform();
    std::unique_ptr<RegistryKey> key = os.openRegistryKey(place, source.key);
    if (!key) return;
    const std::string prefix = place.label() + "\\";
    for (const std::string& name : subkeyNames(*key)) {
      const std::string path = std::string(source.key) + "\\" + name;
      if (source.shape == KeyShape::Named) {
        readHome(place, path, source.homeValue, versionOfName(name));
        continue;
      }
      std::unique_ptr<RegistryKey> version = os.openRegistryKey(place, path);
      if (!version) continue;
      for (const std::string& vm : subkeyNames(*version))
        readHome(place, path + "\\" + vm + "\\MSI", source.homeValue,
                 versionOfName(name));
    }
  }

  void readHome(const RegistryPlace& place, const std::string& path,
                const char* valueName,
                const std::optional<std::string>& nameVersion) {
    std::unique_ptr<RegistryKey> key = platform().openRegistryKey(place, path);
    if (!key) return;
    std::optional<std::string> home =
        key->readString(valueName, HOME_VALUE_CAPACITY);
    if (home)
      add(*home, nameVersion, place.label() + "\\" + path,
          place.view() == RegistryView::Bits32);
  }

  void add(const std::string& given,
           const std::optional<std::string>& nameVersion,
           const std::string& source, bool bits32 = false) {
    const std::string home = trimHome(given);
    if (home.empty() || home.find('\0') != std::string::npos ||
        !seen_.insert(home).second)
      return;
    // A key left behind by an uninstalled runtime is passed over without a
    // word, so that a machine without any runtime fails as it always has.
    if (!homeServesLaunch(home)) return;
    std::optional<std::string> version = readRuntimeVersion(home);
    if (!version || versionNumbers(*version).empty()) version = nameVersion;
    if (version && versionNumbers(*version).empty()) version.reset();
    writeRecord("runtime " + version.value_or("(unknown version)") + " at " +
                   home + " from " + source + "\n");
    found_.push_back({home, version, source, bits32});
  }

  bool childLaunch_;
  std::set<std::string> seen_;
  std::vector<RuntimeCandidate> found_;
};

}  // namespace

bool homeServesLaunch(const std::string& home) {
  if (settings().javaLibAuto) return jvmLibraryOfHome(home).has_value();
  const char separator = platform().conventions().separator;
  return !platform()
              .findFiles(home + separator + "bin" + separator + childExecutable())
              .empty();
}

std::vector<RuntimeCandidate> findConfiguredHomes() {
  CandidateList list(false);
  list.readConfiguredHomes();
  return list.take();
}

std::vector<RuntimeCandidate> findRuntimeCandidates(bool childLaunch) {
  CandidateList list(childLaunch);
  list.readRegistry();
  list.readJavaHome();
  list.readPath();
  list.readFolders();
  return list.take();
}

}  // namespace tarvik
