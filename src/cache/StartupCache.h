// The startup cache: one class-data archive for each application and
// runtime, kept in the user's cache folder, which lets the JVM start from
// the application's classes already parsed and laid out.
//
// Files, in the cache folder, for an application "tool" and a key K (see
// CacheKey.h):
//   tool.K.<size>.jsa        an archive the launcher has found whole (Java
//                            13 to 18); its size is in its name, so a file
//                            cut short later is never named to the JVM
//   tool.K.jsa               the archive the JVM keeps itself (Java 19 on)
//   tool.K.<pid>-<time>.part what one launch's JVM writes at its exit
#ifndef TARVIK_CACHE_STARTUPCACHE_H
#define TARVIK_CACHE_STARTUPCACHE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

struct ResolvedLaunch;

// The launcher's exit code for -clearCache when a file could not be
// removed.
constexpr int CLEAR_CACHE_FAILED_EXIT_CODE = 1;

// The VM options that make this launch use the application's archive, or
// make it; none when `startupCache` is off, the runtime is older than Java
// 13 or of unknown version, or the archive can be neither used nor made
// (a line in the -log file says why). Stale archives of the application
// go. With `dryRun` (-o) nothing on disk changes.
std::vector<std::string> startupCacheOptions(const ResolvedLaunch& launch,
                                             bool dryRun);

// Once the VM of this launch has ended: the archive it wrote at its exit
// moves into place when whole, and goes when not.
void finishStartupCache();

// Once a child VM has ended with `exitCode`: when it died of a fault, the
// archive it started from goes, so that an archive damaged in place (its
// size unchanged) costs one launch, not every launch.
void dropArchiveAfterCrash(uint32_t exitCode);

// -clearCache: removes every file the cache holds for this launcher's
// application (not for one of the same name in another folder).
// 0, or CLEAR_CACHE_FAILED_EXIT_CODE when one stays (a line on standard
// error names it).
int clearStartupCache();

}  // namespace tarvik

#endif  // TARVIK_CACHE_STARTUPCACHE_H
