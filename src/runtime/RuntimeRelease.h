// What a runtime's `release` file says of it.
//
// Every runtime since Java 9, and most Java 8 builds, carry a text file
// `release` in their home folder with a line such as
//   JAVA_VERSION="17.0.9"      or      JAVA_VERSION="1.8.0_392"
#ifndef TARVIK_RUNTIME_RUNTIMERELEASE_H
#define TARVIK_RUNTIME_RUNTIMERELEASE_H

#include <optional>
#include <string>

// releaseVersion(text), the JAVA_VERSION of a release file's text, is
// shared with the Linux backend's view of the installed runtimes.
#include "os/ReleaseFile.h"

namespace tarvik {

// The feature version of a version text: 8 for "1.8.0_392" (the old scheme
// reads 1.N as N), 17 for "17.0.9" and "17"; nothing when it does not start
// with a number.
std::optional<int> featureVersion(const std::string& version);

// The release file of the runtime whose home is `home`: a regular file of
// at most 1 MiB; nothing when there is none.
std::optional<std::string> readReleaseFile(const std::string& home);

// The version in the release file of the runtime whose home is `home`, read
// through the platform; nothing when there is no such file or line.
std::optional<std::string> readRuntimeVersion(const std::string& home);

// The home of a runtime from the path of its executable: the folder above
// the `bin` folder that holds it ("C:\jdk\bin\java.exe" gives "C:\jdk").
// Surrounding double quotes are ignored. Nothing when the executable is not
// in a folder named bin.
std::optional<std::string> runtimeHomeOfExecutable(const std::string& path);

// The home of a runtime from the path of its JVM library: the folder above
// the `lib` or `bin` folder that holds its `server` or `client` folder
// ("C:\jdk\bin\server\jvm.dll" gives "C:\jdk"). Nothing for a library
// elsewhere.
std::optional<std::string> runtimeHomeOfLibrary(const std::string& path);

// The JVM library of the runtime whose home is `home`: the first of the
// platform's library paths (server, then client) that exists there.
std::optional<std::string> jvmLibraryOfHome(const std::string& home);

}  // namespace tarvik

#endif  // TARVIK_RUNTIME_RUNTIMERELEASE_H
