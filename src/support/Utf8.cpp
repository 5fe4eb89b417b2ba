#include "support/Utf8.h"

#include <cstring>

namespace tarvik {

bool nextCodePoint(const std::string& text, size_t& pos, uint32_t& codePoint) {
  if (pos >= text.size()) return false;
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  size_t length;
  uint32_t value;
  uint32_t smallest;
  if (lead < 0x80) {
    codePoint = lead;
    ++pos;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, smallest = 0x10000;
  } else {
    return false;
  }
  if (text.size() - pos < length) return false;
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF ||
      (value >= 0xD800 && value <= 0xDFFF))
    return false;
  codePoint = value;
  pos += length;
  return true;
}

void appendUtf8(std::string& text, uint32_t codePoint) {
  if (codePoint < 0x80) {
    text += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    text += static_cast<char>(0xC0 | (codePoint >> 6));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    text += static_cast<char>(0xE0 | (codePoint >> 12));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (codePoint >> 18));
    text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

bool isValidUtf8(const std::string& text) {
  size_t pos = 0;
  uint32_t codePoint;
  while ((pos = endOfAscii(text, pos)) < text.size())
    if (!nextCodePoint(text, pos, codePoint)) return false;
  return true;
}

size_t endOfAscii(const std::string& text, size_t pos) {
  const char* bytes = text.data();
  const size_t size = text.size();
  for (uint64_t eight; pos + 8 <= size; pos += 8) {
    std::memcpy(&eight, bytes + pos, 8);
    if (eight & 0x8080808080808080u) break;
  }
  while (pos < size && static_cast<unsigned char>(bytes[pos]) < 0x80) ++pos;
  return pos;
}

size_t utf16Length(const std::string& text) {
  size_t units = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    uint32_t codePoint = 0;
    if (!nextCodePoint(text, pos, codePoint)) {
      ++pos;
      codePoint = 0;
    }
    units += codePoint >= 0x10000 ? 2 : 1;
  }
  return units;
}

namespace {

// One UTF-16 unit (a surrogate too) in modified UTF-8's 1 to 3 bytes.
void appendModifiedUnit(std::string& text, uint32_t unit) {
  if (unit == 0) {
    text += "\xC0\x80";
  } else if (unit < 0x80) {
    text += static_cast<char>(unit);
  } else if (unit < 0x800) {
    text += static_cast<char>(0xC0 | (unit >> 6));
    text += static_cast<char>(0x80 | (unit & 0x3F));
  } else {
    text += static_cast<char>(0xE0 | (unit >> 12));
    text += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (unit & 0x3F));
  }
}

}  // namespace

std::string modifiedUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    uint32_t codePoint;
    if (!nextCodePoint(text, pos, codePoint))
      codePoint = static_cast<unsigned char>(text[pos++]);
    if (codePoint >= 0x10000) {
      codePoint -= 0x10000;
      appendModifiedUnit(out, 0xD800 | (codePoint >> 10));
      appendModifiedUnit(out, 0xDC00 | (codePoint & 0x3FF));
    } else {
      appendModifiedUnit(out, codePoint);
    }
  }
  return out;
}

std::string utf8FromUtf16(const std::string& bytes, bool bigEndian) {
  constexpr uint32_t REPLACEMENT = 0xFFFD;
  auto unitAt = [&](size_t at) -> uint32_t {
    const uint32_t first = static_cast<unsigned char>(bytes[at]);
    const uint32_t second = static_cast<unsigned char>(bytes[at + 1]);
    return bigEndian ? (first << 8) | second : (second << 8) | first;
  };
  std::string text;
  size_t at = 0;
  while (at + 1 < bytes.size()) {
    const uint32_t unit = unitAt(at);
    at += 2;
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < bytes.size()) {
      const uint32_t low = unitAt(at);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        at += 2;
        appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        continue;
      }
    }
    appendUtf8(text, unit >= 0xD800 && unit <= 0xDFFF ? REPLACEMENT : unit);
  }
  if (at < bytes.size()) appendUtf8(text, REPLACEMENT);
  return text;
}

std::string fitBuffer(const std::string& text, size_t size) {
  if (text.size() < size) return text;
  size_t cut = size - 1;
  // At most the three continuation bytes a character can have: bytes that
  // are not UTF-8 are cut where they stand.
  for (int back = 0; back < 3 && cut > 0 &&
                     (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80;
       ++back)
    --cut;
  if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) cut = size - 1;
  return text.substr(0, cut);
}

}  // namespace tarvik
