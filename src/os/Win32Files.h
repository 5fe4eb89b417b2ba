// Files and folders through the wide calls.
#ifndef TARVIK_OS_WIN32FILES_H
#define TARVIK_OS_WIN32FILES_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/Platform.h"

namespace tarvik {

std::optional<std::string> win32TempDirectory();
int win32MakeDirectory(const std::string& path);
std::vector<std::string> win32FindFiles(const std::string& pattern);
FileRead win32ReadRegularFile(const std::string& path, uint64_t maxBytes);
// A handle (a HANDLE) for writing `path` as `creation` says, inheritable
// when asked; null when it cannot be created, with `result` saying why (and
// for CannotCreateFile the thread's last error).
void* win32CreateFileForWriting(const std::string& path, FileCreation creation,
                                bool inheritable, CreateResult* result);
CreatedFile win32CreateTextFile(const std::string& path, FileCreation creation,
                                FileContent content);
// 64 bits from the system's random number generator.
std::optional<uint64_t> win32RandomNumber();
std::optional<std::string> win32ShortPathForm(const std::string& path);
bool win32RemoveFile(const std::string& path);
std::optional<FileFacts> win32FileFacts(const std::string& path);
// The owner of what `path` leads to against the process token's user.
std::optional<FileOwnership> win32FileOwnership(const std::string& path);
std::optional<std::string> win32ReadFileStart(const std::string& path,
                                              size_t count);
bool win32CreateNewFile(const std::string& path);
bool win32RenameFile(const std::string& from, const std::string& to);
std::optional<uint64_t> win32FreeDiskBytes(const std::string& folder);
// Whether both paths name one existing file, however they are spelled.
bool win32SameFile(const std::string& a, const std::string& b);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32FILES_H
