#include "pack/WixSource.h"

#include <map>
#include <vector>

#include "pack/StableId.h"
#include "support/Utf8.h"

namespace tarvik {
namespace pack {

namespace {

// The shortcuts the source makes, by the folder each is in.
const char* const SHORTCUT_FOLDERS[] = {"ProgramMenuFolder", "DesktopFolder"};

std::string xml(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A folder of the image with the files and folders right in it.
struct Folder {
  std::vector<const ImageFile*> files;
  std::map<std::string, Folder> folders;  // by name
};

class Writer {
 public:
  Writer(const PackDescription& d, const std::string& source) : d_(d), source_(source) {}

  std::string write(const ImageFiles& files) {
    Folder root;
    for (const ImageFile& file : files) {
      Folder* folder = &root;
      size_t start = 0;
      for (size_t slash = file.path.find('/'); slash != std::string::npos;
           start = slash + 1, slash = file.path.find('/', start))
        folder = &folder->folders[file.path.substr(start, slash - start)];
      folder->files.push_back(&file);
    }
    const bool perUser = d_.scope == InstallScope::PerUser;
    out_ += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    out_ += "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n";
    out_ += "  <Product Id=\"" + stableGuid(d_.upgradeCode + "|product|" + d_.version) +
            "\" Name=\"" + xml(d_.name) + "\" Language=\"1033\" Version=\"" + d_.version +
            "\" Manufacturer=\"" + xml(d_.vendor) + "\" UpgradeCode=\"" + d_.upgradeCode + "\">\n";
    out_ += "    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"" +
            std::string(perUser ? "perUser" : "perMachine") +
            "\" Description=\"" + xml(d_.summary) + "\" Manufacturer=\"" + xml(d_.vendor) + "\"/>\n";
    out_ += "    <MajorUpgrade DowngradeErrorMessage=\"A newer version of " + xml(d_.name) +
            " is installed already.\"/>\n";
    out_ += "    <Media Id=\"1\" Cabinet=\"product.cab\" EmbedCab=\"yes\"/>\n";
    out_ += "    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n";
    if (perUser) {
      out_ += "      <Directory Id=\"LocalAppDataFolder\">\n";
      out_ += "        <Directory Id=\"UserPrograms\" Name=\"Programs\">\n";
    } else {
      out_ += "      <Directory Id=\"ProgramFiles64Folder\">\n";
    }
    folder(root, "INSTALLDIR", installFolderName(d_), "", perUser ? 10 : 8);
    if (perUser) out_ += "        </Directory>\n";
    out_ += "      </Directory>\n";
    shortcut(d_.startMenuShortcut, SHORTCUT_FOLDERS[0], "startMenuShortcut");
    shortcut(d_.desktopShortcut, SHORTCUT_FOLDERS[1], "desktopShortcut");
    out_ += "    </Directory>\n";
    out_ += "    <Feature Id=\"Product\" Level=\"1\">\n";
    for (const std::string& id : components_) out_ += "      <ComponentRef Id=\"" + id + "\"/>\n";
    out_ += "    </Feature>\n  </Product>\n</Wix>\n";
    return out_;
  }

 private:
  static std::string folderName(const std::string& name) {
    return name.find_first_of("<>:\"/\\|?*") == std::string::npos ? name : "Programs";
  }

  std::string indent(int depth) const { return std::string(depth, ' '); }

  void folder(const Folder& f, const std::string& id, const std::string& name,
              const std::string& path, int depth) {
    out_ += indent(depth) + "<Directory Id=\"" + id + "\" Name=\"" + xml(name) + "\">\n";
    for (const ImageFile* file : f.files) component(*file, depth + 2);
    for (const auto& [child, sub] : f.folders)
      folder(sub, stableWixId('D', path + child + "/"), child, path + child + "/", depth + 2);
    out_ += indent(depth) + "</Directory>\n";
  }

  // One file, one component: the file is its key, and what belongs to the
  // launchers (file types, the service) goes with theirs.
  void component(const ImageFile& file, int depth) {
    const std::string id = stableWixId('C', file.path);
    const std::string fileId = stableWixId('F', file.path);
    components_.push_back(id);
    out_ += indent(depth) + "<Component Id=\"" + id + "\" Guid=\"" +
            stableGuid(d_.upgradeCode + "|" + file.path) + "\" Win64=\"yes\">\n";
    out_ += indent(depth + 2) + "<File Id=\"" + fileId + "\" Name=\"" +
            xml(file.path.substr(file.path.find_last_of('/') + 1)) + "\" Source=\"" +
            xml(source_ + "/" + file.path) + "\" KeyPath=\"yes\"/>\n";
    if (file.path == d_.fileName + ".exe") {
      // The classes of the installer's scope, named outright: a per-user
      // installer's must not land in the machine's.
      const std::string root = d_.scope == InstallScope::PerUser ? "HKCU" : "HKLM";
      for (const Association& a : d_.associations) {
        const std::string classes = "Software\\Classes\\";
        classValue(depth + 2, root, classes + "." + a.extension, progId(a));
        classValue(depth + 2, root, classes + progId(a), a.description);
        classValue(depth + 2, root, classes + progId(a) + "\\shell\\open\\command",
                   "\"[#" + fileId + "]\" \"%1\"");
      }
    }
    if (!d_.service.empty() && file.path == d_.service + ".exe") {
      // The installer makes the service and removes it; the launcher's
      // name alone is its command, as the service control manager starts it.
      out_ += indent(depth + 2) + "<ServiceInstall Id=\"Service\" Name=\"" + d_.service +
              "\" DisplayName=\"" + xml(d_.name) + "\" Description=\"" + xml(d_.summary) +
              "\" Type=\"ownProcess\" Start=\"auto\" ErrorControl=\"normal\" Vital=\"yes\"/>\n";
      out_ += indent(depth + 2) + "<ServiceControl Id=\"ServiceControl\" Name=\"" + d_.service +
              "\" Stop=\"both\" Remove=\"uninstall\" Wait=\"yes\"/>\n";
    }
    out_ += indent(depth) + "</Component>\n";
  }

  void classValue(int depth, const std::string& root, const std::string& key, const std::string& value) {
    out_ += indent(depth) + "<RegistryValue Root=\"" + root + "\" Key=\"" + xml(key) +
            "\" Type=\"string\" Value=\"" + xml(value) + "\"/>\n";
  }

  std::string progId(const Association& a) const { return d_.fileName + "." + a.extension; }

  // A shortcut of its own component, whose key is a value below the
  // user's key of the product: a shortcut is no file the installer holds.
  void shortcut(bool wanted, const std::string& folderId, const std::string& value) {
    if (!wanted) return;
    const std::string id = stableWixId('C', folderId);
    components_.push_back(id);
    out_ += "      <Directory Id=\"" + folderId + "\">\n";
    out_ += "        <Component Id=\"" + id + "\" Guid=\"" + stableGuid(d_.upgradeCode + "|" + folderId) +
            "\" Win64=\"yes\">\n";
    out_ += "          <Shortcut Id=\"" + stableWixId('S', folderId) + "\" Name=\"" + xml(installFolderName(d_)) +
            "\" Description=\"" + xml(d_.summary) + "\" Target=\"[INSTALLDIR]" + d_.fileName +
            ".exe\" WorkingDirectory=\"INSTALLDIR\"/>\n";
    out_ += "          <RegistryValue Root=\"HKCU\" Key=\"Software\\" + xml(folderName(d_.vendor)) + "\\" +
            xml(installFolderName(d_)) + "\" Name=\"" + value +
            "\" Type=\"integer\" Value=\"1\" KeyPath=\"yes\"/>\n";
    out_ += "        </Component>\n      </Directory>\n";
  }

  const PackDescription& d_;
  const std::string& source_;
  std::string out_;
  std::vector<std::string> components_;
};

}  // namespace

std::string shortcutPropertyTable(const PackDescription& d) {
  if (d.appUserModelId.empty()) return std::string();
  std::string rows;
  for (const char* folder : SHORTCUT_FOLDERS) {
    if (!(folder == SHORTCUT_FOLDERS[0] ? d.startMenuShortcut : d.desktopShortcut)) continue;
    // The ID is printable ASCII without blanks: no tab or line end to escape.
    rows += stableWixId('P', folder) + "\t" + stableWixId('S', folder) + "\tSystem.AppUserModel.ID\t" +
            d.appUserModelId + "\t\r\n";
  }
  if (rows.empty()) return rows;
  return "MsiShortcutProperty\tShortcut_\tPropertyKey\tPropVariantValue\tSequence\r\n"
         "s72\ts72\ts255\ts255\tI2\r\n"
         "MsiShortcutProperty\tMsiShortcutProperty\r\n" + rows;
}

std::string wixSource(const PackDescription& description, const ImageFiles& files,
                      const std::string& sourceFolder) {
  return Writer(description, sourceFolder).write(files);
}

std::string installFolderName(const PackDescription& d) {
  // A file's name holds at most 255 characters, the shortcut's ".lnk" too.
  constexpr size_t MAX_NAME = 251;
  return d.name.find_first_of("<>:\"/\\|?*") == std::string::npos && utf16Length(d.name) <= MAX_NAME
             ? d.name
             : d.fileName;
}

}  // namespace pack
}  // namespace tarvik
