// Finds the Java executable through the runtimes registered in the registry.
#ifndef TARVIK_RUNTIME_JRELOCATOR_H
#define TARVIK_RUNTIME_JRELOCATOR_H

#include <string>

#include "LaunchSettings.h"

namespace tarvik {

constexpr const char RUNTIME_REGISTRY_KEY[] =
    "SOFTWARE\\JavaSoft\\Java Runtime Environment";

// The executable of the runtime the registry names as current, or nothing
// after the failure has been shown.
OptionalText locateDefaultRuntime();

// The executable of the runtime `requiredJavaVersion` asks for, or nothing
// after the failure has been shown. May end the process (code 11).
OptionalText locateRequiredRuntime();

// For `javalib auto`: the JVM library of the runtime `javaPath` names, or
// of the one discovery chooses (which then becomes `javaPath`). Nothing
// after the failure for no runtime has been shown.
OptionalText locateJvmLibrary();

// Replaces `requiredJavaVersion` by the best registered match.
void selectRuntimeVersion();

// Shows the requirement message (unless quiet) and ends with code 11.
[[noreturn]] void failRuntimeRequirement(const std::string& caption);

}  // namespace tarvik

#endif  // TARVIK_RUNTIME_JRELOCATOR_H
