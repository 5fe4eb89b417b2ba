// The console launcher's answer to Ctrl-C and Ctrl-Break, on the real
// console. Windows hands such an event to each process of the console on a
// thread of its own, whenever that thread gets to run: a child that ends at
// once on Ctrl-C may be gone, and waited for, before the launcher's thread
// runs. The launcher must still be ignoring the event then, or the
// system's default handling ends it and the child's exit code is lost.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "os/Win32ChildProcess.h"

namespace tarvik {
namespace {

const char EVENT_VARIABLE[] = "TARVIK_TEST_LATE_CONSOLE_EVENT";
// What the started copy exits with once it has come through the event.
const UINT CAME_THROUGH = 41;

std::string selfPath() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return std::string(path, length);
}

HANDLE gDelivered = nullptr;
HANDLE gDeliveringThread = nullptr;

// Called first, as the last handler added; passes the event on to the
// handlers added before it, the launcher's among them.
BOOL WINAPI noteDelivery(DWORD) {
  gDeliveringThread = OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId());
  SetEvent(gDelivered);
  return FALSE;
}

// Started with a console of its own and the event in the variable, the
// binary plays the launcher: it starts a child that ends at once, waits
// for it, and only then gets the event. It ends with CAME_THROUGH if it
// is still running once every handler has had the event.
const bool playedLauncher = [] {
  char text[16];
  DWORD length = GetEnvironmentVariableA(EVENT_VARIABLE, text, sizeof text);
  if (length == 0 || length >= sizeof text) return false;
  const DWORD event = static_cast<DWORD>(strtoul(text, nullptr, 10));
  SetConsoleCtrlHandler(nullptr, FALSE);  // Ctrl-C handled, whatever was inherited
  SetEnvironmentVariableA(EVENT_VARIABLE, nullptr);
  ChildStart start;
  start.commandLine = "\"" + selfPath() + "\" --gtest_filter=-*";
  start.useStdHandles = true;  // its output goes nowhere
  start.leaveInterruptsToChild = true;
  ChildStartResult started = startWin32Child(start, nullptr);
  if (!started.child || started.child->waitForExit(10000) != WaitResult::Ended)
    ExitProcess(2);
  started.child.reset();

  gDelivered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(noteDelivery, TRUE);
  if (!GenerateConsoleCtrlEvent(event, 0)) ExitProcess(3);
  if (WaitForSingleObject(gDelivered, 10000) != WAIT_OBJECT_0) ExitProcess(4);
  // The delivering thread is through every handler once it has ended.
  if (!gDeliveringThread || WaitForSingleObject(gDeliveringThread, 10000) != WAIT_OBJECT_0)
    ExitProcess(5);
  ExitProcess(CAME_THROUGH);
}();

TEST(Win32ChildInterrupts, AnEventThatComesAfterTheChildEndedLeavesTheLauncherRunning) {
  struct Case {
    const char* name;
    DWORD event;
  };
  // Ctrl-Break takes the same road; Wine cannot make that event.
  const Case cases[] = {{"Ctrl-C", CTRL_C_EVENT}};
  for (const Case& c : cases) {
    SetEnvironmentVariableA(EVENT_VARIABLE, std::to_string(c.event).c_str());
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    std::string commandLine = "\"" + selfPath() + "\"";
    BOOL created = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                                  CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &info);
    SetEnvironmentVariableA(EVENT_VARIABLE, nullptr);
    ASSERT_TRUE(created) << c.name;
    ASSERT_EQ(WaitForSingleObject(info.hProcess, 30000), WAIT_OBJECT_0) << c.name;
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    EXPECT_EQ(code, CAME_THROUGH) << c.name;
  }
}

}  // namespace
}  // namespace tarvik

#endif  // _WIN32
