// What a launch uses, resolved once: the Java executable or JVM library as
// the file that will be opened, the runtime's home, the class path, the
// folder the application runs in, the VM's options and every file they or
// the configuration name, each by its full path. The child's words, the
// -o records, the argument file, a VM in the launcher's process, the
// startup cache's key and `install`'s check are all made from it: what
// was checked is what runs.
#ifndef TARVIK_LAUNCH_RESOLVEDLAUNCH_H
#define TARVIK_LAUNCH_RESOLVEDLAUNCH_H

#include <optional>
#include <string>
#include <vector>

#include "launch/CommandLineBuilder.h"

namespace tarvik {

// A file or folder the launch opens, and what it is to the launch.
struct LaunchFile {
  std::string path;
  std::string what;
  // A folder whose entries, to their whole depth, the launch may read (a
  // class path folder, a folder of jars, the runtime).
  bool wholeFolder = false;
};

struct ResolvedLaunch {
  bool inProcess = false;
  // Child mode: the Java executable as the configuration or the runtime
  // discovery gave it (what messages name), and the file the child
  // starts: a full path, a bare name looked up as the system looks it up;
  // as given when nothing is found there (the start fails and says so).
  std::string javaAsGiven;
  std::string java;
  // The program as the command line names it: as given where that names
  // the same file from where the child starts, else the file by its full
  // path (and always so for a service, whose Java is the one `install`
  // checked).
  std::string program;
  // A name without a folder that the system's search finds nowhere, or
  // no name at all: the child's start will fail, and no file of it is
  // known.
  bool javaNotFound = false;
  // In-process: the JVM library, a full path.
  std::string jvmLibrary;
  // The runtime's home, links followed; empty when the executable or
  // library stands in no runtime's layout.
  std::string runtimeHome;
  // The class path's entries as full paths (a folder wildcard kept),
  // without the quotes that grouped a spaced value; an empty entry stays
  // empty. `classPathAsWritten` has the entries as configured.
  std::vector<std::string> classPath;
  std::vector<std::string> classPathAsWritten;
  // The folder the application runs in; nothing where it runs in the
  // launcher's own current folder.
  std::optional<std::string> applicationFolder;
  // The configured VM options, their relative paths made full.
  std::vector<VmOptionText> vmOptions;
  bool heapGiven = false;
  // Child mode: the agent that sets the child's taskbar identity, a full
  // path; empty when the child loads none.
  std::string taskbarAgent;
  // Every file and folder the launch opens: the launcher, the
  // configuration's files (an include that is missing too), the runtime,
  // the class path, the files options name. Made with FileList::Made.
  std::vector<LaunchFile> files;
};

// Whether the resolved launch lists every file it opens (`files`): a check
// of the launch needs them, the launch itself does not.
enum class FileList { Skipped, Made };

// This launch resolved from the settings; nothing when no runtime is found
// (the runtime discovery has said why).
std::optional<ResolvedLaunch> resolveLaunch(FileList list = FileList::Skipped);

// The class path's entries as the VM is handed them: as configured where
// the application runs in the launcher's folder, which they are relative
// to, else by their full paths.
std::vector<std::string> classPathAsHanded(const ResolvedLaunch& launch);
// The same for the child's command line: a path beyond the ANSI code page
// by its short form.
std::vector<std::string> handedClassPathEntries(const ResolvedLaunch& launch);

// The values of the variables whose options the VM, or Java's launcher,
// adds to the configured ones (JAVA_TOOL_OPTIONS, JDK_JAVA_OPTIONS,
// _JAVA_OPTIONS), in that order; a variable not set is left out.
std::vector<std::string> optionVariableValues();

// The configured VM options as a VM in the launcher's process is given
// them, in order.
std::vector<std::string> vmOptionsInProcess(const ResolvedLaunch& launch);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_RESOLVEDLAUNCH_H
