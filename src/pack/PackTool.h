// The tarvik-pack command: its switches, its steps, messages and exit codes.
#ifndef TARVIK_PACK_PACKTOOL_H
#define TARVIK_PACK_PACKTOOL_H

#include <string>
#include <vector>

namespace tarvik {
namespace pack {

enum PackExitCode {
  PACK_OK = 0,
  PACK_BAD_DESCRIPTION = 2,  // the switches or the description are wrong
  PACK_BAD_INPUT = 3,        // a launcher, the icon or a file to pack cannot be used
  PACK_MISSING_TOOL = 4,     // wixl, dpkg-deb or osslsigncode is not installed
  PACK_TOOL_FAILED = 5,      // one of them failed
  PACK_CANNOT_WRITE = 6,     // the output folder cannot be written
  PACK_NO_MEMORY = 7,
};

// Runs the command with its words (after the program's name); `ownFolder`
// is the folder of tarvik-pack itself, where the launchers of its own
// system are looked for unless a switch names another. Works through the
// platform (os/Platform.h).
int runPackTool(const std::vector<std::string>& words, const std::string& ownFolder);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_PACKTOOL_H
