// Java argument files: "java @file" reads its arguments from a file, from
// Java 9 on. They carry command lines longer than Windows takes.
#ifndef TARVIK_LAUNCH_ARGUMENTFILE_H
#define TARVIK_LAUNCH_ARGUMENTFILE_H

#include <optional>
#include <string>
#include <vector>

#include "os/Platform.h"

namespace tarvik {

// The text of an argument file that gives Java exactly `words`: each word
// on a line of its own between double quotes, with a backslash, a double
// quote, a line feed, a carriage return, a tab and a form feed escaped as
// \\ \" \n \r \t \f. Other bytes stand as they are.
std::string argumentFileText(const std::vector<std::string>& words);

// Whether the runtime of this Java executable reads argument files: its
// release file names Java 9 or later. An unknown version does not.
bool runtimeReadsArgumentFiles(const std::string& javaPath);

// Writes `words` as a new argument file in the temporary folder, in the
// system's ANSI code page as Java's launcher reads it, and sets `path` to
// it. The file has a name nobody can guess (<application>-<16 hex
// digits>.args), is readable by the user alone where the system allows it,
// and is never a file or link that was there before: a taken name gives
// way to another. Nothing when done, else the reason (a file that was
// created is removed again).
std::optional<std::string> writeArgumentFile(
    const std::vector<std::string>& words, std::string& path);

// How a child's words get past the system's bounds.
struct ArgumentFileRoute {
  std::optional<std::string> file;     // the argument file `start` now names
  std::optional<std::string> refusal;  // why the child cannot be started
};

// The one road of a child's words to the system: a command line over the
// system's limit (`line`, as the child gets it) goes through an argument
// file or is refused; a word over the system's bound for one word goes
// through an argument file where the runtime reads one, and otherwise to
// the system, which judges it as ever.
ArgumentFileRoute routeThroughArgumentFile(ChildStart& start, const std::string& line,
                                           const std::string& javaPath);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_ARGUMENTFILE_H
