// Files and folders through the wide calls; names are UTF-8 to the
// launcher.
#ifndef _WIN32
#error "Win32Files.cpp is for Windows builds only"
#endif

#include "os/Win32Files.h"

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h, which it needs: RtlGenRandom, from ADVAPI32
#include <ntsecapi.h>
#include <aclapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "os/StdioOutputFile.h"
#include "os/Win32Text.h"

namespace tarvik {

std::optional<std::string> win32TempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length > MAX_PATH) return std::nullopt;
  return utf8FromWide(buffer, length);
}

int win32MakeDirectory(const std::string& path) {
  if (_wmkdir(wideFromUtf8(path).c_str()) == 0) return 0;
  return errno;
}

std::vector<std::string> win32FindFiles(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(wideFromUtf8(pattern).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(utf8FromWide(data.cFileName));
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return names;
}

FileRead win32ReadRegularFile(const std::string& path, uint64_t maxBytes) {
  FileRead read;
  read.refusal = ReadRefusal::CannotRead;
  HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return read;
  // A console, NUL or a pipe is no file: reading it would wait or not end.
  LARGE_INTEGER size;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    read.refusal = ReadRefusal::NotRegularFile;
  } else if (!GetFileSizeEx(file, &size)) {
    // CannotRead
  } else if (static_cast<uint64_t>(size.QuadPart) > maxBytes) {
    read.refusal = ReadRefusal::TooLarge;
  } else {
    std::string content;
    char buffer[65536];
    DWORD got = 0;
    bool failed = false;
    while (!(failed = !ReadFile(file, buffer, sizeof buffer, &got, nullptr)) &&
           got > 0 && content.size() <= maxBytes)
      content.append(buffer, got);
    if (!failed && content.size() > maxBytes) {
      read.refusal = ReadRefusal::TooLarge;
    } else if (!failed) {
      read.content = std::move(content);
      read.refusal = ReadRefusal::None;
    }
  }
  CloseHandle(file);
  return read;
}

namespace {

// A security descriptor whose one entry gives the process's user all
// access and which inherits nothing from the folder.
class UserOnlySecurity {
 public:
  UserOnlySecurity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    user_.resize(size);
    const bool got = size > 0 && GetTokenInformation(token, TokenUser,
                                                     user_.data(), size, &size);
    CloseHandle(token);
    if (!got) return;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
    const DWORD aclSize = static_cast<DWORD>(
        sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
    acl_.resize(aclSize);
    PACL acl = reinterpret_cast<PACL>(acl_.data());
    ready_ = InitializeAcl(acl, aclSize, ACL_REVISION) &&
             AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) &&
             InitializeSecurityDescriptor(&descriptor_,
                                          SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
             SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED,
                                          SE_DACL_PROTECTED);
  }
  // Null when the system gave none: the folder's rules then apply.
  SECURITY_DESCRIPTOR* get() { return ready_ ? &descriptor_ : nullptr; }

 private:
  std::vector<BYTE> user_;
  std::vector<BYTE> acl_;
  SECURITY_DESCRIPTOR descriptor_;
  bool ready_ = false;
};

}  // namespace

void* win32CreateFileForWriting(const std::string& path, FileCreation creation,
                                bool inheritable, CreateResult* result) {
  const bool fresh = creation == FileCreation::NewPrivate;
  UserOnlySecurity userOnly;
  SECURITY_ATTRIBUTES security;
  security.nLength = sizeof security;
  security.lpSecurityDescriptor = fresh ? userOnly.get() : nullptr;
  security.bInheritHandle = inheritable ? TRUE : FALSE;
  // With FILE_FLAG_OPEN_REPARSE_POINT a symbolic link is the name itself:
  // CREATE_NEW fails on it as on any existing name, so a dangling one does
  // not lead to its target being created, and a file to be replaced is
  // opened as it is (not emptied) until it is known to be a plain file.
  HANDLE file = CreateFileW(
      wideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security,
      fresh ? CREATE_NEW : OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  const DWORD error = GetLastError();
  if (file == INVALID_HANDLE_VALUE) {
    *result = fresh && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                  ? CreateResult::NameTaken
                  : CreateResult::CannotCreateFile;
    return nullptr;
  }
  *result = CreateResult::Done;
  if (fresh) return file;
  const DWORD type = GetFileType(file);
  BY_HANDLE_FILE_INFORMATION info;
  DWORD failure = ERROR_SUCCESS;
  if (type == FILE_TYPE_CHAR) return file;  // NUL, a console
  if (type != FILE_TYPE_DISK) {
    *result = CreateResult::NotRegularFile;
  } else if (!GetFileInformationByHandle(file, &info)) {
    failure = GetLastError();
    *result = CreateResult::CannotCreateFile;
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    *result = CreateResult::IsLink;
  } else if (info.nNumberOfLinks > 1) {
    *result = CreateResult::HasOtherLinks;
  } else if (creation == FileCreation::Append) {
    LARGE_INTEGER end;
    end.QuadPart = 0;
    if (!SetFilePointerEx(file, end, nullptr, FILE_END)) *result = CreateResult::CannotCreateFile;
  } else if (error == ERROR_ALREADY_EXISTS &&
             (info.dwFileAttributes &
              (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
    // As CREATE_ALWAYS with plain attributes refuses such a file.
    failure = ERROR_ACCESS_DENIED;
    *result = CreateResult::CannotCreateFile;
  } else if (!SetEndOfFile(file)) {
    failure = GetLastError();
    *result = CreateResult::CannotCreateFile;
  }
  if (*result == CreateResult::Done) return file;
  CloseHandle(file);
  SetLastError(failure);
  return nullptr;
}

CreatedFile win32CreateTextFile(const std::string& path, FileCreation creation,
                                FileContent content) {
  CreatedFile created;
  HANDLE file = static_cast<HANDLE>(
      win32CreateFileForWriting(path, creation, false, &created.result));
  if (file == nullptr) {
    if (created.result == CreateResult::CannotCreateFile)
      created.errorText = systemErrorText(GetLastError());
    return created;
  }
  created.result = CreateResult::CannotCreateFile;
  const bool text = content == FileContent::Text;
  const bool append = creation == FileCreation::Append;
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file),
                                 (text ? _O_TEXT : _O_BINARY) | (append ? _O_APPEND : 0));
  if (fd < 0) {
    created.errorText = strerror(errno);
    CloseHandle(file);
    return created;
  }
  FILE* stream = _fdopen(fd, append ? (text ? "a" : "ab") : (text ? "w" : "wb"));
  if (!stream) {
    created.errorText = strerror(errno);
    _close(fd);
    return created;
  }
  created.file = std::make_unique<StdioOutputFile>(stream, content);
  created.result = CreateResult::Done;
  return created;
}

std::optional<uint64_t> win32RandomNumber() {
  uint64_t number = 0;
  if (!RtlGenRandom(&number, sizeof number)) return std::nullopt;
  return number;
}

std::optional<std::string> win32ShortPathForm(const std::string& path) {
  const std::wstring wide = wideFromUtf8(path);
  DWORD size = GetShortPathNameW(wide.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring shortForm(size, L'\0');
  DWORD length = GetShortPathNameW(wide.c_str(), &shortForm[0], size);
  if (length == 0 || length >= size) return std::nullopt;
  shortForm.resize(length);
  return utf8FromWide(shortForm);
}

bool win32RemoveFile(const std::string& path) {
  const std::wstring wide = wideFromUtf8(path);
  if (DeleteFileW(wide.c_str())) return true;
  // The JVM writes its archives read-only, which DeleteFile refuses.
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      !(attributes & FILE_ATTRIBUTE_READONLY) ||
      (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  if (!SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY))
    return false;
  if (DeleteFileW(wide.c_str())) return true;
  SetFileAttributesW(wide.c_str(), attributes);
  return false;
}

std::optional<FileFacts> win32FileFacts(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(wideFromUtf8(path).c_str(), GetFileExInfoStandard,
                            &data))
    return std::nullopt;
  FileFacts facts;
  facts.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
               data.nFileSizeLow;
  // 100-nanosecond intervals since 1601 to the Unix epoch.
  const uint64_t ticks =
      (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  const uint64_t unixTicks = ticks - 116444736000000000ull;
  facts.modifiedSeconds = static_cast<int64_t>(unixTicks / 10000000ull);
  facts.modifiedNanoseconds = static_cast<uint32_t>(unixTicks % 10000000ull) * 100;
  return facts;
}

namespace {

// One of the process token's SIDs (TokenUser, TokenOwner), copied out.
std::vector<unsigned char> tokenSid(TOKEN_INFORMATION_CLASS kind) {
  std::vector<unsigned char> sid;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid;
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  std::vector<unsigned char> info(size ? size : 1);
  if (size && GetTokenInformation(token, kind, info.data(), size, &size)) {
    // TOKEN_USER and TOKEN_OWNER both begin with the SID's pointer.
    PSID found = kind == TokenUser
                     ? reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid
                     : reinterpret_cast<TOKEN_OWNER*>(info.data())->Owner;
    if (found && IsValidSid(found)) {
      const unsigned char* bytes = static_cast<const unsigned char*>(found);
      sid.assign(bytes, bytes + GetLengthSid(found));
    }
  }
  CloseHandle(token);
  return sid;
}

}  // namespace

std::optional<FileOwnership> win32FileOwnership(const std::string& path) {
  const std::wstring wide = wideFromUtf8(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  HANDLE file = CreateFileW(wide.c_str(), READ_CONTROL,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status =
      GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                      nullptr, nullptr, nullptr, &descriptor);
  CloseHandle(file);
  if (status != ERROR_SUCCESS) return std::nullopt;
  FileOwnership ownership;
  ownership.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  for (TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
    std::vector<unsigned char> sid = tokenSid(kind);
    if (owner && !sid.empty() && EqualSid(owner, sid.data()))
      ownership.ownedByUser = true;
  }
  LocalFree(descriptor);
  return ownership;
}

std::optional<std::string> win32ReadFileStart(const std::string& path,
                                              size_t count) {
  FILE* file = _wfopen(wideFromUtf8(path).c_str(), L"rb");
  if (!file) return std::nullopt;
  std::string content(count, '\0');
  const size_t got = fread(&content[0], 1, count, file);
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) return std::nullopt;
  content.resize(got);
  return content;
}

bool win32CreateNewFile(const std::string& path) {
  HANDLE file = CreateFileW(wideFromUtf8(path).c_str(), GENERIC_WRITE, 0,
                            nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  return CloseHandle(file) != 0;
}

bool win32RenameFile(const std::string& from, const std::string& to) {
  return MoveFileExW(wideFromUtf8(from).c_str(), wideFromUtf8(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING) != 0;
}

std::optional<uint64_t> win32FreeDiskBytes(const std::string& folder) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(wideFromUtf8(folder).c_str(), &available, nullptr,
                           nullptr))
    return std::nullopt;
  return static_cast<uint64_t>(available.QuadPart);
}

namespace {

// The volume and index that name a file however its path is spelled.
bool fileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = CreateFileW(
      wideFromUtf8(path).c_str(), 0,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BOOL got = GetFileInformationByHandle(file, info);
  CloseHandle(file);
  return got != 0;
}

}  // namespace

bool win32SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first, second;
  if (!fileIdentity(a, &first) || !fileIdentity(b, &second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace tarvik
