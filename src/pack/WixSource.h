// The installer's WiX source (WiX 3's schema, as wixl reads it).
#ifndef TARVIK_PACK_WIXSOURCE_H
#define TARVIK_PACK_WIXSOURCE_H

#include <string>

#include "pack/AppImage.h"
#include "pack/PackDescription.h"

namespace tarvik {
namespace pack {

// The source of an installer of the Windows image `files`, whose files wixl
// finds below `sourceFolder` ('/' between names, as on Linux). Its product
// code is made of the upgrade code and the version; its components' GUIDs of
// the upgrade code and the files' places.
std::string wixSource(const PackDescription& description, const ImageFiles& files,
                      const std::string& sourceFolder);

// The table MsiShortcutProperty, as msibuild imports it (an .idt file),
// that gives each shortcut the description's taskbar identity
// (System.AppUserModel.ID), which wixl's WiX source cannot; empty when
// there is no ID or no shortcut.
std::string shortcutPropertyTable(const PackDescription& description);

// The folder the installer installs into, as Windows names it for the user
// ("C:\Program Files\Acme Tool" is "[ProgramFiles64Folder]Acme Tool"), and
// its shortcuts' name: the file name where the name holds a character
// Windows refuses in a file's name, or is too long for one.
std::string installFolderName(const PackDescription& description);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_WIXSOURCE_H
