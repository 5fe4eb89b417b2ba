// The Windows platform: the real ANSI calls.
#ifndef _WIN32
#error "Win32Platform.cpp is for Windows builds only"
#endif

#include "os/Win32Platform.h"
#include "os/StdioOutputFile.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace tarvik {

namespace {

// The system's text for the last error, captured by the caller right after
// the failing call.
std::string systemErrorText(DWORD error) {
  char buffer[512] = {0};
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' ||
                           text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "error " + std::to_string(error);
  return text;
}

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }

  std::optional<std::string> readString(const std::string& name,
                                        size_t capacity) override {
    std::string buffer(capacity, '\0');
    DWORD size = static_cast<DWORD>(capacity);
    if (RegQueryValueExA(key_, name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&buffer[0]),
                         &size) != ERROR_SUCCESS)
      return std::nullopt;
    buffer.resize(size);
    // The stored size counts the terminator, when there is one.
    size_t nul = buffer.find('\0');
    // A value stored without terminator that fills the whole buffer does
    // not fit with its terminator.
    if (nul == std::string::npos && size >= capacity) return std::nullopt;
    if (nul != std::string::npos) buffer.resize(nul);
    return buffer;
  }

  std::optional<uint32_t> subkeyCount() override {
    DWORD count = 0;
    if (RegQueryInfoKeyA(key_, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    return count;
  }

  std::optional<std::string> subkeyName(uint32_t index) override {
    char name[256];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(key_, index, name, &size, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    return std::string(name, size);
  }

 private:
  HKEY key_;
};

class Win32Child : public ChildProcess {
 public:
  explicit Win32Child(PROCESS_INFORMATION info) : info_(info) {}
  ~Win32Child() override {
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  void waitForInputIdle(uint32_t millis) override {
    WaitForInputIdle(info_.hProcess, millis);
  }
  WaitResult waitForExit(int64_t millis) override {
    DWORD timeout = millis < 0 ? INFINITE : static_cast<DWORD>(millis);
    DWORD waited = WaitForSingleObject(info_.hProcess, timeout);
    if (waited == WAIT_OBJECT_0) return WaitResult::Ended;
    if (waited == WAIT_TIMEOUT) return WaitResult::Running;
    waitError_ = systemErrorText(GetLastError());
    return WaitResult::Failed;
  }
  std::string waitErrorText() override { return waitError_; }
  uint32_t exitCode() override {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_;
  std::string waitError_;
};


// A C runtime stream on an OS handle, unbuffered, in text mode.
FILE* streamOnHandle(HANDLE handle, const char* mode, size_t bufferSize) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_TEXT);
  if (fd < 0) return nullptr;
  FILE* stream = _fdopen(fd, mode);
  if (!stream) return nullptr;
  setvbuf(stream, nullptr, _IONBF, bufferSize);
  return stream;
}

}  // namespace

Win32Platform::Win32Platform()
    : conventions_(PlatformConventions::windows()),
      out_(stdout),
      err_(stderr) {}

int Win32Platform::messageBox(const std::string& text,
                              const std::string& caption, unsigned style) {
  return MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
}

void Win32Platform::writeStdout(const std::string& text) {
  fwrite(text.data(), 1, text.size(), out_);
}

void Win32Platform::writeStderr(const std::string& text) {
  fwrite(text.data(), 1, text.size(), err_);
  fflush(err_);
}

void Win32Platform::flushStdout() { fflush(out_); }

std::string Win32Platform::currentDirectory() {
  char buffer[8192];
  if (!_getcwd(buffer, sizeof buffer)) return std::string();
  return buffer;
}

bool Win32Platform::changeDirectory(const std::string& path) {
  return _chdir(path.c_str()) == 0;
}

int Win32Platform::osMajorVersion() {
  OSVERSIONINFOA info;
  memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&info);
#pragma GCC diagnostic pop
  return static_cast<int>(info.dwMajorVersion);
}

std::optional<std::string> Win32Platform::getEnv(const std::string& name) {
  // Read the process environment itself, not the C runtime's copy, so that
  // values set by `setenv` are seen by later references.
  DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (size == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::string();
  }
  std::string value(size, '\0');
  DWORD length = GetEnvironmentVariableA(name.c_str(), &value[0], size);
  value.resize(length < size ? length : size - 1);
  return value;
}

bool Win32Platform::setEnv(const std::string& name, const std::string& value) {
  return SetEnvironmentVariableA(name.c_str(), value.c_str()) != 0;
}

uint32_t Win32Platform::processId() { return GetCurrentProcessId(); }

std::unique_ptr<RegistryKey> Win32Platform::openRegistryKey(
    const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

uint64_t Win32Platform::physicalMemoryBytes() {
  MEMORYSTATUSEX status;
  memset(&status, 0, sizeof status);
  status.dwLength = sizeof status;  // 64 bytes
  if (!GlobalMemoryStatusEx(&status)) return 0;
  return status.ullTotalPhys;
}

ChildStartResult Win32Platform::startChild(const ChildStart& start) {
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  std::string title = start.consoleTitle.value_or("");
  if (start.consoleTitle) startup.lpTitle = &title[0];
  if (start.useStdHandles) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = reinterpret_cast<HANDLE>(start.stdHandles.output);
    startup.hStdError = reinterpret_cast<HANDLE>(start.stdHandles.error);
  }
  std::string buffer = start.commandLine;
  buffer.push_back('\0');
  PROCESS_INFORMATION info;
  memset(&info, 0, sizeof info);
  ChildStartResult result;
  BOOL created = CreateProcessA(
      nullptr, &buffer[0], nullptr, nullptr, TRUE,
      start.noWindow ? CREATE_NO_WINDOW : 0, nullptr,
      start.workingDir ? start.workingDir->c_str() : nullptr, &startup, &info);
  if (!created) {
    result.errorText = systemErrorText(GetLastError());
    return result;
  }
  result.child = std::make_unique<Win32Child>(info);
  return result;
}

bool Win32Platform::openWithAssociatedProgram(const std::string& file) {
  HINSTANCE result = ShellExecuteA(nullptr, "open", file.c_str(), "", nullptr,
                                   SW_SHOW);
  return reinterpret_cast<intptr_t>(result) > 32;
}

void Win32Platform::rebindStandardStreams() {
  if (FILE* out = streamOnHandle(GetStdHandle(STD_OUTPUT_HANDLE), "w", 1))
    out_ = out;
  streamOnHandle(GetStdHandle(STD_INPUT_HANDLE), "r", 128);
}

void Win32Platform::openConsole() {
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) AllocConsole();
  rebindStandardStreams();
}

void Win32Platform::freeConsole() { FreeConsole(); }

void Win32Platform::setConsoleTitle(const std::string& title) {
  SetConsoleTitleA(title.c_str());
}

StandardHandles Win32Platform::standardHandles() {
  return {reinterpret_cast<uintptr_t>(GetStdHandle(STD_OUTPUT_HANDLE)),
          reinterpret_cast<uintptr_t>(GetStdHandle(STD_ERROR_HANDLE))};
}

RedirectResult Win32Platform::redirectStdStreams(const std::string& path) {
  SECURITY_ATTRIBUTES security;
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = TRUE;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                            &security, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return RedirectResult::CannotCreateFile;
  HANDLE duplicate = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(),
                       &duplicate, 0, TRUE, DUPLICATE_SAME_ACCESS))
    return RedirectResult::CannotDuplicateHandle;
  SetStdHandle(STD_OUTPUT_HANDLE, file);
  SetStdHandle(STD_ERROR_HANDLE, duplicate);
  rebindStandardStreams();
  // A GUI process has no standard error of its own: without this the
  // launcher's error lines would be lost.
  if (FILE* err = streamOnHandle(duplicate, "w", 1)) err_ = err;
  return RedirectResult::Done;
}

std::optional<std::string> Win32Platform::tempDirectory() {
  char buffer[MAX_PATH + 1];
  DWORD length = GetTempPathA(MAX_PATH, buffer);
  if (length == 0 || length > MAX_PATH) return std::nullopt;
  return std::string(buffer, length);
}

int Win32Platform::makeDirectory(const std::string& path) {
  if (_mkdir(path.c_str()) == 0) return 0;
  return errno;
}

std::string Win32Platform::errorText(int errorNumber) {
  return strerror(errorNumber);
}

std::vector<std::string> Win32Platform::findFiles(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(data.cFileName);
  } while (FindNextFileA(search, &data));
  FindClose(search);
  return names;
}

std::optional<std::string> Win32Platform::readFile(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::string content;
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
    content.append(buffer, got);
  bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) return std::nullopt;
  return content;
}

std::unique_ptr<OutputFile> Win32Platform::createTextFile(
    const std::string& path) {
  FILE* file = nullptr;
  if (fopen_s(&file, path.c_str(), "w") != 0 || !file) return nullptr;
  return std::make_unique<StdioOutputFile>(file);
}

void* Win32Platform::loadLibrary(const std::string& path) {
  return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
}

bool Win32Platform::removeFile(const std::string& path) {
  return DeleteFileA(path.c_str()) != 0;
}

namespace {

// The volume and index that name a file however its path is spelled.
bool fileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileA(path.c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE |
                                FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BOOL got = GetFileInformationByHandle(file, info);
  CloseHandle(file);
  return got != 0;
}

std::string fullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) return std::string();
  return std::string(buffer, length);
}

}  // namespace

bool Win32Platform::sameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  if (!fileIdentity(a, &first) || !fileIdentity(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// As Java's own launcher loads its JVM: the library's dependencies are
// found in its folder, the given folders and the system's, wherever the
// process runs. These search flags want full paths. A bare name, or a
// system without the flags, loads as LoadLibraryA does.
void* Win32Platform::loadLibraryWithDependenciesIn(
    const std::string& path, const std::vector<std::string>& dependencyFolders) {
  const std::string full = fullPath(path);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  using AddDllDirectoryFunction = void* (WINAPI*)(PCWSTR);
  auto addDllDirectory = reinterpret_cast<AddDllDirectoryFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "AddDllDirectory")));
  if (path.find_first_of("\\/") != std::string::npos && !full.empty() &&
      addDllDirectory) {
    for (const std::string& folder : dependencyFolders) {
      const std::string fullFolder = fullPath(folder);
      int size = MultiByteToWideChar(CP_ACP, 0, fullFolder.c_str(), -1,
                                     nullptr, 0);
      if (fullFolder.empty() || size <= 0) continue;
      std::wstring wide(static_cast<size_t>(size), L'\0');
      MultiByteToWideChar(CP_ACP, 0, fullFolder.c_str(), -1, &wide[0], size);
      // Kept for the process: the VM loads more of the runtime's DLLs.
      addDllDirectory(wide.c_str());
    }
    const DWORD searchFlags = 0x00000100 |  // LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
                              0x00001000;   // LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
    if (HMODULE library = LoadLibraryExA(full.c_str(), nullptr, searchFlags))
      return reinterpret_cast<void*>(library);
  }
  return loadLibrary(path);
}

void* Win32Platform::findSymbol(void* library, const std::string& name) {
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
}

int64_t Win32Platform::timeSeconds() { return _time64(nullptr); }

void Win32Platform::exitProcess(int code) {
  fflush(nullptr);
  exit(code);
}

}  // namespace tarvik
