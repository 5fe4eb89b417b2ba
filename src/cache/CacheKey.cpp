#include "cache/CacheKey.h"

#include <cstdint>
#include <map>

#include "LaunchSettings.h"
#include "support/Fnv64.h"
#include "support/LauncherFolder.h"
#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// Options by their beginning. (The tables hold arrays, not pointers: a
// table of pointers is relocated at every start.)
const char KEEP_CACHE_AWAY[][32] = {
    "-Xshare:",
    "-XX:SharedArchiveFile",
    "-XX:ArchiveClassesAtExit",
    "-XX:+AutoCreateSharedArchive",
    "-XX:SharedClassListFile",
    "-XX:DumpLoadedClassList",
    "-XX:+RecordDynamicDumpInfo",
    "-XX:AOTCache",
    "-XX:AOTMode",
    "-XX:AOTConfiguration",
    "-XX:AOTCacheOutput",
    // The VM declines archived application classes with its own loader,
    // with a warning on standard output.
    "-Djava.system.class.loader",
    // Files of options, which the launcher does not read: one may hold a
    // sharing option, which the VM refuses beside a training, or change
    // what the key holds.
    "@",
    "-XX:VMOptionsFile",
    "-XX:Flags=",
};

const char CHANGE_CLASS_LOADING[][32] = {
    "-Xbootclasspath",
    "--module-path",
    "-p",
    "--upgrade-module-path",
    "--add-modules",
    "--limit-modules",
    "--patch-module",
    "--add-exports",
    "--add-opens",
    "--add-reads",
    "--enable-preview",
    "-javaagent",
    "-agentlib",
    "-agentpath",
    "-Xverify",
    "-XX:+UseCompressedOops",
    "-XX:-UseCompressedOops",
    "-XX:+UseCompressedClassPointers",
    "-XX:-UseCompressedClassPointers",
    "-XX:ObjectAlignmentInBytes",
    "-XX:+BytecodeVerification",
    "-XX:-BytecodeVerification",
};

// Options of the heap the VM maps an archive into: with other ones it
// starts without the archive, and says so only in its own log.
const char CHANGE_HEAP[][32] = {
    "-Xmx",
    "-XX:MaxHeapSize",
    "-XX:MaxRAM",
    "-XX:+UseSerialGC",
    "-XX:+UseParallelGC",
    "-XX:+UseG1GC",
    "-XX:+UseZGC",
    "-XX:+UseShenandoahGC",
    "-XX:+UseEpsilonGC",
};

// The parts of the key, each with what its change means to the user.
const struct {
  char name[16];
  char change[80];
} KEY_PART_CHANGES[] = {
    {"runtime", "the runtime's release changed"},
    {"vm", "the runtime's VM library changed (another build)"},
    {"cpu", "the processor changed (a cache from another machine)"},
    {"classpath", "the class path changed"},
    {"loading", "the VM options that change class loading changed"},
    {"heap", "the heap's or garbage collector's options changed"},
    {"variables",
     "the options of JAVA_TOOL_OPTIONS, JDK_JAVA_OPTIONS or _JAVA_OPTIONS changed"},
};

// A file's size and modification time, which change when it is replaced.
std::string factsText(const FileFacts& facts) {
  return std::to_string(facts.size) + " " + std::to_string(facts.modifiedSeconds) + "." +
         std::to_string(facts.modifiedNanoseconds);
}

template <size_t N, size_t W>
bool beginsWithAny(const std::string& option, const char (&table)[N][W]) {
  for (const char* prefix : table) {
    const std::string text = prefix;
    // "-p" stands alone; the others may carry their value after ":" or "=".
    if (text == "-p" ? option == text : startsWith(option, text)) return true;
  }
  return false;
}

}  // namespace

std::string launcherKeyPart() {
  Fnv64 launcher;
  launcher.add(launcherFolder());
  return launcher.hex().substr(0, 8);
}

bool isThisLaunchersKey(const std::string& key) {
  return startsWith(key, launcherKeyPart());
}

bool optionKeepsCacheAway(const std::string& option) {
  return beginsWithAny(option, KEEP_CACHE_AWAY);
}

bool optionChangesClassLoading(const std::string& option) {
  return beginsWithAny(option, CHANGE_CLASS_LOADING) || beginsWithAny(option, CHANGE_HEAP);
}

std::optional<CacheKey> cacheKeyFor(const std::string& runtimeHome,
                                    const std::string& releaseText,
                                    const std::vector<std::string>& classPath,
                                    const std::vector<std::string>& vmOptions,
                                    const std::vector<std::string>& variableOptions) {
  Platform& os = platform();
  Fnv64 runtime;
  runtime.add(runtimeHome);
  // Two applications of one name in different folders are two
  // applications: neither takes the other's archive for a stale one of its
  // own.
  runtime.add(launcherFolder());
  Fnv64 application;
  // Each part's own hash, for the line that says which changed.
  Fnv64 vmPart, cpuPart, classPathPart, loadingPart, heapPart, variablesPart;
  const auto add = [&application](Fnv64& part, const std::string& text) {
    application.add(text);
    part.add(text);
  };
  Fnv64 releasePart;
  add(releasePart, releaseText);
  // Another build of the same release (a runtime replaced in place) is
  // another VM: it declines the archive of the one before.
  const std::string vm =
      runtimeHome + os.conventions().separator + os.conventions().jvmLibraries.front();
  if (const std::optional<FileFacts> facts = os.fileFacts(vm))
    add(vmPart, "vm " + factsText(*facts));
  // A cache folder copied from a machine of another processor: the VM's
  // code in the archive may use instructions this one lacks, and the VM
  // declines it silently.
  add(cpuPart, "cpu " + os.processorIdentity());
  for (const std::string& entry : classPath) {
    add(classPathPart, entry);
    std::optional<FileFacts> facts = os.fileFacts(entry);
    if (!facts) {
      add(classPathPart, "missing");
      continue;
    }
    if (facts->isDirectory) return std::nullopt;
    add(classPathPart, factsText(*facts));
  }
  application.add("options");
  for (const std::string& option : vmOptions) {
    if (beginsWithAny(option, CHANGE_HEAP))
      add(heapPart, option);
    else if (optionChangesClassLoading(option))
      add(loadingPart, option);
  }
  for (const std::string& option : variableOptions)
    if (optionChangesClassLoading(option)) add(variablesPart, option);
  const struct {
    const char* name;
    const Fnv64& hash;
  } parts[] = {
      {KEY_PART_CHANGES[0].name, releasePart}, {KEY_PART_CHANGES[1].name, vmPart},
      {KEY_PART_CHANGES[2].name, cpuPart},     {KEY_PART_CHANGES[3].name, classPathPart},
      {KEY_PART_CHANGES[4].name, loadingPart}, {KEY_PART_CHANGES[5].name, heapPart},
      {KEY_PART_CHANGES[6].name, variablesPart},
  };
  std::string partsText;
  for (const auto& part : parts)
    partsText += std::string(part.name) + " " + part.hash.hex() + "\n";
  return CacheKey{launcherKeyPart() + runtime.hex().substr(0, 8),
                  application.hex(), partsText};
}

std::string keyChangeText(const std::string& before, const std::string& now) {
  std::map<std::string, std::string> old;
  for (const std::string& line : splitOn(before, '\n')) {
    const size_t space = line.find(' ');
    if (space != std::string::npos) old[line.substr(0, space)] = line.substr(space + 1);
  }
  std::string changed;
  for (const std::string& line : splitOn(now, '\n')) {
    const size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const auto found = old.find(line.substr(0, space));
    if (found == old.end()) return "the key changed";
    if (found->second == line.substr(space + 1)) continue;
    for (const auto& row : KEY_PART_CHANGES)
      if (line.compare(0, space, row.name) == 0)
        changed += (changed.empty() ? "" : "; ") + std::string(row.change);
  }
  return changed.empty() ? "the key changed" : changed;
}

}  // namespace tarvik
