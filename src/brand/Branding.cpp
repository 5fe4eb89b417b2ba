#include "brand/Branding.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "brand/ByteIo.h"
#include "brand/PeImage.h"
#include "brand/ResourceTree.h"
#include "brand/Utf16.h"

namespace tarvik {
namespace brand {

namespace {

constexpr uint16_t VS_VERSION_INFO = 1;
constexpr uint16_t DEFAULT_LANGUAGE = 0x0409;  // what resources/tarvik.rc uses
const char SECTION_NAME[] = ".rsrc";
// The old resource section keeps its bytes but gives up its name: tools
// that look resources up by section name must find the new one.
const char OLD_SECTION_NAME[] = ".oldrsrc";

BrandResult failed(const std::string& why) {
  BrandResult result;
  result.error = why;
  return result;
}

const Resource* firstResource(const NameMap& names, const ResourceId& name) {
  auto it = names.find(name);
  if (it == names.end() || it->second.empty()) return nullptr;
  return &it->second.begin()->second;
}

bool isTarvikLauncher(ResourceTree& tree) {
  const Resource* version = firstResource(tree[ResourceId::number(RT_VERSION)], ResourceId::number(VS_VERSION_INFO));
  if (!version) return false;
  std::map<std::string, std::string> strings = readVersionStrings(version->data);
  const std::string& internal = strings["InternalName"];
  return strings["ProductName"] == "Tarvik" &&
         (internal == "tarvik" || internal == "tarvikc" || internal == "tarvikd");
}

// The first language of `name`, or the default.
ResourceId languageOf(const NameMap& names, const ResourceId& name) {
  auto it = names.find(name);
  if (it == names.end() || it->second.empty()) return ResourceId::number(DEFAULT_LANGUAGE);
  return it->second.begin()->first;
}

// Replaces the group icon Windows shows (the first) and the icon images
// only it used; other groups and their images stay.
bool replaceIcon(ResourceTree& tree, const IconFile& icon) {
  NameMap& groups = tree[ResourceId::number(RT_GROUP_ICON)];
  NameMap& icons = tree[ResourceId::number(RT_ICON)];
  const ResourceId group = groups.empty() ? ResourceId::number(1) : groups.begin()->first;
  const ResourceId language = languageOf(groups, group);
  std::set<uint16_t> replaced, kept;
  for (const auto& item : groups)
    for (const auto& lang : item.second)
      for (uint16_t id : groupIconIds(lang.second.data))
        (item.first == group ? replaced : kept).insert(id);
  groups.erase(group);
  for (uint16_t id : replaced)
    if (!kept.count(id)) icons.erase(ResourceId::number(id));
  std::vector<uint16_t> ids;
  uint32_t next = 1;
  for (const std::string& image : icon.data) {
    while (next <= 0xFFFF && icons.count(ResourceId::number(static_cast<uint16_t>(next)))) ++next;
    if (next > 0xFFFF) return false;
    ids.push_back(static_cast<uint16_t>(next));
    icons[ResourceId::number(static_cast<uint16_t>(next))][language] = {image, 0};
    ++next;
  }
  groups[group][language] = {groupIconResource(icon, ids), 0};
  return true;
}

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> versionResource(const BrandInput& in, uint16_t language) {
  const std::string fileName = baseName(in.outputFileName);
  const size_t dot = fileName.rfind('.');
  const std::string internalName = dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
  const std::string version = versionText(in.version);
  VersionResource resource;
  resource.fileVersion = in.version;
  resource.productVersion = in.version;
  resource.language = language;
  if (!in.companyName.empty()) resource.strings.push_back({"CompanyName", in.companyName});
  resource.strings.push_back({"FileDescription", in.fileDescription.empty() ? in.productName : in.fileDescription});
  resource.strings.push_back({"FileVersion", version});
  resource.strings.push_back({"InternalName", internalName});
  if (!in.legalCopyright.empty()) resource.strings.push_back({"LegalCopyright", in.legalCopyright});
  resource.strings.push_back({"OriginalFilename", fileName});
  resource.strings.push_back({"ProductName", in.productName});
  resource.strings.push_back({"ProductVersion", version});
  return versionInfoResource(resource);
}

// Where the headers and the sections' data end in the file.
uint64_t endOfRawData(const PeImage& pe) {
  uint64_t end = pe.nt.OptionalHeader.SizeOfHeaders;
  for (const IMAGE_SECTION_HEADER& s : pe.sections)
    if (s.SizeOfRawData > 0)
      end = std::max<uint64_t>(end, uint64_t(s.PointerToRawData) + s.SizeOfRawData);
  return end;
}

// Drops an Authenticode signature: branding would break it. The signature
// is the file's tail, after the sections; the directory holds its file
// offset. A directory that names the headers or a section's data is
// cleared and cuts nothing.
bool dropSignature(PeImage& pe) {
  IMAGE_OPTIONAL_HEADER64& optional = pe.nt.OptionalHeader;
  if (optional.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_SECURITY) return false;
  IMAGE_DATA_DIRECTORY& security = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
  if (security.Size == 0 && security.VirtualAddress == 0) return false;
  if (security.VirtualAddress >= endOfRawData(pe) &&
      fits(security.VirtualAddress, security.Size, pe.bytes.size()) &&
      pe.bytes.find_first_not_of('\0', uint64_t(security.VirtualAddress) + security.Size) == std::string::npos)
    pe.bytes.resize(security.VirtualAddress);
  security = {0, 0};
  return true;
}

void setName(IMAGE_SECTION_HEADER& section, const char* name) {
  std::memset(section.Name, 0, sizeof section.Name);
  std::memcpy(section.Name, name, std::strlen(name));
}

bool named(const IMAGE_SECTION_HEADER& section, const char* name) {
  char text[IMAGE_SIZEOF_SHORT_NAME + 1] = {};
  std::memcpy(text, section.Name, IMAGE_SIZEOF_SHORT_NAME);
  return std::strcmp(text, name) == 0;
}

}  // namespace

std::string versionStringsError(const BrandInput& input) {
  if (!utf8ToUtf16(baseName(input.outputFileName))) return "the output's name is not valid UTF-8";
  if (!versionResource(input, DEFAULT_LANGUAGE))
    return "the version information would take more than the " +
           std::to_string(MAX_VERSION_INFO_BYTES) +
           " bytes a version resource holds (its lengths are 16-bit numbers); "
           "shorten --name, --description, --company or --copyright";
  return "";
}

BrandResult brandLauncher(const BrandInput& input) {
  PeReadResult read = readPeImage(input.launcher);
  if (!read.image) return failed(read.error);
  PeImage& pe = *read.image;
  ResourceReadResult resources = readResourceTree(pe);
  if (!resources.tree) return failed(resources.error);
  ResourceTree& tree = *resources.tree;
  if (!isTarvikLauncher(tree))
    return failed("not a Tarvik launcher: its version resource does not name Tarvik "
                  "(ProductName \"Tarvik\", InternalName \"tarvik\")");

  IMAGE_OPTIONAL_HEADER64& optional = pe.nt.OptionalHeader;
  if (optional.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE)
    return failed("unsupported PE32+ file: it has no resource directory entry");

  BrandResult result;
  result.droppedSignature = dropSignature(pe);
  NameMap& versions = tree[ResourceId::number(RT_VERSION)];
  const ResourceId language = languageOf(versions, ResourceId::number(VS_VERSION_INFO));
  std::optional<std::string> version = versionResource(input, language.isName ? DEFAULT_LANGUAGE : language.id);
  if (!version) return failed(versionStringsError(input));
  versions.erase(ResourceId::number(VS_VERSION_INFO));
  versions[ResourceId::number(VS_VERSION_INFO)][language] = {*version, 0};
  if (!replaceIcon(tree, input.icon)) return failed("the launcher has no free icon IDs left");

  // The old resource section stays where it is, unreferenced: every byte
  // of the image keeps its place, and the new tree goes after the last.
  if (!pe.hasRoomForSection())
    return failed("unsupported PE32+ file: its headers have no room for another section");
  const IMAGE_SECTION_HEADER* oldSection =
      pe.sectionAt(optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress);
  for (IMAGE_SECTION_HEADER& old : pe.sections)
    if (oldSection && old.VirtualAddress == oldSection->VirtualAddress && named(old, SECTION_NAME))
      setName(old, OLD_SECTION_NAME);
  const uint64_t end = pe.endOfImage();
  if (end >= 0xFFFFFFFFu) return failed("unsupported PE32+ file: its image ends at 4 GiB");
  IMAGE_SECTION_HEADER added{};
  setName(added, SECTION_NAME);
  added.VirtualAddress = static_cast<uint32_t>(end);
  added.Characteristics = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;
  pe.bytes.resize(alignUp(pe.bytes.size(), optional.FileAlignment), '\0');
  added.PointerToRawData = static_cast<uint32_t>(pe.bytes.size());
  const std::string data = buildResourceSection(tree, added.VirtualAddress);
  if (alignUp(uint64_t(added.VirtualAddress) + data.size(), optional.SectionAlignment) > 0xFFFFFFFFu ||
      pe.bytes.size() + data.size() > 0xFFFFFFFFu)
    return failed("unsupported PE32+ file: the image would grow beyond 4 GiB");
  pe.bytes += data;
  pe.bytes.resize(alignUp(pe.bytes.size(), optional.FileAlignment), '\0');
  added.VirtualSize = static_cast<uint32_t>(data.size());
  added.SizeOfRawData = static_cast<uint32_t>(alignUp(data.size(), optional.FileAlignment));
  pe.sections.push_back(added);
  pe.nt.FileHeader.NumberOfSections = static_cast<uint16_t>(pe.sections.size());
  optional.SizeOfInitializedData += added.SizeOfRawData;
  optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE] = {added.VirtualAddress,
                                                            static_cast<uint32_t>(data.size())};
  optional.SizeOfImage = static_cast<uint32_t>(pe.endOfImage());
  pe.writeHeaders();
  result.image = std::move(pe.bytes);
  return result;
}

}  // namespace brand
}  // namespace tarvik
