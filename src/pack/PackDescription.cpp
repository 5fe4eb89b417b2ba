#include "pack/PackDescription.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <set>

#include "config/VariableTable.h"
#include "os/Platform.h"
#include "pack/AppImage.h"
#include "pack/RuntimeArchive.h"
#include "support/AppUserModelId.h"
#include "support/LauncherFolder.h"
#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {
namespace pack {

namespace {

// A description is a few dozen lines; anything far larger is no description.
constexpr uint64_t MAX_DESCRIPTION_BYTES = 1 << 20;

struct OutputWord {
  const char* word;
  Output output;
};
const OutputWord OUTPUT_WORDS[] = {
    {"zip", Output::WindowsZip},
    {"msi", Output::Msi},
    {"tar.gz", Output::LinuxTarGz},
    {"deb", Output::Deb},
};

class Reader;
// Stores a keyword's value, or says what is wrong with it.
using Apply = std::string (*)(Reader& reader, const std::string& value);

struct Keyword {
  const char* keyword;
  Apply apply;
  // May stand on several lines (each adds); the others are given once.
  bool repeats;
};

class Reader {
 public:
  Reader(const std::string& path) : path_(path) {
    const PlatformConventions& conv = platform().conventions();
    const size_t cut = path.find_last_of(conv.folderSeparators);
    folder_ = cut == std::string::npos ? std::string() : path.substr(0, cut);
  }

  DescriptionRead read(const std::string& text);

  PackDescription& out() { return result_.description; }
  VariableTable& variables() { return variables_; }

  // The full path of a value: a relative one is the description's folder's.
  std::string fullPath(const std::string& value) const {
    const PlatformConventions& conv = platform().conventions();
    if (folder_.empty() || isAbsolutePath(value, conv)) return value;
    return folder_ + conv.separator + value;
  }

  // The path of an existing file (folder: an existing folder), or a problem.
  std::string existing(const std::string& value, bool folder, std::string& path) const {
    path = fullPath(value);
    const std::optional<FileFacts> facts = platform().fileFacts(path);
    if (!facts) return (folder ? "there is no folder " : "there is no file ") + path;
    if (facts->isDirectory != folder)
      return path + (folder ? " is a file, not a folder" : " is a folder, not a file");
    return std::string();
  }

 private:
  void fault(int line, const std::string& text) {
    result_.faults.push_back({path_, line, text});
  }
  void checkWhole();

  std::string path_;
  std::string folder_;
  VariableTable variables_;
  DescriptionRead result_;
};

std::string oneLineText(const std::string& value, std::string& field) {
  if (value.empty()) return "it needs a value";
  if (!isValidUtf8(value)) return "the value is not valid UTF-8";
  for (const char c : value)
    if (static_cast<unsigned char>(c) < 0x20) return "the value holds a control character";
  field = value;
  return std::string();
}

// A name that is a file's name on every system, and a Debian package's.
std::string baseName(const std::string& value, std::string& field) {
  if (value.empty() || value.size() > 64) return "a name of 1 to 64 characters is needed";
  for (const char c : value)
    if (!(std::islower(static_cast<unsigned char>(c)) ||
          std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '+'))
      return "\"" + value + "\" may hold only a to z, 0 to 9, '-', '.' and '+'";
  if (!std::isalnum(static_cast<unsigned char>(value[0])))
    return "\"" + value + "\" must begin with a letter or a digit";
  field = value;
  return std::string();
}

std::string fileValue(Reader& r, const std::string& value, std::string& field) {
  if (value.empty()) return "it needs a file";
  return r.existing(value, false, field);
}
std::string folderValue(Reader& r, const std::string& value, std::string& field) {
  if (value.empty()) return "it needs a folder";
  return r.existing(value, true, field);
}

// A runtime: its folder, or an archive (.zip, .tar.gz) that holds it.
std::string runtimeValue(Reader& r, const std::string& value, std::string& field) {
  if (value.empty()) return "it needs a folder or an archive";
  if (archiveForm(value) == ArchiveForm::None) return r.existing(value, true, field);
  std::string problem = r.existing(value, false, field);
  // A folder named as an archive is a folder all the same.
  if (!problem.empty() && r.existing(value, true, field).empty()) problem.clear();
  return problem;
}

std::string yesNo(const std::string& value, bool& field) {
  const std::string lower = toLowerCase(value);
  if (lower != "true" && lower != "yes" && lower != "false" && lower != "no")
    return "say true or false, not \"" + value + "\"";
  field = lower == "true" || lower == "yes";
  return std::string();
}

// The numbers of a version: two to four, each below 65536, as MSI,
// Windows' version resource and Debian all take them.
std::optional<std::vector<uint32_t>> versionNumbers(const std::string& text) {
  std::vector<uint32_t> numbers;
  for (const std::string& part : splitOn(text, '.')) {
    if (part.empty() || part.size() > 5 ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    numbers.push_back(static_cast<uint32_t>(std::stoul(part)));
    if (numbers.back() > 65535) return std::nullopt;
  }
  if (numbers.size() < 2 || numbers.size() > 4) return std::nullopt;
  return numbers;
}

std::optional<std::string> canonicalGuid(const std::string& value) {
  std::string text = value;
  if (text.size() == 38 && text.front() == '{' && text.back() == '}')
    text = text.substr(1, 36);
  if (text.size() != 36) return std::nullopt;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i])))
      return std::nullopt;
    text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  }
  return "{" + text + "}";
}

// The characters of Windows' code page 1252 beyond Latin-1's, in its
// bytes 0x80 to 0x9F: wixl writes an installer's texts in that code page
// and can write no other character (the name, the vendor and the summary
// stop it outright, a file type's description is left empty).
const uint32_t WINDOWS_1252_EXTRAS[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x017D, 0x2018,
                                        0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC,
                                        0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};

// The first character of (valid UTF-8) `text` that code page 1252 lacks;
// empty when it has them all.
std::string outsideWindows1252(const std::string& text) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    uint32_t c = 0;
    if (!nextCodePoint(text, pos, c)) return text.substr(start, 1);
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) ||
        std::find(std::begin(WINDOWS_1252_EXTRAS), std::end(WINDOWS_1252_EXTRAS), c) !=
            std::end(WINDOWS_1252_EXTRAS))
      continue;
    return text.substr(start, pos - start);
  }
  return std::string();
}

// Whether Windows takes a file's name for a device, as it does "nul" and
// "com1.txt": the name before its first dot is one of its devices.
bool isWindowsDeviceName(const std::string& fileName) {
  static const char* const DEVICES[] = {"con", "prn", "aux", "nul"};
  const std::string stem = fileName.substr(0, fileName.find('.'));
  for (const char* device : DEVICES)
    if (stem == device) return true;
  return stem.size() == 4 && (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
         std::isdigit(static_cast<unsigned char>(stem[3]));
}

const Keyword KEYWORDS[] = {
    {"var",
     [](Reader& r, const std::string& value) -> std::string {
       const size_t equals = value.find('=');
       if (equals == std::string::npos || equals == 0) return "write it as var name=value";
       r.variables()[value.substr(0, equals)] = value.substr(equals + 1);
       return std::string();
     },
     true},
    {"name", [](Reader& r, const std::string& v) { return oneLineText(v, r.out().name); }, false},
    {"fileName", [](Reader& r, const std::string& v) { return baseName(v, r.out().fileName); }, false},
    {"version",
     [](Reader& r, const std::string& value) -> std::string {
       if (!versionNumbers(value))
         return "the version \"" + value + "\" is not two to four numbers from 0 to 65535, such as 1.2.0";
       r.out().version = value;
       return std::string();
     },
     false},
    {"vendor", [](Reader& r, const std::string& v) { return oneLineText(v, r.out().vendor); }, false},
    {"upgradeCode",
     [](Reader& r, const std::string& value) -> std::string {
       const std::optional<std::string> guid = canonicalGuid(value);
       if (!guid) return "\"" + value + "\" is no GUID such as {8E3A1C52-7F0B-4C2D-9A61-3B5E0D7C4F18}";
       r.out().upgradeCode = *guid;
       return std::string();
     },
     false},
    {"summary", [](Reader& r, const std::string& v) { return oneLineText(v, r.out().summary); }, false},
    {"copyright", [](Reader& r, const std::string& v) { return oneLineText(v, r.out().copyright); }, false},
    {"maintainer", [](Reader& r, const std::string& v) { return oneLineText(v, r.out().maintainer); }, false},
    {"icon", [](Reader& r, const std::string& v) { return fileValue(r, v, r.out().icon); }, false},
    {"linuxIcon",
     [](Reader& r, const std::string& value) -> std::string {
       const std::string lower = toLowerCase(value);
       for (const char* ending : {".png", ".svg", ".xpm"})
         if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ending) == 0)
           return fileValue(r, value, r.out().linuxIcon);
       return "the desktop's icon must be a .png, .svg or .xpm file";
     },
     false},
    {"config", [](Reader& r, const std::string& v) { return fileValue(r, v, r.out().config); }, false},
    {"jars", [](Reader& r, const std::string& v) { return folderValue(r, v, r.out().jars); }, false},
    {"runtime", [](Reader& r, const std::string& v) { return runtimeValue(r, v, r.out().runtime); }, false},
    {"linuxRuntime", [](Reader& r, const std::string& v) { return runtimeValue(r, v, r.out().linuxRuntime); }, false},
    {"console", [](Reader& r, const std::string& v) { return baseName(v, r.out().console); }, false},
    {"consoleConfig", [](Reader& r, const std::string& v) { return fileValue(r, v, r.out().consoleConfig); }, false},
    {"service", [](Reader& r, const std::string& v) { return baseName(v, r.out().service); }, false},
    {"serviceConfig", [](Reader& r, const std::string& v) { return fileValue(r, v, r.out().serviceConfig); }, false},
    {"scope",
     [](Reader& r, const std::string& value) -> std::string {
       if (value == "perMachine") r.out().scope = InstallScope::PerMachine;
       else if (value == "perUser") r.out().scope = InstallScope::PerUser;
       else return "the scope is perMachine or perUser, not \"" + value + "\"";
       return std::string();
     },
     false},
    {"appUserModelId",
     [](Reader& r, const std::string& value) -> std::string {
       if (const std::optional<std::string> problem = appUserModelIdProblem(value))
         return "\"" + value + "\": " + *problem;
       r.out().appUserModelId = value;
       return std::string();
     },
     false},
    {"startMenuShortcut", [](Reader& r, const std::string& v) { return yesNo(v, r.out().startMenuShortcut); }, false},
    {"desktopShortcut", [](Reader& r, const std::string& v) { return yesNo(v, r.out().desktopShortcut); }, false},
    {"association",
     [](Reader& r, const std::string& value) -> std::string {
       const size_t space = value.find(' ');
       Association association;
       std::string problem = baseName(value.substr(0, space), association.extension);
       if (!problem.empty()) return "the extension " + problem;
       if (space == std::string::npos) return "write it as association EXTENSION DESCRIPTION";
       problem = oneLineText(trimmed(value.substr(space + 1)), association.description);
       if (!problem.empty()) return "the description: " + problem;
       for (const Association& known : r.out().associations)
         if (known.extension == association.extension)
           return "the extension ." + association.extension + " is associated twice";
       r.out().associations.push_back(association);
       return std::string();
     },
     true},
    {"output",
     [](Reader& r, const std::string& value) -> std::string {
       const std::vector<std::string> words = splitWords(value);
       if (words.empty()) return "name an output: zip, msi, tar.gz or deb";
       for (const std::string& word : words) {
         const OutputWord* found = nullptr;
         for (const OutputWord& row : OUTPUT_WORDS)
           if (word == row.word) found = &row;
         if (!found) return "\"" + word + "\" is no output; they are zip, msi, tar.gz and deb";
         if (!r.out().wants(found->output)) r.out().outputs.push_back(found->output);
       }
       return std::string();
     },
     true},
    {"certificate", [](Reader& r, const std::string& v) { return fileValue(r, v, r.out().certificate); }, false},
    {"certificatePasswordVariable",
     [](Reader& r, const std::string& value) -> std::string {
       if (value.empty() || value.find_first_of(" =") != std::string::npos)
         return "name one environment variable";
       r.out().certificatePasswordVariable = value;
       return std::string();
     },
     false},
};

DescriptionRead Reader::read(const std::string& raw) {
  std::string text = raw;
  if (startsWith(text, "\xEF\xBB\xBF")) text.erase(0, 3);
  std::set<std::string> given;
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    ++number;
    size_t end = text.find('\n', start);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    const std::string line = trimmed(text.substr(start, end - start));
    start = next;
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.find_first_of(" \t");
    const std::string keyword = line.substr(0, space);
    const Keyword* found = nullptr;
    for (const Keyword& row : KEYWORDS)
      if (keyword == row.keyword) found = &row;
    if (!found) {
      fault(number, "unknown keyword \"" + keyword + "\"");
      continue;
    }
    if (!found->repeats && !given.insert(keyword).second) {
      fault(number, keyword + " is given twice");
      continue;
    }
    std::string value;
    if (space != std::string::npos) {
      std::string overgrowing;
      const std::optional<std::string> substituted =
          substituteVariables(variables_, line.substr(space + 1), nullptr, &overgrowing);
      if (!substituted) {
        fault(number, keyword + ": %" + overgrowing + "% would grow the line by more than " +
                          std::to_string(MAX_EXPANSION_GROWTH) + " characters");
        continue;
      }
      value = trimmed(*substituted);
    }
    const std::string problem = found->apply(*this, value);
    if (!problem.empty()) fault(number, keyword + ": " + problem);
  }
  checkWhole();
  return result_;
}

// What the lines say together.
void Reader::checkWhole() {
  PackDescription& d = out();
  if (!result_.faults.empty()) return;
  auto need = [&](bool present, const std::string& what) {
    if (!present) fault(0, what);
  };
  need(!d.name.empty(), "no name: say it with a name line");
  need(!d.version.empty(), "no version: say it with a version line");
  need(!d.config.empty(), "no configuration to ship: name it with a config line");
  need(!d.outputs.empty(), "no output: ask for zip, msi, tar.gz or deb on an output line");
  if (d.fileName.empty()) {
    // The name in lower case, its blanks as dashes.
    std::string name;
    for (const char c : toLowerCase(d.name)) name += c == ' ' ? '-' : c;
    if (!baseName(name, d.fileName).empty())
      fault(0, "the name \"" + d.name + "\" makes no file name: give one with a fileName line");
  }
  if (d.summary.empty()) d.summary = d.name;
  if (d.maintainer.empty()) d.maintainer = d.vendor;
  if (d.consoleConfig.empty()) d.consoleConfig = d.config;
  if (d.serviceConfig.empty()) d.serviceConfig = d.config;
  if (!d.console.empty() && d.console == d.fileName)
    fault(0, "the console launcher needs a name of its own, not " + d.fileName);
  if (!d.service.empty() && (d.service == d.fileName || d.service == d.console))
    fault(0, "the service launcher needs a name of its own, not " + d.service);
  const bool windows = d.wants(Output::WindowsZip) || d.wants(Output::Msi);
  if (windows) {
    need(!d.icon.empty(), "the Windows launcher is branded with an icon: name it with an icon line");
    for (const std::string* launcher : {&d.fileName, &d.console, &d.service})
      if (isWindowsDeviceName(*launcher))
        fault(0, "\"" + *launcher + "\" is a device's name on Windows, where no file may take it: "
                 "give the launcher another");
  }
  if (d.wants(Output::Msi)) {
    need(!d.vendor.empty(), "the installer names its vendor: say it with a vendor line");
    need(!d.upgradeCode.empty(),
         "the installer needs a stable upgrade code: give one GUID with an upgradeCode line and keep it");
    const std::optional<std::vector<uint32_t>> numbers = versionNumbers(d.version);
    if (numbers && ((*numbers)[0] > 255 || (*numbers)[1] > 255))
      fault(0, "an installer's version " + d.version + " must begin with two numbers up to 255");
    if (!d.service.empty() && d.scope == InstallScope::PerUser)
      fault(0, "a service is the machine's: a perUser installer cannot make one");
    std::vector<std::pair<std::string, std::string>> texts = {
        {"name", d.name}, {"vendor", d.vendor}, {"summary", d.summary}};
    for (const Association& a : d.associations) texts.push_back({"file type's description", a.description});
    for (const auto& [what, text] : texts) {
      const std::string outside = outsideWindows1252(text);
      if (outside.empty()) continue;
      fault(0, "the installer's texts are in Windows' code page 1252, which wixl writes alone: the " + what +
                   " \"" + text + "\" holds \"" + outside + "\"");
    }
  }
  if (d.wants(Output::Deb)) {
    need(!d.maintainer.empty(), "the .deb names its maintainer: say it with a maintainer or vendor line");
    need(!d.linuxIcon.empty() || !d.icon.empty(), "the desktop entry needs an icon: name it with a linuxIcon line");
  }
  if (!d.certificate.empty() && d.certificatePasswordVariable.empty())
    fault(0, "the certificate's password is read from the environment: name the variable with a certificatePasswordVariable line");
}

}  // namespace

bool PackDescription::wants(Output output) const {
  return std::find(outputs.begin(), outputs.end(), output) != outputs.end();
}

DescriptionRead parsePackDescription(const std::string& text, const std::string& path) {
  return Reader(path).read(text);
}

DescriptionRead readPackDescription(const std::string& path) {
  std::string error;
  const std::optional<std::string> text = readInput(path, MAX_DESCRIPTION_BYTES, error);
  if (!text) {
    DescriptionRead result;
    result.faults.push_back({path, 0, error.substr(path.size() + 1)});
    return result;
  }
  return parsePackDescription(*text, path);
}

std::string faultLine(const DescriptionFault& fault) {
  if (fault.line == 0) return fault.file + ": " + fault.text;
  return fault.file + ":" + std::to_string(fault.line) + ": " + fault.text;
}

std::string fourPartVersion(const std::string& version) {
  std::string text = version;
  for (size_t parts = splitOn(version, '.').size(); parts < 4; ++parts) text += ".0";
  return text;
}

}  // namespace pack
}  // namespace tarvik
