#include "brand/Branding.h"

#include <gtest/gtest.h>

#include "brand/BrandTool.h"
#include "brand/ByteIo.h"
#include "brand/PeImage.h"
#include "brand/ResourceTree.h"
#include "brand/Utf16.h"

namespace tarvik {
namespace brand {
namespace {

ResourceId id(uint16_t n) { return ResourceId::number(n); }
const ResourceId ENGLISH = id(0x409);

// An icon of `images`, its entries naming them by index (each once when
// not given).
IconFile iconOf(const std::vector<std::string>& images, std::vector<size_t> entries = {}) {
  IconFile icon;
  icon.data = images;
  for (size_t i = 0; entries.size() < images.size(); ++i) entries.push_back(i);
  for (size_t i : entries)
    icon.images.push_back({ICONDIRENTRY{16, 16, 0, 0, 1, 32, uint32_t(images[i].size()), 0}, i});
  return icon;
}

std::string launcherVersion(const std::string& internalName = "tarvik") {
  VersionResource v;
  v.strings = {{"InternalName", internalName}, {"ProductName", "Tarvik"}};
  return *versionInfoResource(v);
}

// A PE32+ image with a code section and `tree` as its resource section;
// its certificate table, when `certificatesFrom` is given, runs from there
// to the end of the file.
std::string peImage(const ResourceTree& tree, uint32_t fileAlignment = 0x200,
                    std::optional<uint32_t> certificatesFrom = std::nullopt) {
  PeImage pe;
  pe.bytes.assign(0x200, '\0');
  LeWriter(pe.bytes, 0)(IMAGE_DOS_SIGNATURE);
  LeWriter(pe.bytes, 0x3C)(uint32_t(0x40));
  pe.dos.e_lfanew = 0x40;
  pe.nt.Signature = IMAGE_NT_SIGNATURE;
  pe.nt.FileHeader = {0x8664, 2, 0, 0, 0, 240, 0x22};
  IMAGE_OPTIONAL_HEADER64& o = pe.nt.OptionalHeader;
  o.Magic = IMAGE_NT_OPTIONAL_HDR64_MAGIC;
  o.SectionAlignment = 0x1000;
  o.FileAlignment = fileAlignment;
  o.SizeOfHeaders = 0x200;
  o.SizeOfImage = 0x3000;
  o.NumberOfRvaAndSizes = 16;
  std::string code(0x200, '\xCC');
  pe.bytes += code;
  std::string resources = buildResourceSection(tree, 0x2000);
  o.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE] = {0x2000, uint32_t(resources.size())};
  pe.sections = {{{'.', 't', 'e', 'x', 't'}, 0x200, 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020},
                 {{'.', 'r', 's', 'r', 'c'}, uint32_t(resources.size()), 0x2000,
                  uint32_t(alignUp(resources.size(), 0x200)), 0x400, 0, 0, 0, 0, 0x40000040}};
  resources.resize(alignUp(resources.size(), 0x200), '\0');
  pe.bytes += resources;
  if (certificatesFrom)
    o.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY] = {
        *certificatesFrom, uint32_t(pe.bytes.size() - *certificatesFrom)};
  pe.writeHeaders();
  return pe.bytes;
}

TEST(BrandingTest, ReplacesTheShownIconAndTheVersionAndKeepsEverythingElse) {
  ResourceTree tree;
  tree[id(RT_VERSION)][id(1)][ENGLISH] = {launcherVersion(), 0};
  tree[id(RT_GROUP_ICON)][id(1)][ENGLISH] = {groupIconResource(iconOf({"a", "b"}), {1, 2}), 0};
  tree[id(RT_GROUP_ICON)][id(5)][ENGLISH] = {groupIconResource(iconOf({"c"}), {3}), 0};
  tree[id(RT_ICON)][id(1)][ENGLISH] = {"one", 0};
  tree[id(RT_ICON)][id(2)][ENGLISH] = {"two", 0};
  tree[id(RT_ICON)][id(3)][ENGLISH] = {"three", 0};
  tree[id(RT_MANIFEST)][id(1)][ENGLISH] = {"<assembly/>", 0};
  tree[ResourceId::named(u"DATA")][ResourceId::named(u"Conf")][ENGLISH] = {"en", 1252};
  tree[ResourceId::named(u"DATA")][ResourceId::named(u"Conf")][id(0x407)] = {"de", 0};
  const std::string input = peImage(tree);

  BrandInput in;
  in.launcher = input;
  in.icon = iconOf({"img1", "img2", "img3"});
  in.version = {1, 4, 2, 0};
  in.productName = "Acme";
  in.outputFileName = "C:\\dist\\Acme Tool.exe";
  BrandResult result = brandLauncher(in);
  ASSERT_TRUE(result.image) << result.error;
  const std::string& out = *result.image;

  PeReadResult read = readPeImage(out);
  ASSERT_TRUE(read.image) << read.error;
  const PeImage& pe = *read.image;
  EXPECT_EQ(out.substr(0x200, input.size() - 0x200), input.substr(0x200)) << "no byte moved";
  EXPECT_EQ(pe.nt.OptionalHeader.CheckSum, checkSumMappedFile(out, pe.checkSumOffset()));
  ASSERT_EQ(pe.sections.size(), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(pe.sections[1].Name), 8), std::string(".oldrsrc"));
  EXPECT_EQ(pe.sections[2].VirtualAddress, 0x3000u);
  EXPECT_EQ(pe.nt.OptionalHeader.SizeOfImage, 0x4000u);
  EXPECT_EQ(pe.nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress, 0x3000u);

  ResourceTree branded = *readResourceTree(pe).tree;
  ResourceTree expected = tree;
  NameMap& icons = expected[id(RT_ICON)];
  icons.erase(id(1));
  icons.erase(id(2));
  icons[id(1)][ENGLISH] = {"img1", 0};
  icons[id(2)][ENGLISH] = {"img2", 0};
  icons[id(4)][ENGLISH] = {"img3", 0};  // 3 is the other group's
  expected[id(RT_GROUP_ICON)][id(1)][ENGLISH].data = groupIconResource(in.icon, {1, 2, 4});
  expected[id(RT_VERSION)][id(1)][ENGLISH].data = branded[id(RT_VERSION)][id(1)][ENGLISH].data;
  for (const auto& type : expected)
    for (const auto& name : type.second)
      for (const auto& language : name.second) {
        const Resource& got = branded[type.first][name.first][language.first];
        EXPECT_EQ(got.data, language.second.data) << type.first.id << "/" << name.first.id;
        EXPECT_EQ(got.codePage, language.second.codePage);
      }
  EXPECT_EQ(readVersionStrings(branded[id(RT_VERSION)][id(1)][ENGLISH].data),
            (std::map<std::string, std::string>{{"FileDescription", "Acme"},
                                                {"FileVersion", "1.4.2.0"},
                                                {"InternalName", "Acme Tool"},
                                                {"OriginalFilename", "Acme Tool.exe"},
                                                {"ProductName", "Acme"},
                                                {"ProductVersion", "1.4.2.0"}}));
}

// Launchers whose copies must read back with the icon asked for and every
// other resource as it was.
TEST(BrandingTest, CopiesReadBack) {
  const ResourceTree emptyManifest = {{id(RT_MANIFEST), {{id(1), {{ENGLISH, {"", 0}}}}}}};
  struct Case {
    const char* what;
    uint32_t fileAlignment;
    ResourceTree kept;
    IconFile icon;
    std::vector<uint16_t> groupIds;
    std::optional<uint32_t> certificatesFrom;
  } cases[] = {
      {"an empty resource last, no file padding", 2, emptyManifest, iconOf({"img"}), {1}, std::nullopt},
      {"entries that share images", 0x200, {}, iconOf({"a", "b"}, {0, 1, 0, 0, 1}), {1, 2, 1, 1, 2},
       std::nullopt},
      // A signature is the file's tail; one said to start in the headers
      // is no signature to cut off.
      {"a certificate table over the whole file", 0x200, {}, iconOf({"img"}), {1}, 0},
  };
  for (const Case& c : cases) {
    ResourceTree tree = c.kept;
    tree[id(RT_VERSION)][id(1)][ENGLISH] = {launcherVersion(), 0};
    BrandInput in;
    in.launcher = peImage(tree, c.fileAlignment, c.certificatesFrom);
    in.icon = c.icon;
    in.productName = "Acme";
    in.outputFileName = "acme.exe";
    BrandResult result = brandLauncher(in);
    ASSERT_TRUE(result.image) << c.what << ": " << result.error;
    PeReadResult pe = readPeImage(*result.image);
    ASSERT_TRUE(pe.image) << c.what << ": " << pe.error;
    ResourceReadResult back = readResourceTree(*pe.image);
    ASSERT_TRUE(back.tree) << c.what << ": " << back.error;
    for (const auto& type : c.kept)
      for (const auto& name : type.second)
        for (const auto& language : name.second)
          EXPECT_EQ((*back.tree)[type.first][name.first][language.first].data, language.second.data) << c.what;
    NameMap& icons = (*back.tree)[id(RT_ICON)];
    EXPECT_EQ(icons.size(), c.icon.data.size()) << c.what << ": each image once";
    const std::vector<uint16_t> ids = groupIconIds((*back.tree)[id(RT_GROUP_ICON)][id(1)][ENGLISH].data);
    EXPECT_EQ(ids, c.groupIds) << c.what;
    for (size_t i = 0; i < ids.size() && i < c.icon.images.size(); ++i)
      EXPECT_EQ(icons[id(ids[i])][ENGLISH].data, c.icon.data[c.icon.images[i].data]) << c.what;
  }
}

TEST(BrandingTest, RefusesWhatItCannotBrand) {
  ResourceTree other;
  VersionResource v;
  v.strings = {{"InternalName", "other"}, {"ProductName", "Other"}};
  other[id(RT_VERSION)][id(1)][ENGLISH] = {*versionInfoResource(v), 0};
  std::string outside = peImage({{id(RT_VERSION), {{id(1), {{ENGLISH, {launcherVersion(), 0}}}}}}});
  LeWriter(outside, 0x400 + 16 * 3 + 8 * 3)(uint32_t(0x9000));  // the data entry's RVA
  struct Case {
    std::string image;
    std::string error;
  } cases[] = {
      {"MZ", "not a PE32+ file: it has no MZ header"},
      {peImage(other), "not a Tarvik launcher"},
      {peImage({}), "not a Tarvik launcher"},
      {peImage({}).substr(0, 0x300), "damaged PE32+ file: a section's data lies beyond the end of the file"},
      {outside, "damaged resource tree: a resource's data lies outside the file"},
  };
  for (const Case& c : cases) {
    BrandInput in;
    in.launcher = c.image;
    in.icon = iconOf({"x"});
    BrandResult result = brandLauncher(in);
    EXPECT_FALSE(result.image);
    EXPECT_EQ(result.error.rfind(c.error, 0), 0u) << result.error;
  }
}

// Each of the launchers can be branded: the windowed, the console and the
// service launcher.
TEST(BrandingTest, BrandsEachOfTheLaunchers) {
  for (const char* internal : {"tarvik", "tarvikc", "tarvikd"}) {
    BrandInput in;
    in.launcher = peImage({{id(RT_VERSION), {{id(1), {{ENGLISH, {launcherVersion(internal), 0}}}}}}});
    in.icon = iconOf({"x"});
    BrandResult result = brandLauncher(in);
    EXPECT_TRUE(result.image) << internal << ": " << result.error;
  }
}

TEST(BrandingTest, VersionNumbersAreFourNumbersUpTo65535) {
  EXPECT_EQ(parseVersionNumber("1.4.2.0"), (VersionNumber{1, 4, 2, 0}));
  EXPECT_EQ(parseVersionNumber("65535.0.00007.1"), (VersionNumber{65535, 0, 7, 1}));
  for (const char* bad : {"", "1.4.2", "1.4.2.0.0", "1.4.2.65536", "1..2.0", "1.4.2.", "+1.4.2.0",
                          "1.4.2.0 ", "1.4.2.99999999999"})
    EXPECT_FALSE(parseVersionNumber(bad)) << bad;
}

TEST(BrandingTest, Utf8AndUtf16RoundTrip) {
  const std::string text = "Acme \xC2\xA9 \xCE\xA9 \xF0\x9F\x98\x80";  // ©, Ω, an emoji
  std::optional<std::u16string> wide = utf8ToUtf16(text);
  ASSERT_TRUE(wide);
  EXPECT_EQ(*wide, u"Acme \u00A9 \u03A9 \U0001F600");
  EXPECT_EQ(utf16ToUtf8(*wide), text);
  for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xFF"}) EXPECT_FALSE(utf8ToUtf16(bad));
}

TEST(BrandingTest, IconImagesAreCheckedAndDescribed) {
  auto ico = [](const std::string& image, uint16_t bits) {
    std::string out;
    LeWriter w(out, 0);
    w(uint16_t(0)); w(uint16_t(1)); w(uint16_t(1));
    w(uint8_t(0)); w(uint8_t(0)); w(uint8_t(0)); w(uint8_t(0));
    w(uint16_t(0)); w(bits); w(uint32_t(image.size())); w(uint32_t(22));
    return out + image;
  };
  std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\1\0\0\0\1\0\x08\x06", 26) +
                    std::string(7, '\0');
  std::string dib(40 + 4 * 4 + 4 * 4, '\0');  // 4x4, 8 bits: header, pixels, mask, no palette yet
  LeWriter d(dib, 0);
  d(uint32_t(40)); d(uint32_t(4)); d(uint32_t(8)); d(uint16_t(1)); d(uint16_t(32));
  IconReadResult fromPng = readIconFile(ico(png, 0));
  ASSERT_TRUE(fromPng.icon) << fromPng.error;
  EXPECT_EQ(fromPng.icon->images[0].entry.wBitCount, 32) << "8 bits of each of 4 channels";
  EXPECT_EQ(fromPng.icon->images[0].entry.wPlanes, 1);
  IconReadResult fromDib = readIconFile(ico(dib + std::string(64 - 16, '\0'), 0));
  ASSERT_TRUE(fromDib.icon) << fromDib.error;
  EXPECT_EQ(fromDib.icon->images[0].entry.wBitCount, 32);
  EXPECT_EQ(readIconFile(ico(dib, 0)).error,
            "truncated icon file: image 1 holds fewer pixels than its size needs");
  EXPECT_EQ(readIconFile(ico(png.substr(0, 20), 0)).error,
            "damaged icon file: image 1 is a PNG without its header");
}

// The tool over files in memory.
class MemorySystem : public BrandSystem {
 public:
  std::vector<std::string> args;
  std::map<std::string, std::string> files;
  std::vector<std::string> written;
  std::string err;
  std::vector<std::string> arguments() override { return args; }
  std::optional<std::string> readFile(const std::string& path, size_t limit, std::string& error) override {
    if (!files.count(path)) {
      error = "No such file";
      return std::nullopt;
    }
    return files[path].substr(0, limit);
  }
  bool replaceFile(const std::string& path, const std::string& bytes, std::string&) override {
    written.push_back(path);
    files[path] = bytes;
    return true;
  }
  void writeStderr(const std::string& text) override { err += text; }
  void writeStdout(const std::string&) override {}
};

TEST(BrandToolTest, SwitchesAndTheirMistakes) {
  ResourceTree tree;
  tree[id(RT_VERSION)][id(1)][ENGLISH] = {launcherVersion(), 0};
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
      {{"--icon=a.ico", "--name=Acme", "--version=1.0.0.0", "t.exe", "o.exe"}, BRAND_OK, ""},
      {{"--icon", "a.ico", "--name", "Acme", "--version", "1.0.0.0", "--", "t.exe", "--o.exe"}, BRAND_OK, ""},
      {{"--icon", "a.ico", "--name", "Acme", "--version", "1.0.0.0", "--colour", "red", "t.exe", "o.exe"},
       BRAND_USAGE, "tarvik-brand: unknown switch --colour\n"},
      {{"--icon", "a.ico", "--name", "A", "--name", "B", "--version", "1.0.0.0", "t.exe", "o.exe"},
       BRAND_USAGE, "tarvik-brand: --name is given twice\n"},
      {{"--icon", "a.ico", "--name", "Acme", "--version", "1.0.0.0", "t.exe"}, BRAND_USAGE,
       "tarvik-brand: name the launcher and the output file, in that order\n"},
      {{"--icon", "a.ico", "--name", "\xFF", "--version", "1.0.0.0", "t.exe", "o.exe"}, BRAND_USAGE,
       "tarvik-brand: the value of --name is not valid UTF-8\n"},
      {{"--icon", "a.ico", "--name", "Acme", "--version"}, BRAND_USAGE, "tarvik-brand: --version needs a value\n"},
      {{"--icon", "a.ico", "--name", "Acme", "--version", "1.0.0.0", "t.exe", "\xFF.exe"}, BRAND_USAGE,
       "tarvik-brand: the output's name is not valid UTF-8\n"},
  };
  for (const Case& c : cases) {
    MemorySystem system;
    system.args = c.args;
    system.files["t.exe"] = peImage(tree);
    system.files["a.ico"] = std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0", 14) +
                            std::string("\x28\x05\0\0\x16\0\0\0", 8);
    std::string dib(0x528, '\0');
    LeWriter w(dib, 0);
    w(uint32_t(40)); w(uint32_t(16)); w(uint32_t(32)); w(uint16_t(1)); w(uint16_t(32));
    system.files["a.ico"] += dib;
    EXPECT_EQ(runBrandTool(system), c.code) << c.args[0] << system.err;
    EXPECT_EQ(system.err.substr(0, system.err.find('\n') + 1), c.err);
    EXPECT_EQ(system.written.size(), c.code == BRAND_OK ? 1u : 0u);
  }
}

}  // namespace
}  // namespace brand
}  // namespace tarvik
