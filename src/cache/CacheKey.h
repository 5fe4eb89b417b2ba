// The key of an application's class-data archive: everything that makes an
// archive unusable when it changes.
#ifndef TARVIK_CACHE_CACHEKEY_H
#define TARVIK_CACHE_CACHEKEY_H

#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// Two hashes as 16 hexadecimal digits each: `runtime`, the launcher's part
// (launcherKeyPart) and 8 digits of the runtime's home and the launcher's
// folder; `application` of the runtime's `release` file and VM library
// (its size and modification time), the processor's identity, the class path
// (each entry with its size and modification time) and the VM options that
// change class loading.
struct CacheKey {
  std::string runtime;
  std::string application;
  // The parts of `application`, a line "<part> <hash>" each (the runtime's
  // release, the VM library, the processor, the class path, the options
  // that change class loading, those of the heap, those of the variables
  // of options), kept beside the archive to say later which changed.
  std::string parts;
};

// The first 8 digits of every key of the launcher in its folder: what
// keeps an application's archives apart from those of one of the same
// name in another folder, known without finding a runtime.
std::string launcherKeyPart();

// Whether `key` (of a file's name) is one of this launcher's.
bool isThisLaunchersKey(const std::string& key);

// Whether the user's VM option takes class-data sharing into its own hands
// or keeps the VM from using an archive, so the launcher adds nothing.
bool optionKeepsCacheAway(const std::string& option);

// Whether a VM option changes which classes load, or how, or the heap they
// are mapped into, so that an archive made without it does not fit.
bool optionChangesClassLoading(const std::string& option);

// The key, reading each class path entry's facts through the platform
// (`classPath`: the entries as the VM will find them; `vmOptions` the
// launch's own, `variableOptions` those of the variables of options).
// Nothing when an entry is a folder: the VM archives classes from JAR files
// only, and fails at exit on a folder that holds any.
std::optional<CacheKey> cacheKeyFor(const std::string& runtimeHome,
                                    const std::string& releaseText,
                                    const std::vector<std::string>& classPath,
                                    const std::vector<std::string>& vmOptions,
                                    const std::vector<std::string>& variableOptions);

// What changed between the parts of two keys, for the user ("the heap's or
// garbage collector's options changed"); "the key changed" when the parts
// of the older key are not known (no file, or one of another kind).
std::string keyChangeText(const std::string& before, const std::string& now);

}  // namespace tarvik

#endif  // TARVIK_CACHE_CACHEKEY_H
