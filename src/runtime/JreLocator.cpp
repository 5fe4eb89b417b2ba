#include "runtime/JreLocator.h"

#include <climits>
#include <cstdint>
#include <memory>

#include "os/Platform.h"
#include "runtime/RuntimeRelease.h"
#include "runtime/RuntimeSources.h"
#include "runtime/VersionRequest.h"
#include "support/Message.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// How the choice among the registered versions ended.
enum class Selection { Done, NoRuntimeKey, Incompatible };
// Replaces `requiredJavaVersion` by the best registered match; says how
// it failed instead of failing, so other sources can be tried first.
Selection chooseRegisteredVersion();
// Shows a failed selection's message and ends with code 11.
void failSelection(Selection selection);

// Sizes of the buffers the registry values and messages are read into.
constexpr size_t CURRENT_VERSION_CAPACITY = 255;
constexpr size_t JAVA_HOME_CAPACITY = 8192;
constexpr size_t SUBKEY_NAME_LIMIT = 255;
constexpr size_t KEY_PATH_LIMIT = 254;
constexpr size_t MESSAGE_BUFFER_SIZE = 255;
constexpr size_t HOME_MESSAGE_BUFFER_SIZE = 8192;

const char* const VALUE_CURRENT_VERSION = "CurrentVersion";
const char* const VALUE_JAVA_HOME = "JavaHome";

const char* const CAPTION_ACCESS_FAILED = "Error Accessing Registry!";
const char* const CAPTION_READ_FAILED = "Error Reading Registry!";
const char* const CAPTION_ERROR = "Error!";
const char* const CAPTION_NOT_FOUND = "Java Runtime Environment Not Found";
const char* const CAPTION_INCOMPATIBLE = "Incompatible JRE Version Found";
const char* const TEXT_CURRENT_VERSION = "Java Current Version";
const char* const TEXT_JAVA_HOME = "Java Home Directory";

// A message as a C buffer of `size` bytes would hold it.
std::string fitBuffer(const std::string& text, size_t size) {
  return text.size() < size ? text : text.substr(0, size - 1);
}

void debugErrorBox(const std::string& caption, const std::string& text) {
  if (options().debugMode) showErrorBox(caption, text);
}

// The C runtime's atoi without its undefined overflow: leading white
// space, an optional sign, the leading digits (0 when none); values beyond
// an int stop at its limits.
int leadingNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() &&
         (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const long long limit = negative ? -static_cast<long long>(INT_MIN)
                                   : static_cast<long long>(INT_MAX);
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > limit) value = limit;
  }
  return static_cast<int>(negative ? -value : value);
}

// The number after the first '_' of `text`, or 0 when it has none.
int patchLevelOf(const std::string& text) {
  size_t underscore = text.find('_');
  if (underscore == std::string::npos) return 0;
  return leadingNumber(text.substr(underscore + 1));
}

std::string versionKeyPath(const std::string& version) {
  return std::string(RUNTIME_REGISTRY_KEY) + "\\" + version;
}

// Opens a version subkey by its path. A path longer than the key buffer
// fails rather than being cut, since the cut path would name another key;
// an empty version names no subkey at all.
std::unique_ptr<RegistryKey> openVersionKey(const std::string& version) {
  const std::string path = versionKeyPath(version);
  if (version.empty() || path.size() > KEY_PATH_LIMIT ||
      path.find('\0') != std::string::npos)
    return nullptr;
  return platform().openRegistryKey(path);
}

// The executable below a runtime's home directory, quoted when the
// command line would otherwise split it (or always from Vista on).
std::string runtimeExecutable(const std::string& home) {
  const LauncherOptions& opts = options();
  const PlatformConventions& conv = platform().conventions();
  const bool quoted = home.find(' ') != std::string::npos || opts.vistaOrLater;
  std::string path;
  if (quoted) {
    debugBox("Adding double quotes around", home);
    path += '"';
  }
  path += home;
  path += conv.separator;
  path += "bin";
  path += conv.separator;
  path += opts.debugMode ? conv.consoleJava : conv.windowedJava;
  if (quoted) path += '"';
  return path;
}

// The executable of a chosen runtime, with its line on standard output
// (and its box in debug mode).
std::string chooseRuntime(const RuntimeCandidate& runtime) {
  const std::string chosen = runtime.version.value_or("(unknown version)") +
                             " at " + runtime.home + " from " + runtime.source;
  platform().writeStdout("runtime chosen: " + chosen + "\n");
  debugBox("Java Runtime Chosen", chosen);
  return runtimeExecutable(runtime.home);
}

// The request as a version rule; false when it names none, so that
// nothing fits it. No request fits every runtime.
bool parseRequest(const OptionalText& request,
                  std::optional<VersionRequest>& wanted) {
  if (!request) return true;
  wanted = VersionRequest::parse(*request);
  return wanted.has_value();
}

// The homes the configuration names come before every other source: the
// first that fits `request` (any, when there is none), in the order
// written.
OptionalText searchConfiguredHomes(const OptionalText& request) {
  if (settings().runtimeHomes.empty()) return std::nullopt;
  std::optional<VersionRequest> wanted;
  if (!parseRequest(request, wanted)) return std::nullopt;
  for (const RuntimeCandidate& candidate : findConfiguredHomes())
    if (!wanted || wanted->matches(candidate.version))
      return chooseRuntime(candidate);
  return std::nullopt;
}

// Where the registry road fails, the other sources get their turn before
// its failure is shown: the newest runtime that fits `request` (any
// runtime when there is none), or nothing.
OptionalText searchOtherSources(const OptionalText& request) {
  std::optional<VersionRequest> wanted;
  if (!parseRequest(request, wanted)) return std::nullopt;
  const std::vector<RuntimeCandidate> candidates =
      findRuntimeCandidates(!settings().inProcess());
  const RuntimeCandidate* best = nullptr;
  for (const RuntimeCandidate& candidate : candidates) {
    if (wanted && !wanted->matches(candidate.version)) continue;
    // Newer wins; among equals (and among unknown versions) the earlier
    // source; a known version beats an unknown one.
    if (!best || (candidate.version &&
                  (!best->version ||
                   compareVersions(*candidate.version, *best->version) > 0)))
      best = &candidate;
  }
  if (!best) return std::nullopt;
  return chooseRuntime(*best);
}

// A home the JavaSoft key names that cannot serve an in-process launch of
// `javalib auto` (it holds no JVM library) is passed over, as a key left
// behind; for a child it is taken as it always was.
bool keyHomeUnfit(const std::string& home) {
  return settings().javaLibAuto && !homeServesLaunch(home);
}

void showVersionNotFound(const std::string& version) {
  showMessage(CAPTION_NOT_FOUND,
              fitBuffer(applicationNameForMessages() +
                            " requires the Java Runtime Environment "
                            "version " +
                            version + ".",
                        MESSAGE_BUFFER_SIZE),
              false);
}

OptionalText failDefaultLookup(const std::string& caption,
                               const std::string& text,
                               const std::string& errorText) {
  if (OptionalText found = searchOtherSources(std::nullopt)) return found;
  debugErrorBox(caption, text);
  // Without a runtime nothing starts, so this one shows even when quiet.
  showErrorBox(CAPTION_ERROR, errorText);
  return std::nullopt;
}

}  // namespace

OptionalText locateDefaultRuntime() {
  if (OptionalText found = searchConfiguredHomes(std::nullopt)) return found;
  std::unique_ptr<RegistryKey> runtimes =
      platform().openRegistryKey(RUNTIME_REGISTRY_KEY);
  if (!runtimes)
    return failDefaultLookup(CAPTION_ACCESS_FAILED, RUNTIME_REGISTRY_KEY,
                             "No Java Installation Found");
  OptionalText current =
      runtimes->readString(VALUE_CURRENT_VERSION, CURRENT_VERSION_CAPACITY);
  if (!current)
    return failDefaultLookup("Error Reading Registry",
                             "Java Current Version Key",
                             "No Java Installation Found");
  std::unique_ptr<RegistryKey> version = openVersionKey(*current);
  if (!version)
    return failDefaultLookup(CAPTION_ACCESS_FAILED, TEXT_CURRENT_VERSION,
                             "No Java Installation (No Current Version) Found");
  OptionalText home = version->readString(VALUE_JAVA_HOME, JAVA_HOME_CAPACITY);
  if (!home)
    return failDefaultLookup(CAPTION_READ_FAILED, TEXT_JAVA_HOME,
                             "No Java Installation Home Directory Found");
  if (keyHomeUnfit(*home))
    return failDefaultLookup(CAPTION_READ_FAILED, TEXT_JAVA_HOME,
                             "No Java Installation Found");
  return runtimeExecutable(*home);
}

OptionalText locateRequiredRuntime() {
  LaunchSettings& s = settings();
  if (!s.requiredJavaVersion || s.requiredJavaVersion->empty())
    return std::nullopt;
  const std::string asked = *s.requiredJavaVersion;
  if (OptionalText found = searchConfiguredHomes(asked)) return found;
  if (asked.find('_') == std::string::npos ||
      asked.find('+') != std::string::npos) {
    const Selection selection = chooseRegisteredVersion();
    if (selection != Selection::Done) {
      if (OptionalText found = searchOtherSources(asked)) return found;
      failSelection(selection);
    }
  }

  const std::string version = *s.requiredJavaVersion;
  const std::string path = versionKeyPath(version);
  debugBox("JavaInstallRegPath", path);
  std::unique_ptr<RegistryKey> key = openVersionKey(version);
  if (!key) {
    if (OptionalText found = searchOtherSources(asked)) return found;
    debugErrorBox(CAPTION_ACCESS_FAILED, TEXT_CURRENT_VERSION);
    showVersionNotFound(version);
    return std::nullopt;
  }
  OptionalText home = key->readString(VALUE_JAVA_HOME, JAVA_HOME_CAPACITY);
  if (home && keyHomeUnfit(*home)) {
    key.reset();
    if (OptionalText found = searchOtherSources(asked)) return found;
    showVersionNotFound(version);
    return std::nullopt;
  }
  if (!home) {
    if (OptionalText found = searchOtherSources(asked)) return found;
    debugErrorBox(CAPTION_READ_FAILED, TEXT_JAVA_HOME);
    showMessage(CAPTION_ERROR,
                fitBuffer("No Java Home Directory Found for " + path + " ",
                          HOME_MESSAGE_BUFFER_SIZE),
                true);
    return std::nullopt;
  }
  key.reset();
  return runtimeExecutable(*home);
}

OptionalText locateJvmLibrary() {
  LaunchSettings& s = settings();
  if (!s.javaPath) s.javaPath = locateDefaultRuntime();
  if (!s.javaPath) return std::nullopt;
  const std::optional<std::string> home = runtimeHomeOfExecutable(*s.javaPath);
  if (OptionalText library = home ? jvmLibraryOfHome(*home) : std::nullopt)
    return library;
  showErrorBox(CAPTION_ERROR, "No Java Installation Found");
  return std::nullopt;
}

void selectRuntimeVersion() {
  failSelection(chooseRegisteredVersion());
}

namespace {

Selection chooseRegisteredVersion() {
  LaunchSettings& s = settings();
  if (!s.requiredJavaVersion || s.requiredJavaVersion->empty())
    return Selection::Done;
  Platform& os = platform();
  std::unique_ptr<RegistryKey> runtimes =
      os.openRegistryKey(RUNTIME_REGISTRY_KEY);
  if (!runtimes) return Selection::NoRuntimeKey;
  // A key that cannot count its subkeys is searched as one without any.
  const uint32_t count = runtimes->subkeyCount().value_or(0);

  // The whole required text takes part in the match: cutting it would
  // quietly ask for another family.
  const std::string required = *s.requiredJavaVersion;
  const std::string family = required.substr(0, required.find('_'));
  int best = patchLevelOf(required);
  OptionalText bestName;
  os.writeStdout("javaVersion=" + required + ", javaVer=" + family + "\n");

  for (uint32_t i = 0; i < count; ++i) {
    OptionalText name = runtimes->subkeyName(i);
    if (!name || name->size() > SUBKEY_NAME_LIMIT) continue;
    os.writeStdout("checking (" + std::to_string(uint64_t{i} + 1) + ") " +
                   *name + "\n");
    if (!startsWith(*name, family)) continue;
    os.writeStdout("found correct java version " + *name +
                   ". checking patch level\n");
    if (name->find('_') == std::string::npos) {
      os.writeStdout("No patch level found in " + *name + "\n");
      continue;
    }
    const int patch = patchLevelOf(*name);
    os.writeStdout("checking patch level " + std::to_string(patch) +
                   " against " + std::to_string(best) + "\n");
    // An equal level wins too, so ties go to the last one enumerated.
    if (patch >= best) {
      best = patch;
      bestName = *name;
      os.writeStdout("found latest java version " + *name + "\n");
    }
  }
  runtimes.reset();

  if (best <= 0) return Selection::Done;
  if (!bestName) return Selection::Incompatible;
  s.requiredJavaVersion = *bestName;
  return Selection::Done;
}

void failSelection(Selection selection) {
  if (selection == Selection::NoRuntimeKey) {
    debugErrorBox(CAPTION_ACCESS_FAILED, TEXT_CURRENT_VERSION);
    failRuntimeRequirement(CAPTION_NOT_FOUND);
  }
  if (selection == Selection::Incompatible)
    failRuntimeRequirement(CAPTION_INCOMPATIBLE);
}

}  // namespace

void failRuntimeRequirement(const std::string& caption) {
  const std::string text =
      applicationNameForMessages() +
      " requires the Java Runtime Environment version " +
      settings().requiredJavaVersion.value_or("(null)") + "\n.";
  showMessage(caption, fitBuffer(text, MESSAGE_BUFFER_SIZE), false);
  exitLauncher(11);
}

}  // namespace tarvik
