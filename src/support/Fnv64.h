// 64-bit FNV-1a: stable across builds and systems, which a name on disk
// must be.
#ifndef TARVIK_SUPPORT_FNV64_H
#define TARVIK_SUPPORT_FNV64_H

#include <cstdint>
#include <string>

namespace tarvik {

class Fnv64 {
 public:
  void add(const std::string& text) {
    for (unsigned char c : text) {
      hash_ ^= c;
      hash_ *= 0x100000001b3ull;
    }
    // A separator, so that ("ab", "c") and ("a", "bc") differ.
    hash_ ^= 0xff;
    hash_ *= 0x100000001b3ull;
  }
  std::string hex() const {
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 0; i < 16; ++i)
      text[static_cast<size_t>(i)] = digits[(hash_ >> (60 - 4 * i)) & 0xf];
    return text;
  }

 private:
  uint64_t hash_ = 0xcbf29ce484222325ull;
};

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_FNV64_H
