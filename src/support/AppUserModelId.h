// The rule of an application's taskbar identity (Windows' AppUserModelID),
// which the launcher sets on the process that owns the windows and
// tarvik-pack on the shortcut: the same text, checked in one place.
#ifndef TARVIK_SUPPORT_APPUSERMODELID_H
#define TARVIK_SUPPORT_APPUSERMODELID_H

#include <optional>
#include <string>

namespace tarvik {

// The longest ID, in characters (Windows' own limit).
constexpr size_t MAX_APP_USER_MODEL_ID = 128;

// Why `id` cannot be an AppUserModelID, or nothing when it can: the form
// Company.Product[.SubProduct[.Version]] (2 to 4 non-empty parts between
// dots) of printable ASCII characters other than the blank and the double
// quote, at most MAX_APP_USER_MODEL_ID of them. So the ID is one word on
// any command line, and the same in every code page.
std::optional<std::string> appUserModelIdProblem(const std::string& id);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_APPUSERMODELID_H
