// Dynamic libraries loaded as Java's own launcher loads its JVM.
#ifndef _WIN32
#error "Win32Library.cpp is for Windows builds only"
#endif

#include "os/Win32Library.h"

#include <windows.h>

#include "os/Win32Text.h"

namespace tarvik {

namespace {

// The search flags want full paths, with backslashes.
std::wstring fullPath(const std::string& path) {
  const std::wstring wide = wideFromUtf8(path);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size) return std::wstring();
  full.resize(length);
  return full;
}

// LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS.
constexpr DWORD SEARCH_FLAGS = 0x00000100 | 0x00001000;

}  // namespace

void* win32LoadLibraryWithDependenciesIn(
    const std::string& path, const std::vector<std::string>& dependencyFolders) {
  // A bare name is searched along PATH, which these flags would not do.
  if (path.find_first_of("\\/") == std::string::npos) return nullptr;
  const std::wstring library = fullPath(path);
  // Windows before the update that brought the flags has no AddDllDirectory.
  using AddDllDirectoryFunction = void*(WINAPI*)(PCWSTR);
  auto addDllDirectory = reinterpret_cast<AddDllDirectoryFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                             "AddDllDirectory")));
  if (library.empty() || addDllDirectory == nullptr) return nullptr;
  for (const std::string& folder : dependencyFolders) {
    const std::wstring full = fullPath(folder);
    // Kept for the process: the VM loads more of the runtime's DLLs.
    if (!full.empty()) addDllDirectory(full.c_str());
  }
  return reinterpret_cast<void*>(
      LoadLibraryExW(library.c_str(), nullptr, SEARCH_FLAGS));
}

}  // namespace tarvik
