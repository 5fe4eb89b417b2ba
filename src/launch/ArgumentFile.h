// Java argument files: "java @file" reads its arguments from a file, from
// Java 9 on. They carry command lines longer than Windows takes.
#ifndef TARVIK_LAUNCH_ARGUMENTFILE_H
#define TARVIK_LAUNCH_ARGUMENTFILE_H

#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// The text of an argument file that gives Java exactly `words`: each word
// on a line of its own between double quotes, with a backslash, a double
// quote, a line feed, a carriage return, a tab and a form feed escaped as
// \\ \" \n \r \t \f. Other bytes stand as they are.
std::string argumentFileText(const std::vector<std::string>& words);

// Whether the runtime of this Java executable reads argument files: its
// release file names Java 9 or later. An unknown version does not.
bool runtimeReadsArgumentFiles(const std::string& javaPath);

// Where the launcher writes the argument file of its child: the temporary
// folder, named after the application and the launcher's process, so that
// a restart rewrites the same file.
std::string argumentFilePath();

// Writes `words` as an argument file at `path`, in the system's ANSI code
// page as Java's launcher reads it. Nothing when done, else the reason.
std::optional<std::string> writeArgumentFile(
    const std::string& path, const std::vector<std::string>& words);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_ARGUMENTFILE_H
