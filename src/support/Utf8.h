// UTF-8 as the launcher's text, and Java's modified form of it for JNI.
#ifndef TARVIK_SUPPORT_UTF8_H
#define TARVIK_SUPPORT_UTF8_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik {

// Decodes the character at `pos` and moves past it; false (and `pos`
// unchanged) when the bytes there are not well-formed UTF-8: no overlong
// forms, no surrogates, nothing past U+10FFFF.
bool nextCodePoint(const std::string& text, size_t& pos, uint32_t& codePoint);

void appendUtf8(std::string& text, uint32_t codePoint);

bool isValidUtf8(const std::string& text);

// Where the run of ASCII bytes from `pos` on ends: at the first byte of
// 0x80 or more, or at the text's end. (It looks at eight bytes at a time:
// the paths and lines of a launch are ASCII mostly, and every launch looks
// through them.)
size_t endOfAscii(const std::string& text, size_t pos = 0);

// The number of UTF-16 units the text becomes: two for a character beyond
// U+FFFF, one for any other character and for each byte that is not UTF-8.
size_t utf16Length(const std::string& text);

// UTF-16 bytes (little-endian, or big-endian when asked) as UTF-8; an
// unpaired surrogate or an odd last byte becomes U+FFFD.
std::string utf8FromUtf16(const std::string& bytes, bool bigEndian);

// A text cut to fit a C buffer of `size` bytes with its terminator, never
// inside a character: the cut moves back to the start of one.
std::string fitBuffer(const std::string& text, size_t size);

// The text as JNI's NewStringUTF reads it: a character beyond U+FFFF as its
// two surrogates, each encoded alone, and NUL as C0 80. A byte that is not
// part of well-formed UTF-8 stands for the character of its value, as the
// VM took it before.
std::string modifiedUtf8(const std::string& text);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_UTF8_H
