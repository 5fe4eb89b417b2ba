#include "brand/Utf16.h"

#include <cstdint>

#include "support/Utf8.h"

namespace tarvik {
namespace brand {

std::optional<std::u16string> utf8ToUtf16(const std::string& text) {
  std::u16string out;
  size_t pos = 0;
  uint32_t code;
  while (pos < text.size()) {
    if (!nextCodePoint(text, pos, code)) return std::nullopt;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string utf16ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() &&
        text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    appendUtf8(out, code);
  }
  return out;
}

}  // namespace brand
}  // namespace tarvik
