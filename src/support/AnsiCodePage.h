// Paths for the readers that take text in the system's ANSI code page:
// java.exe's argument vector and the JVM's options. A path with characters
// outside that code page goes by its short (8.3) form, which is ASCII.
#ifndef TARVIK_SUPPORT_ANSICODEPAGE_H
#define TARVIK_SUPPORT_ANSICODEPAGE_H

#include <string>

namespace tarvik {

// Whether the code page holds every character of the text.
bool fitsAnsi(const std::string& text);

// The path itself when it fits the code page, else its short form when the
// file system gives one that fits, else the path itself (the reader then
// gets what the system makes of it).
std::string ansiReadablePath(const std::string& path);

// The same for a class path entry; for a wildcard entry ("lib/*") the
// folder before the wildcard.
std::string ansiReadableClassPathEntry(const std::string& entry);

// A class path of entries joined with the class path separator.
std::string ansiReadableClassPath(const std::string& classPath);

// The text as a reader in the ANSI code page may be handed it: each
// character that the code page does not hold exactly becomes '?'. Windows
// would give such a character its "best fit", which may be command-line
// syntax (U+FF02 becomes '"', U+FF20 '@') or another letter (Ł becomes L).
std::string ansiFaithfulText(const std::string& text);

// A "-D<name>=<value>" option whose value (quoted or not) is such a path;
// any other option is returned unchanged.
std::string ansiReadableOption(const std::string& option);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_ANSICODEPAGE_H
