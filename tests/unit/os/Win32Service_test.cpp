// The Windows service backend on the real system (Wine's service manager
// in the test prefix): a service's run and end as the manager sees them,
// the manager's answers, the capture of the standard streams, a child's
// interrupt and end, and who may change a file.
//
// The binary plays the programs these need when started with
// "--tarvik-probe=<mode> <argument>...": the service itself, a process that
// captures its streams, a child that waits for Ctrl-C.
#ifdef _WIN32

#include <windows.h>
// after windows.h, which they need
#include <shellapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "os/Win32ChildProcess.h"
#include "os/Win32Platform.h"
#include "os/Win32Service.h"
#include "os/Win32Text.h"

namespace tarvik {
namespace {

std::string selfPath() {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return utf8FromWide(std::wstring(path, length));
}

std::string probeCommand(const std::string& words) {
  return "\"" + selfPath() + "\" --tarvik-probe=" + words;
}

void writeWhole(const std::string& path, const std::string& text) {
  FILE* file = _wfopen(wideFromUtf8(path).c_str(), L"wb");
  if (!file) return;
  fwrite(text.data(), 1, text.size(), file);
  fclose(file);
}

std::string readWhole(const std::string& path) {
  FILE* file = _wfopen(wideFromUtf8(path).c_str(), L"rb");
  if (!file) return "(none)";
  std::string text;
  char buffer[512];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  fclose(file);
  return text;
}

std::string tempPath(const std::string& name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return utf8FromWide(folder) + name;
}

// The service: "service <record> <how>": `how` is an exit code, or "stop"
// to run until the manager asks it to stop. It records what it saw.
int runProbeService(const std::string& record, const std::string& how) {
  const bool ran = runWin32Service([&](ServiceSession& session) {
    session.report(ServiceState::Running, 0, 0);
    if (how != "stop") return atoi(how.c_str());
    const bool asked = session.waitForStopRequest(60000);
    session.report(ServiceState::StopPending, 0, 5000);
    session.report(ServiceState::StopPending, 0, 5000);
    writeWhole(record, asked ? "asked to stop" : "never asked");
    return 0;
  });
  if (!ran) writeWhole(record, "not a service");
  return ran ? 0 : 9;
}

// "capture <record>": started without standard handles, as a service is;
// the platform's writes and a child's go into the pipe; after the release,
// only what the child still writes.
int runProbeCapture(const std::string& record) {
  std::unique_ptr<Platform> os = makeWin32Platform();
  std::unique_ptr<StreamCapture> capture = os->captureStdStreams();
  if (!capture) return 2;
  os->writeStdout("out ");
  os->writeStderr("err ");
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "handle ", 7, &written, nullptr);
  ChildStart start;
  start.commandLine = probeCommand("echo");
  start.useStdHandles = true;
  start.stdHandles = os->standardHandles();
  ChildStartResult child = startWin32Child(start, nullptr);
  if (!child.child) return 3;
  os->releaseStdStreams();
  os->writeStdout("lost ");
  std::string seen;
  for (std::string part = capture->read(); !part.empty(); part = capture->read())
    seen += part;
  // The end comes once the child is gone too.
  if (child.child->waitForExit(0) != WaitResult::Ended) seen += "(child still running)";
  writeWhole(record, seen);
  return 0;
}

// "echo": writes to the standard output it was given, a while after.
int runProbeEcho() {
  Sleep(500);
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "child", 5, &written, nullptr);
  return 0;
}

// "waitctrl <event> <answer>": signals the named event once its handler is
// in place; on Ctrl-C exits 7 when `answer` is "exit", else ignores it.
bool gIgnoreCtrl = false;
BOOL WINAPI probeCtrl(DWORD event) {
  if (event != CTRL_C_EVENT) return FALSE;
  if (!gIgnoreCtrl) ExitProcess(7);
  return TRUE;
}
int runProbeWaitCtrl(const std::string& event, const std::string& answer) {
  gIgnoreCtrl = answer != "exit";
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(probeCtrl, TRUE);
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, wideFromUtf8(event).c_str());
  if (ready) SetEvent(ready);
  Sleep(30000);
  return 8;
}

// "interrupt <record> <answer> <job>": starts a waitctrl child with a
// console of its own, interrupts it, ends it when it is still running
// after a while (a child that ends on Ctrl-C gets ten seconds, one that
// ignores it one), and records how it ended and whether its own standard
// handles stayed.
int runProbeInterrupt(const std::string& record, const std::string& answer,
                      const std::string& job) {
  const std::string eventName = "tarvik-probe-ready-" + std::to_string(GetCurrentProcessId());
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, wideFromUtf8(eventName).c_str());
  ChildStart start;
  start.commandLine = probeCommand("waitctrl " + eventName + " " + answer);
  start.noWindow = true;
  start.endsWithLauncher = job == "job";
  ChildStartResult child = startWin32Child(start, nullptr);
  if (!child.child || WaitForSingleObject(ready, 20000) != WAIT_OBJECT_0) return 3;
  const HANDLE handles[] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE),
                            GetStdHandle(STD_ERROR_HANDLE)};
  std::string seen = child.child->interrupt() ? "sent" : "not sent";
  if (GetStdHandle(STD_INPUT_HANDLE) != handles[0] ||
      GetStdHandle(STD_OUTPUT_HANDLE) != handles[1] ||
      GetStdHandle(STD_ERROR_HANDLE) != handles[2])
    seen += ", handles changed";
  if (child.child->waitForExit(answer == "exit" ? 10000 : 1000) == WaitResult::Running) {
    seen += ", terminated";
    child.child->terminate();
  }
  if (child.child->waitForExit(5000) != WaitResult::Ended) seen += ", still running";
  seen += ", exit " + std::to_string(child.child->exitCode());
  writeWhole(record, seen);
  return 0;
}

// A copy of the binary started with the probe's words plays that program
// and ends; the test binary runs its tests otherwise.
const bool playedProbe = [] {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!words || count < 2 || wcsncmp(words[1], L"--tarvik-probe=", 15) != 0) return false;
  std::vector<std::string> argument;
  argument.push_back(utf8FromWide(words[1] + 15));
  for (int i = 2; i < count; ++i) argument.push_back(utf8FromWide(words[i]));
  argument.resize(4);
  const std::string& mode = argument[0];
  int code = 1;
  if (mode == "service") code = runProbeService(argument[1], argument[2]);
  if (mode == "capture") code = runProbeCapture(argument[1]);
  if (mode == "echo") code = runProbeEcho();
  if (mode == "waitctrl") code = runProbeWaitCtrl(argument[1], argument[2]);
  if (mode == "interrupt") code = runProbeInterrupt(argument[1], argument[2], argument[3]);
  fflush(nullptr);
  ExitProcess(static_cast<UINT>(code));
}();

// Runs the probe's words in a copy of the binary and waits for it; with
// `handles` false it starts as a service does, without standard handles.
DWORD runProbe(const std::string& words, bool handles = true) {
  std::wstring commandLine = wideFromUtf8(probeCommand(words));
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  if (!handles) startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION info;
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                      handles ? 0 : DETACHED_PROCESS, nullptr, nullptr, &startup, &info))
    return 1000;
  DWORD code = 1001;
  if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return code;
}

// Polls the manager until the service is in `state` (up to 20 s).
ServiceAnswer waitForState(const std::string& name, ServiceState state) {
  ServiceAnswer answer;
  for (int i = 0; i < 200; ++i) {
    answer = queryWin32Service(name);
    if (answer.outcome != ServiceOutcome::Done || answer.status.state == state) break;
    Sleep(100);
  }
  return answer;
}

TEST(Win32Service, ARunEndsAsTheManagerReportsIt) {
  struct Case {
    const char* how;
    uint32_t win32ExitCode;
    uint32_t serviceExitCode;
    const char* record;
  };
  const Case cases[] = {
      {"0", 0, 0, "(none)"},
      {"3", ERROR_SERVICE_SPECIFIC_ERROR, 3, "(none)"},
      {"stop", 0, 0, "asked to stop"},
  };
  for (const Case& c : cases) {
    const std::string name = std::string("TarvikProbe") + c.how;
    const std::string record = tempPath(name + ".txt");
    DeleteFileW(wideFromUtf8(record).c_str());
    ServiceDefinition definition;
    definition.name = name;
    definition.commandLine = probeCommand("service \"" + record + "\" " + c.how);
    definition.startType = ServiceStartType::Manual;
    definition.stopTimeoutMillis = 20000;
    ASSERT_EQ(installWin32Service(definition).outcome, ServiceOutcome::Done) << c.how;
    ServiceAnswer started = startWin32Service(name);
    EXPECT_EQ(started.outcome, ServiceOutcome::Done) << c.how << ": " << started.errorText;
    if (std::string(c.how) == "stop") {
      EXPECT_EQ(waitForState(name, ServiceState::Running).status.state, ServiceState::Running);
      EXPECT_EQ(startWin32Service(name).outcome, ServiceOutcome::WrongState);
      EXPECT_EQ(stopWin32Service(name).outcome, ServiceOutcome::Done);
    }
    ServiceAnswer ended = waitForState(name, ServiceState::Stopped);
    EXPECT_EQ(ended.status.state, ServiceState::Stopped) << c.how;
    EXPECT_EQ(ended.status.win32ExitCode, c.win32ExitCode) << c.how;
    EXPECT_EQ(ended.status.serviceExitCode, c.serviceExitCode) << c.how;
    // The process records before it reports STOPPED.
    EXPECT_EQ(readWhole(record), c.record) << c.how;
    EXPECT_EQ(stopWin32Service(name).outcome, ServiceOutcome::WrongState) << c.how;
    EXPECT_EQ(uninstallWin32Service(name).outcome, ServiceOutcome::Done) << c.how;
    // Gone once the service's process has let go of it too.
    ServiceAnswer gone = queryWin32Service(name);
    for (int i = 0; i < 100 && gone.outcome == ServiceOutcome::Done; ++i) {
      Sleep(100);
      gone = queryWin32Service(name);
    }
    EXPECT_EQ(gone.outcome, ServiceOutcome::NotInstalled) << c.how;
  }
}

// The configuration as the manager keeps it. Wine's manager answers no
// dependencies (they are read from the service's key, where Windows keeps
// them too) and keeps no delayed start.
struct KeptConfig {
  DWORD startType = 0;
  std::string command, dependencies, account, displayName, description;
  DWORD preshutdownMillis = 0;
};

KeptConfig keptConfig(const std::string& name) {
  KeptConfig kept;
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = OpenServiceW(manager, wideFromUtf8(name).c_str(), SERVICE_QUERY_CONFIG);
  std::vector<BYTE> buffer(8192);
  DWORD needed = 0;
  if (service && QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()),
                                     static_cast<DWORD>(buffer.size()), &needed)) {
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    kept.startType = config->dwStartType;
    kept.command = utf8FromWide(config->lpBinaryPathName);
    kept.account = utf8FromWide(config->lpServiceStartName ? config->lpServiceStartName : L"");
    kept.displayName = utf8FromWide(config->lpDisplayName);
  }
  if (service && QueryServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), &needed)) {
    auto* description = reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data());
    if (description->lpDescription) kept.description = utf8FromWide(description->lpDescription);
  }
  const std::wstring key = L"System\\CurrentControlSet\\Services\\" + wideFromUtf8(name);
  wchar_t list[1024] = {};
  DWORD size = sizeof list - sizeof(wchar_t) * 2;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DependOnService", RRF_RT_REG_MULTI_SZ,
                   nullptr, list, &size) == ERROR_SUCCESS)
    for (const wchar_t* dependency = list; *dependency; dependency += wcslen(dependency) + 1)
      kept.dependencies += utf8FromWide(dependency) + ";";
  size = sizeof kept.preshutdownMillis;
  RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"PreshutdownTimeout", RRF_RT_REG_DWORD,
               nullptr, &kept.preshutdownMillis, &size);
  if (service) CloseServiceHandle(service);
  if (manager) CloseServiceHandle(manager);
  return kept;
}

TEST(Win32Service, AnInstallOverAnInstalledServiceChangesAllOfIt) {
  struct Case {
    ServiceStartType startType;
    std::vector<std::string> dependencies;
    const char* account;
    const char* title;
    uint32_t stopTimeoutMillis;
    DWORD keptStartType;
    const char* keptDependencies;
  };
  const Case cases[] = {
      {ServiceStartType::Delayed, {"RpcSs", "EventLog"}, "LocalSystem", "First", 15000,
       SERVICE_AUTO_START, "RpcSs;EventLog;"},
      {ServiceStartType::Manual, {}, "NT AUTHORITY\\LocalService", "Second", 40000,
       SERVICE_DEMAND_START, ""},
      {ServiceStartType::Automatic, {"RpcSs"}, "LocalSystem", "Third", 5000,
       SERVICE_AUTO_START, "RpcSs;"},
  };
  const std::string name = "TarvikProbeConfig";
  for (const Case& c : cases) {
    ServiceDefinition definition;
    definition.name = name;
    definition.displayName = std::string(c.title) + " title";
    definition.description = std::string(c.title) + " description";
    definition.commandLine = "\"C:\\Program Files\\" + std::string(c.title) + "\\app.exe\"";
    definition.startType = c.startType;
    definition.account = c.account;
    definition.dependencies = c.dependencies;
    definition.stopTimeoutMillis = c.stopTimeoutMillis;
    definition.madeBy = std::string("maker of ") + c.title;
    ServiceAnswer installed = installWin32Service(definition);
    ASSERT_EQ(installed.outcome, ServiceOutcome::Done) << c.title << ": " << installed.errorText;
    const KeptConfig kept = keptConfig(name);
    EXPECT_EQ(kept.startType, c.keptStartType) << c.title;
    EXPECT_EQ(kept.command, definition.commandLine) << c.title;
    EXPECT_EQ(kept.dependencies, c.keptDependencies) << c.title;
    EXPECT_EQ(kept.account, c.account) << c.title;
    EXPECT_EQ(kept.displayName, definition.displayName) << c.title;
    EXPECT_EQ(kept.description, definition.description) << c.title;
    EXPECT_EQ(kept.preshutdownMillis, c.stopTimeoutMillis) << c.title;
    const ServiceAnswer origin = queryWin32ServiceOrigin(name);
    EXPECT_EQ(origin.outcome, ServiceOutcome::Done) << c.title << ": " << origin.errorText;
    EXPECT_EQ(origin.commandLine, definition.commandLine) << c.title;
    EXPECT_EQ(origin.madeBy, definition.madeBy) << c.title;
  }
  EXPECT_EQ(uninstallWin32Service(name).outcome, ServiceOutcome::Done);
}

TEST(Win32Service, RequestsForAServiceNobodyInstalledSaySo) {
  struct Case {
    const char* request;
    ServiceAnswer (*call)(const std::string&);
  };
  const Case cases[] = {{"uninstall", uninstallWin32Service},
                        {"start", startWin32Service},
                        {"stop", stopWin32Service},
                        {"query", queryWin32Service},
                        {"origin", queryWin32ServiceOrigin}};
  for (const Case& c : cases) {
    ServiceAnswer answer = c.call("TarvikProbeNobody");
    EXPECT_EQ(answer.outcome, ServiceOutcome::NotInstalled) << c.request;
    EXPECT_FALSE(answer.errorText.empty()) << c.request;
  }
  // Not started by the manager: the dispatcher lets go at once.
  const std::string record = tempPath("TarvikProbeNoManager.txt");
  EXPECT_EQ(runProbe("service \"" + record + "\" 0"), 9u);
  EXPECT_EQ(readWhole(record), "not a service");
}

TEST(Win32Service, TheCapturedStreamsCarryEveryWriterUntilTheLastLetsGo) {
  const std::string record = tempPath("TarvikProbeCapture.txt");
  ASSERT_EQ(runProbe("capture \"" + record + "\"", false), 0u);
  EXPECT_EQ(readWhole(record), "out err handle child");
}

TEST(Win32Service, AnInterruptReachesTheChildsOwnConsoleAndAnEndFollowsWhenIgnored) {
  struct Case {
    const char* answer;
    const char* job;
    const char* seen;
  };
  const Case cases[] = {
      {"exit", "job", "sent, exit 7"},
      {"ignore", "job", "sent, terminated, exit 1"},
      {"ignore", "nojob", "sent, terminated, exit 1"},
  };
  for (const Case& c : cases) {
    const std::string record = tempPath("TarvikProbeInterrupt.txt");
    DeleteFileW(wideFromUtf8(record).c_str());
    EXPECT_EQ(runProbe("interrupt \"" + record + "\" " + c.answer + " " + c.job), 0u)
        << c.answer << " " << c.job;
    EXPECT_EQ(readWhole(record), c.seen) << c.answer << " " << c.job;
  }
}

// Wine gives every file to the user it runs as (there the administrator)
// and keeps no descriptor of its own: the Unix mode makes the access list,
// its "other" bits Everyone's. Who else may change a file is thus who the
// mode lets write it or a folder above it.
TEST(Win32Service, WhoElseMayChangeAFileIsNamedWithWhereTheyMay) {
  struct Case {
    const char* path;
    const char* everyoneWrites;  // a file or folder made writable by all, or ""
    const char* who;
  };
  const Case cases[] = {
      {"C:\\tarvik-trust\\kept\\app.jar", "", ""},
      {"C:\\tarvik-trust\\file\\app.jar", "C:\\tarvik-trust\\file\\app.jar",
       "Everyone (C:\\tarvik-trust\\file\\app.jar)"},
      {"C:\\tarvik-trust\\folder\\inner\\app.jar", "C:\\tarvik-trust\\folder",
       "Everyone (C:\\tarvik-trust\\folder)"},
      {"C:\\tarvik-trust\\kept\\missing.jar", "",
       "nobody can tell (C:\\tarvik-trust\\kept\\missing.jar: "},
  };
  PSECURITY_DESCRIPTOR open = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &open, nullptr));
  for (const Case& c : cases) {
    std::wstring path = wideFromUtf8(c.path);
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1))
      CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    if (std::string(c.path).find("missing") == std::string::npos) writeWhole(c.path, "jar");
    if (*c.everyoneWrites) {
      ASSERT_TRUE(SetFileSecurityW(wideFromUtf8(c.everyoneWrites).c_str(),
                                   DACL_SECURITY_INFORMATION, open)) << c.path;
    }
    const std::string who = win32OthersWhoMayChange(c.path);
    EXPECT_EQ(who.substr(0, strlen(c.who)), c.who) << c.path;
    if (!*c.who) {
      EXPECT_EQ(who, "") << c.path;
    }
  }
  LocalFree(open);
  EXPECT_TRUE(win32HasAdministratorRights());
}

}  // namespace
}  // namespace tarvik

#endif  // _WIN32
