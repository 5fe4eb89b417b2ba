// The .ico reader, the PE reader and the whole of tarvik-brand over files in
// memory. Input: a 16-bit little-endian length, that many bytes of icon,
// then the launcher. Refused input writes nothing; accepted input gives an
// image that reads back with the icon and version asked for, each image
// once, and no larger than its inputs allow.
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "brand/BrandTool.h"
#include "brand/IconFile.h"
#include "brand/PeImage.h"
#include "brand/ResourceTree.h"
#include "brand/VersionInfo.h"

using namespace tarvik::brand;

namespace {

class MemorySystem : public BrandSystem {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> written;
  std::vector<std::string> arguments() override {
    return {"--icon", "app.ico", "--name", "Fuzz \xCE\xA9", "--version", "1.2.3.4",
            "tarvik.exe", "out/fuzz.exe"};
  }
  std::optional<std::string> readFile(const std::string& path, size_t limit, std::string&) override {
    return files[path].substr(0, limit);
  }
  bool replaceFile(const std::string& path, const std::string& bytes, std::string&) override {
    written.push_back(path);
    files[path] = bytes;
    return true;
  }
  void writeStderr(const std::string&) override {}
  void writeStdout(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t iconSize = std::min<size_t>(data[0] | data[1] << 8, size - 2);
  const std::string icon(reinterpret_cast<const char*>(data) + 2, iconSize);
  const std::string launcher(reinterpret_cast<const char*>(data) + 2 + iconSize, size - 2 - iconSize);

  IconReadResult read = readIconFile(icon);
  FUZZ_CHECK(read.icon.has_value() == read.error.empty(), "an icon is read or refused with a reason");
  if (read.icon) {
    FUZZ_CHECK(!read.icon->images.empty(), "an accepted icon has images");
    size_t imageBytes = 0;
    for (const IconImage& image : read.icon->images)
      FUZZ_CHECK(image.data < read.icon->data.size() &&
                     read.icon->data[image.data].size() == image.entry.dwBytesInRes &&
                     image.entry.dwBytesInRes > 0,
                 "each image is whole");
    for (const std::string& image : read.icon->data) imageBytes += image.size();
    FUZZ_CHECK(imageBytes <= icon.size(), "the images, each once, are no larger than the file");
  }
  size_t launcherResources = 0;
  PeReadResult pe = readPeImage(launcher);
  FUZZ_CHECK(pe.image.has_value() == pe.error.empty(), "a PE is read or refused with a reason");
  if (pe.image) {
    for (const IMAGE_SECTION_HEADER& s : pe.image->sections)
      FUZZ_CHECK(s.SizeOfRawData == 0 || uint64_t(s.PointerToRawData) + s.SizeOfRawData <= launcher.size(),
                 "sections lie inside the file");
    ResourceReadResult resources = readResourceTree(*pe.image);
    if (resources.tree)
      for (const auto& type : *resources.tree)
        for (const auto& name : type.second) launcherResources += name.second.size();
  }

  MemorySystem system;
  system.files["app.ico"] = icon;
  system.files["tarvik.exe"] = launcher;
  const int code = runBrandTool(system);
  FUZZ_CHECK(code == BRAND_OK || code == BRAND_BAD_LAUNCHER || code == BRAND_BAD_ICON,
             "documented exit codes only");
  FUZZ_CHECK(system.written.size() == (code == BRAND_OK ? 1u : 0u), "written only when branded");
  if (code != BRAND_OK) return 0;
  FUZZ_CHECK(read.icon && pe.image, "branded only what both readers accept");

  const std::string& out = system.files["out/fuzz.exe"];
  // The launcher, its resources' data and names again (each bounded by
  // the file), the icon's images once each and a group entry for each of
  // its entries, for every resource its directory entries and padding;
  // beyond that the version resource and two file alignments.
  const size_t entries = launcherResources + read.icon->images.size() + 2;
  FUZZ_CHECK(out.size() <= 3 * launcher.size() + 2 * icon.size() + 64 * entries +
                               MAX_VERSION_INFO_BYTES + 2 * 0x10000,
             "the copy's size is bounded by its inputs");
  PeReadResult branded = readPeImage(out);
  FUZZ_CHECK(branded.image.has_value(), "the copy reads as a PE32+ image");
  FUZZ_CHECK(branded.image->nt.OptionalHeader.CheckSum ==
                 checkSumMappedFile(out, branded.image->checkSumOffset()),
             "the checksum is the copy's");
  ResourceReadResult tree = readResourceTree(*branded.image);
  FUZZ_CHECK(tree.tree.has_value(), "the copy's resources read back");
  NameMap& groups = (*tree.tree)[ResourceId::number(RT_GROUP_ICON)];
  FUZZ_CHECK(!groups.empty() && !groups.begin()->second.empty(), "the copy has a group icon");
  const std::vector<uint16_t> ids = groupIconIds(groups.begin()->second.begin()->second.data);
  FUZZ_CHECK(ids.size() == read.icon->images.size(), "the group icon holds every image");
  NameMap& icons = (*tree.tree)[ResourceId::number(RT_ICON)];
  for (size_t i = 0; i < ids.size(); ++i) {
    LanguageMap& image = icons[ResourceId::number(ids[i])];
    FUZZ_CHECK(!image.empty() &&
                   image.begin()->second.data == read.icon->data[read.icon->images[i].data],
               "each image is stored whole under its ID");
  }
  std::set<uint16_t> distinct(ids.begin(), ids.end());
  FUZZ_CHECK(distinct.size() == read.icon->data.size(), "each image is stored once");
  NameMap& versions = (*tree.tree)[ResourceId::number(RT_VERSION)];
  LanguageMap& version = versions[ResourceId::number(1)];
  FUZZ_CHECK(!version.empty(), "the copy has a version resource");
  std::map<std::string, std::string> strings = readVersionStrings(version.begin()->second.data);
  FUZZ_CHECK(strings["ProductName"] == "Fuzz \xCE\xA9" && strings["FileVersion"] == "1.2.3.4" &&
                 strings["OriginalFilename"] == "fuzz.exe",
             "the version strings are those asked for");
  return 0;
}
