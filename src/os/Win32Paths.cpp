#ifndef _WIN32
#error "Win32Paths.cpp is for Windows builds only"
#endif

#include "os/Win32Paths.h"

#include <windows.h>
// after windows.h, which it needs
#include <userenv.h>

#include "os/Win32Text.h"

namespace tarvik {

namespace {

// A folder the system names through a call that fills a buffer.
std::wstring systemFolder(UINT (WINAPI* call)(LPWSTR, UINT)) {
  wchar_t buffer[MAX_PATH + 1];
  const UINT length = call(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

std::wstring ownFolder() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, &path[0],
                                          static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return std::wstring();
  path.resize(length);
  const size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

std::wstring currentFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return std::wstring();
  std::wstring folder(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, &folder[0]);
  if (length == 0 || length >= size) return std::wstring();
  folder.resize(length);
  return folder;
}

bool isFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Platform::Environment parseBlock(const wchar_t* block) {
  Platform::Environment variables;
  for (const wchar_t* entry = block; entry && *entry; entry += wcslen(entry) + 1) {
    const std::wstring text(entry);
    const size_t equals = text.find(L'=');
    // "=C:=C:\..." entries keep each drive's current folder: no variables.
    if (equals == std::wstring::npos || equals == 0) continue;
    variables.push_back({utf8FromWide(text.substr(0, equals)),
                         utf8FromWide(text.substr(equals + 1))});
  }
  return variables;
}

}  // namespace

std::optional<std::string> win32FindProgram(const std::string& name) {
  if (name.empty() || name.find_first_of("\\/:") != std::string::npos)
    return std::nullopt;
  std::wstring file = wideFromUtf8(name);
  // A name without an ending is an .exe, as CreateProcess takes it.
  if (file.find(L'.') == std::wstring::npos) file += L".exe";
  // CreateProcess's order: the launcher's folder, the current folder, the
  // system folders, then PATH.
  std::vector<std::wstring> folders = {ownFolder(), currentFolder(),
                                       systemFolder(GetSystemDirectoryW),
                                       systemFolder(GetWindowsDirectoryW)};
  const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (size > 0) {
    std::wstring path(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(L"PATH", &path[0], size);
    path.resize(length < size ? length : 0);
    size_t start = 0;
    while (start <= path.size()) {
      size_t end = path.find(L';', start);
      if (end == std::wstring::npos) end = path.size();
      std::wstring folder = path.substr(start, end - start);
      if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
        folder = folder.substr(1, folder.size() - 2);
      if (!folder.empty()) folders.push_back(folder);
      start = end + 1;
    }
  }
  for (const std::wstring& folder : folders) {
    if (folder.empty()) continue;
    const wchar_t last = folder.back();
    const std::wstring candidate =
        folder + (last == L'\\' || last == L'/' ? L"" : L"\\") + file;
    if (isFile(candidate)) return utf8FromWide(candidate);
  }
  return std::nullopt;
}

std::optional<std::string> win32FinalPath(const std::string& path) {
  HANDLE handle = CreateFileW(wideFromUtf8(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::wstring final(32768, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(
      handle, &final[0], static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED);
  CloseHandle(handle);
  if (length == 0 || length >= final.size()) return std::nullopt;
  final.resize(length);
  // "\\?\C:\x" is "C:\x"; "\\?\UNC\server\share" is "\\server\share".
  if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) return utf8FromWide(L"\\\\" + final.substr(8));
  if (final.compare(0, 4, L"\\\\?\\") == 0) return utf8FromWide(final.substr(4));
  return utf8FromWide(final);
}

std::optional<std::vector<std::string>> win32FolderEntries(const std::string& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wideFromUtf8(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<std::string>();
    return std::nullopt;
  }
  std::vector<std::string> names;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    names.push_back(utf8FromWide(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

Platform::Environment win32Environment() {
  wchar_t* block = GetEnvironmentStringsW();
  Platform::Environment variables = parseBlock(block);
  if (block) FreeEnvironmentStringsW(block);
  return variables;
}

void win32ReplaceEnvironment(const Platform::Environment& variables) {
  for (const auto& variable : win32Environment())
    SetEnvironmentVariableW(wideFromUtf8(variable.first).c_str(), nullptr);
  for (const auto& variable : variables)
    SetEnvironmentVariableW(wideFromUtf8(variable.first).c_str(),
                            wideFromUtf8(variable.second).c_str());
}

Platform::Environment win32SystemEnvironment() {
  void* block = nullptr;
  // Without a token: the system's variables alone, as a service of the
  // system's accounts is given them.
  if (!CreateEnvironmentBlock(&block, nullptr, FALSE) || !block)
    return win32Environment();
  Platform::Environment variables = parseBlock(static_cast<const wchar_t*>(block));
  DestroyEnvironmentBlock(block);
  return variables;
}

}  // namespace tarvik
