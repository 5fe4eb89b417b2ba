// A child process started with the wide call.
#ifndef _WIN32
#error "Win32ChildProcess.cpp is for Windows builds only"
#endif

#include "os/Win32ChildProcess.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "os/Win32Text.h"

namespace tarvik {

namespace {

// Whether Ctrl-C reached the console the launcher shares with its child
// (Ctrl-Break asks Java for its threads, and stops nothing).
std::atomic<bool> gInterrupted{false};

// The launcher's answer to the console's interrupts once a child has them:
// handled, that is ignored; the child, on the same console, gets them too.
// (A NULL handler would be inherited by the child and silence it as well.)
BOOL WINAPI leaveToChild(DWORD event) {
  if (event == CTRL_C_EVENT) gInterrupted = true;
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

// The handler stays for the rest of the launcher's life. The system hands
// an interrupt to each process of the console on a thread of its own, run
// when it gets its turn: a child that ends at once on Ctrl-C may be gone,
// and waited for, before the launcher's thread runs, and the launcher must
// still be ignoring the event then, or the default handling ends it and
// the child's exit code is lost. The launcher ends, or starts the next
// child, right after a child.
void leaveInterruptsToChildren() {
  static bool left = false;
  if (left) return;
  left = SetConsoleCtrlHandler(leaveToChild, TRUE) != FALSE;
}

// A job that ends the child when its last handle, the launcher's, closes:
// when the launcher ends in any way. Processes the child starts are left
// out of it, as they would be without the launcher.
HANDLE jobEndingWithLauncher() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  memset(&limits, 0, sizeof limits);
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation,
                               &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

class Win32Child : public ChildProcess {
 public:
  Win32Child(PROCESS_INFORMATION info, HANDLE job) : info_(info), job_(job) {}
  ~Win32Child() override {
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    if (job_) CloseHandle(job_);
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
  bool interrupt() override;
  void terminate() override {
    if (job_ && TerminateJobObject(job_, 1)) return;
    TerminateProcess(info_.hProcess, 1);
  }
  uint32_t exitCode() override {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_;
  HANDLE job_;
  std::string waitError_;
};

// Ctrl-C reaches the processes of a console from one of them: this process
// joins the child's console for the moment of the event, ignoring it itself,
// and leaves it again. The standard handles are kept, as joining a console
// would set them to its own.
bool Win32Child::interrupt() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  FreeConsole();
  bool sent = false;
  if (AttachConsole(info_.dwProcessId)) {
    SetConsoleCtrlHandler(nullptr, TRUE);
    sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE;
    FreeConsole();
  }
  SetStdHandle(STD_INPUT_HANDLE, input);
  SetStdHandle(STD_OUTPUT_HANDLE, output);
  SetStdHandle(STD_ERROR_HANDLE, error);
  return sent;
}

}  // namespace

bool win32StopSignalled() { return gInterrupted; }

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
    startup.hStdInput = reinterpret_cast<HANDLE>(start.stdHandles.input);
    // Handles are passed on only when inheritable; a console's are not
    // always.
    if (start.stdHandles.input) {
      for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
  }
  HANDLE nullDevice = INVALID_HANDLE_VALUE;
  if (start.discardOutput) {
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    nullDevice = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                             OPEN_EXISTING, 0, nullptr);
    if (nullDevice == INVALID_HANDLE_VALUE) {
      ChildStartResult failed;
      failed.errorText = systemErrorText(GetLastError());
      return failed;
    }
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nullDevice;
  }
  // The wide call may write into the command line it is given.
  std::wstring commandLine = wideFromUtf8(start.commandLine);
  commandLine.push_back(L'\0');
  std::wstring workingDir;
  if (start.workingDir) workingDir = wideFromUtf8(*start.workingDir);
  PROCESS_INFORMATION info;
  memset(&info, 0, sizeof info);
  ChildStartResult result;
  HANDLE job = start.endsWithLauncher ? jobEndingWithLauncher() : nullptr;
  DWORD flags = start.noWindow ? CREATE_NO_WINDOW : 0;
  // Suspended until it is in the job, so that nothing it starts escapes.
  if (job) flags |= CREATE_SUSPENDED;
  if (start.leaveInterruptsToChild) leaveInterruptsToChildren();
  BOOL created = CreateProcessW(
      nullptr, &commandLine[0], nullptr, nullptr, TRUE, flags, nullptr,
      start.workingDir ? workingDir.c_str() : nullptr, &startup, &info);
  if (nullDevice != INVALID_HANDLE_VALUE) CloseHandle(nullDevice);
  if (!created) {
    result.errorText = systemErrorText(GetLastError());
    if (job) CloseHandle(job);
    return result;
  }
  if (instance) instance->shareWith(info.hProcess, info.dwProcessId);
  if (job) {
    // A launcher in a job that allows no other (before Windows 8) runs
    // the child without one.
    if (!AssignProcessToJobObject(job, info.hProcess)) {
      CloseHandle(job);
      job = nullptr;
    }
    ResumeThread(info.hThread);
  }
  result.child = std::make_unique<Win32Child>(info, job);
  return result;
}

std::string runWin32LauncherAgain(const std::string& workingDir,
                                  uint32_t& exitCode) {
  std::wstring self(32768, L'\0');
  const DWORD length =
      GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size()));
  if (length == 0 || length >= self.size())
    return systemErrorText(GetLastError());
  self.resize(length);
  // The wide call may write into the command line it is given.
  std::wstring commandLine = GetCommandLineW();
  commandLine.push_back(L'\0');
  const std::wstring folder = wideFromUtf8(workingDir);

  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  STARTUPINFOW own;
  memset(&own, 0, sizeof own);
  own.cb = sizeof own;
  GetStartupInfoW(&own);
  if (own.dwFlags & STARTF_USESHOWWINDOW) {
    startup.dwFlags |= STARTF_USESHOWWINDOW;
    startup.wShowWindow = own.wShowWindow;
  }
  startup.dwFlags |= STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    if (handle && handle != INVALID_HANDLE_VALUE)
      SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

  // The new launcher ends with this one, as the application did, and the
  // console's interrupts are its own.
  HANDLE job = jobEndingWithLauncher();
  leaveInterruptsToChildren();
  PROCESS_INFORMATION info;
  memset(&info, 0, sizeof info);
  if (!CreateProcessW(self.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                      job ? CREATE_SUSPENDED : 0, nullptr, folder.c_str(),
                      &startup, &info)) {
    const std::string error = systemErrorText(GetLastError());
    if (job) CloseHandle(job);
    return error;
  }
  if (job) {
    if (!AssignProcessToJobObject(job, info.hProcess)) {
      CloseHandle(job);
      job = nullptr;
    }
    ResumeThread(info.hThread);
  }
  Win32Child launcher(info, job);
  if (launcher.waitForExit(-1) != WaitResult::Ended)
    return launcher.waitErrorText();
  exitCode = launcher.exitCode();
  return std::string();
}

}  // namespace tarvik
