// A child process started with the wide call.
#ifndef _WIN32
#error "Win32ChildProcess.cpp is for Windows builds only"
#endif

#include "os/Win32ChildProcess.h"

#include <windows.h>

#include <cstring>

#include "os/Win32Text.h"

namespace tarvik {

namespace {

class Win32Child : public ChildProcess {
 public:
  explicit Win32Child(PROCESS_INFORMATION info) : info_(info) {}
  ~Win32Child() override {
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  Win32Child(const Win32Child&) = delete;
  Win32Child& operator=(const Win32Child&) = delete;

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

}  // namespace

ChildStartResult startWin32Child(const ChildStart& start,
                                 Win32Instance* instance) {
  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  std::wstring title = wideFromUtf8(start.consoleTitle.value_or(""));
  if (start.consoleTitle) startup.lpTitle = &title[0];
  if (start.useStdHandles) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = reinterpret_cast<HANDLE>(start.stdHandles.output);
    startup.hStdError = reinterpret_cast<HANDLE>(start.stdHandles.error);
  }
  // The wide call may write into the command line it is given.
  std::wstring commandLine = wideFromUtf8(start.commandLine);
  commandLine.push_back(L'\0');
  std::wstring workingDir;
  if (start.workingDir) workingDir = wideFromUtf8(*start.workingDir);
  PROCESS_INFORMATION info;
  memset(&info, 0, sizeof info);
  ChildStartResult result;
  BOOL created = CreateProcessW(
      nullptr, &commandLine[0], nullptr, nullptr, TRUE,
      start.noWindow ? CREATE_NO_WINDOW : 0, nullptr,
      start.workingDir ? workingDir.c_str() : nullptr, &startup, &info);
  if (!created) {
    result.errorText = systemErrorText(GetLastError());
    return result;
  }
  if (instance) instance->shareWith(info.hProcess, info.dwProcessId);
  result.child = std::make_unique<Win32Child>(info);
  return result;
}

}  // namespace tarvik
