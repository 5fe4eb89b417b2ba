// Small text routines shared by the configuration and launch code. Texts are
// 8-bit byte strings; nothing here interprets multi-byte characters.
#ifndef TARVIK_SUPPORT_TEXTUTIL_H
#define TARVIK_SUPPORT_TEXTUTIL_H

#include <string>
#include <string_view>
#include <vector>

namespace tarvik {

// A copy with the ASCII capitals A to Z lower-cased.
std::string toLowerCase(const std::string& text);

// Whitespace-separated words; never an empty word.
std::vector<std::string> splitWords(const std::string& text);
// The same, where the characters `literal` marks with '1' (what a value
// brought) never separate; with `literalOfWords`, each word's marks.
std::vector<std::string> splitWords(const std::string& text,
                                    const std::string& literal,
                                    std::vector<std::string>* literalOfWords);

// Pieces between delimiters, read like lines: an empty text gives no piece,
// a delimiter at the very end adds no empty last piece.
std::vector<std::string> splitOn(const std::string& text, char delimiter);

// Turns every backslash into a forward slash, in place.
void toForwardSlashes(std::string& text);

bool startsWith(const std::string& text, const std::string& prefix);

// The place of the first of `chars` in `text` at or after `from`, or npos:
// std::string::find_first_of's answer, at a fraction of its cost where the
// text is long (it calls memchr for every character). Every word of a
// launch's command line is looked through so.
size_t findFirstOf(const std::string& text, std::string_view chars, size_t from = 0);

// The whole text up to its first NUL byte, as a C string would read it.
std::string cutAtNul(const std::string& text);

// The text with every double quote removed. A Windows file name cannot hold
// one, so in a path the quotes only group it for a command line.
std::string withoutQuotes(const std::string& text);

// The text without one pair of double quotes that encloses all of it.
std::string withoutSurroundingQuotes(const std::string& text);

// The text without the blanks, tabs and CRs around it: a directive's value
// (a lone CR is left by a line that ends in CR CR LF).
std::string trimmed(const std::string& text);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_TEXTUTIL_H
