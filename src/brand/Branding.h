// Branding a copy of the launcher: its icon and version resource replaced,
// every other resource and every byte of code carried over, the checksum
// recomputed. Pure: bytes in, bytes out.
//
// A Tarvik launcher is recognised by its version resource: ProductName
// "Tarvik" and InternalName "tarvik", as resources/tarvik.rc writes them.
// A branded copy no longer says so; brand the tarvik.exe a release ships.
#ifndef TARVIK_BRAND_BRANDING_H
#define TARVIK_BRAND_BRANDING_H

#include <optional>
#include <string>

#include "brand/IconFile.h"
#include "brand/VersionInfo.h"

namespace tarvik {
namespace brand {

struct BrandInput {
  std::string launcher;  // the launcher's file
  IconFile icon;
  VersionNumber version{};
  std::string productName;
  std::string fileDescription;  // the product name when empty
  std::string companyName;      // left out when empty
  std::string legalCopyright;   // left out when empty
  std::string outputFileName;   // "acme.exe": OriginalFilename; InternalName "acme"
};

struct BrandResult {
  std::optional<std::string> image;
  std::string error;
  // The input was signed; the copy carries no signature.
  bool droppedSignature = false;
};

// The largest launcher read; a Tarvik launcher is well under 1 MiB.
constexpr size_t MAX_LAUNCHER_FILE_BYTES = 64 << 20;

BrandResult brandLauncher(const BrandInput& input);

// Why the copy's version strings cannot be written, or nothing. They do
// not depend on the launcher, so this can be asked before reading it.
std::string versionStringsError(const BrandInput& input);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_BRANDING_H
