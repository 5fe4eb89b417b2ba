// The description's lines, each fault a line of its own, on the fake
// platform (Windows' paths).
#include "pack/PackDescription.h"

#include <gtest/gtest.h>

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace pack {
namespace {

const char* const PATH = "C:\\Work\\acme.pack";

// A description that is whole; a row adds its lines after it.
const char BASE[] =
    "# Acme's product\n"
    "var dist=build\n"
    "name Acme Tool\n"
    "vendor Acme Ltd\n"
    "upgradeCode 8e3a1c52-7f0b-4c2d-9a61-3b5e0d7c4f18\n"
    "icon acme.ico\n"
    "config %dist%\\acme.config\n"
    "jars %dist%\\lib\n"
    "version ";

struct FaultRow {
  const char* name;
  const char* version;
  const char* lines;  // after BASE and the version (line 10 on)
  const char* fault;  // the one fault, as printed; "" for none
};

const FaultRow FAULT_ROWS[] = {
    {"Whole", "1.2.0", "output zip msi deb tar.gz\n", ""},
    {"UnknownKeyword", "1.2.0", "output zip\ncolour blue\n", "C:\\Work\\acme.pack:11: unknown keyword \"colour\""},
    {"GivenTwice", "1.2.0", "output zip\nname Other\n", "C:\\Work\\acme.pack:11: name is given twice"},
    {"BadVersion", "1.2.x", "output zip\n",
     "C:\\Work\\acme.pack:9: version: the version \"1.2.x\" is not two to four numbers from 0 to 65535, such as 1.2.0"},
    {"RuntimeAsAnArchive", "1.2.0", "output zip\nruntime jre.tar.gz\n", ""},
    {"MissingRuntimeArchive", "1.2.0", "output zip\nruntime jre.zip\n",
     "C:\\Work\\acme.pack:11: runtime: there is no file C:\\Work\\jre.zip"},
    {"RuntimeNeitherFolderNorArchive", "1.2.0", "output zip\nruntime acme.ico\n",
     "C:\\Work\\acme.pack:11: runtime: C:\\Work\\acme.ico is a file, not a folder"},
    {"MissingFile", "1.2.0", "output zip\nconsole acme-cli\nconsoleConfig cli.config\n",
     "C:\\Work\\acme.pack:12: consoleConfig: there is no file C:\\Work\\cli.config"},
    {"FolderForFile", "1.2.0", "output zip\ncertificate build\n",
     "C:\\Work\\acme.pack:11: certificate: C:\\Work\\build is a folder, not a file"},
    {"BadScope", "1.2.0", "output msi\nscope everybody\n",
     "C:\\Work\\acme.pack:11: scope: the scope is perMachine or perUser, not \"everybody\""},
    {"BadOutput", "1.2.0", "output zip exe\n",
     "C:\\Work\\acme.pack:10: output: \"exe\" is no output; they are zip, msi, tar.gz and deb"},
    {"NoOutput", "1.2.0", "", "C:\\Work\\acme.pack: no output: ask for zip, msi, tar.gz or deb on an output line"},
    {"BadGuid", "1.2.0", "output zip\nupgradeCode{x}\n", "C:\\Work\\acme.pack:11: unknown keyword \"upgradeCode{x}\""},
    {"ServicePerUser", "1.2.0", "output msi\nscope perUser\nservice acme-server\n",
     "C:\\Work\\acme.pack: a service is the machine's: a perUser installer cannot make one"},
    {"MsiVersionTooLarge", "300.1", "output msi\n",
     "C:\\Work\\acme.pack: an installer's version 300.1 must begin with two numbers up to 255"},
    {"AssociatedTwice", "1.2.0", "output zip\nassociation acme Drawing\nassociation acme Other\n",
     "C:\\Work\\acme.pack:12: association: the extension .acme is associated twice"},
    {"TaskbarIdentity", "1.2.0", "output msi\nappUserModelId Acme.Tool\n", ""},
    {"BadTaskbarIdentity", "1.2.0", "output msi\nappUserModelId Acme\n",
     "C:\\Work\\acme.pack:11: appUserModelId: \"Acme\": the ID must be Company.Product[.SubProduct[.Version]]: 2 to 4 "
     "non-empty parts between dots"},
    {"BadFileName", "1.2.0", "output zip\nfileName Acme Tool\n",
     "C:\\Work\\acme.pack:11: fileName: \"Acme Tool\" may hold only a to z, 0 to 9, '-', '.' and '+'"},
    {"VariableGrowsTheLinePastTheBound", "1.2.0",
     "output zip\nvar x=xxxxxxxx\n"
     "var x=%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%\n"
     "var x=%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%\n"
     "var x=%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%\n"
     "var x=%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%\n"
     "var x=%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%%x%\n",
     "C:\\Work\\acme.pack:16: var: %x% would grow the line by more than 1048576 characters"},
    {"InstallerTextInItsCodePage", "1.2.0", "output msi\nsummary Dessine des \xC3\xA9toiles \xE2\x82\xAC\n", ""},
    {"InstallerTextOutsideItsCodePage", "1.2.0", "output msi deb\nsummary Draws \xCE\xA9 shapes\n",
     "C:\\Work\\acme.pack: the installer's texts are in Windows' code page 1252, which wixl writes alone: the "
     "summary \"Draws \xCE\xA9 shapes\" holds \"\xCE\xA9\""},
    // Windows makes no file of a device's name, with an extension or not.
    {"WindowsDeviceName", "1.2.0", "output zip\nconsole com1.cli\n",
     "C:\\Work\\acme.pack: \"com1.cli\" is a device's name on Windows, where no file may take it: "
     "give the launcher another"},
    {"DeviceNameOnLinuxAlone", "1.2.0", "output deb\nconsole nul\n", ""},
    {"OtherTextsOutsideTheInstallersCodePage", "1.2.0", "output zip deb\nsummary Draws \xCE\xA9 shapes\n", ""},
    {"CertificateWithoutPassword", "1.2.0", "output zip\ncertificate acme.p12\n",
     "C:\\Work\\acme.pack: the certificate's password is read from the environment: name the variable "
     "with a certificatePasswordVariable line"},
};

class PackDescriptionFaultTest : public LauncherTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(PackDescriptionFaultTest, EachFaultIsOneLine) {
  os.files["C:\\Work\\acme.ico"] = "icon";
  os.files["C:\\Work\\acme.p12"] = "pkcs12";
  os.files["C:\\Work\\jre.tar.gz"] = "gzip";
  os.files["C:\\Work\\build\\acme.config"] = "mainclass Acme\n";
  os.directories.insert("C:\\Work\\build");
  os.directories.insert("C:\\Work\\build\\lib");
  const DescriptionRead read = parsePackDescription(std::string(BASE) + GetParam().version + "\n" + GetParam().lines, PATH);
  std::vector<std::string> lines;
  for (const DescriptionFault& fault : read.faults) lines.push_back(faultLine(fault));
  if (*GetParam().fault == '\0') {
    EXPECT_TRUE(lines.empty()) << lines[0];
  } else {
    EXPECT_EQ(lines, std::vector<std::string>{GetParam().fault});
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, PackDescriptionFaultTest, ::testing::ValuesIn(FAULT_ROWS),
                         [](const auto& info) { return std::string(info.param.name); });

class PackDescriptionTest : public LauncherTest {};

TEST_F(PackDescriptionTest, ValuesAreReadAsWritten) {
  os.files["C:\\Work\\acme.ico"] = "icon";
  os.files["C:\\Work\\build\\acme.config"] = "mainclass Acme\n";
  os.directories.insert("C:\\Work\\build\\lib");
  const DescriptionRead read = parsePackDescription(
      std::string(BASE) + "1.2.0\noutput msi zip msi\nassociation acmd Acme drawing\nscope perUser\n", PATH);
  ASSERT_TRUE(read.faults.empty()) << faultLine(read.faults[0]);
  const PackDescription& d = read.description;
  EXPECT_EQ(d.fileName, "acme-tool");  // from the name
  EXPECT_EQ(d.upgradeCode, "{8E3A1C52-7F0B-4C2D-9A61-3B5E0D7C4F18}");
  EXPECT_EQ(d.config, "C:\\Work\\build\\acme.config");  // %dist% and the description's folder
  EXPECT_EQ(d.consoleConfig, d.config);
  EXPECT_EQ(d.summary, "Acme Tool");
  EXPECT_EQ(d.outputs, (std::vector<Output>{Output::Msi, Output::WindowsZip}));
  ASSERT_EQ(d.associations.size(), 1u);
  EXPECT_EQ(d.associations[0].description, "Acme drawing");
  EXPECT_EQ(d.scope, InstallScope::PerUser);
  EXPECT_EQ(fourPartVersion(d.version), "1.2.0.0");
}

}  // namespace
}  // namespace pack
}  // namespace tarvik
