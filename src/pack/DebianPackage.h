// The tree dpkg-deb builds a .deb of: the Linux image under /opt/<name>, a
// link on PATH, the desktop entry and icon, and a service's systemd unit.
#ifndef TARVIK_PACK_DEBIANPACKAGE_H
#define TARVIK_PACK_DEBIANPACKAGE_H

#include <optional>
#include <string>

#include "pack/AppImage.h"
#include "pack/PackDescription.h"

namespace tarvik {
namespace pack {

// The files below the package's root, DEBIAN/ with its control file (and a
// service's maintainer scripts) among them; nothing, with the reason in
// `error`, when the unit cannot be written.
std::optional<ImageFiles> debianTree(const PackDescription& description, const ImageFiles& linuxImage,
                                     std::string& error);

// "acme_1.2.0_amd64.deb"
std::string debianFileName(const PackDescription& description);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_DEBIANPACKAGE_H
