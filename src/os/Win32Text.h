// Text at the Windows backend's calls: the launcher's UTF-8 to the system's
// UTF-16 and back, and the ANSI code page where a reader still needs it.
#ifndef TARVIK_OS_WIN32TEXT_H
#define TARVIK_OS_WIN32TEXT_H

#include <optional>
#include <string>

namespace tarvik {

// Bytes that are not UTF-8 become U+FFFD, as the system converts them.
std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const wchar_t* text, size_t length);
std::string utf8FromWide(const std::wstring& text);

// Nothing when a character has no place in the ANSI code page.
std::optional<std::string> ansiFromUtf8(const std::string& text);
std::string utf8FromAnsi(const std::string& bytes);

// The system's text for an error number from GetLastError().
std::string systemErrorText(unsigned long error);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32TEXT_H
