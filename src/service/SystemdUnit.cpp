#include "service/SystemdUnit.h"

#include <vector>

#include "os/Platform.h"
#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {

namespace {

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
// (The tables of this file hold arrays, not pointers: a table of pointers
// is relocated at every start.)
struct AccountLines {
  char account[16];
  char lines[20];
};
const AccountLines ACCOUNTS[] = {
    {"localsystem", ""},
    {"root", ""},
    {"localservice", "DynamicUser=yes\n"},
    {"networkservice", "DynamicUser=yes\n"},
};

// The account's name on this system: `.\h2` is h2.
std::string plainAccount(const std::string& account) {
  return account.rfind(".\\", 0) == 0 ? account.substr(2) : account;
}

const AccountLines* knownAccount(const std::string& plain) {
  for (const AccountLines& row : ACCOUNTS)
    if (toLowerCase(plain) == row.account) return &row;
  return nullptr;
}

// Why systemd would read `text` in a setting's value otherwise than it
// stands, or nothing: it strips the blanks at a value's ends, joins the
// next line to one that ends in a backslash, and reads a unit as lines of
// UTF-8 text.
std::optional<std::string> unitValueProblem(const std::string& text) {
  if (!isValidUtf8(text)) return std::string("holds bytes that are not UTF-8");
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
      return std::string("holds a control character");
  if (!text.empty() && (text.front() == ' ' || text.back() == ' '))
    return std::string("begins or ends with a blank, which systemd strips");
  if (!text.empty() && text.back() == '\\')
    return std::string("ends in a backslash, after which systemd reads the next line as "
                       "more of it");
  return std::nullopt;
}

// A dependency as systemd names units: a name of its own is a service's,
// one with a unit type (dbus.service, network-online.target) stays.
std::string dependencyUnit(const std::string& dependency) {
  static const char TYPES[][12] = {".service", ".socket", ".device", ".mount",
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
  if (folder.find('"') != std::string::npos) {
    problem = "the folder " + folder + " holds a quote";
    return std::nullopt;
  }
  const std::string description =
      service.description && !service.description->empty()
          ? *service.description
          : service.displayName.value_or(name);
  const std::string user = plainAccount(service.account);
  const AccountLines* known = knownAccount(user);
  const struct {
    const char* what;
    const std::string& text;
    bool written;
  } values[] = {
      {"the description", description, true},
      {"the folder", folder, true},
      {"the account", user, known == nullptr},
  };
  for (const auto& value : values) {
    const std::optional<std::string> why = unitValueProblem(value.text);
    if (!value.written || !why) continue;
    problem = std::string(value.what) + " \"" + value.text + "\" " + *why;
    return std::nullopt;
  }
  std::string after = "network.target";
  std::string requires;
  for (const std::string& dependency : service.dependencies) {
    after += " " + dependencyUnit(dependency);
    requires += (requires.empty() ? "" : " ") + dependencyUnit(dependency);
  }
  std::string text = std::string(UNIT_MARK) + "\n";
  text += "[Unit]\nDescription=" + unitText(description) + "\n";
  text += "After=" + after + "\n";
  if (!requires.empty()) text += "Requires=" + requires + "\n";
  text += "\n[Service]\nType=simple\n";
  text += "ExecStart=" + *command + " run\n";
  // systemd takes this value as it stands, but for its specifiers and the
  // blanks at its ends (refused above): `%` doubled.
  text += "WorkingDirectory=" + unitText(folder) + "\n";
  // The search path install looked a bare Java name up in, whatever
  // systemd's default is where the unit runs.
  text += "Environment=PATH=" + unitText(PlatformConventions::posix().serviceSearchPath) + "\n";
  text += known ? known->lines : "User=" + unitText(user) + "\n";
  // SIGTERM to the launcher alone, which passes it on to Java; whatever is
  // left after the timeout is killed.
  text += "KillMode=mixed\nKillSignal=SIGTERM\n";
  text += "TimeoutStopSec=" + std::to_string(service.stopTimeoutSeconds) + "\n";
  // Java ends with 128 + 15 on SIGTERM, its hooks run: a clean stop.
  text += "SuccessExitStatus=143\n";
  text += "\n[Install]\nWantedBy=multi-user.target\n";
  return text;
}

std::vector<UnitSetting> readUnitSettings(const std::string& text) {
  static const char BLANKS[] = " \t\r\n";
  const auto stripped = [](const std::string& part) {
    const size_t begin = part.find_first_not_of(BLANKS);
    if (begin == std::string::npos) return std::string();
    return part.substr(begin, part.find_last_not_of(BLANKS) + 1 - begin);
  };
  std::vector<UnitSetting> settings;
  std::string section;
  const auto take = [&](const std::string& line) {
    const std::string whole = stripped(line);
    if (whole.empty()) return;
    if (whole.front() == '[' && whole.back() == ']') {
      section = whole.substr(1, whole.size() - 2);
      return;
    }
    const size_t equals = whole.find('=');
    if (equals == std::string::npos) return;
    settings.push_back(
        {section, stripped(whole.substr(0, equals)), stripped(whole.substr(equals + 1))});
  };
  std::string joined;
  for (const std::string& line : splitOn(text, '\n')) {
    // A comment is one line, even amid the lines of one setting.
    const size_t first = line.find_first_not_of(BLANKS);
    if (first != std::string::npos && (line[first] == '#' || line[first] == ';')) continue;
    joined += line;
    bool escaped = false;
    for (const char c : joined) escaped = !escaped && c == '\\';
    if (escaped) {
      joined.back() = ' ';
      continue;
    }
    take(joined);
    joined.clear();
  }
  // The file's end ends the last setting too.
  take(joined);
  return settings;
}

std::optional<std::string> unitSpecifiersResolved(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '%') {
      out += value[i];
      continue;
    }
    if (i + 1 == value.size() || value[i + 1] != '%') return std::nullopt;
    out += '%';
    ++i;
  }
  return out;
}

namespace {

// The character a C escape after a backslash stands for, and how many
// characters it takes; nothing for one this reader does not know.
std::optional<char> escaped(const std::string& text, size_t at, size_t& length) {
  static const char SIMPLE[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                   {'r', '\r'}, {'t', '\t'}, {'v', '\v'}, {'\\', '\\'},
                                   {'"', '"'},   {'\'', '\''}, {'s', ' '}};
  length = 1;
  for (const auto& row : SIMPLE)
    if (text[at] == row[0]) return row[1];
  const bool hex = text[at] == 'x';
  const size_t digits = hex ? 2 : 3;
  if (!hex && (text[at] < '0' || text[at] > '7')) return std::nullopt;
  if (at + (hex ? 1 : 0) + digits > text.size()) return std::nullopt;
  const std::string number = text.substr(at + (hex ? 1 : 0), digits);
  if (number.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "01234567") !=
      std::string::npos)
    return std::nullopt;
  const long code = std::stol(number, nullptr, hex ? 16 : 8);
  // systemd refuses a NUL, and an octal escape beyond a byte.
  if (code == 0 || code > 0xff) return std::nullopt;
  length = (hex ? 1 : 0) + digits;
  return static_cast<char>(code);
}

}  // namespace

std::optional<std::vector<std::string>> unitCommandWords(const std::string& value) {
  std::vector<std::string> words;
  size_t at = 0;
  for (;;) {
    while (at < value.size() && (value[at] == ' ' || value[at] == '\t')) ++at;
    if (at == value.size()) return words;
    std::string word;
    char quote = 0;
    for (; at < value.size() && (quote || (value[at] != ' ' && value[at] != '\t')); ++at) {
      const char c = value[at];
      if (c == '\\') {
        size_t length = 0;
        const std::optional<char> meant =
            at + 1 < value.size() ? escaped(value, at + 1, length) : std::nullopt;
        if (!meant) return std::nullopt;
        word += *meant;
        at += length;
      } else if (quote ? c == quote : c == '"' || c == '\'') {
        quote = quote ? 0 : c;
      } else {
        word += c;
      }
    }
    if (quote) return std::nullopt;
    const std::optional<std::string> resolved = unitSpecifiersResolved(word);
    if (!resolved) return std::nullopt;
    words.push_back(*resolved);
  }
}

}  // namespace tarvik
