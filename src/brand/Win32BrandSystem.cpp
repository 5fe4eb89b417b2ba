// tarvik-brand's files and streams on Windows: wide (UTF-16) arguments and
// paths, so every name and text arrives whole.
#ifndef _WIN32
#error "Win32BrandSystem.cpp is for Windows builds only"
#endif

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "brand/BrandSystem.h"

namespace tarvik {
namespace brand {

namespace {

std::string narrow(const wchar_t* text, int length = -1) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
  if (length < 0) out.pop_back();  // the terminator
  return out;
}

std::wstring widen(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
  return out;
}

// The system's text for an error, without its line end.
std::string errorText(DWORD code) {
  wchar_t* buffer = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = buffer ? narrow(buffer) : "error " + std::to_string(code);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                           text.back() == '.'))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : text;
}

class Win32BrandSystem : public BrandSystem {
 public:
  std::vector<std::string> arguments() override {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!words) return args;
    for (int i = 1; i < count; ++i) args.push_back(narrow(words[i]));
    LocalFree(words);
    return args;
  }

  std::optional<std::string> readFile(const std::string& path, size_t limit,
                                      std::string& error) override {
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      error = errorText(GetLastError());
      return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < limit) {
      DWORD n = 0;
      const size_t left = limit - bytes.size();
      const DWORD wanted = static_cast<DWORD>(left < sizeof buffer ? left : sizeof buffer);
      if (!ReadFile(file, buffer, wanted, &n, nullptr)) {
        error = errorText(GetLastError());
        CloseHandle(file);
        return std::nullopt;
      }
      if (n == 0) break;
      bytes.append(buffer, n);
    }
    CloseHandle(file);
    return bytes;
  }

  bool replaceFile(const std::string& path, const std::string& bytes, std::string& error) override {
    const std::wstring target = widen(path);
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (unsigned n = 0; file == INVALID_HANDLE_VALUE && n < 100; ++n) {
      temp = target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(n);
      file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (file == INVALID_HANDLE_VALUE) {
      error = errorText(GetLastError());
      return false;
    }
    DWORD code = 0;
    for (size_t done = 0; !code && done < bytes.size();) {
      DWORD n = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
      if (!WriteFile(file, bytes.data() + done, chunk, &n, nullptr) || n == 0)
        code = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
      done += n;
    }
    if (!code && !FlushFileBuffers(file)) code = GetLastError();
    CloseHandle(file);
    if (!code && !MoveFileExW(temp.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      code = GetLastError();
    if (code) {
      DeleteFileW(temp.c_str());
      error = errorText(code);
      return false;
    }
    return true;
  }

  void writeStderr(const std::string& text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
  void writeStdout(const std::string& text) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
};

}  // namespace

std::unique_ptr<BrandSystem> makeBrandSystem(int, char**) {
  return std::make_unique<Win32BrandSystem>();
}

}  // namespace brand
}  // namespace tarvik
