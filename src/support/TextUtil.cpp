#include "support/TextUtil.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace tarvik {

std::string toLowerCase(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

static bool isSpaceByte(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' ||
         c == '\f';
}

std::vector<std::string> splitWords(const std::string& text,
                                    const std::string& literal,
                                    std::vector<std::string>* literalOfWords) {
  auto separates = [&](size_t i) {
    return isSpaceByte(text[i]) && (i >= literal.size() || literal[i] != '1');
  };
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && separates(i)) ++i;
    size_t start = i;
    while (i < text.size() && !separates(i)) ++i;
    if (i == start) continue;
    words.push_back(text.substr(start, i - start));
    if (literalOfWords) {
      std::string marks = start < literal.size() ? literal.substr(start, i - start)
                                                 : std::string();
      marks.resize(i - start, '0');
      literalOfWords->push_back(std::move(marks));
    }
  }
  return words;
}

std::vector<std::string> splitWords(const std::string& text) {
  return splitWords(text, std::string(), nullptr);
}

std::vector<std::string> splitOn(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(delimiter, start);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

void toForwardSlashes(std::string& text) {
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
}

size_t findFirstOf(const std::string& text, std::string_view chars, size_t from) {
  // A bit for each byte sought: one test for each byte of the text.
  uint64_t sought[4] = {};
  for (const unsigned char c : chars) sought[c >> 6] |= uint64_t{1} << (c & 63);
  for (size_t i = from; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((sought[c >> 6] >> (c & 63)) & 1) return i;
  }
  return std::string::npos;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string cutAtNul(const std::string& text) {
  size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

std::string withoutQuotes(const std::string& text) {
  std::string plain = text;
  plain.erase(std::remove(plain.begin(), plain.end(), '"'), plain.end());
  return plain;
}

std::string withoutSurroundingQuotes(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    return text.substr(1, text.size() - 2);
  return text;
}

std::string trimmed(const std::string& text) {
  const char* const blanks = " \t\r";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace tarvik
