#include "support/AnsiCodePage.h"

#include <optional>

#include "os/Platform.h"
#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {

bool fitsAnsi(const std::string& text) {
  // Every ANSI code page holds ASCII as it is: only other text is asked of
  // the system.
  return endOfAscii(text) == text.size() || platform().toAnsiCodePage(text).has_value();
}

std::string ansiReadablePath(const std::string& path) {
  if (path.empty() || fitsAnsi(path)) return path;
  std::optional<std::string> shortForm = platform().shortPathForm(path);
  if (shortForm && !shortForm->empty() && fitsAnsi(*shortForm))
    return *shortForm;
  return path;
}

std::string ansiReadableClassPathEntry(const std::string& entry) {
  const size_t star = entry.find('*');
  if (star == std::string::npos) return ansiReadablePath(entry);
  const size_t cut = entry.find_last_of("/\\", star);
  if (cut == std::string::npos) return entry;
  return ansiReadablePath(entry.substr(0, cut)) + entry.substr(cut);
}

std::string ansiReadableClassPath(const std::string& classPath) {
  if (fitsAnsi(classPath)) return classPath;
  const char separator = platform().conventions().classPathSeparator;
  std::string result;
  size_t start = 0;
  for (;;) {
    const size_t end = classPath.find(separator, start);
    result += ansiReadablePath(classPath.substr(start, end - start));
    if (end == std::string::npos) break;
    result += separator;
    start = end + 1;
  }
  return result;
}

std::string ansiFaithfulText(const std::string& text) {
  if (fitsAnsi(text)) return text;
  std::string result;
  size_t pos = 0;
  while (pos < text.size()) {
    // Every ANSI code page holds ASCII as it is.
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      result += text[pos++];
      continue;
    }
    const size_t start = pos;
    uint32_t codePoint;
    if (!nextCodePoint(text, pos, codePoint)) {
      result += '?';
      ++pos;
      continue;
    }
    const std::string character = text.substr(start, pos - start);
    result += fitsAnsi(character) ? character : "?";
  }
  return result;
}

std::string ansiReadableOption(const std::string& option) {
  const size_t equals = option.find('=');
  if (!startsWith(option, "-D") || equals == std::string::npos ||
      fitsAnsi(option))
    return option;
  std::string value = option.substr(equals + 1);
  const bool quoted =
      value.size() >= 2 && value.front() == '"' && value.back() == '"';
  if (quoted) value = value.substr(1, value.size() - 2);
  const std::string readable = ansiReadablePath(value);
  if (readable == value) return option;
  const std::string quote = quoted ? "\"" : "";
  return option.substr(0, equals + 1) + quote + readable + quote;
}

}  // namespace tarvik
