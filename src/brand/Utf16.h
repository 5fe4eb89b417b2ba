// UTF-8 (the tool's texts) to and from UTF-16 (the texts of PE resources).
#ifndef TARVIK_BRAND_UTF16_H
#define TARVIK_BRAND_UTF16_H

#include <optional>
#include <string>

namespace tarvik {
namespace brand {

// Nothing when `text` is not valid UTF-8.
std::optional<std::u16string> utf8ToUtf16(const std::string& text);
// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const std::u16string& text);

}  // namespace brand
}  // namespace tarvik

#endif  // TARVIK_BRAND_UTF16_H
