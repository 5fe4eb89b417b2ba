// The tar format's unit: headers and data come in blocks of 512 bytes.
#ifndef TARVIK_PACK_TARFORMAT_H
#define TARVIK_PACK_TARFORMAT_H

#include <cstddef>

namespace tarvik {
namespace pack {

constexpr size_t TAR_BLOCK = 512;

}  // namespace pack
}  // namespace tarvik

#endif  // TARVIK_PACK_TARFORMAT_H
