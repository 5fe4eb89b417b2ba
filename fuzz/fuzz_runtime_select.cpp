// Runtime selection over a registry with arbitrary subkey names: the
// version chosen is the requested one or a registered subkey, it is the
// highest patch level of the family at or above the wanted one, the path
// returned is that subkey's runtime, and the only way out is exit code 11.
//
// Input lines: flags (v vista, d debug, q quiet, m no runtime key, c the
// key cannot count its subkeys), the required version, the CurrentVersion
// value ("-" alone: none), then one subkey per line as "marks:name" or
// "name". Marks: ! enumeration fails there, - no key behind the name,
// h no JavaHome, L a JavaHome too long for its buffer, x a key that exists
// but is not enumerated, i a runtime installed at its JavaHome (without it
// the home lacks its executable: the key was left behind by an uninstalled
// runtime, and counts as none where the other sources answer; an installed
// one is also one of the other sources, under its key name's version). A line "@text" (or "@!text" for a stale key) is a
// runtime under SOFTWARE\JavaSoft\JDK instead, whose release file holds the
// text with '|' as line ends. Where the JavaSoft road fails, the newest of
// those that fits the request (any for the default runtime) is taken, the
// earlier one among equals, or the failure stays what it was.
#include <climits>
#include <set>

#include "FuzzSupport.h"
#include "runtime/JreLocator.h"
#include "runtime/RuntimeRelease.h"
#include "runtime/VersionRequest.h"

namespace tarvik {
namespace {

const std::string RUNTIMES = RUNTIME_REGISTRY_KEY;

std::string homeOf(const std::string& name) { return "C:\\Java\\" + name; }

std::string executableFor(const std::string& home) {
  const bool quoted =
      home.find(' ') != std::string::npos || options().vistaOrLater;
  std::string path = quoted ? "\"" : "";
  path += home + "\\bin\\" + (options().debugMode ? "java.exe" : "javaw.exe");
  if (quoted) path += '"';
  return path;
}

// atoi without its overflow: blanks, a sign, digits; saturating.
int leadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  const long long limit = negative ? 2147483648LL : INT_MAX;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = std::min(limit, value * 10 + (text[i] - '0'));
  return static_cast<int>(negative ? -value : value);
}

int patchOf(const std::string& text) {
  const size_t underscore = text.find('_');
  return underscore == std::string::npos ? 0
                                         : leadingNumber(text.substr(underscore + 1));
}

// A runtime of the other sources.
struct Extra {
  std::string home;
  OptionalText version;  // as its release file names it
  bool stale = false;
};

// The executable the other sources settle on: the newest fitting runtime,
// the first among equals; a known version beats an unknown one.
OptionalText expectedExtra(const std::vector<Extra>& extras,
                           const OptionalText& request) {
  std::optional<VersionRequest> wanted;
  if (request) {
    wanted = VersionRequest::parse(*request);
    if (!wanted) return std::nullopt;
  }
  const Extra* best = nullptr;
  for (const Extra& extra : extras) {
    if (extra.stale || (wanted && !wanted->matches(extra.version))) continue;
    if (wanted) FUZZ_CHECK(extra.version, "an unknown version matched a request");
    if (!best || (extra.version && (!best->version ||
                                    compareVersions(*extra.version, *best->version) > 0)))
      best = &extra;
  }
  if (!best) return std::nullopt;
  return executableFor(best->home);
}

struct Model {
  bool exits = false;
  std::string version;
};

}  // namespace
}  // namespace tarvik

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvik;
  using namespace tarvik::fuzz;
  std::vector<std::string> lines =
      split(std::string(reinterpret_cast<const char*>(data), size), '\n');
  if (lines.size() < 3) return 0;
  if (lines.size() > 40) lines.resize(40);
  FakePlatform os;
  Session session(os);
  const std::string& flags = lines[0];
  options().vistaOrLater = flags.find('v') != std::string::npos;
  options().debugMode = flags.find('d') != std::string::npos;
  options().quietMode = flags.find('q') != std::string::npos;
  const bool noRuntimeKey = flags.find('m') != std::string::npos;

  FakeRegistryKey runtimes;
  runtimes.failCount = flags.find('c') != std::string::npos;
  if (lines[2] != "-") runtimes.values["CurrentVersion"] = lines[2];
  std::vector<std::string> enumerable;  // what a successful enumeration sees
  std::vector<Extra> extras;
  for (size_t i = 3; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '@') {
      Extra extra;
      extra.stale = line.size() > 1 && line[1] == '!';
      std::string release = line.substr(extra.stale ? 2 : 1);
      for (char& c : release)
        if (c == '|') c = '\n';
      const std::string name = "r" + std::string(extras.size() + 1, 'x');
      extra.home = "C:\\New\\" + name;
      os.registry["SOFTWARE\\JavaSoft\\JDK"].subkeys.push_back(name);
      os.registry["SOFTWARE\\JavaSoft\\JDK\\" + name].values["JavaHome"] = extra.home;
      os.files[extra.home + "\\release"] = release;
      if (!extra.stale) {
        os.files[extra.home + "\\bin\\javaw.exe"] = "MZ";
        os.files[extra.home + "\\bin\\java.exe"] = "MZ";
      }
      extra.version = releaseVersion(release);
      if (extra.version && versionNumbers(*extra.version).empty()) extra.version.reset();
      extras.push_back(extra);
      continue;
    }
    const size_t colon = line.find(':');
    const std::string marks = colon == std::string::npos ? "" : line.substr(0, colon);
    const std::string name = colon == std::string::npos ? line : line.substr(colon + 1);
    auto has = [&marks](char mark) { return marks.find(mark) != std::string::npos; };
    if (!has('x')) {
      const uint32_t index = static_cast<uint32_t>(runtimes.subkeys.size());
      runtimes.subkeys.push_back(name);
      if (has('!'))
        runtimes.failEnumAt.insert(index);
      else
        enumerable.push_back(name);
    }
    if (has('-')) continue;
    FakeRegistryKey& version = os.registry[RUNTIMES + "\\" + name];
    if (has('L'))
      version.values["JavaHome"] = std::string(8192, 'L');
    else if (!has('h'))
      version.values["JavaHome"] = homeOf(name);
    // Only names that are a home's plain last folder: the other sources
    // would trim a trailing separator or quotes, and no file has a wildcard.
    if (has('i') && !has('L') && !has('h') && !name.empty() &&
        name.find_first_of("*?\"/\\") == std::string::npos &&
        name.find('\0') == std::string::npos) {
      os.files[homeOf(name) + "\\bin\\javaw.exe"] = "MZ";
      os.files[homeOf(name) + "\\bin\\java.exe"] = "MZ";
    }
  }
  if (!noRuntimeKey) os.registry[RUNTIMES] = runtimes;
  if (runtimes.failCount) enumerable.clear();

  // Whether the runtime a version name leads to holds its executable.
  auto installed = [&os](const std::string& version) {
    return os.files.count(homeOf(version) + "\\bin\\javaw.exe") > 0;
  };
  // The installed JavaSoft runtimes are the first of the other sources.
  if (!noRuntimeKey) {
    std::vector<Extra> legacy;
    std::set<std::string> seen;
    for (const std::string& name : enumerable) {
      auto key = os.registry.find(RUNTIMES + "\\" + name);
      if (key == os.registry.end()) continue;
      auto value = key->second.values.find("JavaHome");
      if (name.size() > 255 || value == key->second.values.end()) continue;
      // The home as the sources trim it: "1./" is the home of "1." too.
      std::string home = value->second;
      while (home.size() > 1 && (home.back() == '\\' || home.back() == '/')) home.pop_back();
      if (!os.files.count(home + "\\bin\\javaw.exe") || !seen.insert(home).second) continue;
      Extra extra;
      extra.home = home;
      extra.version = versionOfName(name);
      if (extra.version && versionNumbers(*extra.version).empty())
        extra.version.reset();
      legacy.push_back(extra);
    }
    extras.insert(extras.begin(), legacy.begin(), legacy.end());
  }

  // The runtime a version name leads to, or nothing.
  auto runtimeOf = [&os](const std::string& version) -> OptionalText {
    const std::string path = RUNTIMES + "\\" + version;
    if (version.empty() || path.size() > 254 || path.find('\0') != std::string::npos)
      return std::nullopt;
    auto key = os.registry.find(path);
    if (key == os.registry.end()) return std::nullopt;
    auto home = key->second.values.find("JavaHome");
    if (home == key->second.values.end() || home->second.size() >= 8192)
      return std::nullopt;
    return executableFor(home->second);
  };


  // What the selection should settle on.
  const std::string requested = lines[1];
  Model model;
  model.version = requested;
  if (!requested.empty() && (requested.find('_') == std::string::npos ||
                             requested.find('+') != std::string::npos)) {
    if (noRuntimeKey) {
      model.exits = true;
    } else {
      const std::string family = requested.substr(0, requested.find('_'));
      int best = patchOf(requested);
      OptionalText bestName;
      for (const std::string& name : enumerable) {
        if (name.size() > 255 || name.compare(0, family.size(), family) != 0 ||
            name.find('_') == std::string::npos)
          continue;
        if (patchOf(name) >= best) {
          best = patchOf(name);
          bestName = name;
        }
      }
      if (best > 0) {
        if (bestName)
          model.version = *bestName;
        else
          model.exits = true;
      }
    }
  }

  settings().requiredJavaVersion = requested;
  OptionalText found;
  int exitCode = 0;
  bool exited = false;
  try {
    found = locateRequiredRuntime();
  } catch (const ProcessExit& end) {
    exited = true;
    exitCode = end.code;
  }
  // The JavaSoft road's own outcome, and what the other sources add where
  // it fails.
  const OptionalText legacy =
      requested.empty() || model.exits ? std::nullopt : runtimeOf(model.version);
  const bool legacyInstalled = legacy && installed(model.version);
  const OptionalText extra = requested.empty() || legacyInstalled
                                 ? std::nullopt
                                 : expectedExtra(extras, requested);
  FUZZ_CHECK(!exited || exitCode == 11, "selection ended with a code other than 11");
  FUZZ_CHECK(exited == (model.exits && !extra), "ended (or went on) against the rules");
  if (extra) {
    FUZZ_CHECK(found == extra, "not the newest fitting runtime of the other sources");
  } else if (!exited) {
    const std::string chosen = settings().requiredJavaVersion.value_or("");
    bool registered = false;
    for (const std::string& name : enumerable) registered |= name == chosen;
    FUZZ_CHECK(chosen == requested || registered,
               "chose a version that is neither requested nor registered");
    FUZZ_CHECK(chosen == model.version, "not the highest fitting patch level");
    FUZZ_CHECK(found == (requested.empty() ? std::nullopt : runtimeOf(chosen)),
               "the path is not the chosen version's runtime");
  }
  for (const RecordedBox& box : os.boxes)
    FUZZ_CHECK(box.text.size() <= 8191, "a message longer than its buffer");
  if (options().quietMode && !options().debugMode)
    FUZZ_CHECK(os.boxes.empty(), "a box in quiet mode");

  // The default runtime is the one CurrentVersion names, or nothing after
  // an "Error!" box.
  settings() = LaunchSettings();
  os.boxes.clear();
  OptionalText current = locateDefaultRuntime();
  OptionalText expected;
  auto value = runtimes.values.find("CurrentVersion");
  if (!noRuntimeKey && value != runtimes.values.end() && value->second.size() < 255)
    expected = runtimeOf(value->second);
  if (!expected || !installed(value->second)) {
    if (OptionalText other = expectedExtra(extras, std::nullopt)) expected = other;
  }
  FUZZ_CHECK(current == expected,
             "default runtime is not CurrentVersion's (or, uninstalled, another's)");
  if (!current)
    FUZZ_CHECK(!os.boxes.empty() && os.boxes.back().caption == "Error!",
               "a missing default runtime without its \"Error!\" box");
  return 0;
}
