// One instance per name: a named mutex and a record of the application's
// process, both held by the launcher and by each child it starts. A second
// launch hands its arguments over through an AF_UNIX socket (Windows 10
// 1803 on) in a folder below the user's %LOCALAPPDATA%.
#ifndef _WIN32
#error "Win32Instance.cpp is for Windows builds only"
#endif

#include "os/Win32Instance.h"

#include <winsock2.h>
#include <afunix.h>
#include <windows.h>

#include <cstring>

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

// The shared record of an instance: the process whose window to bring
// forward, and when (GetTickCount64) the instance was claimed. A record of
// an older launcher holds the process alone: its time reads as 0, not
// told.
struct InstanceRecord {
  volatile LONG processId;
  LONG unused;
  volatile ULONGLONG claimedTick;
};

// How many milliseconds ago the running instance `name` was claimed; 0
// while it has no record yet (the claim made it a moment ago), -1 when
// its record does not tell.
int64_t claimAge(const std::string& name) {
  HANDLE record = OpenFileMappingW(FILE_MAP_READ, FALSE, recordName(name).c_str());
  if (!record) return 0;
  int64_t age = -1;
  // The whole record, however long its maker made it: a view covers whole
  // pages, the bytes beyond a shorter record read as 0.
  if (void* view = MapViewOfFile(record, FILE_MAP_READ, 0, 0, 0)) {
    const ULONGLONG claimed = static_cast<const InstanceRecord*>(view)->claimedTick;
    const ULONGLONG now = GetTickCount64();
    if (claimed != 0 && claimed <= now) age = static_cast<int64_t>(now - claimed);
    UnmapViewOfFile(view);
  }
  CloseHandle(record);
  return age;
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
    result.heldMillis = claimAge(name);
    return result;
  }
  // Without the record the claim still holds; only the window cannot be
  // found by a second launch.
  HANDLE record = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr,
                                     PAGE_READWRITE, 0, sizeof(InstanceRecord),
                                     recordName(name).c_str());
  void* view = record ? MapViewOfFile(record, FILE_MAP_WRITE, 0, 0,
                                      sizeof(InstanceRecord))
                      : nullptr;
  if (view) static_cast<InstanceRecord*>(view)->claimedTick = GetTickCount64();
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
    InterlockedExchange(&static_cast<InstanceRecord*>(view_)->processId,
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
    processId = static_cast<DWORD>(static_cast<const InstanceRecord*>(view)->processId);
    UnmapViewOfFile(view);
  }
  CloseHandle(record);
  if (processId == 0) return false;
  // This launch was started by the user and may give the foreground away:
  // the application may then bring itself forward, for the arguments
  // handed to it too, even from a window this search does not find.
  AllowSetForegroundWindow(processId);
  WindowSearch search{processId, nullptr};
  EnumWindows(findApplicationWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return false;
  // Asynchronous, so that a hung application cannot hang this launch.
  if (IsIconic(search.found)) ShowWindowAsync(search.found, SW_RESTORE);
  SetForegroundWindow(search.found);
  return true;
}

InstanceFolder win32InstanceFolder(bool create) {
  InstanceFolder result;
  const DWORD size = GetEnvironmentVariableW(L"LOCALAPPDATA", nullptr, 0);
  if (size == 0) return result;
  std::wstring base(size, L'\0');
  base.resize(GetEnvironmentVariableW(L"LOCALAPPDATA", &base[0], size));
  if (base.empty()) return result;
  if (base.back() != L'\\') base += L'\\';
  const std::wstring folder = base + L"Tarvik\\instances";
  if (create) {
    // The folders below the user's own inherit its protection.
    CreateDirectoryW((base + L"Tarvik").c_str(), nullptr);
    if (!CreateDirectoryW(folder.c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      result.errorText = systemErrorText(GetLastError()) + " (" + utf8FromWide(folder) + ")";
      return result;
    }
  }
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      result.errorText = systemErrorText(error) + " (" + utf8FromWide(folder) + ")";
    return result;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    result.errorText = "not a folder of its own (" + utf8FromWide(folder) + ")";
    return result;
  }
  result.path = utf8FromWide(folder);
  return result;
}

namespace {

// Whether this error of socket() or connect() says that nobody listens:
// no AF_UNIX on this system, no endpoint, nobody accepting.
bool nobodyListens(int error) {
  return error == WSAEAFNOSUPPORT || error == WSAEPROTONOSUPPORT ||
         error == WSAECONNREFUSED || error == ERROR_FILE_NOT_FOUND ||
         error == ERROR_PATH_NOT_FOUND;
}

class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (started_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool started_ = false;
  SOCKET socket_ = INVALID_SOCKET;
};

}  // namespace

InstanceHandOverResult handToWin32Instance(const std::string& endpoint,
                                           const std::string& message,
                                           int timeoutMillis) {
  InstanceHandOverResult result;
  WinsockSession session;
  if (!session.started_) {
    result.errorText = systemErrorText(static_cast<unsigned long>(WSAGetLastError()));
    return result;
  }
  sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (endpoint.empty() || endpoint.size() >= sizeof address.sun_path) {
    result.errorText = "no socket can be named " + endpoint;
    return result;
  }
  memcpy(address.sun_path, endpoint.data(), endpoint.size());
  session.socket_ = socket(AF_UNIX, SOCK_STREAM, 0);
  const auto failed = [&](bool connecting) {
    const int error = WSAGetLastError();
    if (connecting && nobodyListens(error)) {
      result.outcome = InstanceHandOver::NobodyListens;
    } else if (error == WSAETIMEDOUT) {
      result.errorText = "no answer within " + std::to_string(timeoutMillis) + " ms";
    } else {
      result.errorText = systemErrorText(static_cast<unsigned long>(error)) + " (" + endpoint + ")";
    }
    return result;
  };
  if (session.socket_ == INVALID_SOCKET) {
    // Before Windows 10 1803 (and under Wine) there are no local sockets:
    // nobody can listen, now or later.
    const int error = WSAGetLastError();
    if (error == WSAEAFNOSUPPORT || error == WSAEPROTONOSUPPORT)
      result.outcome = InstanceHandOver::NoLocalSockets;
    else if (nobodyListens(error))
      result.outcome = InstanceHandOver::NobodyListens;
    else
      result.errorText = systemErrorText(static_cast<unsigned long>(error));
    return result;
  }
  const DWORD limit = static_cast<DWORD>(timeoutMillis);
  setsockopt(session.socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
  setsockopt(session.socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
  if (connect(session.socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    return failed(true);
  size_t sent = 0;
  while (sent < message.size()) {
    const int n = send(session.socket_, message.data() + sent,
                       static_cast<int>(message.size() - sent), 0);
    if (n <= 0) return failed(false);
    sent += static_cast<size_t>(n);
  }
  char answer = 0;
  const int n = recv(session.socket_, &answer, 1, 0);
  if (n < 0) return failed(false);
  if (n == 1 && static_cast<unsigned char>(answer) == INSTANCE_ACKNOWLEDGEMENT)
    result.outcome = InstanceHandOver::Delivered;
  else
    result.errorText = "the instance did not take the arguments";
  return result;
}

}  // namespace tarvik
