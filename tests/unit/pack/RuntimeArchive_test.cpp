// A runtime's archive, built here in memory: what a hostile or damaged one
// holds is refused with what is wrong, and a whole one gives runtime/'s
// files as a folder of them would.
#include "pack/RuntimeArchive.h"

#include <gtest/gtest.h>

#include <functional>

#include "pack/Deflate.h"
#include "pack/ZipArchive.h"

namespace tarvik {
namespace pack {
namespace {

// One tar entry: its header (ustar, its checksum right) and its data.
std::string tarEntry(const std::string& name, char type = '0', const std::string& data = "",
                     const std::string& link = "", unsigned mode = 0644) {
  std::string header(512, '\0');
  header.replace(0, name.size(), name);
  snprintf(&header[100], 8, "%07o", mode);
  snprintf(&header[124], 12, "%011o", static_cast<unsigned>(data.size()));
  header[156] = type;
  header.replace(157, link.size(), link);
  header.replace(257, 6, std::string("ustar\0", 6));
  header.replace(148, 8, 8, ' ');
  unsigned sum = 0;
  for (const char c : header) sum += static_cast<unsigned char>(c);
  snprintf(&header[148], 8, "%06o", sum);
  return header + data + std::string((512 - data.size() % 512) % 512, '\0');
}
std::string tarGz(const std::string& entries) { return gzipped(entries + std::string(1024, '\0')); }

std::string windowsZip(const ImageFiles& files) { return *zipArchive(files, "jdk-21-jre", 0); }

// Where the central header of a file of windowsZip's is, whose fields a row
// changes: its name is the last thing in it.
size_t centralHeader(const std::string& zip, const std::string& name) {
  return zip.rfind("jdk-21-jre/" + name) - 46;
}

const UnpackLimits SMALL = {1 << 20, 16};

struct RefusalRow {
  const char* name;
  std::function<std::string()> archive;
  ArchiveForm form;
  std::string error;  // how what is wrong begins
  RuntimeSystem system = RuntimeSystem::Linux;
};

const RefusalRow REFUSAL_ROWS[] = {
    {"AbsolutePath", [] { return tarGz(tarEntry("/etc/cron.d/x", '0', "x")); }, ArchiveForm::TarGz,
     "/etc/cron.d/x is an absolute path"},
    {"DriveOnWindows", [] { return tarGz(tarEntry("C:\\x.exe", '0', "x")); }, ArchiveForm::TarGz,
     "C:\\x.exe is an absolute path", RuntimeSystem::Windows},
    {"Climbing", [] { return tarGz(tarEntry("jdk/../../x", '0', "x")); }, ArchiveForm::TarGz,
     "jdk/../../x climbs out of the runtime's folder (..)"},
    {"LinkOut", [] { return tarGz(tarEntry("jdk/bin/java", '2', "", "../../../usr/bin/java")); },
     ArchiveForm::TarGz, "jdk/bin/java is a link out of the runtime's folder (to \"../../../usr/bin/java\")"},
    {"AbsoluteLink", [] { return tarGz(tarEntry("jdk/bin/java", '2', "", "/usr/bin/java")); },
     ArchiveForm::TarGz, "jdk/bin/java is a link out of the runtime's folder (to \"/usr/bin/java\")"},
    {"HardLinkToNothing", [] { return tarGz(tarEntry("jdk/bin/java", '1', "", "jdk/bin/javaw")); },
     ArchiveForm::TarGz, "jdk/bin/java is a link to jdk/bin/javaw, which the archive does not hold"},
    {"LinkLoop",
     [] { return tarGz(tarEntry("jdk/a", '2', "", "b") + tarEntry("jdk/b", '2', "", "a")); },
     ArchiveForm::TarGz, "jdk/a is a link of a loop of links"},
    {"Device", [] { return tarGz(tarEntry("jdk/lib/disk", '4')); }, ArchiveForm::TarGz,
     "jdk/lib/disk is a device file"},
    {"Fifo", [] { return tarGz(tarEntry("jdk/lib/pipe", '6')); }, ArchiveForm::TarGz, "jdk/lib/pipe is a FIFO"},
    {"Twice", [] { return tarGz(tarEntry("jdk/release", '0', "a") + tarEntry("jdk/release", '0', "b")); },
     ArchiveForm::TarGz, "jdk/release is in the archive twice"},
    {"CaseOnWindows",
     [] { return windowsZip({{"bin/java.exe", "a", false, ""}, {"bin/JAVA.exe", "b", false, ""}}); },
     ArchiveForm::Zip, "jdk-21-jre/bin/java.exe and jdk-21-jre/bin/JAVA.exe are one name on Windows",
     RuntimeSystem::Windows},
    {"FileAboveAFile",
     [] { return tarGz(tarEntry("jdk/lib", '0', "a") + tarEntry("jdk/lib/modules", '0', "b")); },
     ArchiveForm::TarGz, "jdk/lib is a file and a folder above jdk/lib/modules"},
    {"TarBomb", [] { return tarGz(tarEntry("jdk/lib/modules", '0', std::string(2 << 20, '\0'))); },
     ArchiveForm::TarGz, "the archive unpacks to more than"},
    {"TooManyEntries",
     [] {
       std::string entries;
       for (int i = 0; i < 17; ++i) entries += tarEntry("jdk/f" + std::to_string(i), '0', "x");
       return tarGz(entries);
     },
     ArchiveForm::TarGz, "the archive holds more than 16 entries"},
    {"LinksThatCopyTooMuch",
     [] {
       return tarGz(tarEntry("jdk/lib/modules", '0', std::string(400 << 10, 'm')) +
                    tarEntry("jdk/lib/a", '2', "", "modules") + tarEntry("jdk/lib/b", '2', "", "modules"));
     },
     ArchiveForm::TarGz, "the archive unpacks to more than 1048576 bytes"},
    {"TarCutShort", [] { const std::string gz = tarGz(tarEntry("jdk/release", '0', "x")); return gz.substr(0, gz.size() / 2); },
     ArchiveForm::TarGz, "the archive is cut short"},
    {"TarHeaderDamaged",
     [] { std::string tar = tarEntry("jdk/release", '0', "x"); tar[0] = 'J'; return tarGz(tar); },
     ArchiveForm::TarGz, "the archive is damaged (the header at byte 0 is no tar header"},
    {"TarSizePastTheEnd",
     [] { std::string tar = tarEntry("jdk/release", '0', std::string(600, 'x')); return gzipped(tar.substr(0, 1024)); },
     ArchiveForm::TarGz, "jdk/release is cut short (the archive ends inside its 600 bytes)"},
    {"ZipBombBySize",
     [] {
       std::string zip = windowsZip({{"lib/modules", "m", false, ""}});
       zip[centralHeader(zip, "lib/modules") + 24 + 3] = 0x40;  // lib/modules's size: 1 GiB and more
       return zip;
     },
     ArchiveForm::Zip, "the archive unpacks to more than 1048576 bytes"},
    {"ZipSizeLies",
     [] {
       std::string zip = windowsZip({{"lib/modules", std::string(1000, 'm'), false, ""}});
       zip[centralHeader(zip, "lib/modules") + 24] -= 1;  // one byte fewer than it holds
       return zip;
     },
     ArchiveForm::Zip, "jdk-21-jre/lib/modules does not unpack to the 999 bytes its entry says"},
    {"ZipDamaged",
     [] {
       std::string zip = windowsZip({{"lib/modules", std::string(1000, 'm'), false, ""}});
       zip[zip.find("lib/modules") + 12] ^= 0x55;
       return zip;
     },
     ArchiveForm::Zip, "jdk-21-jre/lib/modules is damaged ("},
    {"ZipCutShort", [] { const std::string zip = windowsZip({{"release", "x", false, ""}}); return zip.substr(0, zip.size() - 10); },
     ArchiveForm::Zip, "the archive is no zip archive, or it is cut short"},
    {"ZipEncrypted",
     [] {
       std::string zip = windowsZip({{"release", "x", false, ""}});
       zip[centralHeader(zip, "release") + 8] |= 1;
       return zip;
     },
     ArchiveForm::Zip, "jdk-21-jre/release is encrypted"},
};

class RuntimeArchiveRefusalTest : public ::testing::TestWithParam<RefusalRow> {};

TEST_P(RuntimeArchiveRefusalTest, SaysWhatIsWrong) {
  const RefusalRow& row = GetParam();
  std::string error;
  EXPECT_FALSE(unpackRuntime(row.archive(), row.form, row.system, "runtime/", SMALL, error));
  EXPECT_EQ(error.substr(0, row.error.size()), row.error) << error;
}

INSTANTIATE_TEST_SUITE_P(Rows, RuntimeArchiveRefusalTest, ::testing::ValuesIn(REFUSAL_ROWS),
                         [](const auto& info) { return std::string(info.param.name); });

std::vector<std::string> described(const ImageFiles& files) {
  std::vector<std::string> lines;
  for (const ImageFile& file : files) lines.push_back(file.path + (file.program ? " * " : " ") + file.bytes);
  return lines;
}

TEST(RuntimeArchiveTest, TheTopFolderGoesAndLinksAreCopiesOfTheirFiles) {
  const std::string archive =
      tarGz(tarEntry("./jdk-21.0.2+13-jre/", '5') + tarEntry("./jdk-21.0.2+13-jre/bin/java", '0', "ELF", "", 0755) +
            tarEntry("./jdk-21.0.2+13-jre/bin/run.sh", '0', "sh", "", 0755) +
            tarEntry("./jdk-21.0.2+13-jre/legal/java.base/LICENSE", '0', "GPL") +
            tarEntry("./jdk-21.0.2+13-jre/legal/java.xml/LICENSE", '2', "", "../java.base/LICENSE") +
            tarEntry("./jdk-21.0.2+13-jre/lib/jspawnhelper", '1', "", "jdk-21.0.2+13-jre/bin/java"));
  std::string error;
  const std::optional<ImageFiles> files =
      unpackRuntime(archive, ArchiveForm::TarGz, RuntimeSystem::Linux, "runtime/", SMALL, error);
  ASSERT_TRUE(files) << error;
  EXPECT_EQ(described(*files), std::vector<std::string>({"runtime/bin/java * ELF", "runtime/bin/run.sh * sh",
                                                         "runtime/legal/java.base/LICENSE GPL",
                                                         "runtime/legal/java.xml/LICENSE GPL",
                                                         "runtime/lib/jspawnhelper * ELF"}));
}

TEST(RuntimeArchiveTest, ARuntimesOwnFolderAtTheTopStays) {
  const ImageFiles runtime = {{"bin/java.exe", "MZ", false, ""}, {"bin/server/jvm.dll", "MZ", false, ""}};
  std::string error;
  const std::optional<ImageFiles> files = unpackRuntime(*zipArchive(runtime, "bin", 0), ArchiveForm::Zip,
                                                        RuntimeSystem::Windows, "runtime/", SMALL, error);
  ASSERT_TRUE(files) << error;
  EXPECT_EQ(described(*files), std::vector<std::string>({"runtime/bin/bin/java.exe MZ",
                                                         "runtime/bin/bin/server/jvm.dll MZ"}));
}

}  // namespace
}  // namespace pack
}  // namespace tarvik
