#include "service/ServiceOwner.h"

#include <optional>
#include <vector>

#include "LaunchSettings.h"
#include "config/ConfigReader.h"
#include "service/ServiceIdentity.h"
#include "service/SystemdUnit.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// systemd's folders of system units beside /etc/systemd/system, those that
// take precedence over it and those it takes precedence over. (Arrays, not
// pointers: a table of pointers is relocated at every start.)
const char OTHER_UNIT_FOLDERS[][32] = {
    "/etc/systemd/system.control", "/run/systemd/system.control",
    "/run/systemd/transient",      "/run/systemd/generator.early",
    "/etc/systemd/system.attached", "/run/systemd/system",
    "/run/systemd/system.attached", "/run/systemd/generator",
    "/usr/local/lib/systemd/system", "/usr/lib/systemd/system",
    "/lib/systemd/system",         "/run/systemd/generator.late",
};

bool isThisLauncher(const std::string& path) {
  return platform().sameFile(path, startup().exePath);
}

Ownership another(const std::string& what) { return {Owner::Another, what}; }

// An earlier install's unit has no mark; its command was this launcher's
// `run`.
bool runsThisLauncher(const std::string& unit) {
  for (const UnitSetting& setting : readUnitSettings(unit)) {
    if (setting.section != "Service" || setting.key != "ExecStart") continue;
    const std::optional<std::vector<std::string>> words = unitCommandWords(setting.value);
    return words && words->size() == 2 && (*words)[1] == "run" && isThisLauncher((*words)[0]);
  }
  return false;
}

}  // namespace

Ownership unitOwnership(const std::string& path, bool otherFolders) {
  Platform& os = platform();
  if (!os.fileFacts(path)) {
    if (!otherFolders) return {};
    const std::string file = path.substr(path.find_last_of('/') + 1);
    for (const char* folder : OTHER_UNIT_FOLDERS) {
      const std::string other = std::string(folder) + "/" + file;
      if (os.fileFacts(other))
        return another("the unit " + other + ", of the same name, was not made by tarvikd");
    }
    return {};
  }
  const FileRead read = readConfigurationBytes(path);
  if (!read.content)
    return another("the unit " + path + " is there, and " +
                   (read.refusal == ReadRefusal::NotRegularFile
                        ? "is no file tarvikd writes (a masked unit is a link to /dev/null)"
                        : "cannot be read"));
  for (const std::string& line : splitOn(*read.content, '\n'))
    if (line == UNIT_MARK) return {Owner::Tarvikd, ""};
  if (runsThisLauncher(*read.content)) return {Owner::Tarvikd, ""};
  return another("the unit " + path + " was not made by tarvikd");
}

Ownership serviceOwnership(const std::string& name, const ServiceAnswer& origin) {
  if (origin.madeBy == SERVICE_MAKER) return {Owner::Tarvikd, ""};
  // An earlier install left no mark; its command was this launcher's path
  // alone, quoted.
  const std::string& command = origin.commandLine;
  if (command.size() > 2 && command.front() == '"' && command.find('"', 1) == command.size() - 1 &&
      isThisLauncher(command.substr(1, command.size() - 2)))
    return {Owner::Tarvikd, ""};
  return another("the service " + name + ", whose command is " + command +
                 ", was not made by tarvikd");
}

}  // namespace tarvik
