#include "pack/DebianPackage.h"

#include "LaunchSettings.h"
#include "service/SystemdUnit.h"

namespace tarvik {
namespace pack {

namespace {

std::string control(const PackDescription& d, uint64_t bytes) {
  std::string text = "Package: " + d.fileName + "\n";
  text += "Version: " + d.version + "\n";
  text += "Architecture: amd64\n";
  text += "Maintainer: " + d.maintainer + "\n";
  text += "Installed-Size: " + std::to_string((bytes + 1023) / 1024) + "\n";
  text += "Section: misc\nPriority: optional\n";
  // Without a runtime of its own, the application runs on the system's.
  if (d.linuxRuntime.empty()) text += "Recommends: default-jre-headless | java17-runtime-headless\n";
  text += "Description: " + d.summary + "\n";
  return text;
}

// A service's scripts, as a package's systemd units have them: enabled
// and started once installed, stopped before removal.
const char POSTINST[] =
    "#!/bin/sh\nset -e\n"
    "if [ \"$1\" = configure ] && [ -d /run/systemd/system ]; then\n"
    "  systemctl daemon-reload\n  systemctl enable @SERVICE@.service\n"
    "  systemctl restart @SERVICE@.service\nfi\n";
const char PRERM[] =
    "#!/bin/sh\nset -e\n"
    "if [ -d /run/systemd/system ]; then\n"
    "  systemctl stop @SERVICE@.service || true\n"
    "  [ \"$1\" = upgrade ] || systemctl disable @SERVICE@.service || true\nfi\n";
const char POSTRM[] =
    "#!/bin/sh\nset -e\n"
    "if [ -d /run/systemd/system ]; then systemctl daemon-reload || true; fi\n";

std::string script(const char* text, const std::string& service) {
  std::string out = text;
  for (size_t at = out.find("@SERVICE@"); at != std::string::npos; at = out.find("@SERVICE@", at))
    out.replace(at, 9, service);
  return out;
}

}  // namespace

std::optional<ImageFiles> debianTree(const PackDescription& d, const ImageFiles& image,
                                     std::string& error) {
  const std::string folder = linuxInstallFolder(d);
  ImageFiles files;
  uint64_t bytes = 0;
  for (const ImageFile& file : image) {
    files.push_back(file);
    files.back().path = folder.substr(1) + "/" + file.path;
    bytes += file.bytes.size();
  }
  files.push_back({"usr/bin/" + d.fileName, "", false, folder + "/" + d.fileName});
  if (!d.console.empty()) files.push_back({"usr/bin/" + d.console, "", false, folder + "/" + d.console});
  files.push_back({"usr/share/applications/" + desktopEntryName(d), desktopEntryText(d), false, ""});
  files.push_back({"usr/share/pixmaps/" + desktopIconName(d), "", false, folder + "/" + desktopIconName(d)});
  if (!d.service.empty()) {
    ServiceSettings service;
    service.displayName = d.name;
    service.description = d.summary;
    const std::optional<std::string> unit =
        systemdUnitText(service, d.service, folder + "/" + d.service, folder, error);
    if (!unit) return std::nullopt;
    files.push_back({"lib/systemd/system/" + d.service + ".service", *unit, false, ""});
    files.push_back({"DEBIAN/postinst", script(POSTINST, d.service), true, ""});
    files.push_back({"DEBIAN/prerm", script(PRERM, d.service), true, ""});
    files.push_back({"DEBIAN/postrm", script(POSTRM, d.service), true, ""});
  }
  files.push_back({"DEBIAN/control", control(d, bytes), false, ""});
  sortImage(files);
  return files;
}

std::string debianFileName(const PackDescription& d) {
  return d.fileName + "_" + d.version + "_amd64.deb";
}

}  // namespace pack
}  // namespace tarvik
