#include "brand/ResourceTree.h"

#include <vector>

#include "brand/ByteIo.h"

namespace tarvik {
namespace brand {

template <typename Io>
void fields(Io& io, IMAGE_RESOURCE_DIRECTORY& d) {
  io(d.Characteristics); io(d.TimeDateStamp); io(d.MajorVersion);
  io(d.MinorVersion); io(d.NumberOfNamedEntries); io(d.NumberOfIdEntries);
}
template <typename Io>
void fields(Io& io, IMAGE_RESOURCE_DIRECTORY_ENTRY& e) {
  io(e.Name); io(e.OffsetToData);
}
template <typename Io>
void fields(Io& io, IMAGE_RESOURCE_DATA_ENTRY& e) {
  io(e.OffsetToData); io(e.Size); io(e.CodePage); io(e.Reserved);
}

namespace {

// More entries than this are a damaged (or hostile) tree: directories may
// share subdirectories, and three levels of sharing multiply.
constexpr size_t MAX_ENTRIES = 65536;

class TreeReader {
 public:
  TreeReader(const PeImage& image, size_t base, size_t limit)
      : image_(image), bytes_(image.bytes), base_(base), limit_(limit) {}

  bool readTypes(ResourceTree& tree) {
    std::vector<std::pair<ResourceId, uint32_t>> types;
    if (!directory(IMAGE_RESOURCE_DATA_IS_DIRECTORY, types)) return false;
    for (const auto& type : types) {
      std::vector<std::pair<ResourceId, uint32_t>> names;
      if (!directory(type.second, names)) return false;
      NameMap& nameMap = tree[type.first];
      for (const auto& name : names) {
        std::vector<std::pair<ResourceId, uint32_t>> languages;
        if (!directory(name.second, languages)) return false;
        LanguageMap& languageMap = nameMap[name.first];
        for (const auto& language : languages)
          if (!dataEntry(language.second, languageMap[language.first])) return false;
      }
    }
    return true;
  }

  std::string error;

 private:
  // The entries of the directory an entry's OffsetToData leads to; types
  // and names lead to directories, only languages to data.
  bool directory(uint32_t offsetToData, std::vector<std::pair<ResourceId, uint32_t>>& entries) {
    if (!(offsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY))
      return fail("a resource type or name leads to data instead of a directory");
    const uint32_t offset = offsetToData & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY;
    IMAGE_RESOURCE_DIRECTORY dir;
    if (!inside(offset, IMAGE_SIZEOF_RESOURCE_DIRECTORY) || !readStruct(bytes_, base_ + offset, dir))
      return fail("a resource directory lies outside the resource section");
    const uint32_t count = uint32_t(dir.NumberOfNamedEntries) + dir.NumberOfIdEntries;
    if (!inside(offset + IMAGE_SIZEOF_RESOURCE_DIRECTORY, count * IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY))
      return fail("a resource directory's entries lie outside the resource section");
    entries_ += count;
    if (entries_ > MAX_ENTRIES) return fail("the resource tree has more than 65536 entries");
    for (uint32_t i = 0; i < count; ++i) {
      IMAGE_RESOURCE_DIRECTORY_ENTRY entry;
      readStruct(bytes_, base_ + offset + IMAGE_SIZEOF_RESOURCE_DIRECTORY +
                             i * IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY, entry);
      ResourceId id;
      if (entry.Name & IMAGE_RESOURCE_NAME_IS_STRING) {
        if (!name(entry.Name & ~IMAGE_RESOURCE_NAME_IS_STRING, id)) return false;
      } else {
        if (entry.Name > 0xFFFF) return fail("a resource ID is larger than 65535");
        id = ResourceId::number(static_cast<uint16_t>(entry.Name));
      }
      entries.emplace_back(id, entry.OffsetToData);
    }
    return true;
  }

  bool name(uint32_t offset, ResourceId& id) {
    if (!inside(offset, 2)) return fail("a resource name lies outside the resource section");
    const uint16_t length = le16(bytes_, base_ + offset);
    if (!inside(offset + 2, uint32_t(length) * 2))
      return fail("a resource name lies outside the resource section");
    // Shared directories may name one long string many times; the copy
    // writes a name for each entry.
    nameBytes_ += 2 + 2 * uint64_t(length);
    if (nameBytes_ > bytes_.size())
      return fail("the resources' names together are larger than the file");
    std::u16string text;
    for (uint32_t i = 0; i < length; ++i)
      text += static_cast<char16_t>(le16(bytes_, base_ + offset + 2 + 2 * i));
    id = ResourceId::named(text);
    return true;
  }

  bool dataEntry(uint32_t offsetToData, Resource& resource) {
    if (offsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY)
      return fail("the resource tree is deeper than type, name and language");
    IMAGE_RESOURCE_DATA_ENTRY entry;
    if (!inside(offsetToData, IMAGE_SIZEOF_RESOURCE_DATA_ENTRY) ||
        !readStruct(bytes_, base_ + offsetToData, entry))
      return fail("a resource data entry lies outside the resource section");
    std::optional<size_t> at = image_.fileOffset(entry.OffsetToData, entry.Size);
    if (!at) return fail("a resource's data lies outside the file");
    dataBytes_ += entry.Size;
    if (dataBytes_ > bytes_.size())
      return fail("the resources' data together are larger than the file");
    resource.data = bytes_.substr(*at, entry.Size);
    resource.codePage = entry.CodePage;
    return true;
  }

  bool inside(uint64_t offset, uint64_t size) const { return fits(offset, size, limit_); }
  bool fail(const char* why) {
    error = std::string("damaged resource tree: ") + why;
    return false;
  }

  const PeImage& image_;
  const std::string& bytes_;
  size_t base_;
  size_t limit_;
  size_t entries_ = 0;
  uint64_t dataBytes_ = 0;
  uint64_t nameBytes_ = 0;
};

void putDirectory(std::string& out, size_t at, uint16_t named, uint16_t ids) {
  IMAGE_RESOURCE_DIRECTORY dir{};
  dir.NumberOfNamedEntries = named;
  dir.NumberOfIdEntries = ids;
  writeStruct(out, at, dir);
}

template <typename Map>
std::pair<uint16_t, uint16_t> counts(const Map& map) {
  uint16_t named = 0, ids = 0;
  for (const auto& item : map) (item.first.isName ? named : ids)++;
  return {named, ids};
}

}  // namespace

ResourceReadResult readResourceTree(const PeImage& image) {
  ResourceReadResult result;
  const IMAGE_DATA_DIRECTORY& dir =
      image.nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
  if (dir.VirtualAddress == 0 || dir.Size == 0) {
    result.tree.emplace();
    return result;
  }
  const IMAGE_SECTION_HEADER* section = image.sectionAt(dir.VirtualAddress);
  if (!section) {
    result.error = "damaged resource tree: the resource directory lies outside every section";
    return result;
  }
  // Offsets in the tree are from its root and stay within its section.
  const uint32_t into = dir.VirtualAddress - section->VirtualAddress;
  TreeReader reader(image, size_t(section->PointerToRawData) + into, section->SizeOfRawData - into);
  ResourceTree tree;
  if (!reader.readTypes(tree)) {
    result.error = reader.error;
    return result;
  }
  result.tree = std::move(tree);
  return result;
}

std::string buildResourceSection(const ResourceTree& tree, uint32_t sectionRva) {
  // Sizes first: the directories of the three levels, then names, data
  // entries and data.
  size_t directories = IMAGE_SIZEOF_RESOURCE_DIRECTORY + tree.size() * IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
  size_t names = 0, leaves = 0;
  auto nameSize = [](const ResourceId& id) { return id.isName ? 2 + 2 * id.name.size() : 0; };
  for (const auto& type : tree) {
    names += nameSize(type.first);
    directories += IMAGE_SIZEOF_RESOURCE_DIRECTORY + type.second.size() * IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
    for (const auto& name : type.second) {
      names += nameSize(name.first);
      directories += IMAGE_SIZEOF_RESOURCE_DIRECTORY + name.second.size() * IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
      for (const auto& language : name.second) {
        names += nameSize(language.first);
        ++leaves;
      }
    }
  }
  size_t nameAt = directories;
  size_t entryAt = alignUp(nameAt + names, 4);
  size_t dataAt = alignUp(entryAt + leaves * IMAGE_SIZEOF_RESOURCE_DATA_ENTRY, 8);

  std::string out(dataAt, '\0');
  size_t dirAt = 0;
  auto entryName = [&](const ResourceId& id) -> uint32_t {
    if (!id.isName) return id.id;
    const uint32_t offset = static_cast<uint32_t>(nameAt);
    LeWriter writer(out, nameAt);
    writer(static_cast<uint16_t>(id.name.size()));
    for (char16_t c : id.name) writer(static_cast<uint16_t>(c));
    nameAt = writer.at();
    return IMAGE_RESOURCE_NAME_IS_STRING | offset;
  };
  // Breadth first: the root, then every type's directory, then every name's.
  auto [rootNamed, rootIds] = counts(tree);
  putDirectory(out, dirAt, rootNamed, rootIds);
  size_t next = IMAGE_SIZEOF_RESOURCE_DIRECTORY + tree.size() * IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
  size_t slot = IMAGE_SIZEOF_RESOURCE_DIRECTORY;
  std::vector<std::pair<size_t, const NameMap*>> typeDirs;
  for (const auto& type : tree) {
    IMAGE_RESOURCE_DIRECTORY_ENTRY entry{entryName(type.first),
                                         IMAGE_RESOURCE_DATA_IS_DIRECTORY | uint32_t(next)};
    writeStruct(out, slot, entry);
    slot += IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
    typeDirs.emplace_back(next, &type.second);
    next += IMAGE_SIZEOF_RESOURCE_DIRECTORY + type.second.size() * IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
  }
  std::vector<std::pair<size_t, const LanguageMap*>> nameDirs;
  for (const auto& typeDir : typeDirs) {
    auto [named, ids] = counts(*typeDir.second);
    putDirectory(out, typeDir.first, named, ids);
    slot = typeDir.first + IMAGE_SIZEOF_RESOURCE_DIRECTORY;
    for (const auto& name : *typeDir.second) {
      IMAGE_RESOURCE_DIRECTORY_ENTRY entry{entryName(name.first),
                                           IMAGE_RESOURCE_DATA_IS_DIRECTORY | uint32_t(next)};
      writeStruct(out, slot, entry);
      slot += IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
      nameDirs.emplace_back(next, &name.second);
      next += IMAGE_SIZEOF_RESOURCE_DIRECTORY + name.second.size() * IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
    }
  }
  for (const auto& nameDir : nameDirs) {
    auto [named, ids] = counts(*nameDir.second);
    putDirectory(out, nameDir.first, named, ids);
    slot = nameDir.first + IMAGE_SIZEOF_RESOURCE_DIRECTORY;
    for (const auto& language : *nameDir.second) {
      IMAGE_RESOURCE_DIRECTORY_ENTRY entry{entryName(language.first), uint32_t(entryAt)};
      writeStruct(out, slot, entry);
      slot += IMAGE_SIZEOF_RESOURCE_DIRECTORY_ENTRY;
      const Resource& resource = language.second;
      IMAGE_RESOURCE_DATA_ENTRY data{sectionRva + uint32_t(out.size()),
                                     uint32_t(resource.data.size()), resource.codePage, 0};
      writeStruct(out, entryAt, data);
      entryAt += IMAGE_SIZEOF_RESOURCE_DATA_ENTRY;
      out += resource.data;
      // An empty resource gets room too: its address must lie inside the
      // section, where readers look it up, even when it comes last.
      out.resize(alignUp(out.size() + (resource.data.empty() ? 1 : 0), 8), '\0');
    }
  }
  return out;
}

}  // namespace brand
}  // namespace tarvik
