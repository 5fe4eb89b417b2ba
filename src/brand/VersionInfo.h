// The version resource (VS_VERSIONINFO): the fixed part (VS_FIXEDFILEINFO)
// and the strings of one language (StringFileInfo, VarFileInfo), written
// as the format lays them out, and the strings read back.
#ifndef TARVIK_BRAND_VERSIONINFO_H
#define TARVIK_BRAND_VERSIONINFO_H

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarvik {
namespace brand {

constexpr uint32_t VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr uint32_t VS_FFI_STRUCVERSION = 0x00010000;
constexpr uint32_t VS_FFI_FILEFLAGSMASK = 0x0000003F;
constexpr uint32_t VOS_NT_WINDOWS32 = 0x00040004;
constexpr uint32_t VFT_APP = 0x00000001;

struct VS_FIXEDFILEINFO {
  uint32_t dwSignature;
  uint32_t dwStrucVersion;
  uint32_t dwFileVersionMS;
  uint32_t dwFileVersionLS;
  uint32_t dwProductVersionMS;
  uint32_t dwProductVersionLS;
  uint32_t dwFileFlagsMask;
  uint32_t dwFileFlags;
  uint32_t dwFileOS;
  uint32_t dwFileType;
  uint32_t dwFileSubtype;
  uint32_t dwFileDateMS;
  uint32_t dwFileDateLS;
};
constexpr uint16_t VS_FIXEDFILEINFO_SIZE = 52;

using VersionNumber = std::array<uint16_t, 4>;

// "1.4.2.0": exactly four numbers from 0 to 65535.
std::optional<VersionNumber> parseVersionNumber(const std::string& text);
std::string versionText(const VersionNumber& version);

struct VersionResource {
  VersionNumber fileVersion{};
  VersionNumber productVersion{};
  uint16_t language = 0x0409;
  // Name and value (UTF-8) in the order written; the code page is UTF-16 (1200).
  std::vector<std::pair<std::string, std::string>> strings;
};

// The most bytes a version resource holds: its lengths are 16-bit numbers.
constexpr size_t MAX_VERSION_INFO_BYTES = 0xFFFF;

// The VS_VERSIONINFO bytes; nothing when a string is not valid UTF-8 or
// the whole would take more than MAX_VERSION_INFO_BYTES.
std::optional<std::string> versionInfoResource(const VersionResource& version);

// The strings of every StringTable of a VS_VERSIONINFO (UTF-8), empty for
// a damaged one.
std::map<std::string, std::string> readVersionStrings(const std::string& resource);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_VERSIONINFO_H
