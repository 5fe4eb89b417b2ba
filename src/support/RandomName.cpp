#include "support/RandomName.h"

#include <cstdint>

#include "os/Platform.h"

namespace tarvik {

std::optional<std::string> randomName() {
  std::optional<uint64_t> number = platform().randomNumber();
  if (!number) return std::nullopt;
  static const char DIGITS[] = "0123456789abcdef";
  std::string name(16, '0');
  for (size_t i = 0; i < name.size(); ++i)
    name[i] = DIGITS[(*number >> (60 - 4 * i)) & 0xF];
  return name;
}

}  // namespace tarvik
