#include "pack/AppImage.h"

#include <algorithm>
#include <cstdint>

#include "brand/Branding.h"
#include "brand/IconFile.h"
#include "brand/VersionInfo.h"
#include "os/Platform.h"
#include "pack/RuntimeArchive.h"
#include "support/TextUtil.h"

namespace tarvik {
namespace pack {

namespace {

// A runtime's largest file (its modules) is some tens of MiB.
constexpr uint64_t MAX_PACKED_FILE_BYTES = 1ull << 30;
// Folders nested deeper than this are a loop of links, not a runtime.
constexpr int MAX_FOLDER_DEPTH = 32;

bool addFolderAt(const std::string& folder, const std::string& prefix, int depth,
                 ImageFiles& files, std::string& error) {
  if (depth > MAX_FOLDER_DEPTH) {
    error = folder + " lies deeper than " + std::to_string(MAX_FOLDER_DEPTH) + " folders";
    return false;
  }
  std::vector<std::string> names = platform().findFiles(joined(folder, "*"));
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (name == "." || name == "..") continue;
    const std::string path = joined(folder, name);
    const std::optional<FileFacts> facts = platform().fileFacts(path);
    if (facts && facts->isDirectory) {
      if (!addFolderAt(path, prefix + name + "/", depth + 1, files, error)) return false;
      continue;
    }
    std::optional<std::string> bytes = readInput(path, MAX_PACKED_FILE_BYTES, error);
    if (!bytes) return false;
    ImageFile file;
    file.path = prefix + name;
    file.bytes = std::move(*bytes);
    file.program = isRuntimeProgram(file.path);
    files.push_back(std::move(file));
  }
  return true;
}

// The jars of the jar folder, under lib/.
bool addJars(const PackDescription& d, ImageFiles& files, std::string& error) {
  if (d.jars.empty()) return true;
  std::vector<std::string> names = platform().findFiles(joined(d.jars, "*.jar"));
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    std::optional<std::string> bytes = readInput(joined(d.jars, name), MAX_PACKED_FILE_BYTES, error);
    if (!bytes) return false;
    files.push_back({"lib/" + name, std::move(*bytes), false, ""});
  }
  return true;
}

// A configuration as shipped: with a runtime, its first line names it, so
// it is tried before any other (a line of the configuration may add more);
// with a taskbar identity, the next one sets the ID its shortcuts carry.
bool addConfig(const std::string& path, const std::string& name, bool withRuntime,
               const std::string& appUserModelId, ImageFiles& files, std::string& error) {
  std::optional<std::string> bytes = readInput(path, 1 << 20, error);
  if (!bytes) return false;
  std::string text = withRuntime ? "# Added by tarvik-pack: the runtime shipped with the application.\n"
                                   "runtimeHome runtime\n"
                                 : "";
  if (!appUserModelId.empty())
    text += "# Added by tarvik-pack: the taskbar identity its shortcuts carry.\n"
            "appUserModelId " + appUserModelId + "\n";
  files.push_back({name + ".config", withLinesFirst(*bytes, text), false, ""});
  return true;
}

struct LauncherRole {
  const std::string& name;     // the copy's base name
  const std::string& config;   // its configuration
  const char* launcher;        // the launcher it is a copy of, without ".exe"
  const char* descriptionTail; // after the product's name in its file description
  bool hasWindows;             // it may own windows: it sets the taskbar identity
};

std::vector<LauncherRole> rolesOf(const PackDescription& d) {
  std::vector<LauncherRole> roles = {{d.fileName, d.config, "tarvik", "", true}};
  if (!d.console.empty()) roles.push_back({d.console, d.consoleConfig, "tarvikc", " (console)", true});
  if (!d.service.empty()) roles.push_back({d.service, d.serviceConfig, "tarvikd", " (service)", false});
  return roles;
}

}  // namespace

bool isRuntimeProgram(const std::string& path) {
  // bin/ holds them on every system, lib/ the helpers a Linux runtime runs
  // (jspawnhelper, jexec).
  return (path.find("/bin/") != std::string::npos || path.find("/lib/jspawnhelper") != std::string::npos ||
          path.find("/lib/jexec") != std::string::npos) &&
         path.find('.', path.find_last_of('/')) == std::string::npos;
}

std::string joined(const std::string& folder, const std::string& name) {
  return folder + platform().conventions().separator + name;
}

std::optional<std::string> readInput(const std::string& path, uint64_t limit, std::string& error) {
  FileRead read = platform().readRegularFile(path, limit);
  if (!read.content)
    error = path + (read.refusal == ReadRefusal::TooLarge       ? " is larger than tarvik-pack takes"
                    : read.refusal == ReadRefusal::NotRegularFile ? " is no regular file"
                                                                  : " cannot be read");
  return read.content;
}

void sortImage(ImageFiles& files) {
  std::sort(files.begin(), files.end(),
            [](const ImageFile& a, const ImageFile& b) { return a.path < b.path; });
}

std::vector<std::string> imageFolders(const ImageFiles& files) {
  std::vector<std::string> folders;
  for (const ImageFile& file : files)
    for (size_t slash = file.path.find('/'); slash != std::string::npos;
         slash = file.path.find('/', slash + 1))
      folders.push_back(file.path.substr(0, slash + 1));
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  return folders;
}

bool addFolder(const std::string& folder, const std::string& prefix, ImageFiles& files,
               std::string& error) {
  return addFolderAt(folder, prefix, 0, files, error);
}

std::string withLinesFirst(const std::string& config, const std::string& lines) {
  const bool littleEndian = startsWith(config, "\xFF\xFE");
  if (littleEndian || startsWith(config, "\xFE\xFF")) {
    // ASCII lines: each character one unit of two bytes.
    std::string wide;
    for (const char c : lines) wide += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    return config.substr(0, 2) + wide + config.substr(2);
  }
  if (startsWith(config, "\xEF\xBB\xBF")) return config.substr(0, 3) + lines + config.substr(3);
  return lines + config;
}

ImageResult windowsImage(const PackDescription& d, const std::string& launcherFolder) {
  ImageResult result;
  ImageFiles files;
  std::string& error = result.error;
  std::optional<std::string> iconBytes = readInput(d.icon, brand::MAX_ICON_FILE_BYTES, error);
  if (!iconBytes) return result;
  brand::IconReadResult icon = brand::readIconFile(*iconBytes);
  if (!icon.icon) {
    error = d.icon + ": " + icon.error;
    return result;
  }
  const std::optional<brand::VersionNumber> version =
      brand::parseVersionNumber(fourPartVersion(d.version));
  for (const LauncherRole& role : rolesOf(d)) {
    const std::string source = joined(launcherFolder, std::string(role.launcher) + ".exe");
    std::optional<std::string> launcher = readInput(source, brand::MAX_LAUNCHER_FILE_BYTES, error);
    if (!launcher) return result;
    brand::BrandInput input;
    input.launcher = std::move(*launcher);
    input.icon = *icon.icon;
    input.version = *version;
    input.productName = d.name;
    input.fileDescription = d.name + role.descriptionTail;
    input.companyName = d.vendor;
    input.legalCopyright = d.copyright;
    input.outputFileName = role.name + ".exe";
    const std::string stringsError = brand::versionStringsError(input);
    if (!stringsError.empty()) {
      error = stringsError;
      return result;
    }
    brand::BrandResult branded = brand::brandLauncher(input);
    if (!branded.image) {
      error = source + ": " + branded.error;
      return result;
    }
    files.push_back({role.name + ".exe", std::move(*branded.image), true, ""});
    if (!addConfig(role.config, role.name, !d.runtime.empty(), role.hasWindows ? d.appUserModelId : "",
                   files, error))
      return result;
  }
  // The agent that gives a child Java the ID, beside the launchers.
  if (!d.appUserModelId.empty()) {
    const std::string& agent = PlatformConventions::windows().taskbarIdentityAgent;
    std::optional<std::string> bytes = readInput(joined(launcherFolder, agent), MAX_PACKED_FILE_BYTES, error);
    if (!bytes) return result;
    files.push_back({agent, std::move(*bytes), false, ""});
  }
  if (!addJars(d, files, error)) return result;
  if (!d.runtime.empty() && !addRuntime(d.runtime, RuntimeSystem::Windows, files, error)) return result;
  sortImage(files);
  result.files = std::move(files);
  return result;
}

ImageResult linuxImage(const PackDescription& d, const std::string& launcherFolder) {
  ImageResult result;
  ImageFiles files;
  std::string& error = result.error;
  for (const LauncherRole& role : rolesOf(d)) {
    std::optional<std::string> launcher =
        readInput(joined(launcherFolder, role.launcher), brand::MAX_LAUNCHER_FILE_BYTES, error);
    if (!launcher) return result;
    files.push_back({role.name, std::move(*launcher), true, ""});
    if (!addConfig(role.config, role.name, !d.linuxRuntime.empty(), "", files, error)) return result;
  }
  if (!addJars(d, files, error)) return result;
  if (!d.linuxRuntime.empty() && !addRuntime(d.linuxRuntime, RuntimeSystem::Linux, files, error))
    return result;
  std::optional<std::string> icon =
      readInput(d.linuxIcon.empty() ? d.icon : d.linuxIcon, brand::MAX_ICON_FILE_BYTES, error);
  if (!icon) return result;
  files.push_back({desktopIconName(d), std::move(*icon), false, ""});
  files.push_back({desktopEntryName(d), desktopEntryText(d), false, ""});
  sortImage(files);
  result.files = std::move(files);
  return result;
}

std::string linuxInstallFolder(const PackDescription& d) { return "/opt/" + d.fileName; }

std::string desktopEntryName(const PackDescription& d) { return d.fileName + ".desktop"; }

std::string desktopIconName(const PackDescription& d) {
  const std::string& icon = d.linuxIcon.empty() ? d.icon : d.linuxIcon;
  return d.fileName + toLowerCase(icon.substr(icon.size() - 4));
}

namespace {

// A text as a desktop entry's value holds it: '\\' begins an escape there
// (\\s, \\n, \\\\), so a backslash of its own is written doubled.
std::string desktopValue(const std::string& text) {
  std::string value;
  for (const char c : text) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

}  // namespace

std::string desktopEntryText(const PackDescription& d) {
  // The entry names the installed launcher; %f hands it the file opened.
  const std::string folder = linuxInstallFolder(d);
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + desktopValue(d.name) + "\n";
  if (d.summary != d.name) text += "Comment=" + desktopValue(d.summary) + "\n";
  text += "Exec=" + folder + "/" + d.fileName + " %f\n";
  text += "Icon=" + folder + "/" + desktopIconName(d) + "\n";
  text += "Terminal=false\nCategories=Utility;\n";
  if (!d.associations.empty()) {
    text += "MimeType=";
    for (const Association& a : d.associations)
      text += "application/x-" + d.fileName + "-" + a.extension + ";";
    text += "\n";
  }
  return text;
}

}  // namespace pack
}  // namespace tarvik
