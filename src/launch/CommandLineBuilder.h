// Builds the command line that starts the Java VM as a child process.
#ifndef TARVIK_LAUNCH_COMMANDLINEBUILDER_H
#define TARVIK_LAUNCH_COMMANDLINEBUILDER_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

struct LaunchSettings;
struct NamedFile;
struct ResolvedLaunch;

// The command that starts a child in both the forms systems take: the
// Windows command line, and the words the child's C runtime reads from it,
// the program first.
struct ChildCommand {
  std::string line;
  std::vector<std::string> words;
  // Where the program ends on the line, and its words.
  size_t programEnd = 0;
  size_t programWords = 0;

  // Text that is command-line syntax already (the Java path, a VM option):
  // it joins the line as it is and gives the words the C runtime reads in
  // it. The first piece of a command is its program.
  void addText(const std::string& text);
  // The same for a text after the program whose words are known already
  // (those splitWindowsArguments gives for it).
  void addText(const std::string& text, const std::vector<std::string>& textWords);
  // One word, between quotes on the line when `quoted`.
  void addWord(const std::string& word, bool quoted);
  // A blank between pieces, on the line only.
  void addBlank() { line += ' '; }
};

// The program of a command line: the Java path, between double quotes when
// it holds a blank (else Windows may start "C:\Program.exe" for
// "C:\Program Files\..."), always one word.
std::string programText(const std::string& javaPath);

// The command as the child is handed it: after the program, which must stay
// as it is to be found, every character that the ANSI code page in which
// java.exe reads its command line does not hold exactly is '?'.
ChildCommand handedToChild(ChildCommand command);

// A configured VM option as the command line writes it, and the words the
// child reads in that text: the one road from the settings to the VM's
// options, for the child and for a VM run in-process alike.
struct VmOptionText {
  std::string text;
  std::vector<std::string> words;
  // What a VM run in-process is given: the words where the text was
  // written anew from them, else the text as one option, as it has always
  // been given it: the value without a pair of quotes around it (Java's
  // launcher's rules for "--add-opens X" apply to it).
  std::vector<std::string> inProcess;
};

// The configured VM options in list order (java.exe reads them in the ANSI
// code page), every relative path an option names made a path of the
// launcher's folder; `heapGiven` is set when one of them sets the heap
// limit, and `named` gets the files the options name. `inProcess` is left
// empty without `inProcessWords`: a child started alone never reads it.
std::vector<VmOptionText> configuredVmOptions(const LaunchSettings& s,
                                              bool& heapGiven,
                                              std::vector<NamedFile>* named = nullptr,
                                              bool inProcessWords = true);

// The child's command made from the resolved launch.
std::optional<ChildCommand> buildChildCommand(const ResolvedLaunch& launch);
// The same for this launch resolved now, or nothing when no Java
// executable was found.
std::optional<ChildCommand> buildChildCommand();

// The whole command line of buildChildCommand().
std::optional<std::string> buildCommandLine();

// The class path entries, wildcard entries expanded when asked, joined
// with the class path separator: the class path as Java reads it.
std::string joinClassPathEntries(const std::vector<std::string>& entries,
                                 bool expandWildcards);

// joinClassPathEntries for a command line, of entries as configured:
// without their double quotes (they only group a spaced `$` value), and
// between double quotes (escaped as for an argument) when an entry holds a
// blank or a tab.
std::string joinClassPath(const std::vector<std::string>& entries,
                          bool expandWildcards);
// The same as the one word the child reads there, and whether the command
// line quotes it.
struct ClassPathWord {
  std::string word;
  bool quoted = false;
};
ClassPathWord classPathWord(const std::vector<std::string>& entries,
                            bool expandWildcards);

// Total physical memory in whole MiB; 0 when it cannot be read.
uint64_t physicalMemoryMiB();

// Whether a VM option of this name sets the heap limit itself ("-Xmx" in
// any letter case), so that no limit is computed.
bool setsHeapLimit(const std::string& vmParamName);

// The largest heap given to a 32-bit runtime. Its VM must reserve the heap
// as one range of its 2 GB address space, beside its own code, the system's
// DLLs and thread stacks; 1 GiB is what such a VM reserves reliably, while
// 1.2 to 1.5 GB fail or not by where the system placed its DLLs.
constexpr uint64_t HEAP_LIMIT_32_BIT_MIB = 1024;

// "-Xmx<size>m" for `percentRam` percent of the physical memory (for a
// 32-bit runtime at most HEAP_LIMIT_32_BIT_MIB, with a line on standard
// error), or an empty text when `percentRam` is not set (negative) or the
// physical memory cannot be read (a line on standard error says so).
std::string heapLimitOption(int32_t percentRam, bool runtimeIs32Bit = false);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_COMMANDLINEBUILDER_H
