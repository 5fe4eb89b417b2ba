// One instance per name: a named mutex and a record of the application's
// process, both held by the launcher and by each child it starts.
#ifndef _WIN32
#error "Win32Instance.cpp is for Windows builds only"
#endif

#include "os/Win32Instance.h"

#include <windows.h>

#include "os/Win32Text.h"

namespace tarvik {

namespace {

// Two prefixes, so that no instance name makes one object's name the other's.
std::wstring mutexName(const std::string& name) {
  return L"Local\\TarvikInstance." + wideFromUtf8(name);
}

std::wstring recordName(const std::string& name) {
  return L"Local\\TarvikWindow." + wideFromUtf8(name);
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

// The first visible, unowned top-level window of the process, in Z order:
// the application's main window rather than its dialogs or hidden helpers.
BOOL CALLBACK findApplicationWindow(HWND window, LPARAM parameter) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window) ||
      GetWindow(window, GW_OWNER) != nullptr)
    return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

InstanceClaimResult Win32Instance::claim(const std::string& name,
                                         std::unique_ptr<Win32Instance>& held) {
  InstanceClaimResult result;
  SetLastError(ERROR_SUCCESS);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName(name).c_str());
  const DWORD error = GetLastError();
  if (!mutex) {
    result.errorText = systemErrorText(error);
    return result;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    result.outcome = InstanceClaim::Running;
    return result;
  }
  // Without the record the claim still holds; only the window cannot be
  // found by a second launch.
  HANDLE record = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                     PAGE_READWRITE, 0, sizeof(LONG),
                                     recordName(name).c_str());
  void* view = record ? MapViewOfFile(record, FILE_MAP_WRITE, 0, 0,
                                      sizeof(LONG))
                      : nullptr;
  held.reset(new Win32Instance(mutex, record, view));
  // Until a child starts (and with javalib) the windows are the launcher's.
  held->recordProcess(GetCurrentProcessId());
  result.outcome = InstanceClaim::Claimed;
  return result;
}

Win32Instance::Win32Instance(void* mutex, void* record, void* view)
    : mutex_(mutex), record_(record), view_(view) {}

Win32Instance::~Win32Instance() {
  if (view_) UnmapViewOfFile(view_);
  if (record_) CloseHandle(record_);
  CloseHandle(mutex_);
}

void Win32Instance::recordProcess(uint32_t processId) {
  if (view_)
    InterlockedExchange(static_cast<volatile LONG*>(view_),
                        static_cast<LONG>(processId));
}

void Win32Instance::shareWith(void* process, uint32_t processId) {
  // The copies are the child's own and close when it ends; it never needs
  // to know of them.
  for (HANDLE handle : {static_cast<HANDLE>(mutex_), static_cast<HANDLE>(record_)}) {
    HANDLE copy = nullptr;
    if (handle)
      DuplicateHandle(GetCurrentProcess(), handle, static_cast<HANDLE>(process),
                      &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  }
  recordProcess(processId);
}

bool bringWin32InstanceForward(const std::string& name) {
  HANDLE record = OpenFileMappingW(FILE_MAP_READ, FALSE,
                                   recordName(name).c_str());
  if (!record) return false;
  DWORD processId = 0;
  if (void* view = MapViewOfFile(record, FILE_MAP_READ, 0, 0, sizeof(LONG))) {
    processId = static_cast<DWORD>(*static_cast<volatile LONG*>(view));
    UnmapViewOfFile(view);
  }
  CloseHandle(record);
  if (processId == 0) return false;
  WindowSearch search{processId, nullptr};
  EnumWindows(findApplicationWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return false;
  // This launch was started by the user and may give the foreground away;
  // the application may then also bring itself forward.
  AllowSetForegroundWindow(processId);
  // Asynchronous, so that a hung application cannot hang this launch.
  if (IsIconic(search.found)) ShowWindowAsync(search.found, SW_RESTORE);
  SetForegroundWindow(search.found);
  return true;
}

}  // namespace tarvik
