// Dynamic libraries loaded as Java's own launcher loads its JVM.
#ifndef TARVIK_OS_WIN32LIBRARY_H
#define TARVIK_OS_WIN32LIBRARY_H

#include <string>
#include <vector>

namespace tarvik {

// The library with its dependencies looked for in its own folder, in
// `dependencyFolders` and in the system's folders; null when it cannot be
// loaded so, also for a bare name or a system without these search flags.
void* win32LoadLibraryWithDependenciesIn(
    const std::string& path, const std::vector<std::string>& dependencyFolders);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32LIBRARY_H
