// The installer's WiX source: what each line of a description puts in it,
// and which identifiers stay from one version to the next.
#include "pack/WixSource.h"

#include <gtest/gtest.h>

#include <functional>

namespace tarvik {
namespace pack {
namespace {

PackDescription acme() {
  PackDescription d;
  d.name = "Acme Tool";
  d.fileName = "acme";
  d.version = "1.2.0";
  d.vendor = "Acme Ltd";
  d.summary = "Draws things";
  d.upgradeCode = "{8E3A1C52-7F0B-4C2D-9A61-3B5E0D7C4F18}";
  return d;
}

const ImageFiles FILES = {{"acme.config", "mainclass Acme\n", false, ""},
                          {"acme.exe", "MZ", true, ""},
                          {"acme-server.exe", "MZ", true, ""},
                          {"lib/acme.jar", "PK", false, ""}};

struct WixRow {
  const char* name;
  std::function<void(PackDescription&)> change;
  const char* present;  // a piece of the source
  const char* absent;   // "" for none
};

const WixRow ROWS[] = {
    {"PerMachineInProgramFiles", [](PackDescription&) {},
     "<Directory Id=\"ProgramFiles64Folder\">\n        <Directory Id=\"INSTALLDIR\" Name=\"Acme Tool\">",
     "LocalAppDataFolder"},
    {"PerUserInTheUsersPrograms", [](PackDescription& d) { d.scope = InstallScope::PerUser; },
     "InstallScope=\"perUser\"", "ProgramFiles64Folder"},
    {"PerUserFolder", [](PackDescription& d) { d.scope = InstallScope::PerUser; },
     "<Directory Id=\"LocalAppDataFolder\">\n        <Directory Id=\"UserPrograms\" Name=\"Programs\">", ""},
    {"FilesFromTheImage", [](PackDescription&) {},
     "Name=\"acme.jar\" Source=\"acme-1.2.0-windows-x64/lib/acme.jar\" KeyPath=\"yes\"/>", ""},
    {"StartMenuShortcutAtTheExe", [](PackDescription&) {},
     "<Directory Id=\"ProgramMenuFolder\">", "DesktopFolder"},
    {"ShortcutTarget", [](PackDescription&) {}, "Target=\"[INSTALLDIR]acme.exe\" WorkingDirectory=\"INSTALLDIR\"", ""},
    {"DesktopShortcut", [](PackDescription& d) { d.desktopShortcut = true; }, "<Directory Id=\"DesktopFolder\">", ""},
    {"NoShortcut", [](PackDescription& d) { d.startMenuShortcut = false; }, "<File", "Shortcut"},
    {"AssociationOpensTheFile",
     [](PackDescription& d) { d.associations = {{"acmd", "Acme drawing"}}; },
     "<RegistryValue Root=\"HKLM\" Key=\"Software\\Classes\\.acmd\" Type=\"string\" Value=\"acme.acmd\"/>\n"
     "            <RegistryValue Root=\"HKLM\" Key=\"Software\\Classes\\acme.acmd\" Type=\"string\" "
     "Value=\"Acme drawing\"/>\n",
     ""},
    {"AssociationPassesTheFile", [](PackDescription& d) { d.associations = {{"acmd", "Acme drawing"}}; },
     "Key=\"Software\\Classes\\acme.acmd\\shell\\open\\command\" Type=\"string\" "
     "Value=\"&quot;[#F7AC6C20C31B01F4A]&quot; &quot;%1&quot;\"/>",
     ""},
    {"PerUserAssociationIsTheUsers",
     [](PackDescription& d) {
       d.scope = InstallScope::PerUser;
       d.associations = {{"acmd", "Acme drawing"}};
     },
     "<RegistryValue Root=\"HKCU\" Key=\"Software\\Classes\\.acmd\"", "Root=\"HKLM\""},
    {"ServiceByTheInstaller", [](PackDescription& d) { d.service = "acme-server"; },
     "<ServiceInstall Id=\"Service\" Name=\"acme-server\" DisplayName=\"Acme Tool\" Description=\"Draws "
     "things\" Type=\"ownProcess\" Start=\"auto\"",
     ""},
    {"ServiceRemovedWithIt", [](PackDescription& d) { d.service = "acme-server"; },
     "Name=\"acme-server\" Stop=\"both\" Remove=\"uninstall\" Wait=\"yes\"/>", ""},
    {"NoServiceUnasked", [](PackDescription&) {}, "<File", "ServiceInstall"},
    {"TextEscaped", [](PackDescription& d) { d.name = "Acme & \"Sons\" <Tools>"; },
     "Name=\"Acme &amp; &quot;Sons&quot; &lt;Tools&gt;\"", ""},
    {"FolderOfAName", [](PackDescription& d) { d.name = "Acme: Tools"; },
     "<Directory Id=\"INSTALLDIR\" Name=\"acme\">", ""},
    {"ShortcutOfAName", [](PackDescription& d) { d.name = "Acme: Tools|Pro"; },
     "Name=\"acme\" Description=\"Draws things\" Target=", "Name=\"Acme: Tools|Pro\" Description="},
    {"FolderOfALongName", [](PackDescription& d) { d.name = std::string(252, 'N'); },
     "<Directory Id=\"INSTALLDIR\" Name=\"acme\">", ""},
    {"NewerOnlyUpgrades", [](PackDescription&) {}, "<MajorUpgrade DowngradeErrorMessage=", ""},
};

class WixSourceTest : public ::testing::TestWithParam<WixRow> {};

TEST_P(WixSourceTest, Holds) {
  PackDescription d = acme();
  GetParam().change(d);
  const std::string source = wixSource(d, FILES, "acme-1.2.0-windows-x64");
  EXPECT_NE(source.find(GetParam().present), std::string::npos) << source;
  if (*GetParam().absent) {
    EXPECT_EQ(source.find(GetParam().absent), std::string::npos) << source;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, WixSourceTest, ::testing::ValuesIn(ROWS),
                         [](const auto& info) { return std::string(info.param.name); });

// A newer version is a new product of the same upgrade code whose
// components keep their GUIDs; the same version's source is the same.
TEST(WixSourceVersionsTest, ProductCodeChangesComponentsStay) {
  PackDescription older = acme(), newer = acme();
  newer.version = "1.2.1";
  const std::string a = wixSource(older, FILES, "x"), b = wixSource(newer, FILES, "x");
  auto attribute = [](const std::string& source, const std::string& name, size_t from = 0) {
    const size_t at = source.find(name + "=\"", from) + name.size() + 2;
    return source.substr(at, source.find('"', at) - at);
  };
  EXPECT_NE(attribute(a, "Product Id"), attribute(b, "Product Id"));
  EXPECT_EQ(attribute(a, "Guid"), attribute(b, "Guid"));
  EXPECT_EQ(attribute(a, "UpgradeCode"), attribute(b, "UpgradeCode"));
  EXPECT_EQ(a, wixSource(older, FILES, "x"));
}

}  // namespace
}  // namespace pack
}  // namespace tarvik
