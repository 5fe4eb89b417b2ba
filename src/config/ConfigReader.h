// Reads configuration files line by line and applies each directive.
#ifndef TARVIK_CONFIG_CONFIGREADER_H
#define TARVIK_CONFIG_CONFIGREADER_H

#include <string>
#include <string_view>
#include <vector>

#include "LaunchSettings.h"
#include "os/Platform.h"

namespace tarvik {

// A `mainclass` that would reach Java as several words ends the launch.
constexpr int MAIN_CLASS_REFUSED_EXIT_CODE = 7;

// Reads and applies one configuration file; a file that cannot be opened is
// skipped silently, one that is no regular file or too large with a line
// on standard error. Always returns 0. `read`: the file's bytes where they
// were read already.
int readConfigFile(const std::string& path, std::optional<FileRead> read = std::nullopt);

// What a look through a configuration finds: the files it reads, `path`
// and those its `include` lines name, each once, as full paths (relative
// ones taken from `folder`, where the launch reads them), and the file its
// `outputFile` lines name last, as written. The lines are read as the
// launch reads them (`var` and `setenv` lines decide an include's name),
// but nothing is applied: the process's environment and the settings stay
// as they are, and nothing is said.
struct ConfigurationLook {
  std::vector<std::string> files;
  OptionalText outputFile;
};
ConfigurationLook lookThroughConfiguration(const std::string& path,
                                           const std::string& folder);

// The bytes of a configuration file: a regular file within the size a
// configuration may have, else nothing and why.
FileRead readConfigurationBytes(const std::string& path);
// Why a configuration file was not read, as a clause ("it is no regular
// file ...").
std::string readRefusalReason(ReadRefusal refusal);

// The keywords of every directive, in the order the reader tries them: the
// one list the sample file and the manual are checked against.
std::vector<std::string_view> directiveKeywords();

// Applies one non-empty line of a configuration file.
void parseDirectiveLine(const std::string& line);

// Adds one JVM parameter as a `vmparam` line gives it:
// `$` references are expanded (a spaced value is quoted) before the text is
// stored as its name and value. What a reference's value or a `%name%`
// value (the characters `fromValue` marks with '1') brings stays inside the
// word it stands in. A text of nothing but references to variables that are
// not set adds nothing (a line in the -log file says so).
void addVmParam(const std::string& text, const std::string& fromValue = {});

// Adds the JVM options that the environment variable `name` holds
// (`vmparamsFrom MAVEN_OPTS`), each one option; words that are no option or
// would name the main class are left out with a line on standard error.
// An unset or empty variable adds nothing.
void addVmParamsFrom(const std::string& name);
// The same for a -D word of the launcher's switches, which is one JVM
// option whatever it holds: a value with blanks is quoted for the command
// line, as a vmparam line would have it written.
void addVmParamWord(const std::string& word);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_CONFIGREADER_H
