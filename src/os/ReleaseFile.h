// The text of a Java runtime's `release` file.
//
// Every runtime since Java 9, and most Java 8 builds, carry a text file
// `release` in their home folder with a line such as
//   JAVA_VERSION="17.0.9"      or      JAVA_VERSION="1.8.0_392"
// Both the installed-runtime view of the Linux backend and the runtime
// search of the launcher read it, so it is parsed here, once.
#ifndef TARVIK_OS_RELEASEFILE_H
#define TARVIK_OS_RELEASEFILE_H

#include <optional>
#include <string>

namespace tarvik {

// The JAVA_VERSION of a release file's text, without its quotes, or nothing.
std::optional<std::string> releaseVersion(const std::string& releaseText);

}  // namespace tarvik

#endif  // TARVIK_OS_RELEASEFILE_H
