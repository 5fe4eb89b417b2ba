// Windows services: the dispatcher a service runs under, the service
// control manager's requests, the Application event log, the pipe the
// standard streams become, and who may change a file.
#ifndef _WIN32
#error "Win32Service.cpp is for Windows builds only"
#endif

#include "os/Win32Service.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h, which they need
#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "os/Win32Text.h"

namespace tarvik {

namespace {

// --- The running service ---------------------------------------------------

DWORD win32State(ServiceState state) {
  switch (state) {
    case ServiceState::Missing:
    case ServiceState::Stopped: return SERVICE_STOPPED;
    case ServiceState::StartPending: return SERVICE_START_PENDING;
    case ServiceState::StopPending: return SERVICE_STOP_PENDING;
    case ServiceState::Running: return SERVICE_RUNNING;
    case ServiceState::ContinuePending: return SERVICE_CONTINUE_PENDING;
    case ServiceState::PausePending: return SERVICE_PAUSE_PENDING;
    case ServiceState::Paused: return SERVICE_PAUSED;
  }
  return SERVICE_STOPPED;
}

ServiceState stateOf(DWORD state) {
  switch (state) {
    case SERVICE_START_PENDING: return ServiceState::StartPending;
    case SERVICE_STOP_PENDING: return ServiceState::StopPending;
    case SERVICE_RUNNING: return ServiceState::Running;
    case SERVICE_CONTINUE_PENDING: return ServiceState::ContinuePending;
    case SERVICE_PAUSE_PENDING: return ServiceState::PausePending;
    case SERVICE_PAUSED: return ServiceState::Paused;
    default: return ServiceState::Stopped;
  }
}

bool isPending(DWORD state) {
  return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ||
         state == SERVICE_CONTINUE_PENDING || state == SERVICE_PAUSE_PENDING;
}

// The one service of this process. Made once and never destroyed: the core
// may end the process from the service's thread while the dispatcher's
// thread still runs the handler, and exit-time destructors must find
// nothing of it to tear down.
class Win32ServiceSession : public ServiceSession {
 public:
  Win32ServiceSession() {
    InitializeCriticalSection(&lock_);
    stopRequested_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    mainDone_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    memset(&status_, 0, sizeof status_);
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status_.dwCurrentState = SERVICE_START_PENDING;
  }

  void report(ServiceState state, uint32_t exitCode,
              uint32_t waitHintMillis) override {
    EnterCriticalSection(&lock_);
    // Once STOPPED is said, the manager may let the process go: nothing
    // more is said, whoever reports.
    if (handle_ && !stopped_) {
      const DWORD win32 = win32State(state);
      status_.dwCurrentState = win32;
      if (isPending(win32)) {
        status_.dwCheckPoint = ++checkpoint_;
        status_.dwWaitHint = waitHintMillis;
      } else {
        status_.dwCheckPoint = 0;
        status_.dwWaitHint = 0;
      }
      if (win32 == SERVICE_STOPPED) {
        stopped_ = true;
        status_.dwControlsAccepted = 0;
        status_.dwWin32ExitCode = exitCode == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
        status_.dwServiceSpecificExitCode = exitCode;
      } else {
        status_.dwControlsAccepted = accepted_;
        status_.dwWin32ExitCode = NO_ERROR;
        status_.dwServiceSpecificExitCode = 0;
      }
      sendStatus();
    }
    LeaveCriticalSection(&lock_);
  }

  bool waitForStopRequest(int64_t millis) override {
    const DWORD timeout = millis < 0 ? INFINITE : static_cast<DWORD>(millis);
    return WaitForSingleObject(stopRequested_, timeout) == WAIT_OBJECT_0;
  }

  // The manager's requests, on the dispatcher's thread.
  static DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID context) {
    auto* session = static_cast<Win32ServiceSession*>(context);
    switch (control) {
      case SERVICE_CONTROL_STOP:
      case SERVICE_CONTROL_SHUTDOWN:
      case SERVICE_CONTROL_PRESHUTDOWN:
        SetEvent(session->stopRequested_);
        return NO_ERROR;
      case SERVICE_CONTROL_INTERROGATE:
        EnterCriticalSection(&session->lock_);
        if (session->handle_ && !session->stopped_) session->sendStatus();
        LeaveCriticalSection(&session->lock_);
        return NO_ERROR;
      default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
  }

  static void WINAPI serviceMain(DWORD count, LPWSTR* arguments);

  void setBody(const std::function<int(ServiceSession&)>* body) { body_ = body; }
  // The manager may let the dispatcher go as soon as STOPPED is said, while
  // the service's thread still ends its work (or ends the process itself).
  void waitForMainsEnd() {
    if (mainStarted_) WaitForSingleObject(mainDone_, INFINITE);
  }

 private:
  // Under the lock.
  void sendStatus() {
    if (SetServiceStatus(handle_, &status_)) return;
    // A system without PRESHUTDOWN refuses the whole status for it.
    if (accepted_ & SERVICE_ACCEPT_PRESHUTDOWN) {
      accepted_ &= ~SERVICE_ACCEPT_PRESHUTDOWN;
      if (status_.dwControlsAccepted) status_.dwControlsAccepted = accepted_;
      SetServiceStatus(handle_, &status_);
    }
  }

  const std::function<int(ServiceSession&)>* body_ = nullptr;
  std::atomic<bool> mainStarted_{false};
  HANDLE mainDone_;
  CRITICAL_SECTION lock_;
  HANDLE stopRequested_;
  SERVICE_STATUS_HANDLE handle_ = nullptr;
  SERVICE_STATUS status_;
  DWORD checkpoint_ = 0;
  // A stop is taken in every state but STOPPED: the core may wait between
  // runs, and a stop then stops.
  DWORD accepted_ = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN |
                    SERVICE_ACCEPT_PRESHUTDOWN;
  bool stopped_ = false;
};

Win32ServiceSession* theSession = nullptr;

void WINAPI Win32ServiceSession::serviceMain(DWORD count, LPWSTR* arguments) {
  Win32ServiceSession* session = theSession;
  session->mainStarted_ = true;
  const wchar_t* name = count > 0 && arguments && arguments[0] ? arguments[0] : L"";
  session->handle_ = RegisterServiceCtrlHandlerExW(name, &handler, session);
  if (!session->handle_) {
    SetEvent(session->mainDone_);
    return;
  }
  session->report(ServiceState::StartPending, 0, 3000);
  const int code = (*session->body_)(*session);
  session->report(ServiceState::Stopped, static_cast<uint32_t>(code), 0);
  SetEvent(session->mainDone_);
}

// --- The manager's requests ------------------------------------------------

ServiceAnswer answerFor(DWORD error) {
  ServiceAnswer answer;
  switch (error) {
    case NO_ERROR: answer.outcome = ServiceOutcome::Done; return answer;
    case ERROR_ACCESS_DENIED: answer.outcome = ServiceOutcome::Denied; break;
    case ERROR_SERVICE_DOES_NOT_EXIST: answer.outcome = ServiceOutcome::NotInstalled; break;
    case ERROR_SERVICE_ALREADY_RUNNING:
    case ERROR_SERVICE_NOT_ACTIVE:
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
      answer.outcome = ServiceOutcome::WrongState;
      break;
    default: answer.outcome = ServiceOutcome::Failed; break;
  }
  answer.errorText = systemErrorText(error);
  return answer;
}

// A service handle and the manager's, closed together.
class OpenedService {
 public:
  OpenedService(const std::string& name, DWORD managerAccess, DWORD access) {
    manager_ = OpenSCManagerW(nullptr, nullptr, managerAccess);
    if (!manager_) {
      error_ = GetLastError();
      return;
    }
    service_ = OpenServiceW(manager_, wideFromUtf8(name).c_str(), access);
    if (!service_) error_ = GetLastError();
  }
  ~OpenedService() {
    if (service_) CloseServiceHandle(service_);
    if (manager_) CloseServiceHandle(manager_);
  }
  OpenedService(const OpenedService&) = delete;
  OpenedService& operator=(const OpenedService&) = delete;

  SC_HANDLE manager() const { return manager_; }
  SC_HANDLE service() const { return service_; }
  // The error that left it without a service.
  DWORD error() const { return error_; }
  // A service made anew, or the error that made none.
  void take(SC_HANDLE service) {
    service_ = service;
    error_ = service ? NO_ERROR : GetLastError();
  }

 private:
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
  DWORD error_ = NO_ERROR;
};

// The names one after the other, each ended by NUL, the list by another.
std::wstring nameList(const std::vector<std::string>& names) {
  std::wstring list;
  for (const std::string& name : names) {
    list += wideFromUtf8(name);
    list.push_back(L'\0');
  }
  list.push_back(L'\0');
  return list;
}

// The settings beyond the first configuration. A level the system does
// not know (Wine's answer to some) leaves that setting out.
DWORD changeSecondConfig(SC_HANDLE service, DWORD level, void* info) {
  if (ChangeServiceConfig2W(service, level, info)) return NO_ERROR;
  const DWORD error = GetLastError();
  return error == ERROR_INVALID_LEVEL ? NO_ERROR : error;
}

// The service's key, where the manager keeps what it knows of it, and the
// value of it that says who made the service.
std::wstring serviceKey(const std::string& name) {
  return L"SYSTEM\\CurrentControlSet\\Services\\" + wideFromUtf8(name);
}
constexpr const wchar_t MADE_BY_VALUE[] = L"MadeBy";

ServiceStatus statusOf(const SERVICE_STATUS_PROCESS& process) {
  ServiceStatus status;
  status.state = stateOf(process.dwCurrentState);
  status.win32ExitCode = process.dwWin32ExitCode;
  status.serviceExitCode = process.dwServiceSpecificExitCode;
  status.processId = process.dwProcessId;
  return status;
}

// --- The captured streams --------------------------------------------------

class PipeCapture : public StreamCapture {
 public:
  explicit PipeCapture(HANDLE readEnd) : readEnd_(readEnd) {}
  ~PipeCapture() override { CloseHandle(readEnd_); }
  PipeCapture(const PipeCapture&) = delete;
  PipeCapture& operator=(const PipeCapture&) = delete;

  std::string read() override {
    char buffer[4096];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(readEnd_, buffer, sizeof buffer, &got, nullptr))
        return std::string();
      // A writer's empty write reads as nothing: wait for more.
      if (got > 0) return std::string(buffer, got);
    }
  }

 private:
  HANDLE readEnd_;
};

// Makes the C runtime's descriptor `target` a duplicate of `handle`. A
// process started without standard handles may have none of 0, 1 and 2
// open: the descriptor the handle first gets may be any of them.
bool becomeDescriptor(HANDLE handle, int target) {
  HANDLE own = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &own, 0, TRUE,
                       DUPLICATE_SAME_ACCESS))
    return false;
  // Binary: the bytes go as they are written; the log makes its own line
  // ends.
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(own), _O_BINARY);
  if (fd < 0) {
    CloseHandle(own);
    return false;
  }
  if (fd == target) return true;
  const bool moved = _dup2(fd, target) == 0;
  _close(fd);
  return moved;
}

// Makes `handle` the C runtime's descriptors 1 and 2 and the process's
// standard output and error (inheritable, each its own duplicate). The
// handle itself is closed.
bool becomeStdStreams(HANDLE handle) {
  fflush(stdout);
  fflush(stderr);
  const bool done = becomeDescriptor(handle, 1) && becomeDescriptor(handle, 2);
  CloseHandle(handle);
  if (!done) return false;
  const HANDLE out = reinterpret_cast<HANDLE>(_get_osfhandle(1));
  const HANDLE err = reinterpret_cast<HANDLE>(_get_osfhandle(2));
  SetHandleInformation(out, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  SetHandleInformation(err, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  SetStdHandle(STD_OUTPUT_HANDLE, out);
  SetStdHandle(STD_ERROR_HANDLE, err);
  // Where the runtime's own streams are on the descriptors, bytes reach
  // the pipe as they are written.
  clearerr(stdout);
  clearerr(stderr);
  setvbuf(stdout, nullptr, _IONBF, 0);
  setvbuf(stderr, nullptr, _IONBF, 0);
  return true;
}

// --- Who may change a file -------------------------------------------------

const wchar_t* const TRUSTED_SIDS[] = {
    L"S-1-5-32-544",  // BUILTIN\Administrators
    L"S-1-5-18",      // NT AUTHORITY\SYSTEM
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};

// Wine keeps no owner of its own for a file: each is the user's, with the
// rights the Unix mode gives (the "other" bits are Everyone's). There the
// user is the administrator it runs as, and the mode alone says who else
// may write.
PSID wineUser() {
  static PSID user = [] () -> PSID {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return nullptr;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    BYTE buffer[256];
    DWORD length = 0;
    PSID copy = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &length)) {
      PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
      const DWORD size = GetLengthSid(sid);
      copy = static_cast<PSID>(LocalAlloc(LMEM_FIXED, size));
      if (copy && !CopySid(size, copy, sid)) copy = nullptr;
    }
    CloseHandle(token);
    return copy;
  }();
  return user;
}

bool isTrusted(PSID sid) {
  if (PSID user = wineUser()) {
    if (EqualSid(sid, user)) return true;
  }
  for (const wchar_t* text : TRUSTED_SIDS) {
    PSID trusted = nullptr;
    if (!ConvertStringSidToSidW(text, &trusted)) continue;
    const bool same = EqualSid(sid, trusted) != FALSE;
    LocalFree(trusted);
    if (same) return true;
  }
  return false;
}

// "DOMAIN\\name", or the SID's text when it has no name.
std::string nameOf(PSID sid) {
  wchar_t name[256];
  wchar_t domain[256];
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use;
  if (LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
    std::wstring full = domainLength > 0 ? std::wstring(domain) + L"\\" + name : name;
    return utf8FromWide(full);
  }
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return "an unknown account";
  std::string result = utf8FromWide(text);
  LocalFree(text);
  return result;
}

const DWORD FILE_WRITE_RIGHTS = FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE |
                                WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// Adding a file or deleting one in the folder replaces what lies below;
// adding a folder does not (Windows grants that to Users on C:\).
const DWORD FOLDER_WRITE_RIGHTS = FILE_ADD_FILE | FILE_DELETE_CHILD | DELETE |
                                  WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// Who untrusted may change the one file or folder `path`: empty, or
// "who (path)".
std::string untrustedOf(const std::wstring& path, DWORD writeRights) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetNamedSecurityInfoW(
      path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
      &owner, nullptr, &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS)
    return "nobody can tell (" + utf8FromWide(path) + ": " + systemErrorText(error) + ")";
  std::string who;
  if (owner && !isTrusted(owner)) {
    who = nameOf(owner);
  } else if (!dacl) {
    who = "everyone";
  } else {
    for (DWORD i = 0; i < dacl->AceCount && who.empty(); ++i) {
      ACE_HEADER* header = nullptr;
      if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
      if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
      if (header->AceFlags & INHERIT_ONLY_ACE) continue;
      auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
      PSID sid = &ace->SidStart;
      if ((ace->Mask & writeRights) && !isTrusted(sid)) who = nameOf(sid);
    }
  }
  LocalFree(descriptor);
  return who.empty() ? who : who + " (" + utf8FromWide(path) + ")";
}

// How much of a full path is its root: "C:\", or "\\server\share\".
size_t rootLength(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':') return 3;
  if (path.compare(0, 2, L"\\\\") != 0) return 0;
  size_t slash = path.find(L'\\', 2);
  if (slash != std::wstring::npos) slash = path.find(L'\\', slash + 1);
  return slash == std::wstring::npos ? path.size() : slash + 1;
}

// The folder above `path` (a full path), or empty at its root.
std::wstring folderAbove(const std::wstring& path) {
  const size_t root = rootLength(path);
  if (root == 0 || path.size() <= root) return std::wstring();
  std::wstring trimmed = path;
  while (trimmed.size() > root && trimmed.back() == L'\\') trimmed.pop_back();
  const size_t slash = trimmed.find_last_of(L'\\');
  if (slash == std::wstring::npos || slash < root) return trimmed.substr(0, root);
  return trimmed.substr(0, slash);
}

std::string untrustedOnTheWay(const std::wstring& path) {
  // A folder named itself (a class path's, a runtime's) is changed by a
  // new folder in it too: a package, a library's.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  const bool folder = attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  std::string who = untrustedOf(
      path, folder ? FOLDER_WRITE_RIGHTS | FILE_ADD_SUBDIRECTORY : FILE_WRITE_RIGHTS);
  for (std::wstring above = folderAbove(path); who.empty() && !above.empty();
       above = folderAbove(above))
    who = untrustedOf(above, FOLDER_WRITE_RIGHTS);
  return who;
}

// Where the name leads after every link, or empty when it cannot be told.
std::wstring finalPath(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), 0,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(
      file, &buffer[0], static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
  CloseHandle(file);
  if (length == 0 || length >= buffer.size()) return std::wstring();
  buffer.resize(length);
  // "\\?\C:\x" -> "C:\x"; "\\?\UNC\server\share" -> "\\server\share".
  if (buffer.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + buffer.substr(8);
  if (buffer.compare(0, 4, L"\\\\?\\") == 0) return buffer.substr(4);
  return buffer;
}

bool sameLetters(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring fullPath(const std::wstring& path) {
  std::wstring buffer(32768, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()),
                                        &buffer[0], nullptr);
  if (length == 0 || length >= buffer.size()) return path;
  buffer.resize(length);
  return buffer;
}

}  // namespace

bool runWin32Service(const std::function<int(ServiceSession&)>& body) {
  if (!theSession) theSession = new Win32ServiceSession();
  theSession->setBody(&body);
  SERVICE_TABLE_ENTRYW table[] = {
      {const_cast<wchar_t*>(L""), &Win32ServiceSession::serviceMain},
      {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) return false;
  theSession->waitForMainsEnd();
  return true;
}

ServiceAnswer installWin32Service(const ServiceDefinition& definition) {
  const DWORD access = SERVICE_CHANGE_CONFIG | SERVICE_QUERY_CONFIG;
  OpenedService opened(definition.name, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE,
                       access);
  if (!opened.manager()) return answerFor(opened.error());
  const std::wstring name = wideFromUtf8(definition.name);
  const std::wstring displayName = wideFromUtf8(
      definition.displayName.empty() ? definition.name : definition.displayName);
  const std::wstring command = wideFromUtf8(definition.commandLine);
  const std::wstring dependencies = nameList(definition.dependencies);
  const std::wstring account = wideFromUtf8(definition.account);
  const std::wstring password = wideFromUtf8(definition.password.value_or(""));
  const DWORD startType = definition.startType == ServiceStartType::Manual
                              ? SERVICE_DEMAND_START
                              : SERVICE_AUTO_START;
  if (opened.service()) {
    // Every setting given anew, none left as it was (the empty group too).
    if (!ChangeServiceConfigW(opened.service(), SERVICE_WIN32_OWN_PROCESS, startType,
                              SERVICE_ERROR_NORMAL, command.c_str(), L"", nullptr,
                              dependencies.c_str(), account.c_str(), password.c_str(),
                              displayName.c_str()))
      return answerFor(GetLastError());
  } else if (opened.error() == ERROR_SERVICE_DOES_NOT_EXIST) {
    opened.take(CreateServiceW(opened.manager(), name.c_str(), displayName.c_str(), access,
                               SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL,
                               command.c_str(), nullptr, nullptr, dependencies.c_str(),
                               account.c_str(), password.c_str()));
    if (!opened.service()) return answerFor(opened.error());
  } else {
    return answerFor(opened.error());
  }
  std::wstring description = wideFromUtf8(definition.description);
  SERVICE_DESCRIPTIONW describe = {&description[0]};
  SERVICE_DELAYED_AUTO_START_INFO delayed = {
      definition.startType == ServiceStartType::Delayed};
  SERVICE_PRESHUTDOWN_INFO preshutdown = {definition.stopTimeoutMillis};
  // A run that ends with an error of its own is a failure as a crash is,
  // for the recovery actions an administrator sets.
  SERVICE_FAILURE_ACTIONS_FLAG failures = {TRUE};
  DWORD error = changeSecondConfig(opened.service(), SERVICE_CONFIG_DESCRIPTION, &describe);
  if (error == NO_ERROR)
    error = changeSecondConfig(opened.service(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO,
                               &delayed);
  if (error == NO_ERROR && definition.stopTimeoutMillis > 0)
    error = changeSecondConfig(opened.service(), SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown);
  if (error == NO_ERROR)
    error = changeSecondConfig(opened.service(), SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &failures);
  if (error == NO_ERROR && !definition.madeBy.empty()) {
    const std::wstring madeBy = wideFromUtf8(definition.madeBy);
    error = static_cast<DWORD>(RegSetKeyValueW(
        HKEY_LOCAL_MACHINE, serviceKey(definition.name).c_str(), MADE_BY_VALUE, REG_SZ,
        madeBy.c_str(), static_cast<DWORD>((madeBy.size() + 1) * sizeof(wchar_t))));
  }
  return answerFor(error);
}

ServiceAnswer uninstallWin32Service(const std::string& name) {
  OpenedService opened(name, SC_MANAGER_CONNECT, DELETE);
  if (!opened.service()) return answerFor(opened.error());
  if (DeleteService(opened.service())) return answerFor(NO_ERROR);
  const DWORD error = GetLastError();
  // Already going: it is gone once its last handle closes.
  return answerFor(error == ERROR_SERVICE_MARKED_FOR_DELETE ? NO_ERROR : error);
}

ServiceAnswer startWin32Service(const std::string& name) {
  OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_START);
  if (!opened.service()) return answerFor(opened.error());
  if (StartServiceW(opened.service(), 0, nullptr)) return answerFor(NO_ERROR);
  return answerFor(GetLastError());
}

ServiceAnswer stopWin32Service(const std::string& name) {
  OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (!opened.service()) return answerFor(opened.error());
  SERVICE_STATUS status;
  memset(&status, 0, sizeof status);
  ServiceAnswer answer = answerFor(
      ControlService(opened.service(), SERVICE_CONTROL_STOP, &status) ? NO_ERROR
                                                                      : GetLastError());
  answer.status.state = stateOf(status.dwCurrentState);
  answer.status.win32ExitCode = status.dwWin32ExitCode;
  answer.status.serviceExitCode = status.dwServiceSpecificExitCode;
  return answer;
}

ServiceAnswer queryWin32Service(const std::string& name) {
  OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS);
  if (!opened.service()) return answerFor(opened.error());
  SERVICE_STATUS_PROCESS process;
  memset(&process, 0, sizeof process);
  DWORD needed = 0;
  if (!QueryServiceStatusEx(opened.service(), SC_STATUS_PROCESS_INFO,
                            reinterpret_cast<BYTE*>(&process), sizeof process, &needed))
    return answerFor(GetLastError());
  ServiceAnswer answer = answerFor(NO_ERROR);
  answer.status = statusOf(process);
  return answer;
}

ServiceAnswer queryWin32ServiceOrigin(const std::string& name) {
  OpenedService opened(name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
  if (!opened.service()) return answerFor(opened.error());
  DWORD needed = 0;
  QueryServiceConfigW(opened.service(), nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed > 0 ? needed : sizeof(QUERY_SERVICE_CONFIGW));
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(opened.service(), config, static_cast<DWORD>(buffer.size()),
                           &needed))
    return answerFor(GetLastError());
  ServiceAnswer answer = answerFor(NO_ERROR);
  if (config->lpBinaryPathName) answer.commandLine = utf8FromWide(config->lpBinaryPathName);
  // A service without the value was made by somebody who did not say.
  wchar_t madeBy[64] = {};
  DWORD size = sizeof madeBy - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, serviceKey(name).c_str(), MADE_BY_VALUE, RRF_RT_REG_SZ,
                   nullptr, madeBy, &size) == ERROR_SUCCESS)
    answer.madeBy = utf8FromWide(madeBy);
  return answer;
}

void writeWin32EventLog(const std::string& source, const std::string& text,
                        bool isError) {
  HANDLE log = RegisterEventSourceW(nullptr, wideFromUtf8(source).c_str());
  if (!log) return;
  const std::wstring message = wideFromUtf8(text);
  const wchar_t* strings[] = {message.c_str()};
  ReportEventW(log, isError ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, 0, 0,
               nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(log);
}

std::unique_ptr<StreamCapture> captureWin32StdStreams() {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return nullptr;
  // Children get the write end only.
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  if (!becomeStdStreams(writeEnd)) {
    CloseHandle(readEnd);
    return nullptr;
  }
  return std::make_unique<PipeCapture>(readEnd);
}

void releaseWin32StdStreams() {
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  HANDLE nullDevice = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherited, OPEN_EXISTING, 0, nullptr);
  if (nullDevice == INVALID_HANDLE_VALUE) {
    // Without the null device the pipe's ends still close.
    fflush(stdout);
    fflush(stderr);
    _close(1);
    _close(2);
    SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    SetStdHandle(STD_ERROR_HANDLE, nullptr);
    return;
  }
  becomeStdStreams(nullDevice);
}

std::string win32OthersWhoMayChange(const std::string& path) {
  const std::wstring named = fullPath(wideFromUtf8(path));
  std::string who = untrustedOnTheWay(named);
  if (!who.empty()) return who;
  // Through a link: the folders that hold it, and those of its target.
  const std::wstring target = finalPath(named);
  if (!target.empty() && !sameLetters(target, named)) who = untrustedOnTheWay(target);
  return who;
}

bool win32HasAdministratorRights() {
  PSID administrators = nullptr;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators))
    return false;
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

}  // namespace tarvik
