// Whose the service or unit of the service's name is: install and
// uninstall take only what tarvikd made.
#ifndef TARVIK_SERVICE_SERVICEOWNER_H
#define TARVIK_SERVICE_SERVICEOWNER_H

#include <string>

#include "os/Platform.h"

namespace tarvik {

enum class Owner {
  // Nothing stands under the name.
  None,
  // tarvikd's: its install's mark, or what an earlier install wrote, which
  // left none: a command that is this very launcher's.
  Tarvikd,
  Another,
};

struct Ownership {
  Owner owner = Owner::None;
  // Another's: what stands there, as a clause ("the unit ... was not made
  // by tarvikd").
  std::string what;
};

// The unit at `path`; with `otherFolders`, a unit of the same name in
// systemd's other folders of system units counts too (one there would
// stand in for the unit written, or be hidden by it).
Ownership unitOwnership(const std::string& path, bool otherFolders);

// The Windows service `origin` describes (queryServiceOrigin's answer,
// Done).
Ownership serviceOwnership(const std::string& name, const ServiceAnswer& origin);

}  // namespace tarvik

#endif  // TARVIK_SERVICE_SERVICEOWNER_H
