#include "service/SystemdUnit.h"

#include <vector>

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

std::string lowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string accountLines(const std::string& account) {
  std::string plain = account;
  if (plain.rfind(".\\", 0) == 0) plain = plain.substr(2);
  for (const AccountLines& row : ACCOUNTS)
    if (lowerCase(plain) == row.account) return row.lines;
  return "User=" + unitText(plain) + "\n";
}

}  // namespace

std::optional<std::string> unitCommandWord(const std::string& word) {
  if (holdsLineEnd(word)) return std::nullopt;
  std::string quoted = "\"";
  for (const char c : word) {
    if (c == '\\' || c == '"') quoted += '\\';
    if (c == '$') quoted += '$';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  return quoted + "\"";
}

std::optional<std::string> systemdUnitText(const ServiceSettings& service,
                                           const std::string& name,
                                           const std::string& launcher,
                                           const std::string& folder,
                                           std::string& problem) {
  const std::optional<std::string> command = unitCommandWord(launcher);
  if (!command) {
    problem = "the launcher's path " + launcher + " holds a line end";
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
    after += " " + dependency + ".service";
    requires += (requires.empty() ? "" : " ") + dependency + ".service";
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
