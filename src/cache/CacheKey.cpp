#include "cache/CacheKey.h"

#include <cstdint>

#include "LaunchSettings.h"
#include "support/Fnv64.h"
#include "support/LauncherFolder.h"
#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// Options by their beginning.
const char* const KEEP_CACHE_AWAY[] = {
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
};

const char* const CHANGE_CLASS_LOADING[] = {
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
const char* const CHANGE_HEAP[] = {
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

// A file's size and modification time, which change when it is replaced.
std::string factsText(const FileFacts& facts) {
  return std::to_string(facts.size) + " " + std::to_string(facts.modifiedSeconds) + "." +
         std::to_string(facts.modifiedNanoseconds);
}

template <size_t N>
bool beginsWithAny(const std::string& option, const char* const (&table)[N]) {
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
                                    const std::vector<std::string>& vmOptions) {
  Platform& os = platform();
  Fnv64 runtime;
  runtime.add(runtimeHome);
  // Two applications of one name in different folders are two
  // applications: neither takes the other's archive for a stale one of its
  // own.
  runtime.add(launcherFolder());
  Fnv64 application;
  application.add(releaseText);
  // Another build of the same release (a runtime replaced in place) is
  // another VM: it declines the archive of the one before.
  const std::string vm =
      runtimeHome + os.conventions().separator + os.conventions().jvmLibraries.front();
  if (const std::optional<FileFacts> facts = os.fileFacts(vm))
    application.add("vm " + factsText(*facts));
  // A cache folder copied from a machine of another processor: the VM's
  // code in the archive may use instructions this one lacks, and the VM
  // declines it silently.
  application.add("cpu " + os.processorIdentity());
  for (const std::string& entry : classPath) {
    application.add(entry);
    std::optional<FileFacts> facts = os.fileFacts(entry);
    if (!facts) {
      application.add("missing");
      continue;
    }
    if (facts->isDirectory) return std::nullopt;
    application.add(factsText(*facts));
  }
  application.add("options");
  for (const std::string& option : vmOptions)
    if (optionChangesClassLoading(option)) application.add(option);
  return CacheKey{launcherKeyPart() + runtime.hex().substr(0, 8),
                  application.hex()};
}

}  // namespace tarvik
