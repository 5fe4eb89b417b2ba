#include "pack/StableId.h"

#include <cstdio>

namespace tarvik {
namespace pack {

void NameHash::add(const std::string& bytes) {
  for (const char c : bytes) {
    high = (high ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    low = (low ^ static_cast<unsigned char>(c) ^ (high >> 56)) * 0x100000001b3ull;
  }
}

std::string stableGuid(const NameHash& hash) {
  const uint64_t high = (hash.high & ~0xF000ull) | 0x8000ull;                 // version 8
  const uint64_t low = (hash.low & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // RFC variant
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%012llX}",
                static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
  return text;
}

std::string stableGuid(const std::string& name) {
  NameHash hash;
  hash.add(name);
  return stableGuid(hash);
}

std::string stableWixId(char letter, const std::string& name) {
  NameHash hash;
  hash.add(name);
  char text[24];
  std::snprintf(text, sizeof text, "%c%016llX", letter, static_cast<unsigned long long>(hash.high ^ hash.low));
  return text;
}

}  // namespace pack
}  // namespace tarvik
