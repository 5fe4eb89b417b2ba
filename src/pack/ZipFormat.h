// The zip format's signatures and compression methods, as its writer and
// its reader both name them (PKWARE's APPNOTE.TXT).
#ifndef TARVIK_PACK_ZIPFORMAT_H
#define TARVIK_PACK_ZIPFORMAT_H

#include <cstdint>

namespace tarvik {
namespace pack {

constexpr uint32_t ZIP_LOCAL_HEADER = 0x04034b50;
constexpr uint32_t ZIP_CENTRAL_HEADER = 0x02014b50;
constexpr uint32_t ZIP_END_OF_CENTRAL_DIRECTORY = 0x06054b50;
constexpr uint16_t ZIP_STORED = 0, ZIP_DEFLATED = 8;

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_ZIPFORMAT_H
