// An application's image: the files of the folder it runs from, as the
// archives, the installer and the package all carry them.
#ifndef TARVIK_PACK_APPIMAGE_H
#define TARVIK_PACK_APPIMAGE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pack/PackDescription.h"

namespace tarvik {
namespace pack {

struct ImageFile {
  std::string path;  // below the image's folder, '/' between names: "lib/acme.jar"
  std::string bytes;
  bool program = false;    // a program the system runs (POSIX: mode 755)
  std::string linkTarget;  // a symbolic link to this, when not empty
};

// The files in the order of their paths, byte by byte: an archive lists
// them so whatever order the file system gave.
using ImageFiles = std::vector<ImageFile>;
void sortImage(ImageFiles& files);
// The folders that hold the files, each once and before what it holds
// ("lib/", "runtime/", "runtime/bin/"), in the order of their paths.
std::vector<std::string> imageFolders(const ImageFiles& files);

// Where the launchers of each system are found: the folders of a Windows
// and a Linux release (or build) of Tarvik.
struct LauncherFolders {
  std::string windows;
  std::string linux;
};

struct ImageResult {
  std::optional<ImageFiles> files;
  std::string error;
};

// The Windows image: the launchers branded under their names with the icon
// and version, their configurations, lib/ and runtime/.
// A configuration's bytes with `lines` (whole ASCII lines) before its
// first line, as tarvik-pack ships it.
std::string withLinesFirst(const std::string& config, const std::string& lines);

ImageResult windowsImage(const PackDescription& description, const std::string& launcherFolder);
// The Linux image: the launchers under their names, their configurations,
// lib/, runtime/, the desktop entry and its icon.
ImageResult linuxImage(const PackDescription& description, const std::string& launcherFolder);

// The folder a Linux image is installed in (/opt/acme).
std::string linuxInstallFolder(const PackDescription& description);
// The desktop entry's file name ("acme.desktop") and its text.
std::string desktopEntryName(const PackDescription& description);
std::string desktopEntryText(const PackDescription& description);
// The desktop icon's file name in the image: "acme.png" (or the .ico's).
std::string desktopIconName(const PackDescription& description);

// `name` in `folder`, with the system's separator between them.
std::string joined(const std::string& folder, const std::string& name);

// A whole regular file of at most `limit` bytes, or nothing and why in
// `error` ("<path> cannot be read"): the one way tarvik-pack reads a file.
std::optional<std::string> readInput(const std::string& path, uint64_t limit, std::string& error);

// Whether a runtime's file is a program the system runs, by its place
// ("runtime/bin/java", "runtime/lib/jspawnhelper").
bool isRuntimeProgram(const std::string& path);

// Adds the files below `folder` (found through the platform) to `files`
// under `prefix` ("runtime/"); false with the reason in `error`.
bool addFolder(const std::string& folder, const std::string& prefix, ImageFiles& files,
               std::string& error);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_APPIMAGE_H
