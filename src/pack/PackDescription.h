// The description of a product that tarvik-pack packs: a text file in the
// style of the launcher's configuration, a keyword and its value per line,
// `#` comments, `var name=value` lines and `%name%` in values.
#ifndef TARVIK_PACK_PACKDESCRIPTION_H
#define TARVIK_PACK_PACKDESCRIPTION_H

#include <string>
#include <vector>

namespace tarvik {
namespace pack {

enum class InstallScope { PerMachine, PerUser };

// What tarvik-pack makes; each is asked for by its word on `output` lines.
enum class Output { WindowsZip, Msi, LinuxTarGz, Deb };

// A file type the installed application opens: `association acme Acme drawing`.
struct Association {
  std::string extension;    // without the dot: "acme"
  std::string description;  // "Acme drawing"
};

struct PackDescription {
  std::string name;        // the product's name as people read it: "Acme Tool"
  std::string fileName;    // the launcher's base name: "acme"
  std::string version;     // two to four numbers: "1.2.0"
  std::string vendor;
  std::string upgradeCode; // "{8E3A...}", upper case, with braces
  std::string summary;     // one line of what it is; the name when not given
  std::string copyright;
  std::string maintainer;  // the .deb's Maintainer; the vendor when not given
  // Paths below are full: a relative one is the description's folder's.
  std::string icon;        // an .ico file
  std::string linuxIcon;   // a .png, .svg or .xpm file; the .ico when not given
  std::string config;      // the configuration shipped beside the launcher
  std::string jars;        // a folder whose .jar files go under lib/
  std::string runtime;     // a Windows runtime's folder or archive, or nothing
  std::string linuxRuntime;
  std::string console;     // the console launcher's base name, or nothing
  std::string consoleConfig;
  std::string service;     // the service launcher's base name, or nothing
  std::string serviceConfig;
  InstallScope scope = InstallScope::PerMachine;
  bool startMenuShortcut = true;
  bool desktopShortcut = false;
  std::vector<Association> associations;
  // The taskbar identity of the application's windows and its shortcuts;
  // nothing: none of its own.
  std::string appUserModelId;
  std::vector<Output> outputs;  // each once, in the order asked
  std::string certificate;      // a PKCS#12 file; nothing: no signing
  std::string certificatePasswordVariable;

  bool wants(Output output) const;
};

// A fault of the description: where, and what is wrong.
struct DescriptionFault {
  std::string file;
  int line = 0;  // 0: the description as a whole
  std::string text;
};

struct DescriptionRead {
  PackDescription description;
  std::vector<DescriptionFault> faults;
};

// Reads the description at `path` (through the platform) and checks it:
// every keyword known, each value well-formed, every file it names there.
DescriptionRead readPackDescription(const std::string& path);

// The same for the description's text, as if read from `path`.
DescriptionRead parsePackDescription(const std::string& text, const std::string& path);

// "file:line: text", or "file: text" for the description as a whole.
std::string faultLine(const DescriptionFault& fault);

// The version as the four numbers of a Windows version resource, the
// missing ones 0: "1.2.0" is "1.2.0.0".
std::string fourPartVersion(const std::string& version);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_PACKDESCRIPTION_H
