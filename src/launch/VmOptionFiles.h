// The files and folders that VM options name (an agent, the boot class
// path, the module path, a splash image, a policy, an argument file): read
// by the VM from the folder it runs in where relative, so the launcher
// hands them on as paths of its own folder, as every relative path of the
// configuration is.
#ifndef TARVIK_LAUNCH_VMOPTIONFILES_H
#define TARVIK_LAUNCH_VMOPTIONFILES_H

#include <string>
#include <vector>

namespace tarvik {

// A file or folder an option names, by its full path.
struct NamedFile {
  std::string path;
  // What it is to the launch ("the file -javaagent: names").
  std::string what;
  // A folder whose entries the VM may load: a module path or boot class
  // path folder, a folder of native libraries.
  bool folder = false;
  // A file of more options (an argument file, -XX:VMOptionsFile=).
  bool holdsOptions = false;
  // A relative path of the folder the VM runs in, which the walk of the
  // configured options does not know (a program the VM runs on an error).
  bool inRunFolder = false;
};

// The walk through the options of one launch: an option's value may be
// the next option's word ("--module-path" "X").
struct OptionPathWalk {
  // The option whose value comes next, by its row; -1 for none.
  int pendingForm = -1;
  std::vector<NamedFile> named;
  // The folder relative paths are read from; empty for the launcher's.
  std::string folder;
};

// One option's words with every relative path they name made a path of
// the launcher's folder, and the files named added to the walk's. Words
// that name no file stay as they are.
std::vector<std::string> withFullOptionPaths(const std::vector<std::string>& words,
                                             OptionPathWalk& walk);

// The words of a file of options as Java reads an argument file: blanks
// part them, single or double quotes group (a backslash in them keeps the
// next character), a '#' where a word would begin comments out the rest of
// its line. A quote left open runs to the end.
std::vector<std::string> optionFileWords(const std::string& text);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_VMOPTIONFILES_H
