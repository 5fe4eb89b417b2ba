// The Windows platform: the wide (UTF-16) calls, with the launcher's text
// converted from and to UTF-8 at each of them.
#ifndef _WIN32
#error "Win32Platform.cpp is for Windows builds only"
#endif

#include "os/Win32Platform.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>

#include "os/ProcessorIdentity.h"
#include "os/Win32ChildProcess.h"
#include "os/Win32Files.h"
#include "os/Win32Instance.h"
#include "os/Win32Library.h"
#include "os/Win32Paths.h"
#include "os/Win32Registry.h"
#include "os/Win32Service.h"
#include "os/Win32Taskbar.h"
#include "os/Win32Text.h"

namespace tarvik {

namespace {

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

class Win32Platform : public Platform {
 public:
  Win32Platform()
      : conventions_(PlatformConventions::windows()),
        out_(stdout),
        err_(stderr) {}

  const PlatformConventions& conventions() const override {
    return conventions_;
  }

  int messageBox(const std::string& text, const std::string& caption,
                 unsigned style) override {
    return MessageBoxW(nullptr, wideFromUtf8(text).c_str(),
                       wideFromUtf8(caption).c_str(), style);
  }

  // The streams carry the launcher's UTF-8 bytes as they are.
  void writeStdout(const std::string& text) override {
    fwrite(text.data(), 1, text.size(), out_);
  }
  void writeStderr(const std::string& text) override {
    fwrite(text.data(), 1, text.size(), err_);
    fflush(err_);
  }
  void flushStdout() override { fflush(out_); }

  std::string currentDirectory() override {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return std::string();
    std::wstring buffer(size, L'\0');
    DWORD length = GetCurrentDirectoryW(size, &buffer[0]);
    if (length == 0 || length >= size) return std::string();
    buffer.resize(length);
    return utf8FromWide(buffer);
  }

  bool changeDirectory(const std::string& path) override {
    return _wchdir(wideFromUtf8(path).c_str()) == 0;
  }

  int osMajorVersion() override {
    OSVERSIONINFOW info;
    memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&info);
#pragma GCC diagnostic pop
    return static_cast<int>(info.dwMajorVersion);
  }

  std::optional<std::string> getEnv(const std::string& name) override {
    // Read the process environment itself, not the C runtime's copy, so
    // that values set by `setenv` are seen by later references.
    const std::wstring wideName = wideFromUtf8(name);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    std::wstring value(size, L'\0');
    DWORD length = GetEnvironmentVariableW(wideName.c_str(), &value[0], size);
    value.resize(length < size ? length : size - 1);
    return utf8FromWide(value);
  }

  bool setEnv(const std::string& name, const std::string& value) override {
    return SetEnvironmentVariableW(wideFromUtf8(name).c_str(),
                                   wideFromUtf8(value).c_str()) != 0;
  }

  uint32_t processId() override { return GetCurrentProcessId(); }

  using Platform::openRegistryKey;
  std::unique_ptr<RegistryKey> openRegistryKey(
      const RegistryPlace& place, const std::string& path) override {
    return openWin32RegistryKey(place, path);
  }

  uint64_t physicalMemoryBytes() override {
    MEMORYSTATUSEX status;
    memset(&status, 0, sizeof status);
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullTotalPhys;
  }

  std::string processorIdentity() override {
    return processorIdentityFromCpuid();
  }

  ChildStartResult startChild(const ChildStart& start) override {
    return startWin32Child(start, instance_.get());
  }

  bool openWithAssociatedProgram(const std::string& file) override {
    HINSTANCE result = ShellExecuteW(nullptr, L"open",
                                     wideFromUtf8(file).c_str(), L"",
                                     nullptr, SW_SHOW);
    return reinterpret_cast<intptr_t>(result) > 32;
  }

  InstanceClaimResult claimInstance(const std::string& name) override {
    if (instance_) return {InstanceClaim::Claimed, std::string()};
    return Win32Instance::claim(name, instance_);
  }

  bool bringInstanceForward(const std::string& name) override {
    return bringWin32InstanceForward(name);
  }

  InstanceFolder instanceFolder(bool create) override {
    InstanceFolder folder = win32InstanceFolder(create);
    if (!folder.path) return folder;
    const std::optional<FileOwnership> owner = fileOwnership(*folder.path);
    if (!owner || !owner->ownedByUser)
      return {std::nullopt, "another user's folder (" + *folder.path + ")"};
    return folder;
  }

  InstanceHandOverResult handToInstance(const std::string& endpoint,
                                        const std::string& message,
                                        int timeoutMillis) override {
    return handToWin32Instance(endpoint, message, timeoutMillis);
  }

  bool setAppUserModelId(const std::string& id) override {
    return win32SetAppUserModelId(id);
  }

  std::string restartLauncher(const std::string& workingDir) override {
    // The new launcher claims the instance anew.
    instance_.reset();
    uint32_t code = 0;
    const std::string error = runWin32LauncherAgain(workingDir, code);
    if (!error.empty()) return error;
    exitProcess(static_cast<int>(code));
  }

  void openConsole() override {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) AllocConsole();
    rebindStandardStreams();
  }

  void freeConsole() override { FreeConsole(); }

  void setConsoleTitle(const std::string& title) override {
    SetConsoleTitleW(wideFromUtf8(title).c_str());
  }

  StandardHandles standardHandles() override {
    return {reinterpret_cast<uintptr_t>(GetStdHandle(STD_OUTPUT_HANDLE)),
            reinterpret_cast<uintptr_t>(GetStdHandle(STD_ERROR_HANDLE)),
            reinterpret_cast<uintptr_t>(GetStdHandle(STD_INPUT_HANDLE))};
  }

  CreateResult redirectStdStreams(const std::string& path,
                                  FileCreation creation) override {
    CreateResult result;
    HANDLE file = static_cast<HANDLE>(
        win32CreateFileForWriting(path, creation, true, &result));
    if (file == nullptr) return result;
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(),
                         &duplicate, 0, TRUE, DUPLICATE_SAME_ACCESS))
      return CreateResult::CannotDuplicateHandle;
    SetStdHandle(STD_OUTPUT_HANDLE, file);
    SetStdHandle(STD_ERROR_HANDLE, duplicate);
    rebindStandardStreams();
    // A GUI process has no standard error of its own: without this the
    // launcher's error lines would be lost.
    if (FILE* err = streamOnHandle(duplicate, "w", 1)) err_ = err;
    return CreateResult::Done;
  }

  std::optional<std::string> tempDirectory() override {
    return win32TempDirectory();
  }

  int makeDirectory(const std::string& path) override {
    return win32MakeDirectory(path);
  }

  // The folder takes the access list of the one above it: below
  // %LOCALAPPDATA%, the user's alone.
  int makePrivateDirectory(const std::string& path) override {
    return win32MakeDirectory(path);
  }

  std::string errorText(int errorNumber) override {
    return strerror(errorNumber);
  }

  std::vector<std::string> findFiles(const std::string& pattern) override {
    return win32FindFiles(pattern);
  }

  FileRead readRegularFile(const std::string& path, uint64_t maxBytes) override {
    return win32ReadRegularFile(path, maxBytes);
  }

  CreatedFile createTextFile(const std::string& path, FileCreation creation,
                             FileContent content) override {
    return win32CreateTextFile(path, creation, content);
  }

  bool removeFile(const std::string& path) override {
    return win32RemoveFile(path);
  }

  bool removeDirectory(const std::string& path) override {
    return RemoveDirectoryW(wideFromUtf8(path).c_str()) != 0;
  }

  bool setModifiedTime(const std::string& path, int64_t seconds) override {
    // A folder opens only with backup semantics.
    HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // 100-nanosecond steps since 1601.
    const uint64_t ticks = (static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull;
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    const bool done = SetFileTime(file, nullptr, &time, &time) != 0;
    CloseHandle(file);
    return done;
  }

  // Symbolic links need a privilege users seldom hold; files are copied
  // on Windows instead.
  bool makeSymbolicLink(const std::string&, const std::string&) override {
    return false;
  }

  std::optional<FileFacts> fileFacts(const std::string& path) override {
    return win32FileFacts(path);
  }

  std::optional<FileOwnership> fileOwnership(const std::string& path) override {
    return win32FileOwnership(path);
  }

  std::optional<std::string> readFileStart(const std::string& path,
                                           size_t count) override {
    return win32ReadFileStart(path, count);
  }

  bool createNewFile(const std::string& path) override {
    return win32CreateNewFile(path);
  }

  bool renameFile(const std::string& from, const std::string& to) override {
    return win32RenameFile(from, to);
  }

  std::optional<uint64_t> freeDiskBytes(const std::string& folder) override {
    return win32FreeDiskBytes(folder);
  }

  bool sameFile(const std::string& a, const std::string& b) override {
    return win32SameFile(a, b);
  }
  std::optional<std::string> findProgram(const std::string& name) override {
    return win32FindProgram(name);
  }
  std::optional<std::string> finalPath(const std::string& path) override {
    return win32FinalPath(path);
  }
  std::optional<std::vector<std::string>> folderEntries(
      const std::string& folder) override {
    return win32FolderEntries(folder);
  }
  Environment environment() override { return win32Environment(); }
  void replaceEnvironment(const Environment& variables) override {
    win32ReplaceEnvironment(variables);
  }
  Environment serviceEnvironment() override { return win32SystemEnvironment(); }

  void* loadLibrary(const std::string& path) override {
    return reinterpret_cast<void*>(LoadLibraryW(wideFromUtf8(path).c_str()));
  }

  void* findSymbol(void* library, const std::string& name) override {
    return reinterpret_cast<void*>(
        GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
  }

  void* loadLibraryWithDependenciesIn(
      const std::string& path,
      const std::vector<std::string>& dependencyFolders) override {
    if (void* library = win32LoadLibraryWithDependenciesIn(path, dependencyFolders))
      return library;
    // A bare name, or a system without the search flags: as LoadLibrary.
    return loadLibrary(path);
  }

  std::optional<std::string> toAnsiCodePage(
      const std::string& text) override {
    return ansiFromUtf8(text);
  }

  std::string fromAnsiCodePage(const std::string& bytes) override {
    return utf8FromAnsi(bytes);
  }

  std::optional<std::string> shortPathForm(const std::string& path) override {
    return win32ShortPathForm(path);
  }

  std::optional<uint64_t> randomNumber() override {
    return win32RandomNumber();
  }

  int64_t timeSeconds() override { return _time64(nullptr); }

  bool runOnNewThread(uint64_t stackBytes,
                      const std::function<void()>& body) override {
    if (stackBytes > SIZE_MAX) return false;
    // The size reserves the stack, as the linker's does for the first
    // thread; committing it all would cost memory the thread never uses.
    HANDLE thread = CreateThread(nullptr, static_cast<SIZE_T>(stackBytes),
                                 &runBody, const_cast<std::function<void()>*>(&body),
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) return false;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return true;
  }

  void sleepMillis(int64_t millis) override {
    if (millis > 0) Sleep(static_cast<DWORD>(millis));
  }
  bool runAsService(const std::function<int(ServiceSession&)>& body) override {
    return runWin32Service(body);
  }
  ServiceAnswer installService(const ServiceDefinition& definition) override {
    return installWin32Service(definition);
  }
  ServiceAnswer uninstallService(const std::string& name) override {
    return uninstallWin32Service(name);
  }
  ServiceAnswer startService(const std::string& name) override {
    return startWin32Service(name);
  }
  ServiceAnswer stopService(const std::string& name) override {
    return stopWin32Service(name);
  }
  ServiceAnswer queryService(const std::string& name) override {
    return queryWin32Service(name);
  }
  ServiceAnswer queryServiceOrigin(const std::string& name) override {
    return queryWin32ServiceOrigin(name);
  }
  void writeSystemLog(const std::string& source, const std::string& text,
                      bool isError) override {
    writeWin32EventLog(source, text, isError);
  }
  // The pipe becomes descriptors 1 and 2; the platform writes through
  // streams of its own on them: a process started without standard
  // handles (a service) has runtime streams tied to no descriptor at all.
  // The release points the descriptors, and so these streams, at NUL.
  std::unique_ptr<StreamCapture> captureStdStreams() override {
    std::unique_ptr<StreamCapture> capture = captureWin32StdStreams();
    if (!capture) return capture;
    fflush(out_);
    fflush(err_);
    if (FILE* out = _fdopen(1, "wb")) {
      setvbuf(out, nullptr, _IONBF, 0);
      out_ = out;
    }
    if (FILE* err = _fdopen(2, "wb")) {
      setvbuf(err, nullptr, _IONBF, 0);
      err_ = err;
    }
    return capture;
  }
  void releaseStdStreams() override { releaseWin32StdStreams(); }
  bool stopSignalled() override { return win32StopSignalled(); }
  std::string othersWhoMayChange(const std::string& path) override {
    return win32OthersWhoMayChange(path);
  }
  bool hasAdministratorRights() override { return win32HasAdministratorRights(); }

  // The C runtime tells its exit-time handlers no status.
  bool callOnExit(void (*)(int)) override { return false; }

  [[noreturn]] void exitProcess(int code) override {
    fflush(nullptr);
    exit(code);
  }

 private:
  static DWORD WINAPI runBody(LPVOID body) {
    (*static_cast<std::function<void()>*>(body))();
    return 0;
  }

  // Binds the runtime's standard output and input to the current standard
  // handles (after a console was opened or the log file installed).
  void rebindStandardStreams() {
    if (FILE* out = streamOnHandle(GetStdHandle(STD_OUTPUT_HANDLE), "w", 1))
      out_ = out;
    streamOnHandle(GetStdHandle(STD_INPUT_HANDLE), "r", 128);
  }

  PlatformConventions conventions_;
  FILE* out_;
  FILE* err_;
  // Held until the process ends (singleInstance).
  std::unique_ptr<Win32Instance> instance_;
};

}  // namespace

std::unique_ptr<Platform> makeWin32Platform() {
  return std::make_unique<Win32Platform>();
}

std::vector<std::string> win32Arguments(int count, wchar_t** arguments) {
  std::vector<std::string> argv;
  for (int i = 0; arguments && i < count; ++i)
    argv.push_back(utf8FromWide(arguments[i] ? arguments[i] : L""));
  return argv;
}

std::string win32ModulePath() {
  std::wstring path(32768, L'\0');
  DWORD length = GetModuleFileNameW(nullptr, &path[0],
                                    static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return std::string();
  path.resize(length);
  return utf8FromWide(path);
}

std::vector<std::string> win32ModuleArguments(int count, wchar_t** arguments) {
  std::vector<std::string> argv = win32Arguments(count, arguments);
  if (argv.empty()) argv.emplace_back();
  const std::string own = win32ModulePath();
  if (!own.empty()) argv[0] = own;
  return argv;
}

}  // namespace tarvik
