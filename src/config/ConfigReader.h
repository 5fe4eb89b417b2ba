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

}  // namespace tarvik

#endif  // TARVIK_CONFIG_CONFIGREADER_H
