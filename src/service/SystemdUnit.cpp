#include "service/SystemdUnit.h"

#include <vector>

#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {

namespace {

bool holdsLineEnd(const std::string& text) {
  return text.find_first_of("\r\n") != std::string::npos;
}

// A unit's text values expand `%` specifiers: a literal one is doubled.
std::string unitText(const std::string& text) {
  std::string out;
  for (const char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

// The Windows account names have their systemd counterparts: the system's
// own (root), and a user of its own that systemd makes for the service.
struct AccountLines {
  const char* account;
  const char* lines;
};
const AccountLines ACCOUNTS[] = {
    {"localsystem", ""},
    {"root", ""},
    {"localservice", "DynamicUser=yes\n"},
    {"networkservice", "DynamicUser=yes\n"},
};

std::string accountLines(const std::string& account) {
  std::string plain = account;
  if (plain.rfind(".\\", 0) == 0) plain = plain.substr(2);
  for (const AccountLines& row : ACCOUNTS)
    if (toLowerCase(plain) == row.account) return row.lines;
  return "User=" + unitText(plain) + "\n";
}

// A dependency as systemd names units: a name of its own is a service's,
// one with a unit type (dbus.service, network-online.target) stays.
std::string dependencyUnit(const std::string& dependency) {
  static const char* const TYPES[] = {".service", ".socket", ".device", ".mount",
                                      ".automount", ".swap", ".target", ".path",
                                      ".timer", ".slice", ".scope"};
  for (const char* type : TYPES) {
    const std::string suffix = type;
    if (dependency.size() > suffix.size() &&
        dependency.compare(dependency.size() - suffix.size(), suffix.size(), suffix) == 0)
      return dependency;
  }
  return dependency + ".service";
}

}  // namespace

std::optional<std::string> unitExecutable(const std::string& path) {
  // systemd expands no `$` in the program's path, and runs no program
  // whose path holds a quote, a backslash or a control character, or
  // bytes that are not UTF-8 (it ignores the line).
  if (!isValidUtf8(path)) return std::nullopt;
  std::string quoted = "\"";
  for (const char c : path) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\'' || c == '\\' || byte < 0x20 || byte == 0x7f)
      return std::nullopt;
    quoted += c;
    if (c == '%') quoted += '%';
  }
  return quoted + "\"";
}

std::optional<std::string> systemdUnitText(const ServiceSettings& service,
                                           const std::string& name,
                                           const std::string& launcher,
                                           const std::string& folder,
                                           std::string& problem) {
  const std::optional<std::string> command = unitExecutable(launcher);
  if (!command) {
    problem = "the launcher's path " + launcher +
              " holds a quote, a backslash, a control character or bytes that "
              "are not UTF-8, and systemd runs no program from such a path";
    return std::nullopt;
  }
  if (holdsLineEnd(folder) || folder.find('"') != std::string::npos) {
    problem = "the folder " + folder + " holds a line end or a quote";
    return std::nullopt;
  }
  const std::string description =
      service.description && !service.description->empty()
          ? *service.description
          : service.displayName.value_or(name);
  std::string after = "network.target";
  std::string requires;
  for (const std::string& dependency : service.dependencies) {
    after += " " + dependencyUnit(dependency);
    requires += (requires.empty() ? "" : " ") + dependencyUnit(dependency);
  }
  std::string text = "[Unit]\nDescription=" + unitText(description) + "\n";
  text += "After=" + after + "\n";
  if (!requires.empty()) text += "Requires=" + requires + "\n";
  text += "\n[Service]\nType=simple\n";
  text += "ExecStart=" + *command + " run\n";
  // Whitespace and quotes would need a syntax of their own here: a
  // folder's name is written as it is, with `%` doubled.
  text += "WorkingDirectory=" + unitText(folder) + "\n";
  text += accountLines(service.account);
  // SIGTERM to the launcher alone, which passes it on to Java; whatever is
  // left after the timeout is killed.
  text += "KillMode=mixed\nKillSignal=SIGTERM\n";
  text += "TimeoutStopSec=" + std::to_string(service.stopTimeoutSeconds) + "\n";
  // Java ends with 128 + 15 on SIGTERM, its hooks run: a clean stop.
  text += "SuccessExitStatus=143\n";
  text += "\n[Install]\nWantedBy=multi-user.target\n";
  return text;
}

}  // namespace tarvik
