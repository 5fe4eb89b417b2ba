// Reads configuration files line by line and applies each directive.
#ifndef TARVIK_CONFIG_CONFIGREADER_H
#define TARVIK_CONFIG_CONFIGREADER_H

#include <string>

namespace tarvik {

// Reads and applies one configuration file; a file that cannot be opened is
// skipped silently. Always returns 0.
int readConfigFile(const std::string& path);

// Applies one non-empty line of a configuration file.
void parseDirectiveLine(const std::string& line);

// Adds one JVM parameter as a `vmparam` line or a `-D` switch gives it:
// `$` references are expanded (a spaced value is quoted) before the text is
// stored as its name and value.
void addVmParam(const std::string& text);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_CONFIGREADER_H
