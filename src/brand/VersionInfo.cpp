#include "brand/VersionInfo.h"

#include <cstdio>

#include "brand/ByteIo.h"
#include "brand/Utf16.h"

namespace tarvik {
namespace brand {

template <typename Io>
void fields(Io& io, VS_FIXEDFILEINFO& f) {
  io(f.dwSignature); io(f.dwStrucVersion); io(f.dwFileVersionMS);
  io(f.dwFileVersionLS); io(f.dwProductVersionMS); io(f.dwProductVersionLS);
  io(f.dwFileFlagsMask); io(f.dwFileFlags); io(f.dwFileOS); io(f.dwFileType);
  io(f.dwFileSubtype); io(f.dwFileDateMS); io(f.dwFileDateLS);
}

namespace {

constexpr uint16_t TYPE_BINARY = 0;
constexpr uint16_t TYPE_TEXT = 1;

void putUtf16z(std::string& out, const std::u16string& text) {
  LeWriter writer(out, out.size());
  for (char16_t c : text) writer(static_cast<uint16_t>(c));
  writer(uint16_t(0));
}

void padTo4(std::string& out) { out.resize(alignUp(out.size(), 4), '\0'); }

// One block of the version resource: wLength, wValueLength, wType, szKey,
// padding, Value, padding, Children. wLength counts no padding after the
// block; the parent pads before each child.
std::string block(const std::u16string& key, uint16_t type, const std::string& value,
                  uint16_t valueLength, const std::vector<std::string>& children) {
  std::string out(6, '\0');
  putUtf16z(out, key);
  padTo4(out);
  out += value;
  for (const std::string& child : children) {
    padTo4(out);
    out += child;
  }
  LeWriter header(out, 0);
  header(static_cast<uint16_t>(out.size()));
  header(valueLength);
  header(type);
  return out;
}

uint32_t high(const VersionNumber& v) { return uint32_t(v[0]) << 16 | v[1]; }
uint32_t low(const VersionNumber& v) { return uint32_t(v[2]) << 16 | v[3]; }

std::u16string ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// A block's parts read back; false when it does not fit in [at, end).
struct Block {
  size_t end = 0;
  uint16_t valueLength = 0;
  uint16_t type = 0;
  std::u16string key;
  size_t valueAt = 0;
};

bool readBlock(const std::string& bytes, size_t at, size_t end, Block& b) {
  if (!fits(at, 6, end)) return false;
  const uint16_t length = le16(bytes, at);
  if (length < 6 || !fits(at, length, end)) return false;
  b.end = at + length;
  b.valueLength = le16(bytes, at + 2);
  b.type = le16(bytes, at + 4);
  b.key.clear();
  size_t p = at + 6;
  for (;; p += 2) {
    if (p + 2 > b.end) return false;
    const uint16_t c = le16(bytes, p);
    if (c == 0) break;
    b.key += static_cast<char16_t>(c);
  }
  b.valueAt = alignUp(p + 2, 4);
  return true;
}

// The children of a block begin after its value, each on a 4-byte boundary.
template <typename Visit>
void children(const std::string& bytes, size_t from, size_t end, Visit visit) {
  for (size_t at = alignUp(from, 4); at < end;) {
    Block child;
    if (!readBlock(bytes, at, end, child)) return;
    visit(child);
    at = alignUp(child.end, 4);
  }
}

}  // namespace

std::optional<VersionNumber> parseVersionNumber(const std::string& text) {
  VersionNumber version{};
  size_t part = 0, digits = 0;
  uint32_t value = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '.') {
      if (digits == 0 || part >= 4) return std::nullopt;
      version[part++] = static_cast<uint16_t>(value);
      value = 0;
      digits = 0;
    } else if (text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + uint32_t(text[i] - '0');
      if (++digits > 5 || value > 65535) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (part != 4) return std::nullopt;
  return version;
}

std::string versionText(const VersionNumber& v) {
  return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) +
         "." + std::to_string(v[3]);
}

std::optional<std::string> versionInfoResource(const VersionResource& version) {
  VS_FIXEDFILEINFO fixed{VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION,
                         high(version.fileVersion), low(version.fileVersion),
                         high(version.productVersion), low(version.productVersion),
                         VS_FFI_FILEFLAGSMASK, 0, VOS_NT_WINDOWS32, VFT_APP, 0, 0, 0};
  std::vector<std::string> strings;
  for (const auto& item : version.strings) {
    std::optional<std::u16string> value = utf8ToUtf16(item.second);
    std::optional<std::u16string> name = utf8ToUtf16(item.first);
    if (!value || !name) return std::nullopt;
    std::string text;
    putUtf16z(text, *value);
    // For text the value length counts UTF-16 units, the terminator included.
    strings.push_back(block(*name, TYPE_TEXT, text, static_cast<uint16_t>(value->size() + 1), {}));
  }
  char tableKey[9];
  std::snprintf(tableKey, sizeof tableKey, "%04x04b0", version.language);
  std::string table = block(ascii(tableKey), TYPE_TEXT, "", 0, strings);
  std::string stringFileInfo = block(u"StringFileInfo", TYPE_TEXT, "", 0, {table});
  std::string translation;
  LeWriter(translation, 0)(uint32_t(version.language) | uint32_t(1200) << 16);
  std::string var = block(u"Translation", TYPE_BINARY, translation, 4, {});
  std::string varFileInfo = block(u"VarFileInfo", TYPE_TEXT, "", 0, {var});
  // Every block lies within the outermost one, so its length fitting
  // means that every length fits.
  std::string resource = block(u"VS_VERSION_INFO", TYPE_BINARY, bytesOf(fixed), VS_FIXEDFILEINFO_SIZE,
                               {stringFileInfo, varFileInfo});
  if (resource.size() > MAX_VERSION_INFO_BYTES) return std::nullopt;
  return resource;
}

std::map<std::string, std::string> readVersionStrings(const std::string& resource) {
  std::map<std::string, std::string> strings;
  Block root;
  if (!readBlock(resource, 0, resource.size(), root) || root.key != u"VS_VERSION_INFO")
    return strings;
  children(resource, root.valueAt + root.valueLength, root.end, [&](const Block& info) {
    if (info.key != u"StringFileInfo") return;
    children(resource, info.valueAt, info.end, [&](const Block& table) {
      children(resource, table.valueAt, table.end, [&](const Block& string) {
        std::u16string value;
        for (size_t p = string.valueAt; p + 2 <= string.end; p += 2) {
          const uint16_t c = le16(resource, p);
          if (c == 0) break;
          value += static_cast<char16_t>(c);
        }
        strings[utf16ToUtf8(string.key)] = utf16ToUtf8(value);
      });
    });
  });
  return strings;
}

}  // namespace brand
}  // namespace tarvik
