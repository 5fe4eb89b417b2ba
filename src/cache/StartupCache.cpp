#include "cache/StartupCache.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "LaunchSettings.h"
#include "cache/ArchiveHeader.h"
#include "cache/CacheKey.h"
#include "cache/CacheTrust.h"
#include "cache/VmOutputLog.h"
#include "launch/ArgumentFile.h"
#include "launch/CommandLineBuilder.h"
#include "launch/ResolvedLaunch.h"
#include "launch/JavaLauncherOptions.h"
#include "launch/WindowsCommandLine.h"
#include "support/AppBaseName.h"
#include "os/Platform.h"
#include "os/ReleaseFile.h"
#include "runtime/RuntimeRelease.h"
#include "support/FileSystem.h"
#include "support/LauncherFiles.h"
#include "support/Message.h"
#include "support/LauncherFolder.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// How the cache works on a runtime, by the first version that works so:
// a dynamic archive the VM writes at its exit, one the VM keeps itself,
// and the ahead-of-time cache, made from what a training run records.
enum class CacheMethod { None, ArchiveAtExit, KeptArchive, AotCache };
const struct {
  int fromVersion;
  CacheMethod method;
} METHODS_BY_VERSION[] = {
    {13, CacheMethod::ArchiveAtExit},
    {19, CacheMethod::KeptArchive},
    {25, CacheMethod::AotCache},
};

CacheMethod methodFor(int feature) {
  CacheMethod method = CacheMethod::None;
  for (const auto& row : METHODS_BY_VERSION)
    if (feature >= row.fromVersion) method = row.method;
  return method;
}

// Archives kept for one application: the one in use and the newest others
// (other runtimes, say).
constexpr size_t MAX_ARCHIVES_PER_APPLICATION = 3;
// A file being written that has not changed for this long was left behind.
constexpr int64_t ABANDONED_SECONDS = 600;
// The room an archive needs: the VM ends the application with an error
// when it cannot write the archive whole.
constexpr uint64_t FREE_BYTES_FOR_ARCHIVE = 256ull << 20;

// The VM refuses the ahead-of-time cache's options beside any -Xshare.
constexpr int NO_SHARE_OPTION_FROM = 25;

// Options that keep the VM's archive messages off the application's
// output, from the first version that knows them up to (not including)
// `beforeVersion` (0: no end). (The tables of this file hold their texts
// as arrays, not pointers: a table of pointers is relocated at every start.)
struct VersionedOption {
  int fromVersion;
  int beforeVersion;
  char text[24];
};
const VersionedOption QUIET_OPTIONS[] = {
    {13, NO_SHARE_OPTION_FROM, "-Xshare:auto"},
    {13, 0, "-Xlog:cds*=off"},
    {25, 0, "-Xlog:aot*=off"},
};

// The options of a table that the runtime of this feature version takes.
template <size_t N>
void appendVersioned(const VersionedOption (&table)[N], int feature,
                     std::vector<std::string>& options) {
  for (const VersionedOption& option : table)
    if (feature >= option.fromVersion &&
        (option.beforeVersion == 0 || feature < option.beforeVersion))
      options.push_back(option.text);
}

// What a training run records beyond the classes, by the runtimes known to
// take the option. A Java 25 training keeps no method profiles: replayed at
// every start, they have the VM compile early what one run (the first
// launch, however long) compiled, which cost Rhino and Groovy 6 to 10 per
// cent of their start's processor time and saved them no wall time. Newer
// runtimes keep the VM's default until their options are known.
const VersionedOption TRAINING_RECORDS[] = {
    {25, 26, "-XX:-AOTRecordTraining"},
};

// A training run writes a line of its own on the VM's console at its end,
// which only hiding that console keeps off the application's output; the
// console's text goes to a log the launcher shows once the VM has ended.
// Options that print on the same console, or move it, keep the training
// away.
const char TRAINING_KEEPS_AWAY[][24] = {
    "-XX:+Print",          "-XX:+DisplayVMOutput", "-XX:-DisplayVMOutput",
    "-XX:+LogVMOutput",    "-XX:-LogVMOutput",     "-XX:LogFile",
    "-XX:+DisplayVMOutputTo",
};

// A cache damaged in place, its size and time unchanged (a disk's own
// fault), makes the VM die as it maps it. A child that dies so costs one
// launch: the launcher sees the crash and removes the cache. A VM run
// in-process takes the launcher along, and every launch after it, so
// there the VM checks the cache's checksums (written as it is made) as it
// maps it, and runs without a cache that fails them; in child mode the
// check would cost a tenth of what the cache saves.
const char VERIFIED_CACHE_OPTION[] = "-XX:+VerifySharedSpaces";

// How long the launcher waits for the VM to make an ahead-of-time cache
// from a training's configuration (a second or two for most applications).
constexpr int64_t AOT_CACHE_MAKING_MILLIS = 120000;

enum class FileKind { Sized, Kept, Partial, Training, TrainingLog, Verdict, KeyParts };

// The parts of an archive's key, "<app>.<key>.key" beside it: what tells a
// later launch with another key which part changed.
constexpr char KEY_PARTS_ENDING[] = "key";
// The most of such a file the launcher reads.
constexpr uint64_t MAX_KEY_PARTS_BYTES = 4096;

// What a launch found out about an application and runtime, kept as an
// empty file "<app>.<key>.<ending>" until the key changes; the cache stands
// aside for the key meanwhile, with the line's reason.
const struct {
  char ending[8];
  char reason[48];
} VERDICTS[] = {
    {"failed", "the VM could not make its ahead-of-time cache"},
};

// One file of the cache, read from its name.
struct CacheFile {
  std::string path;
  std::string key;  // runtime and application hashes, 32 digits
  FileKind kind;
  uint64_t namedSize = 0;
  // An ahead-of-time cache's name holds its modification time too.
  std::optional<int64_t> namedTime;
  // "jsa" or "aot" for a sized archive; the verdict's ending.
  std::string ending;
};

// The endings of the files one launch's VM writes, by its kind.
const struct {
  char ending[8];
  FileKind kind;
} LAUNCH_FILE_ENDINGS[] = {
    {"part", FileKind::Partial},
    {"aotconf", FileKind::Training},
    {"vmlog", FileKind::TrainingLog},
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
                 FileKind::Kept, 0, std::nullopt, ""};
  if (parts.size() == 2 && parts[1] == "jsa") return file;
  if (parts.size() == 2) {
    if (parts[1] == KEY_PARTS_ENDING) {
      file.kind = FileKind::KeyParts;
      return file;
    }
    for (const auto& verdict : VERDICTS) {
      if (parts[1] != verdict.ending) continue;
      file.kind = FileKind::Verdict;
      file.ending = verdict.ending;
      return file;
    }
    return std::nullopt;
  }
  if (parts.size() != 3) return std::nullopt;
  const size_t dash = parts[1].find('-');
  if (parts[2] == "jsa" && allOf(parts[1], isDecimal) && parts[1].size() < 20) {
    file.kind = FileKind::Sized;
    // (The digits fit; std::stoull would take strtoull's address, which
    // the loader then binds at every start.)
    file.namedSize = std::strtoull(parts[1].c_str(), nullptr, 10);
    file.ending = parts[2];
    return file;
  }
  if (parts[2] == "aot" && dash != std::string::npos && dash < 20 &&
      parts[1].size() - dash < 20 && allOf(parts[1].substr(0, dash), isDecimal) &&
      allOf(parts[1].substr(dash + 1), isDecimal)) {
    file.kind = FileKind::Sized;
    file.namedSize = std::strtoull(parts[1].substr(0, dash).c_str(), nullptr, 10);
    file.namedTime = std::strtoll(parts[1].substr(dash + 1).c_str(), nullptr, 10);
    file.ending = parts[2];
    return file;
  }
  if (dash == std::string::npos || !allOf(parts[1].substr(0, dash), isDecimal) ||
      !allOf(parts[1].substr(dash + 1), isDecimal))
    return std::nullopt;
  for (const auto& row : LAUNCH_FILE_ENDINGS) {
    if (parts[2] != row.ending) continue;
    file.kind = row.kind;
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
// it is still the size it was then and, where the name says, unchanged
// since).
bool isWhole(const CacheFile& file) {
  Platform& os = platform();
  std::optional<FileFacts> facts = os.fileFacts(file.path);
  if (!facts || facts->isDirectory) return false;
  if (file.kind == FileKind::Sized && facts->size != file.namedSize)
    return false;
  if (file.namedTime && facts->modifiedSeconds != *file.namedTime) return false;
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

// The name of a whole archive: its size, and for an ahead-of-time cache its
// modification time, which a change in place, its size kept, changes.
std::string sizedName(const std::string& folder, const std::string& app,
                      const std::string& key, const FileFacts& facts,
                      const std::string& ending) {
  std::string name = folder + platform().conventions().separator + app + "." +
                     key + "." + std::to_string(facts.size);
  if (ending == "aot") name += "-" + std::to_string(facts.modifiedSeconds);
  return name + "." + ending;
}

// A file of one launch's VM by its common name and its ending.
std::string launchFile(const std::string& base, const char* ending) {
  return base + "." + ending;
}

// The common name of one launch's files: the file's path without its
// ending.
std::string launchFilesBase(const std::string& path) {
  return path.substr(0, path.rfind('.'));
}

// The cache's reasons for standing aside go to the -log file only: the
// application's own output stays as it is.
void note(const std::string& text) {
  writeLogNote("Startup cache not used: " + text + "\n");
}

// The most of a training's VM log the launcher reads.
constexpr size_t MAX_VM_LOG_BYTES = 4u << 20;

// The class path as the VM will read it: wildcards expanded.
std::vector<std::string> classPathFiles(const ResolvedLaunch& launch) {
  const PlatformConventions& conv = platform().conventions();
  std::vector<std::string> files;
  for (const std::string& entry : launch.classPath) {
    const std::vector<std::string> expanded =
        entry.find('*') == std::string::npos
            ? std::vector<std::string>{entry}
            : splitOn(expandWildcard(entry), conv.classPathSeparator);
    files.insert(files.end(), expanded.begin(), expanded.end());
  }
  return files;
}

// The VM options of the environment. They count as configured ones: a
// sharing option there keeps the cache away (the VM refuses a training
// beside any -Xshare), one that prints on the VM's console keeps the
// training away, and one that changes class loading is in the key.
std::vector<std::string> environmentVmOptions() {
  std::vector<std::string> texts;
  for (const std::string& value : optionVariableValues()) {
    // A quote left open: the words as they stand.
    const std::optional<std::vector<std::string>> words =
        splitJavaOptionsVariable(value);
    const std::vector<std::string> read = words ? *words : splitWords(value);
    texts.insert(texts.end(), read.begin(), read.end());
  }
  return texts;
}

// The archives and partial files of one application for one key.
class Shelf {
 public:
  // `ending`: "jsa" for the archives of dynamic archiving, "aot" for
  // ahead-of-time caches.
  Shelf(std::string folder, std::string app, const CacheKey& key,
        std::string ending)
      : folder_(std::move(folder)),
        app_(std::move(app)),
        runtime_(key.runtime),
        key_(key.runtime + key.application),
        parts_(key.parts),
        ending_(std::move(ending)),
        files_(filesOf(folder_, app_)) {}

  // Removes what no launch will use again, moves whole partial files of
  // this key into place, and keeps the number of archives bounded.
  void tidy() {
    Platform& os = platform();
    std::vector<CacheFile> others;
    bool haveArchive = false;
    finishedTrainings_.clear();
    tellWhatChanged();
    // A copy: moving a file into place reads the folder anew.
    const std::vector<CacheFile> found = files_;
    for (const CacheFile& file : found) {
      if (file.kind == FileKind::Partial) {
        if (file.key == key_ && isWhole(file))
          promote(file.path);
        else if (isAbandoned(file.path))
          os.removeFile(file.path);
      } else if (file.kind == FileKind::Training ||
                 file.kind == FileKind::TrainingLog) {
        // A training's files stay while its VM may run: a configuration
        // appears at the VM's exit, and its log is closed after it.
        if (file.key == key_ && file.kind == FileKind::Training &&
            trainingEnded(file.path))
          finishedTrainings_.push_back(launchFilesBase(file.path));
        else if (isAbandoned(file.path))
          os.removeFile(file.path);
      } else if (file.key != key_ && startsWith(file.key, runtime_)) {
        // The same runtime with another class path or options: stale.
        os.removeFile(file.path);
      } else if (file.key != key_) {
        // An application of the same name in another folder keeps its
        // archives: its own launches count them.
        if (isThisLaunchersKey(file.key) && file.kind != FileKind::KeyParts)
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
    // The parts of a key no file of the application holds any more.
    for (const CacheFile& file : files_)
      if (file.key != key_) dropLoneKeyParts(file);
    files_ = filesOf(folder_, app_);
  }

  // Removes the parts of `file`'s key when it is they alone that stand
  // under the key: no archive was made of it.
  void dropLoneKeyParts(const CacheFile& file) const {
    if (file.kind != FileKind::KeyParts) return;
    if (std::none_of(files_.begin(), files_.end(), [&file](const CacheFile& other) {
          return other.key == file.key && other.kind != FileKind::KeyParts;
        }))
      platform().removeFile(file.path);
  }

  // Once this key's archive could not be made: its parts go with it.
  void dropKeyPartsWithoutArchive() {
    files_ = filesOf(folder_, app_);
    for (const CacheFile& file : files_)
      if (file.key == key_) dropLoneKeyParts(file);
  }

  // Keeps the key's parts beside its archive, once.
  void keepKeyParts() {
    const std::string path = ofThisKey(KEY_PARTS_ENDING);
    for (const CacheFile& file : files_)
      if (file.key == key_ && file.kind == FileKind::KeyParts) return;
    std::string refusal;
    LauncherFile made = createLauncherFile(LauncherFileKind::CacheKeyParts, path, &refusal);
    if (!made.file) return;
    made.file->write(parts_);
    // A file cut short says nothing specific later; none is better.
    if (!made.file->close()) platform().removeFile(path);
    files_ = filesOf(folder_, app_);
  }

  // A whole archive of this key that the launcher checked (Java 13 to 18,
  // and the ahead-of-time caches).
  std::optional<std::string> wholeArchive() const {
    for (const CacheFile& file : files_)
      if (file.key == key_ && file.kind == FileKind::Sized &&
          file.ending == ending_ && isWhole(file))
        return file.path;
    return std::nullopt;
  }

  // The files as they are now, after another launch's changes.
  void reread() { files_ = filesOf(folder_, app_); }

  // The reason of a verdict kept for this key.
  std::optional<std::string> verdict() const {
    for (const CacheFile& file : files_) {
      if (file.key != key_ || file.kind != FileKind::Verdict) continue;
      for (const auto& row : VERDICTS)
        if (file.ending == row.ending) return std::string(row.reason);
    }
    return std::nullopt;
  }

  // Keeps the verdict of `ending` for this key, and says why the cache
  // stands aside.
  void declare(const std::string& ending) {
    const std::string path = ofThisKey(ending);
    platform().createNewFile(path);
    files_ = filesOf(folder_, app_);
    if (std::optional<std::string> reason = verdict())
      note(*reason + " (remove " + path + " to try again)");
  }

  // Trainings of this key whose VM has ended, found by tidy().
  const std::vector<std::string>& finishedTrainings() const {
    return finishedTrainings_;
  }

  const std::string& folder() const { return folder_; }

  // The common name of this launch's files.
  std::string launchBase() const {
    Platform& os = platform();
    return ofThisKey(std::to_string(os.processId()) + "-" +
                     std::to_string(os.timeSeconds()));
  }

  std::string keptArchive() const { return ofThisKey("jsa"); }

  std::string partialName() const { return launchFile(launchBase(), "part"); }

  // Gives a whole partial file its archive's name, unless an archive of
  // this key is there already.
  void promote(const std::string& partial) {
    Platform& os = platform();
    if (distrustOfCacheFile(partial)) return;
    // Another launch may have moved one into place while this one's was
    // made (an ahead-of-time cache takes a second or more).
    files_ = filesOf(folder_, app_);
    if (wholeArchive()) {
      os.removeFile(partial);
      return;
    }
    std::optional<FileFacts> facts = os.fileFacts(partial);
    if (!facts) return;
    if (os.renameFile(partial,
                      sizedName(folder_, app_, key_, *facts, ending_)))
      files_ = filesOf(folder_, app_);
  }

 private:
  // When an archive of this runtime stands under another key, one line in
  // the -log file says which part of the key changed.
  void tellWhatChanged() const {
    std::optional<std::string> before;
    bool stale = false;
    for (const CacheFile& file : files_) {
      if (file.key == key_ || !startsWith(file.key, runtime_)) continue;
      if (file.kind == FileKind::Sized || file.kind == FileKind::Kept) stale = true;
      if (file.kind == FileKind::KeyParts)
        before = platform().readFileStart(file.path, MAX_KEY_PARTS_BYTES);
    }
    if (!stale) return;
    writeLogNote("Startup cache: made anew: " + keyChangeText(before.value_or(""), parts_) +
                 "\n");
  }

  // The path "<folder>/<app>.<key>.<rest>".
  std::string ofThisKey(const std::string& rest) const {
    return folder_ + platform().conventions().separator + app_ + "." + key_ + "." + rest;
  }

  // Whether the VM of a training has closed its log: its configuration is
  // written.
  static bool trainingEnded(const std::string& configuration) {
    std::optional<std::string> log = platform().readFileStart(
        launchFile(launchFilesBase(configuration), "vmlog"), MAX_VM_LOG_BYTES);
    return log && vmLogEnded(*log);
  }

  std::string folder_;
  std::string app_;
  std::string runtime_;
  std::string key_;
  std::string parts_;
  std::string ending_;
  std::vector<CacheFile> files_;
  std::vector<std::string> finishedTrainings_;
};

// Whether the folder's volume has room for an archive; a line says when
// not.
bool hasRoomForArchive(const std::string& folder) {
  std::optional<uint64_t> free = platform().freeDiskBytes(folder);
  if (free && *free >= FREE_BYTES_FOR_ARCHIVE) return true;
  note("less than " + std::to_string(FREE_BYTES_FOR_ARCHIVE >> 20) +
       " MiB free in " + folder);
  return false;
}

// Whether a new file `path` can be made in the folder (and is); a line says
// when not.
bool canCreateIn(const std::string& folder, const std::string& path) {
  if (platform().createNewFile(path)) return true;
  note("cannot create a file in " + folder);
  return false;
}

// Whether the VM may write an archive into the folder: it can make a file
// there, and the volume has room.
bool canWriteArchive(const std::string& folder, const std::string& probe) {
  Platform& os = platform();
  if (!canCreateIn(folder, probe)) return false;
  if (!hasRoomForArchive(folder)) {
    os.removeFile(probe);
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

// A file this launch's VM writes, read from its path, and the shelf of its
// key.
struct ShelvedFile {
  CacheFile file;
  Shelf shelf;
};

std::optional<ShelvedFile> shelvedFile(const std::string& path,
                                       const std::string& ending) {
  const size_t cut = path.find_last_of("/\\");
  const std::string folder = path.substr(0, cut);
  const std::string app = appBaseName(startup().exePath);
  std::optional<CacheFile> file = readName(folder, app, path.substr(cut + 1));
  if (!file) return std::nullopt;
  const CacheKey key{file->key.substr(0, 16), file->key.substr(16), ""};
  return ShelvedFile{*file, Shelf(folder, app, key, ending)};
}

bool keepsTrainingAway(const std::string& option) {
  for (const char* prefix : TRAINING_KEEPS_AWAY)
    if (startsWith(option, prefix)) return true;
  return false;
}

// The VM's second step: it makes the ahead-of-time cache from the
// configuration of the training `base`, into a partial file that moves
// into place when whole. The training's files go either way, except while
// the VM still works on them past the launcher's wait, or another launch
// makes the cache from them.
void makeAotCache(Shelf& shelf, const std::string& base,
                  const std::string& java,
                  const std::vector<std::string>& classPath) {
  Platform& os = platform();
  const std::string configuration = launchFile(base, "aotconf");
  const std::string part = launchFile(base, "part");
  const std::optional<std::string> start = os.readFileStart(configuration, 16);
  if (start && looksLikeAotConfiguration(*start) &&
      !distrustOfCacheFile(configuration)) {
    // The partial file, made first, tells a launch at the same time that
    // this one makes the cache; the VM replaces it. One left by a step
    // that never ended goes once abandoned.
    if (!os.createNewFile(part)) return;
    const std::vector<std::string> words = {
        "-XX:AOTMode=create", "-XX:AOTConfiguration=" + configuration,
        "-XX:AOTCache=" + part, VERIFIED_CACHE_OPTION, "-Xlog:cds*=off",
        "-Xlog:aot*=off", "-classpath", joinClassPathEntries(classPath, false)};
    ChildCommand command;
    command.addText(programText(java));
    for (const std::string& word : words) {
      command.addBlank();
      command.addWord(word, argumentNeedsQuotes(word));
    }
    ChildStart child;
    child.commandLine = command.line;
    child.arguments = command.words;
    child.discardOutput = true;
    // The VM finds the recorded class path's relative entries from the
    // folder the training's VM ran in.
    if (const OptionalText folder = applicationFolder()) child.workingDir = *folder;
    // A class path too long for one command line goes in an argument
    // file, as the training's did.
    const ArgumentFileRoute route = routeThroughArgumentFile(child, child.commandLine, java);
    const std::optional<std::string> argumentFile = route.file;
    ChildStartResult started;
    if (!route.refusal) started = os.startChild(child);
    else started.errorText = *route.refusal;
    if (!started.child) {
      if (argumentFile) os.removeFile(*argumentFile);
      // Every launch would train again for nothing.
      note("cannot start " + java + ": " + started.errorText);
      shelf.declare("failed");
    } else {
      const WaitResult waited = started.child->waitForExit(AOT_CACHE_MAKING_MILLIS);
      // Java's launcher reads the argument file first thing.
      if (argumentFile) os.removeFile(*argumentFile);
      if (waited == WaitResult::Running) return;
      // Ended from outside (Ctrl-C, a kill, the end of a session): the
      // training stays for the next launch to make the cache from.
      const std::vector<uint32_t>& interrupted = os.conventions().interruptedExitCodes;
      if (waited == WaitResult::Ended &&
          std::find(interrupted.begin(), interrupted.end(), started.child->exitCode()) !=
              interrupted.end()) {
        os.removeFile(part);
        return;
      }
      const CacheFile made{part, "", FileKind::Partial, 0, std::nullopt, ""};
      const bool madeIt =
          waited == WaitResult::Ended && started.child->exitCode() == 0;
      if (madeIt && isWhole(made)) {
        shelf.promote(part);
      } else {
        // Another launch may have moved the whole file into place. A
        // configuration gone meanwhile was taken away (-clearCache): the
        // VM then fails for want of it, which says nothing of the key.
        shelf.reread();
        if ((!madeIt || !shelf.wholeArchive()) && os.fileFacts(configuration)) {
          // A disk that filled meanwhile passes: the training stays for a
          // launch with room to make the cache from.
          if (!hasRoomForArchive(shelf.folder())) {
            os.removeFile(part);
            return;
          }
          shelf.declare("failed");
        }
      }
    }
  }
  os.removeFile(part);
  os.removeFile(configuration);
  os.removeFile(launchFile(base, "vmlog"));
}

// Java 25 on: the whole ahead-of-time cache of this key, or a training run
// that records what the cache is made from once the VM has ended.
std::vector<std::string> aotCacheOptions(Shelf& shelf, const std::string& folder,
                                         const std::vector<std::string>& userOptions,
                                         std::vector<std::string> vmOptions,
                                         const std::string& java,
                                         const std::vector<std::string>& classPath,
                                         int feature, bool dryRun) {
  if (std::optional<std::string> cache = shelf.wholeArchive()) {
    if (settings().inProcess()) vmOptions.push_back(VERIFIED_CACHE_OPTION);
    vmOptions.push_back("-XX:AOTCache=" + *cache);
    if (!dryRun) startup().archiveInUse = *cache;
    return vmOptions;
  }
  for (const std::string& option : userOptions) {
    if (!keepsTrainingAway(option)) continue;
    note("the option " + option +
         " writes on the VM's console, which a training run hides");
    return {};
  }
  const std::string base = shelf.launchBase();
  if (!dryRun) {
    // The training's configuration has the longest name of its files: a
    // folder that refuses it (a long application name) would have every
    // launch train for nothing.
    const std::string configuration = launchFile(base, "aotconf");
    if (!canCreateIn(folder, configuration)) return {};
    platform().removeFile(configuration);
    // The log is made here, as a new file: the VM opens the name it is
    // given as it finds it, and would write through a link planted there
    // (the configuration and the cache it replaces by new files).
    if (!canWriteArchive(folder, launchFile(base, "vmlog"))) return {};
    StartupState& start = startup();
    start.pendingTraining = base;
    start.trainingJava = java;
    start.trainingClassPath = classPath;
  }
  vmOptions.push_back("-XX:AOTMode=record");
  vmOptions.push_back("-XX:AOTConfiguration=" + launchFile(base, "aotconf"));
  vmOptions.push_back("-XX:+UnlockDiagnosticVMOptions");
  appendVersioned(TRAINING_RECORDS, feature, vmOptions);
  vmOptions.push_back("-XX:-DisplayVMOutput");
  vmOptions.push_back("-XX:+LogVMOutput");
  vmOptions.push_back("-XX:LogFile=" + launchFile(base, "vmlog"));
  return vmOptions;
}

// Once a training's VM has ended: what it would have shown on its console
// is shown now, on standard output as the VM shows it, and the cache is
// made from what it recorded.
void finishTraining() {
  StartupState& start = startup();
  const std::string base = start.pendingTraining;
  start.pendingTraining.clear();
  Platform& os = platform();
  const std::string log = launchFile(base, "vmlog");
  if (std::optional<std::string> logText = os.readFileStart(log, MAX_VM_LOG_BYTES)) {
    std::string shown = textTheVmShowed(*logText);
    if (!shown.empty()) {
      if (shown.back() != '\n') shown += '\n';
      // The VM's console is its standard output.
      os.writeStdout(shown);
      os.flushStdout();
    }
  }
  std::optional<ShelvedFile> training = shelvedFile(launchFile(base, "aotconf"), "aot");
  if (!training) return;
  makeAotCache(training->shelf, base, start.trainingJava, start.trainingClassPath);
  // A training that left nothing (a VM that could not start) takes the
  // parts of its key along.
  training->shelf.dropKeyPartsWithoutArchive();
}

}  // namespace

std::vector<std::string> startupCacheOptions(const ResolvedLaunch& launch,
                                             bool dryRun) {
  const LaunchSettings& s = settings();
  if (!s.startupCache) return {};
  const std::string& runtimeHome = launch.runtimeHome;
  Platform& os = platform();
  const PlatformConventions& conv = os.conventions();

  const std::optional<std::string> release = readReleaseFile(runtimeHome);
  const std::optional<std::string> version =
      release ? releaseVersion(*release) : std::nullopt;
  const std::optional<int> feature =
      version ? featureVersion(*version) : std::nullopt;
  const CacheMethod method = feature ? methodFor(*feature) : CacheMethod::None;
  if (method == CacheMethod::None) return {};

  std::vector<std::string> userOptions = vmOptionsInProcess(launch);
  const std::vector<std::string> variableOptions = environmentVmOptions();
  const std::vector<std::string> configuredOptions = userOptions;
  userOptions.insert(userOptions.end(), variableOptions.begin(), variableOptions.end());
  for (size_t i = 0; i < userOptions.size(); ++i) {
    if (!optionKeepsCacheAway(userOptions[i])) continue;
    // The configuration's own choice stands the cache aside silently.
    if (i >= configuredOptions.size())
      note("the option " + userOptions[i] + " of the environment's Java options");
    return {};
  }
  // A dynamic archive builds on the runtime's own; an ahead-of-time cache
  // holds the runtime's classes itself.
  if (method != CacheMethod::AotCache &&
      !os.fileFacts(runtimeHome + conv.separator + conv.baseClassArchive)) {
    note("the runtime " + runtimeHome +
         " has no archive of its own classes (a runtime made by jlink needs "
         "--generate-cds-archive)");
    return {};
  }
  const std::optional<CacheKey> key =
      cacheKeyFor(runtimeHome, *release, classPathFiles(launch), configuredOptions,
                  variableOptions);
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
  // The VM splits an archive's option at the class path's separator into
  // several files, and from Java 25 on expands %p and %t in the
  // ahead-of-time options' names: a name holding one is no file of the
  // launcher's to the VM.
  const std::string app = appBaseName(startup().exePath);
  const std::string names = *folder + conv.separator + app + ".";
  if (names.find(conv.classPathSeparator) != std::string::npos ||
      (method == CacheMethod::AotCache && names.find('%') != std::string::npos)) {
    note("the VM cannot be told of files named " + names + "…");
    return {};
  }

  Shelf shelf(*folder, app, *key,
              method == CacheMethod::AotCache ? "aot" : "jsa");
  if (!dryRun) shelf.tidy();
  if (std::optional<std::string> reason = shelf.verdict()) {
    note(*reason);
    return {};
  }

  std::vector<std::string> vmOptions;
  appendVersioned(QUIET_OPTIONS, *feature, vmOptions);

  if (method == CacheMethod::AotCache) {
    const std::string java = runtimeHome + conv.separator + conv.javaExecutable;
    // The class path as the training's VM was handed it: the VM's second
    // step checks it against the recorded one (wildcards left to Java's
    // launcher, relative entries read from the folder it runs in).
    const std::vector<std::string> classPath = handedClassPathEntries(launch);
    if (!dryRun) {
      shelf.keepKeyParts();
      for (const std::string& training : shelf.finishedTrainings())
        makeAotCache(shelf, training, java, classPath);
    }
    return aotCacheOptions(shelf, *folder, userOptions, vmOptions, java,
                           classPath, *feature, dryRun);
  }

  const std::string partial = shelf.partialName();
  if (method == CacheMethod::KeptArchive) {
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
      if (present && !isWhole({archive, "", FileKind::Kept, 0, std::nullopt, ""}) &&
          (!isAbandoned(archive) || !os.removeFile(archive)))
        return {};
      if (!canWriteArchive(*folder, partial)) return {};
      os.removeFile(partial);
      shelf.keepKeyParts();
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
    shelf.keepKeyParts();
    startup().pendingArchive = partial;
  }
  vmOptions.push_back("-XX:ArchiveClassesAtExit=" + partial);
  return vmOptions;
}

void finishStartupCache() {
  StartupState& start = startup();
  if (!start.pendingTraining.empty()) finishTraining();
  if (start.pendingArchive.empty()) return;
  const std::string partial = start.pendingArchive;
  start.pendingArchive.clear();
  std::optional<ShelvedFile> written = shelvedFile(partial, "jsa");
  // The VM has ended: what it did not write whole, it never will.
  if (!written || !isWhole(written->file)) {
    platform().removeFile(partial);
    if (written) written->shelf.dropKeyPartsWithoutArchive();
    return;
  }
  written->shelf.promote(partial);
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
  int result = 0;
  for (const CacheFile& file :
       allFilesOf(*place.path, appBaseName(startup().exePath))) {
    if (!isThisLaunchersKey(file.key)) continue;
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
