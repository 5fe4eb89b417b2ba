// The files the launcher creates, each of a kind that says what it may do
// to a file or link found under its name.
#ifndef TARVIK_SUPPORT_LAUNCHERFILES_H
#define TARVIK_SUPPORT_LAUNCHERFILES_H

#include <memory>
#include <string>

#include "os/Platform.h"

namespace tarvik {

enum class LauncherFileKind {
  // <application>.out in the current folder (-o): replaces a file of its
  // own there.
  CommandFile,
  // The same in the temporary folder, when the current one takes none:
  // what stands under its name is removed, and the file made anew.
  CommandFileInTemp,
  // sample.config in the current folder (-sample): replaces one.
  SampleConfig,
  // <application>-<random>.args in the temporary folder: always a new name.
  ArgumentFile,
  // -log without a file: <application>-<process id>.log in the temporary
  // folder, made new; a taken name gives way to a drawn one. Becomes the
  // standard output and error.
  DefaultLog,
  // The file -log or outputFile names: replaces one. Becomes the standard
  // output and error.
  NamedLog,
  // The service launcher's log in its log folder, made anew after each
  // roll: replaces one.
  ServiceLog,
  // The same log when it could not be rolled away: written on at its end.
  ServiceLogGoingOn,
  // Where the log goes on when that file cannot be written either: a drawn
  // name beside it, written on at its end should it exist.
  ServiceLogElsewhere,
  // The systemd unit `install` writes: replaces one.
  ServiceUnit,
  // The parts of a startup cache's key beside its archive, in the user's
  // own cache folder: made new, never in place of another file.
  CacheKeyParts,
};

// The file made, or why none was.
struct LauncherFile {
  // The text file (null for the log kinds, and when none was made).
  std::unique_ptr<OutputFile> file;
  CreateResult result = CreateResult::CannotCreateFile;
  // The name made, or the last one tried.
  std::string path;
  // A drawn name was needed and the system gave no random number.
  bool noRandomNumber = false;
  // The system's words when the file could not be created.
  std::string errorText;
};

// Creates a file of `kind` at `path` (for the kinds that may take another
// name, the name "-<16 hexadecimal digits>" is put in before its ending).
// A link, a file of several names or a FIFO found under a name that may be
// replaced is left untouched: the launcher says so (a line on standard
// error and a box) and ends with the kind's exit code; where `refusal` is
// given, the line is put there instead, and the launcher goes on.
LauncherFile createLauncherFile(LauncherFileKind kind, const std::string& path,
                                std::string* refusal = nullptr);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_LAUNCHERFILES_H
