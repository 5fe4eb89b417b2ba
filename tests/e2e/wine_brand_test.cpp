// tarvik-brand, native and under Wine, on the real tarvik.exe: the copy's
// icon and version information as Windows reads them (tests/e2e/win/
// brandprobe.c), the copy run under its new name, tools that read PE files,
// and the bad inputs.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

const std::string RUNTIMES = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

void put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// An icon image and the pixels Windows should show for it (top-down BGRA).
struct TestImage {
  int size;
  int bits;
  std::string data;
  std::string pixels;
};

std::string dibHeader(int size, int bits, size_t imageBytes) {
  std::string h;
  put(h, 40, 4); put(h, size, 4); put(h, 2 * size, 4); put(h, 1, 2); put(h, bits, 2);
  put(h, 0, 4); put(h, imageBytes, 4); put(h, 0, 16);
  return h;
}

// A gradient that differs with the size, with a transparent corner.
TestImage image32(int size) {
  TestImage image{size, 32, "", ""};
  std::vector<std::string> rows;
  for (int y = 0; y < size; ++y) {
    std::string row;
    for (int x = 0; x < size; ++x) {
      if (x + y < size / 4) {
        put(row, 0, 4);
      } else {
        row += static_cast<char>(x * 255 / size);
        row += static_cast<char>(y * 255 / size);
        row += static_cast<char>(size * 4);
        row += '\xff';
      }
    }
    image.pixels += row;
    rows.push_back(row);
  }
  std::string colours;
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) colours += *row;
  const std::string mask(((size + 31) / 32) * 4 * size, '\0');
  image.data = dibHeader(size, 32, colours.size() + mask.size()) + colours + mask;
  return image;
}

// 16 colours; only its bytes are compared.
TestImage image4(int size) {
  TestImage image{size, 4, "", ""};
  std::string palette;
  for (int i = 0; i < 16; ++i) put(palette, uint32_t(i * 0x0F0F0F), 4);
  const int row = (size * 4 + 31) / 32 * 4;
  std::string colours;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < row; ++x) colours += static_cast<char>((x + y) * 0x11);
  const std::string mask(((size + 31) / 32) * 4 * size, '\0');
  image.data = dibHeader(size, 4, colours.size() + mask.size()) + palette + colours + mask;
  return image;
}

std::string icoFile(const std::vector<TestImage>& images, uint16_t type = 1) {
  std::string out;
  put(out, 0, 2); put(out, type, 2); put(out, images.size(), 2);
  size_t offset = 6 + 16 * images.size();
  for (const TestImage& i : images) {
    out += static_cast<char>(i.size); out += static_cast<char>(i.size);
    out += static_cast<char>(i.bits == 4 ? 16 : 0); out += '\0';
    put(out, 1, 2); put(out, i.bits, 2); put(out, i.data.size(), 4); put(out, offset, 4);
    offset += i.data.size();
  }
  for (const TestImage& i : images) out += i.data;
  return out;
}

// An .ico file whose entries name (offset, size) ranges of `images`, which
// follow the directory.
std::string icoOf(const std::string& images, const std::vector<std::pair<uint32_t, uint32_t>>& entries) {
  std::string out;
  put(out, 0, 2); put(out, 1, 2); put(out, entries.size(), 2);
  for (const auto& entry : entries) {
    put(out, 0x1010, 4); put(out, 1, 2); put(out, 32, 2);
    put(out, entry.second, 4); put(out, 6 + 16 * entries.size() + entry.first, 4);
  }
  return out + images;
}

std::string hex(const std::string& bytes) {
  std::string out;
  char pair[3];
  for (char c : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", static_cast<unsigned char>(c));
    out += pair;
  }
  return out;
}

std::string fnv1a(const std::string& bytes) {
  uint32_t hash = 2166136261u;
  for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  char text[9];
  std::snprintf(text, sizeof text, "%08x", hash);
  return text;
}

// brandprobe's lines by their first word and the rest ("string Name" by two).
std::map<std::string, std::string> probeFacts(const std::string& output) {
  std::map<std::string, std::string> facts;
  std::istringstream lines(output);
  std::string line;
  int entry = 0;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    std::string key = line.substr(0, space), rest = line.substr(space + 1);
    if (key == "entry") key += " " + std::to_string(++entry);
    if (key == "string" || key == "icon") {
      size_t second = rest.find(' ');
      key += " " + rest.substr(0, second);
      rest = second == std::string::npos ? "" : rest.substr(second + 1);
    }
    facts[key] = rest;
  }
  return facts;
}

std::string quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// A shell command's exit code, standard output and error.
RunResult shell(const std::string& command) {
  RunResult run = runNative("/bin/sh", RunOptions::of({"-c", command}));
  return run;
}

// The tool's own lines of an error stream (Wine may add lines of its own).
std::string toolLines(const std::string& err) {
  std::istringstream lines(err);
  std::string line, out;
  while (std::getline(lines, line))
    if (line.rfind("tarvik-brand", 0) == 0 || line.rfind("  ", 0) == 0) out += line + "\n";
  return out;
}

class WineBrandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WineEnvironment& wine = WineEnvironment::get();
    runtimeHome() = newCaseDir("runtime") + "/jre";
    makeDirs(runtimeHome() + "/bin");
    std::string fake = readFile(wine.testTool("fakejava.exe"));
    writeFile(runtimeHome() + "/bin/java.exe", fake);
    writeFile(runtimeHome() + "/bin/javaw.exe", fake);
    wine.registryAdd(RUNTIMES, "CurrentVersion", "1.8");
    wine.registryAdd(RUNTIMES + "\\1.8", "JavaHome", WineEnvironment::windowsPath(runtimeHome()));
  }
  static std::string& runtimeHome() {
    static std::string home;
    return home;
  }

  // Runs tarvik-brand, natively or (windowsTool) the .exe under Wine, in `cwd`.
  RunResult brand(bool windowsTool, const std::vector<std::string>& args, const std::string& cwd) {
    if (windowsTool) {
      std::vector<std::string> words = {wine.testTool("tarvik-brand.exe")};
      words.insert(words.end(), args.begin(), args.end());
      return wine.runWine(words, cwd);
    }
    RunOptions options = RunOptions::of(args);
    options.cwd = cwd;
    return runNative(TARVIK_BRAND_TOOL, options);
  }

  void brandsACopyWindowsReads(bool windowsTool);

  WineEnvironment& wine = WineEnvironment::get();
};

void WineBrandTest::brandsACopyWindowsReads(bool windowsTool) {
  const std::string dir = newCaseDir(windowsTool ? "exe-tool" : "native-tool");
  const std::vector<TestImage> images = {image32(16), image32(32), image4(32), image32(48)};
  writeFile(dir + "/app.ico", icoFile(images));
  const std::string launcher = wine.installLauncher(dir, "tarvik.exe");
  makeDirs(dir + "/dist");
  RunResult run = brand(windowsTool,
                        {"--icon", "app.ico", "--name", "Ωmega Tøol", "--version", "1.4.2.65535",
                         "--company", "Åcme Ltd", "--copyright", "© 2026 Åcme", "tarvik.exe",
                         "dist/acme.exe"},
                        dir);
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  EXPECT_EQ(toolLines(run.err), "") << run.err;
  const std::string exe = dir + "/dist/acme.exe";
  ASSERT_TRUE(fileExists(exe));

  RunResult probe = wine.runWine({wine.testTool("brandprobe.exe"), exe, "16", "32", "48"});
  std::map<std::string, std::string> facts = probeFacts(probe.out);
  EXPECT_EQ(facts["groups"], "1") << probe.out << probe.err;
  for (size_t i = 0; i < images.size(); ++i) {
    const TestImage& image = images[i];
    EXPECT_EQ(facts["entry " + std::to_string(i + 1)],
              std::to_string(image.size) + " " + std::to_string(image.size) + " " +
                  std::to_string(image.bits) + " " + std::to_string(image.data.size()) + " " +
                  fnv1a(image.data))
        << "image " << i + 1;
  }
  for (const TestImage& image : {images[0], images[1], images[3]}) {
    const std::string size = std::to_string(image.size);
    EXPECT_EQ(facts["icon " + size], size + "x" + size + " " + hex(image.pixels)) << "LoadImage " << size;
  }
  EXPECT_EQ(facts["extract"], "32x32 " + hex(images[1].pixels)) << "ExtractIconEx";
  EXPECT_EQ(facts["fixed"], "1.4.2.65535 1.4.2.65535");
  EXPECT_EQ(facts["translation"], "0409 04b0");
  const std::map<std::string, std::string> strings = {
      {"CompanyName", "Åcme Ltd"},      {"FileDescription", "Ωmega Tøol"},
      {"FileVersion", "1.4.2.65535"},   {"InternalName", "acme"},
      {"LegalCopyright", "© 2026 Åcme"}, {"OriginalFilename", "acme.exe"},
      {"ProductName", "Ωmega Tøol"},    {"ProductVersion", "1.4.2.65535"}};
  for (const auto& s : strings) EXPECT_EQ(facts["string " + s.first], s.second) << s.first;

  // Tools that read PE files take it without complaint, and every resource
  // but the icon and the version comes over byte for byte.
  RunResult objdump = shell("x86_64-w64-mingw32-objdump -p " + quote(exe));
  EXPECT_EQ(objdump.exitCode, 0u);
  EXPECT_EQ(objdump.err, "");
  EXPECT_NE(objdump.out.find("Resource Directory [.rsrc]"), std::string::npos);
  RunResult listed = shell("wrestool -l " + quote(exe));
  EXPECT_EQ(listed.exitCode, 0u);
  EXPECT_EQ(listed.err, "");
  EXPECT_NE(listed.out.find("--type=14 --name=1 "), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("--type=16 --name=1 "), std::string::npos) << listed.out;
  RunResult kept = shell(
      "wrestool -l " + quote(launcher) + " | grep -vE -- '--type=(3|14|16) ' | "
      "while read -r type name lang rest; do "
      "  a=$(wrestool -x $type $name $lang " + quote(launcher) + " | od -An -tx1); "
      "  b=$(wrestool -x $type $name $lang " + quote(exe) + " | od -An -tx1); "
      "  [ \"$a\" = \"$b\" ] && echo \"same $type $name\" || echo \"DIFFERENT $type $name\"; "
      "done");
  EXPECT_EQ(kept.out.find("DIFFERENT"), std::string::npos) << kept.out;

  // The copy runs as the launcher does: its configuration by its new name.
  writeFile(dir + "/dist/acme.config", "mainclass app.Main\nargument from-config\n");
  const std::string record = dir + "/record.txt";
  RunOptions options = RunOptions::of({"-q", "-passExitCode"});
  options.env = {{"FAKEJAVA_RECORD", WineEnvironment::windowsPath(record)}, {"FAKEJAVA_EXIT", "7"}};
  RunResult launched = wine.runLauncher(exe, options);
  EXPECT_EQ(launched.exitCode, 7u) << launched.err;
  EXPECT_TRUE(launched.boxes.empty());
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(record);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_NE(runs[0].cmdline.find("\\dist\\acme.config\" "), std::string::npos) << runs[0].cmdline;
  EXPECT_NE(runs[0].cmdline.find(" app.Main \"from-config\""), std::string::npos) << runs[0].cmdline;
}

TEST_F(WineBrandTest, TheLinuxToolBrandsACopyThatWindowsReadsAndRuns) {
  brandsACopyWindowsReads(false);
}

TEST_F(WineBrandTest, TheWindowsToolBrandsTheSameUnderWine) {
  brandsACopyWindowsReads(true);
}

uint32_t le32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return v;
}

// The files of the bad-input table, in `dir`.
void writeBadInputs(WineEnvironment& wine, const std::string& dir) {
  const std::string launcher = readFile(wine.installLauncher(dir, "tarvik.exe"));
  const std::string icon = icoFile({image32(16), image32(32)});
  writeFile(dir + "/app.ico", icon);
  writeFile(dir + "/notpe.exe", "mainclass app.Main\n");
  std::string pe32 = launcher;
  pe32[le32(launcher, 0x3C) + 24] = 0x0B;
  pe32[le32(launcher, 0x3C) + 25] = 0x01;
  writeFile(dir + "/pe32.exe", pe32);
  writeFile(dir + "/fake.exe", readFile(wine.testTool("fakejava.exe")));
  writeFile(dir + "/cut.exe", launcher.substr(0, launcher.size() / 2));
  writeFile(dir + "/text.ico", "not an icon");
  writeFile(dir + "/cut.ico", icon.substr(0, icon.size() - 100));
  writeFile(dir + "/empty.ico", icoFile({}));
  writeFile(dir + "/cursor.ico", icoFile({image32(16)}, 2));
  const std::string image = image32(16).data;
  const uint32_t size = static_cast<uint32_t>(image.size());
  writeFile(dir + "/shared.ico", icoOf(image, std::vector<std::pair<uint32_t, uint32_t>>(65535, {0, size})));
  writeFile(dir + "/overlap.ico", icoOf(image + image, {{0, 2 * size}, {size, size}}));
  writeFile(dir + "/huge.ico", icon + std::string((16 << 20) + 1 - icon.size(), '\0'));
  makeDirs(dir + "/dist");
  makeDirs(dir + "/folder.exe");
}

struct BadInput {
  const char* what;
  std::vector<std::string> args;
  uint32_t exitCode;
  const char* message;
  size_t copyAtMost = 0;  // for a copy written (exit code 0), its largest size
};

const std::vector<std::string> GOOD = {"--icon", "app.ico", "--name", "Acme", "--version",
                                       "1.0.0.0", "tarvik.exe", "dist/acme.exe"};

// GOOD with the value after `key` (or the file at `index`) replaced.
std::vector<std::string> with(const std::string& key, const std::string& value) {
  std::vector<std::string> args = GOOD;
  for (size_t i = 0; i + 1 < args.size(); ++i)
    if (args[i] == key) args[i + 1] = value;
  if (key == "launcher") args[6] = value;
  if (key == "output") args[7] = value;
  return args;
}

const std::vector<BadInput>& badInputs() {
  static const std::vector<BadInput> table = {
      {"text, not a PE", with("launcher", "notpe.exe"), 3, "notpe.exe: not a PE32+ file: it has no MZ header"},
      {"32-bit PE", with("launcher", "pe32.exe"), 3, "pe32.exe: not a PE32+ file: it is a 32-bit (PE32) image"},
      {"another program", with("launcher", "fake.exe"), 3, "fake.exe: not a Tarvik launcher"},
      {"truncated launcher", with("launcher", "cut.exe"), 3, "cut.exe: damaged PE32+ file"},
      {"missing launcher", with("launcher", "nosuch.exe"), 3, "nosuch.exe: cannot be read: "},
      {"text, not an icon", with("--icon", "text.ico"), 4, "text.ico: not an icon file"},
      {"truncated icon", with("--icon", "cut.ico"), 4, "cut.ico: truncated icon file: image 2"},
      {"icon without images", with("--icon", "empty.ico"), 4, "empty.ico: the icon holds no image"},
      {"cursor", with("--icon", "cursor.ico"), 4, "cursor.ico: not an icon file: it is a cursor"},
      {"three numbers", with("--version", "1.4.2"), 2, "the version \"1.4.2\" is not four numbers"},
      {"number above 65535", with("--version", "1.4.2.65536"), 2, "is not four numbers from 0 to 65535"},
      {"negative number", with("--version", "1.-4.2.0"), 2, "is not four numbers"},
      {"no icon", {"--name", "Acme", "--version", "1.0.0.0", "tarvik.exe", "dist/acme.exe"}, 2,
       "--icon is required"},
      {"output in a missing folder", with("output", "nosuch/acme.exe"), 5, "nosuch/acme.exe: cannot be written: "},
      {"output is a folder", with("output", "folder.exe"), 5, "folder.exe: cannot be written: "},
      {"65535 entries of one image", with("--icon", "shared.ico"), 0, "", 4 << 20},
      {"images that overlap", with("--icon", "overlap.ico"), 4, "overlap.ico: damaged icon file: images 1 and 2 overlap"},
      {"icon above 16 MiB", with("--icon", "huge.ico"), 4, "huge.ico: the icon file is larger than 16 MiB"},
      {"name of 20000 characters", with("--name", std::string(20000, 'n')), 2,
       "the version information would take more than the 65535 bytes"},
  };
  return table;
}

std::string listing(const std::string& dir) {
  return shell("cd " + quote(dir) + " && ls -AR").out;
}

TEST_F(WineBrandTest, BadInputsAreRefusedAndNothingIsWritten) {
  const std::string dir = newCaseDir("bad");
  writeBadInputs(wine, dir);
  for (bool windowsTool : {false, true}) {
    for (const BadInput& row : badInputs()) {
      writeFile(dir + "/dist/acme.exe", "previous");
      const std::string before = listing(dir);
      RunResult run = brand(windowsTool, row.args, dir);
      const std::string tool = windowsTool ? "tarvik-brand.exe: " : "tarvik-brand: ";
      EXPECT_EQ(run.exitCode, row.exitCode) << tool << row.what << "\n" << run.err;
      const std::string said = toolLines(run.err);
      if (row.exitCode == 0) {
        EXPECT_EQ(said, "") << tool << row.what;
        EXPECT_LE(readFile(dir + "/dist/acme.exe").size(), row.copyAtMost) << tool << row.what;
        continue;
      }
      EXPECT_EQ(said.rfind("tarvik-brand: ", 0), 0u) << tool << row.what << "\n" << run.err;
      EXPECT_NE(said.find(row.message), std::string::npos) << tool << row.what << "\n" << run.err;
      EXPECT_EQ(readFile(dir + "/dist/acme.exe"), "previous") << tool << row.what;
      EXPECT_EQ(listing(dir), before) << tool << row.what;
    }
  }
}

TEST_F(WineBrandTest, ASignedLauncherIsBrandedWithoutItsSignatureAndAWarning) {
  const std::string dir = newCaseDir("signed");
  writeFile(dir + "/app.ico", icoFile({image32(16)}));
  std::string launcher = readFile(wine.installLauncher(dir, "tarvik.exe"));
  std::string signedLauncher = launcher;
  signedLauncher.resize((signedLauncher.size() + 7) / 8 * 8, '\0');
  const size_t certificate = signedLauncher.size();
  put(signedLauncher, 16, 4); put(signedLauncher, 0x0200, 2); put(signedLauncher, 2, 2);
  put(signedLauncher, 0x1122334455667788u, 8);
  std::string directory;
  put(directory, certificate, 4); put(directory, 16, 4);
  signedLauncher.replace(le32(launcher, 0x3C) + 24 + 112 + 4 * 8, 8, directory);
  writeFile(dir + "/signed.exe", signedLauncher);

  const std::vector<std::string> args = {"--icon", "app.ico", "--name", "Acme", "--version", "2.0.0.1"};
  std::vector<std::string> plain = args, fromSigned = args;
  plain.insert(plain.end(), {"tarvik.exe", "a/acme.exe"});
  fromSigned.insert(fromSigned.end(), {"signed.exe", "b/acme.exe"});
  makeDirs(dir + "/a");
  makeDirs(dir + "/b");
  RunResult unsignedRun = brand(false, plain, dir);
  RunResult signedRun = brand(false, fromSigned, dir);
  EXPECT_EQ(unsignedRun.exitCode, 0u) << unsignedRun.err;
  EXPECT_EQ(signedRun.exitCode, 0u) << signedRun.err;
  EXPECT_EQ(signedRun.err,
            "tarvik-brand: warning: signed.exe carries an Authenticode signature; b/acme.exe is "
            "written without it, because branding breaks it\n");
  EXPECT_TRUE(readFile(dir + "/a/acme.exe") == readFile(dir + "/b/acme.exe"))
      << "the signature is all that differed";

  // The checksum field is that of the file as written.
  const std::string branded = readFile(dir + "/b/acme.exe");
  const size_t field = le32(branded, 0x3C) + 24 + 64;
  uint64_t sum = 0;
  for (size_t i = 0; i < branded.size(); i += 2) {
    if (i == field || i == field + 2) continue;
    sum += static_cast<unsigned char>(branded[i]) |
           (i + 1 < branded.size() ? static_cast<unsigned char>(branded[i + 1]) << 8 : 0);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  EXPECT_EQ(le32(branded, field), uint32_t((sum & 0xFFFF) + (sum >> 16) + branded.size()));
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
