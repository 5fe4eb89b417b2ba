// The resources of a PE image as a tree of type, name and language, read
// from the image's resource directory and written out again as the data of
// a new resource section.
#ifndef TARVIK_BRAND_RESOURCETREE_H
#define TARVIK_BRAND_RESOURCETREE_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "brand/PeImage.h"

namespace tarvik {
namespace brand {

constexpr uint16_t RT_ICON = 3;
constexpr uint16_t RT_GROUP_ICON = 14;
constexpr uint16_t RT_VERSION = 16;
constexpr uint16_t RT_MANIFEST = 24;

struct IMAGE_RESOURCE_DIRECTORY {
  uint32_t Characteristics;
  uint32_t TimeDateStamp;
  uint16_t MajorVersion;
  uint16_t MinorVersion;
  uint16_t NumberOfNamedEntries;
  uint16_t NumberOfIdEntries;
};
constexpr uint32_t IMAGE_SIZEOF_RESOURCE_DIRECTORY = 16;

struct IMAGE_RESOURCE_DIRECTORY_ENTRY {
  uint32_t Name;          // an ID, or IMAGE_RESOURCE_NAME_IS_STRING | offset
  uint32_t OffsetToData;  // a data entry, or IMAGE_RESOURCE_DATA_IS_DIRECTORY | offset
};
constexpr uint32_t IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY = 8;
constexpr uint32_t IMAGE_RESOURCE_NAME_IS_STRING = 0x80000000;
constexpr uint32_t IMAGE_RESOURCE_DATA_IS_DIRECTORY = 0x80000000;

struct IMAGE_RESOURCE_DATA_ENTRY {
  uint32_t OffsetToData;  // an RVA
  uint32_t Size;
  uint32_t CodePage;
  uint32_t Reserved;
};
constexpr uint32_t IMAGE_SIZEOF_RESOURCE_DATA_ENTRY = 16;

// A type, name or language: a number, or a name (IMAGE_RESOURCE_DIR_STRING_U).
// Names sort before numbers, names by their UTF-16 units, as the format
// orders a directory's entries.
struct ResourceId {
  std::u16string name;
  uint16_t id = 0;
  bool isName = false;

  static ResourceId number(uint16_t id) { return {{}, id, false}; }
  static ResourceId named(std::u16string name) { return {std::move(name), 0, true}; }
  bool operator<(const ResourceId& other) const {
    if (isName != other.isName) return isName;
    return isName ? name < other.name : id < other.id;
  }
  bool operator==(const ResourceId& other) const {
    return isName == other.isName && (isName ? name == other.name : id == other.id);
  }
};

struct Resource {
  std::string data;
  uint32_t codePage = 0;
};

using LanguageMap = std::map<ResourceId, Resource>;
using NameMap = std::map<ResourceId, LanguageMap>;
using ResourceTree = std::map<ResourceId, NameMap>;  // by type

struct ResourceReadResult {
  std::optional<ResourceTree> tree;
  std::string error;
};

// The image's resources (an empty tree when it has none).
ResourceReadResult readResourceTree(const PeImage& image);

// The tree laid out as a resource section whose first byte will be at
// `sectionRva`: directories, names, data entries, then the data.
std::string buildResourceSection(const ResourceTree& tree, uint32_t sectionRva);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_RESOURCETREE_H
