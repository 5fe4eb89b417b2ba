// The systemd unit of the service launcher's service on Linux: the text
// install writes, and a reader of the unit-file rules that text relies on.
#ifndef TARVIK_SERVICE_SYSTEMDUNIT_H
#define TARVIK_SERVICE_SYSTEMDUNIT_H

#include <optional>
#include <string>
#include <vector>

#include "LaunchSettings.h"

namespace tarvik {

// The comment line that starts every unit install writes: it tells a unit
// of tarvikd's from one of the same name that somebody else made.
constexpr const char UNIT_MARK[] = "# Made by tarvikd install; tarvikd uninstall removes it.";

// `path` as the program of a unit's command line (between double quotes,
// its `%` doubled), or nothing when systemd would not run it.
std::optional<std::string> unitExecutable(const std::string& path);

// The unit: its ExecStart is `launcher run`, in `folder`; nothing when a
// value cannot be written in a unit so that systemd reads it back as it
// is, with `problem` saying which.
std::optional<std::string> systemdUnitText(const ServiceSettings& service,
                                           const std::string& name,
                                           const std::string& launcher,
                                           const std::string& folder,
                                           std::string& problem);

// One setting of a unit file as systemd reads it: lines ending in an
// unescaped backslash joined to the next, comments dropped, the blanks
// around the key and the value stripped. Specifiers are left in the value.
struct UnitSetting {
  std::string section;
  std::string key;
  std::string value;
};
std::vector<UnitSetting> readUnitSettings(const std::string& text);

// A value with its specifiers resolved: `%%` is `%`; nothing when it holds
// another specifier, which only the running systemd can resolve.
std::optional<std::string> unitSpecifiersResolved(const std::string& value);

// The words of a command line setting (ExecStart=) as systemd splits it:
// blanks between words, quotes and C escapes undone, then each word's
// specifiers resolved. Nothing when it holds what this reader cannot
// tell.
std::optional<std::vector<std::string>> unitCommandWords(const std::string& value);

}  // namespace tarvik

#endif  // TARVIK_SERVICE_SYSTEMDUNIT_H
