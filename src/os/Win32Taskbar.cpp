// The taskbar identity of the launcher's own process.
#ifndef _WIN32
#error "Win32Taskbar.cpp is for Windows builds only"
#endif

#include "os/Win32Taskbar.h"

#include <windows.h>

#include "os/Win32Text.h"

namespace tarvik {

bool win32SetAppUserModelId(const std::string& id) {
  // Looked up, as Windows before 7 has no such call.
  HMODULE shell32 = GetModuleHandleW(L"shell32.dll");
  if (shell32 == nullptr) shell32 = LoadLibraryW(L"shell32.dll");
  if (shell32 == nullptr) return false;
  using SetIdFunction = HRESULT(WINAPI*)(PCWSTR);
  auto setId = reinterpret_cast<SetIdFunction>(reinterpret_cast<void*>(
      GetProcAddress(shell32, "SetCurrentProcessExplicitAppUserModelID")));
  return setId != nullptr && SUCCEEDED(setId(wideFromUtf8(id).c_str()));
}

}  // namespace tarvik
