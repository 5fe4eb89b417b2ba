// The commented sample configuration file written by `-sample`.
#ifndef TARVIK_CONFIG_SAMPLECONFIG_H
#define TARVIK_CONFIG_SAMPLECONFIG_H

namespace tarvik {

extern const char sampleConfigText[];
// The file -sample writes, in the current directory.
constexpr const char SAMPLE_CONFIG_NAME[] = "sample.config";

// Writes "sample.config" in the current directory; when it cannot be
// written whole, ends the process with exit code 1 and a line that says
// why, and leaves no file of that name.
void writeSampleConfig();

}  // namespace tarvik

#endif  // TARVIK_CONFIG_SAMPLECONFIG_H
