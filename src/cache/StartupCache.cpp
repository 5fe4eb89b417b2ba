#include "cache/StartupCache.h"

#include <algorithm>
#include <cstdint>

#include "LaunchSettings.h"
#include "cache/ArchiveHeader.h"
#include "cache/CacheKey.h"
#include "cache/CacheTrust.h"
#include "support/AppBaseName.h"
#include "os/Platform.h"
#include "os/ReleaseFile.h"
#include "runtime/RuntimeRelease.h"
#include "support/FileSystem.h"
#include "support/Message.h"
#include "support/LauncherFolder.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// The first runtime with dynamic archives, and the first that keeps its
// archive itself.
constexpr int FIRST_ARCHIVING_VERSION = 13;
constexpr int AUTO_CREATE_VERSION = 19;
// Archives kept for one application: the one in use and the newest others
// (other runtimes, say).
constexpr size_t MAX_ARCHIVES_PER_APPLICATION = 3;
// A file being written that has not changed for this long was left behind.
constexpr int64_t ABANDONED_SECONDS = 600;
// The room an archive needs: the VM ends the application with an error
// when it cannot write the archive whole.
constexpr uint64_t FREE_BYTES_FOR_ARCHIVE = 256ull << 20;

// Options that keep the VM's archive messages off the application's
// output, by the first version that knows them.
struct VersionedOption {
  int fromVersion;
  const char* text;
};
const VersionedOption QUIET_OPTIONS[] = {
    {13, "-Xshare:auto"},
    {13, "-Xlog:cds*=off"},
    {25, "-Xlog:aot*=off"},
};

enum class FileKind { Sized, Kept, Partial };

// One file of the cache, read from its name.
struct CacheFile {
  std::string path;
  std::string key;  // runtime and application hashes, 32 digits
  FileKind kind;
  uint64_t namedSize = 0;
};

// One file of the cache when the cache may use it.
bool trusted(const CacheFile& file) {
  return !distrustOfCacheFile(file.path);
}

bool allOf(const std::string& text, int (*test)(int)) {
  if (text.empty()) return false;
  for (unsigned char c : text)
    if (!test(c)) return false;
  return true;
}

int isDecimal(int c) { return c >= '0' && c <= '9'; }
int isLowerHex(int c) { return isDecimal(c) || (c >= 'a' && c <= 'f'); }

// The file of `name` if it is one of `app`'s, else nothing.
std::optional<CacheFile> readName(const std::string& folder,
                                  const std::string& app,
                                  const std::string& name) {
  if (!startsWith(name, app + ".")) return std::nullopt;
  const std::vector<std::string> parts =
      splitOn(name.substr(app.size() + 1), '.');
  if (parts.empty() || parts[0].size() != 32 || !allOf(parts[0], isLowerHex))
    return std::nullopt;
  CacheFile file{folder + platform().conventions().separator + name, parts[0],
                 FileKind::Kept};
  if (parts.size() == 2 && parts[1] == "jsa") return file;
  if (parts.size() != 3) return std::nullopt;
  if (parts[2] == "jsa" && allOf(parts[1], isDecimal) &&
      parts[1].size() < 20) {
    file.kind = FileKind::Sized;
    file.namedSize = std::stoull(parts[1]);
    return file;
  }
  const size_t dash = parts[1].find('-');
  if (parts[2] == "part" && dash != std::string::npos &&
      allOf(parts[1].substr(0, dash), isDecimal) &&
      allOf(parts[1].substr(dash + 1), isDecimal)) {
    file.kind = FileKind::Partial;
    return file;
  }
  return std::nullopt;
}

std::vector<CacheFile> allFilesOf(const std::string& folder,
                                  const std::string& app) {
  std::vector<CacheFile> found;
  Platform& os = platform();
  for (const std::string& name :
       os.findFiles(folder + os.conventions().separator + "*"))
    if (std::optional<CacheFile> file = readName(folder, app, name))
      found.push_back(*file);
  return found;
}

// The application's files that the cache may use; it leaves the others
// alone.
std::vector<CacheFile> filesOf(const std::string& folder,
                               const std::string& app) {
  std::vector<CacheFile> found = allFilesOf(folder, app);
  found.erase(std::remove_if(found.begin(), found.end(),
                             [](const CacheFile& file) { return !trusted(file); }),
              found.end());
  return found;
}

// Whether the JVM wrote the file to its end (and, for a sized name, whether
// it is still the size it was then).
bool isWhole(const CacheFile& file) {
  Platform& os = platform();
  std::optional<FileFacts> facts = os.fileFacts(file.path);
  if (!facts || facts->isDirectory) return false;
  if (file.kind == FileKind::Sized && facts->size != file.namedSize)
    return false;
  std::optional<std::string> start =
      os.readFileStart(file.path, ARCHIVE_HEADER_BYTES);
  return start && archiveLooksWhole(*start, facts->size);
}

bool isAbandoned(const std::string& path) {
  std::optional<FileFacts> facts = platform().fileFacts(path);
  return !facts ||
         platform().timeSeconds() - facts->modifiedSeconds > ABANDONED_SECONDS;
}

int64_t modifiedSeconds(const std::string& path) {
  std::optional<FileFacts> facts = platform().fileFacts(path);
  return facts ? facts->modifiedSeconds : 0;
}

std::string sizedName(const std::string& folder, const std::string& app,
                      const std::string& key, uint64_t size) {
  return folder + platform().conventions().separator + app + "." + key + "." +
         std::to_string(size) + ".jsa";
}

// The cache's reasons for standing aside go to the -log file only: the
// application's own output stays as it is.
void note(const std::string& text) {
  writeLogNote("Startup cache not used: " + text + "\n");
}

// The class path as the VM will read it: wildcards expanded, and relative
// entries against the folder the application runs in (the launcher's where
// the launcher hands them on as its folder's).
std::vector<std::string> classPathFiles(const LaunchSettings& s) {
  const PlatformConventions& conv = platform().conventions();
  std::vector<std::string> files;
  for (const std::string& written : s.classPath) {
    const std::string entry = withoutQuotes(fromLauncherFolder(written));
    const std::vector<std::string> expanded =
        entry.find('*') == std::string::npos
            ? std::vector<std::string>{entry}
            : splitOn(expandWildcard(entry), conv.classPathSeparator);
    for (const std::string& file : expanded) {
      if (s.workingDir && !isAbsolutePath(file, conv))
        files.push_back(*s.workingDir + conv.separator + file);
      else
        files.push_back(file);
    }
  }
  return files;
}

std::vector<std::string> vmOptionTexts(const LaunchSettings& s) {
  std::vector<std::string> texts;
  for (const std::string& name : s.vmParams) {
    auto value = s.vmParamValues.find(name);
    texts.push_back(value == s.vmParamValues.end() || value->second.empty()
                        ? name
                        : name + "=" + withoutSurroundingQuotes(value->second));
  }
  return texts;
}

// The archives and partial files of one application for one key.
class Shelf {
 public:
  Shelf(std::string folder, std::string app, const CacheKey& key)
      : folder_(std::move(folder)),
        app_(std::move(app)),
        runtime_(key.runtime),
        key_(key.runtime + key.application),
        files_(filesOf(folder_, app_)) {}

  // Removes what no launch will use again, moves whole partial files of
  // this key into place, and keeps the number of archives bounded.
  void tidy() {
    Platform& os = platform();
    std::vector<CacheFile> others;
    bool haveArchive = false;
    for (const CacheFile& file : files_) {
      if (file.kind == FileKind::Partial) {
        if (file.key == key_ && isWhole(file))
          promote(file.path);
        else if (isAbandoned(file.path))
          os.removeFile(file.path);
      } else if (file.key != key_ && startsWith(file.key, runtime_)) {
        // The same runtime with another class path or options: stale.
        os.removeFile(file.path);
      } else if (file.key != key_) {
        others.push_back(file);
      } else if (file.kind == FileKind::Sized) {
        // Two launches may each have moved an archive into place; one is
        // enough.
        if (!isWhole(file) || haveArchive)
          os.removeFile(file.path);
        else
          haveArchive = true;
      }
    }
    std::sort(others.begin(), others.end(),
              [](const CacheFile& a, const CacheFile& b) {
                return modifiedSeconds(a.path) > modifiedSeconds(b.path);
              });
    for (size_t i = MAX_ARCHIVES_PER_APPLICATION - 1; i < others.size(); ++i)
      os.removeFile(others[i].path);
    files_ = filesOf(folder_, app_);
  }

  // A whole archive of this key that the launcher checked (Java 13 to 18).
  std::optional<std::string> wholeArchive() const {
    for (const CacheFile& file : files_)
      if (file.key == key_ && file.kind == FileKind::Sized && isWhole(file))
        return file.path;
    return std::nullopt;
  }

  std::string keptArchive() const {
    return folder_ + platform().conventions().separator + app_ + "." + key_ +
           ".jsa";
  }

  std::string partialName() const {
    Platform& os = platform();
    return folder_ + os.conventions().separator + app_ + "." + key_ + "." +
           std::to_string(os.processId()) + "-" +
           std::to_string(os.timeSeconds()) + ".part";
  }

  // Gives a whole partial file its archive's name, unless an archive of
  // this key is there already.
  void promote(const std::string& partial) {
    Platform& os = platform();
    if (distrustOfCacheFile(partial)) return;
    if (wholeArchive()) {
      os.removeFile(partial);
      return;
    }
    std::optional<FileFacts> facts = os.fileFacts(partial);
    if (!facts) return;
    if (os.renameFile(partial, sizedName(folder_, app_, key_, facts->size)))
      files_ = filesOf(folder_, app_);
  }

 private:
  std::string folder_;
  std::string app_;
  std::string runtime_;
  std::string key_;
  std::vector<CacheFile> files_;
};

// Whether the VM may write an archive into the folder: it can make a file
// there, and the volume has room.
bool canWriteArchive(const std::string& folder, const std::string& probe) {
  Platform& os = platform();
  if (!os.createNewFile(probe)) {
    note("cannot create a file in " + folder);
    return false;
  }
  std::optional<uint64_t> free = os.freeDiskBytes(folder);
  if (!free || *free < FREE_BYTES_FOR_ARCHIVE) {
    os.removeFile(probe);
    note("less than " + std::to_string(FREE_BYTES_FOR_ARCHIVE >> 20) +
         " MiB free in " + folder);
    return false;
  }
  return true;
}

// The folder as the VM can be told it: java.exe and the VM read their
// options in the system's code page.
std::optional<std::string> folderTheVmReads(const std::string& folder) {
  Platform& os = platform();
  if (os.toAnsiCodePage(folder)) return folder;
  std::optional<std::string> shortForm = os.shortPathForm(folder);
  if (shortForm && os.toAnsiCodePage(*shortForm)) return shortForm;
  note("the system's code page cannot hold the path " + folder);
  return std::nullopt;
}

}  // namespace

std::vector<std::string> startupCacheOptions(const std::string& runtimeHome,
                                             bool dryRun) {
  const LaunchSettings& s = settings();
  if (!s.startupCache) return {};
  Platform& os = platform();
  const PlatformConventions& conv = os.conventions();

  const std::optional<std::string> release = readReleaseFile(runtimeHome);
  const std::optional<std::string> version =
      release ? releaseVersion(*release) : std::nullopt;
  const std::optional<int> feature =
      version ? featureVersion(*version) : std::nullopt;
  if (!feature || *feature < FIRST_ARCHIVING_VERSION) return {};

  const std::vector<std::string> userOptions = vmOptionTexts(s);
  for (const std::string& option : userOptions)
    if (optionKeepsCacheAway(option)) return {};
  if (!os.fileFacts(runtimeHome + conv.separator + conv.baseClassArchive)) {
    note("the runtime " + runtimeHome + " has no archive of its own classes");
    return {};
  }
  const std::optional<CacheKey> key =
      cacheKeyFor(runtimeHome, *release, classPathFiles(s), userOptions);
  if (!key) {
    note("the class path holds a folder; the VM archives JAR files only");
    return {};
  }

  const TrustedFolder place = trustedCacheFolder(!dryRun);
  std::optional<std::string> folder = place.path;
  if (!folder) {
    note(place.problem);
    return {};
  }
  if (!dryRun) folder = folderTheVmReads(*folder);
  if (!folder) return {};

  Shelf shelf(*folder, appBaseName(startup().exePath), *key);
  if (!dryRun) shelf.tidy();

  std::vector<std::string> vmOptions;
  for (const VersionedOption& option : QUIET_OPTIONS)
    if (*feature >= option.fromVersion) vmOptions.push_back(option.text);

  const std::string partial = shelf.partialName();
  if (*feature >= AUTO_CREATE_VERSION) {
    const std::string archive = shelf.keptArchive();
    if (!dryRun) {
      // A file the VM may not read: not the user's alone (left alone),
      // being written (left alone too), or damaged (removed, and made
      // again).
      const bool present = os.fileFacts(archive).has_value();
      if (present) {
        if (std::optional<std::string> why = distrustOfCacheFile(archive)) {
          note(*why);
          return {};
        }
      }
      if (present && !isWhole({archive, "", FileKind::Kept}) &&
          (!isAbandoned(archive) || !os.removeFile(archive)))
        return {};
      if (!canWriteArchive(*folder, partial)) return {};
      os.removeFile(partial);
    }
    vmOptions.push_back("-XX:+AutoCreateSharedArchive");
    vmOptions.push_back("-XX:SharedArchiveFile=" + archive);
    if (!dryRun) startup().archiveInUse = archive;
    return vmOptions;
  }

  if (std::optional<std::string> archive = shelf.wholeArchive()) {
    vmOptions.push_back("-XX:SharedArchiveFile=" + *archive);
    if (!dryRun) startup().archiveInUse = *archive;
    return vmOptions;
  }
  if (!dryRun) {
    if (!canWriteArchive(*folder, partial)) return {};
    startup().pendingArchive = partial;
  }
  vmOptions.push_back("-XX:ArchiveClassesAtExit=" + partial);
  return vmOptions;
}

void finishStartupCache() {
  StartupState& start = startup();
  if (start.pendingArchive.empty()) return;
  const std::string partial = start.pendingArchive;
  start.pendingArchive.clear();
  Platform& os = platform();
  const size_t cut = partial.find_last_of("/\\");
  const std::string folder = partial.substr(0, cut);
  const std::string app = appBaseName(start.exePath);
  std::optional<CacheFile> file =
      readName(folder, app, partial.substr(cut + 1));
  // The VM has ended: what it did not write whole, it never will.
  if (!file || !isWhole(*file)) {
    os.removeFile(partial);
    return;
  }
  Shelf(folder, app,
        CacheKey{file->key.substr(0, 16), file->key.substr(16)})
      .promote(partial);
}

void dropArchiveAfterCrash(uint32_t exitCode) {
  StartupState& start = startup();
  const std::string archive = start.archiveInUse;
  start.archiveInUse.clear();
  if (archive.empty()) return;
  for (const auto& range : platform().conventions().crashExitCodes) {
    if (exitCode < range.first || exitCode > range.second) continue;
    writeLogNote("Startup cache: " + archive +
                 " removed after the VM's crash (exit code " +
                 std::to_string(exitCode) + ")\n");
    platform().removeFile(archive);
    return;
  }
}

int clearStartupCache() {
  const TrustedFolder place = trustedCacheFolder(false);
  Platform& os = platform();
  if (!place.path) {
    // A folder the launcher never uses holds nothing of its cache.
    if (place.placed)
      os.writeStderr("Startup cache not cleared: " + place.problem + "\n");
    return 0;
  }
  if (!place.exists) return 0;
  // Applications of this name in other folders keep their archives.
  const std::string launcher = launcherKeyPart();
  int result = 0;
  for (const CacheFile& file :
       allFilesOf(*place.path, appBaseName(startup().exePath))) {
    if (!startsWith(file.key, launcher)) continue;
    if (std::optional<std::string> why = distrustOfCacheFile(file.path)) {
      os.writeStderr("Not removed: " + *why + "\n");
      result = CLEAR_CACHE_FAILED_EXIT_CODE;
      continue;
    }
    if (os.removeFile(file.path)) continue;
    os.writeStderr("Unable to remove " + file.path + "\n");
    result = CLEAR_CACHE_FAILED_EXIT_CODE;
  }
  return result;
}

}  // namespace tarvik
