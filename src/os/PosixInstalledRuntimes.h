// Registry keys made from the Java runtimes installed on a Linux machine, so
// that the default runtime and `javaVersion` work with no set-up.
//
// Each runtime directory below /usr/lib/jvm (or $TARVIK_JVM_DIR) with a
// `release` file becomes subkeys of "SOFTWARE\JavaSoft\Java Runtime
// Environment", each with the value "JavaHome":
//
//   JAVA_VERSION="17.0.15"   ->  17.0.15, 17, 17_15
//   JAVA_VERSION="1.8.0_362" ->  1.8.0_362, 1.8
//   JAVA_VERSION="21"        ->  21, 21_0
//
// A family ("17", "1.8") names the newest runtime of that family. The
// "family_update" form lets `javaVersion 17_10+` ask for update 10 or later.
// "CurrentVersion" names the runtime that `java` on PATH resolves to, else
// the newest one.
#ifndef TARVIK_OS_POSIXINSTALLEDRUNTIMES_H
#define TARVIK_OS_POSIXINSTALLEDRUNTIMES_H

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/Platform.h"
#include "os/ReleaseFile.h"

namespace tarvik {

constexpr const char JVM_DIR_VARIABLE[] = "TARVIK_JVM_DIR";
constexpr const char DEFAULT_JVM_DIR[] = "/usr/lib/jvm";

struct InstalledRuntime {
  std::string home;
  std::string version;  // JAVA_VERSION of its release file
};

// The subkey names a runtime of `version` is registered under.
std::vector<std::string> subkeysForVersion(const std::string& version);

// True when version `a` is older than `b` (numeric parts compared).
bool olderVersion(const std::string& a, const std::string& b);

class InstalledRuntimeRegistry {
 public:
  // `current` is the home of the runtime `java` on PATH resolves to.
  InstalledRuntimeRegistry(const std::vector<InstalledRuntime>& runtimes,
                           const std::string& current);

  // The runtimes of this machine.
  static InstalledRuntimeRegistry discover();

  std::unique_ptr<RegistryKey> open(const std::string& keyPath) const;

 private:
  struct Key {
    std::map<std::string, std::string> values;
    std::vector<std::string> subkeys;
  };
  std::map<std::string, Key> keys_;
};

}  // namespace tarvik

#endif  // TARVIK_OS_POSIXINSTALLEDRUNTIMES_H
