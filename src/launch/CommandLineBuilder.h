// Builds the command line that starts the Java VM as a child process.
#ifndef TARVIK_LAUNCH_COMMANDLINEBUILDER_H
#define TARVIK_LAUNCH_COMMANDLINEBUILDER_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// The command that starts a child in both the forms systems take: the
// Windows command line, and the words the child's C runtime reads from it,
// the program first.
struct ChildCommand {
  std::string line;
  std::vector<std::string> words;

  // Text that is command-line syntax already (the Java path, a VM option):
  // it joins the line as it is and gives the words the C runtime reads in
  // it. The first piece of a command is its program.
  void addText(const std::string& text);
  // One word, between quotes on the line when `quoted`.
  void addWord(const std::string& word, bool quoted);
  // A blank between pieces, on the line only.
  void addBlank() { line += ' '; }
};

// The child's command, or nothing when no Java executable was found.
std::optional<ChildCommand> buildChildCommand();

// The whole command line of buildChildCommand().
std::optional<std::string> buildCommandLine();

// The class path entries without their double quotes (they only group a
// spaced `$` value), wildcard entries expanded when asked, joined with the
// class path separator: the class path as Java reads it.
std::string joinClassPathEntries(const std::vector<std::string>& entries,
                                 bool expandWildcards);

// joinClassPathEntries for a command line: between double quotes (escaped
// as for an argument) when an entry holds a blank or a tab.
std::string joinClassPath(const std::vector<std::string>& entries,
                          bool expandWildcards);

// Total physical memory in whole MiB; 0 when it cannot be read.
uint64_t physicalMemoryMiB();

// Whether a VM option of this name sets the heap limit itself ("-Xmx" in
// any letter case), so that no limit is computed.
bool setsHeapLimit(const std::string& vmParamName);

// "-Xmx<size>m" for `percentRam` percent of the physical memory, or an
// empty text when `percentRam` is not set (negative) or the physical memory
// cannot be read (a line on standard error says so).
std::string heapLimitOption(int32_t percentRam);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_COMMANDLINEBUILDER_H
