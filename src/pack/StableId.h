// Identifiers made of names: the same name gives the same identifier on
// every run, so rebuilt installers are byte for byte what they were and a
// new version's components keep their GUIDs.
#ifndef TARVIK_PACK_STABLEID_H
#define TARVIK_PACK_STABLEID_H

#include <cstdint>
#include <string>

namespace tarvik {
namespace pack {

// 128 bits of FNV-1a over the bytes (two 64-bit runs of other bases): no
// secret and no signature, only a name that differs where the input does.
struct NameHash {
  uint64_t high = 0xcbf29ce484222325ull;
  uint64_t low = 0x84222325cbf29ce4ull;
  void add(const std::string& bytes);
};

// A GUID of version 8 (RFC 9562: made as its maker chose), "{XXXXXXXX-...}".
std::string stableGuid(const NameHash& hash);
std::string stableGuid(const std::string& name);
// An identifier for WiX: `letter` and 16 hexadecimal digits.
std::string stableWixId(char letter, const std::string& name);

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_STABLEID_H
