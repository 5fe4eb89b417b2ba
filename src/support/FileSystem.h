// Directory creation and wildcard expansion over the platform.
#ifndef TARVIK_SUPPORT_FILESYSTEM_H
#define TARVIK_SUPPORT_FILESYSTEM_H

#include <string>

namespace tarvik {

// Creates the directories of `path` one component after the other, never
// its first component; reports the first real failure on standard output.
void makeDirectories(const std::string& path);

// The matches of `pattern` joined with the class path
// separator (';' on Windows), each behind the text before
// the pattern's first '*'; the pattern itself when nothing matches.
// "." and ".." never match; a folder wildcard ("*", "lib/*", "lib\\*")
// matches the files ending in ".jar" or ".JAR" only.
std::string expandWildcard(const std::string& pattern);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_FILESYSTEM_H
