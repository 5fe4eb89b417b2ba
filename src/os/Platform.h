// The one seam between the launcher and the operating system.
//
// The core never includes an operating-system header; every call it makes to
// the system goes through a Platform. There are three implementations:
// the Win32 backend (the wide Windows calls), PosixPlatform (Linux) and the
// tests' FakePlatform (scripted, in memory, recording).
//
// Text crosses the seam as UTF-8 on every system; the Windows backend
// converts to and from UTF-16 at its own calls.
#ifndef TARVIK_OS_PLATFORM_H
#define TARVIK_OS_PLATFORM_H

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarvik {

// Message box styles, with the Windows values so they can be passed through.
enum : unsigned {
  MB_STYLE_OK = 0x0,
  MB_STYLE_YESNO = 0x4,
  MB_STYLE_ICONERROR = 0x10,
  MB_STYLE_SYSTEMMODAL = 0x1000,
  MB_STYLE_SETFOREGROUND = 0x10000,
};
// The style of the "Unexpected Close" question.
constexpr unsigned MB_STYLE_UNEXPECTED_CLOSE = MB_STYLE_YESNO |
                                               MB_STYLE_ICONERROR |
                                               MB_STYLE_SYSTEMMODAL |
                                               MB_STYLE_SETFOREGROUND;
constexpr int ANSWER_OK = 1;
constexpr int ANSWER_YES = 6;
constexpr int ANSWER_NO = 7;

// A folder that holds runtime homes: `path`, placed below the value of
// `baseVariable` when one is named (e.g. HOME; skipped while it is unset),
// and replaced whole by the value of `overrideVariable` when that is set
// and not empty.
struct RuntimeFolder {
  std::string path;
  std::string baseVariable;
  std::string overrideVariable;
};

// A per-user folder: `below` placed below the value of `variable`, used
// when that variable is set and not empty.
struct UserFolder {
  std::string variable;
  std::string below;
};

// A variable by which the system's program loader loads libraries into
// every program it starts: a list of files, or of folders searched for
// them, parted by any of `separators`.
struct LoaderVariable {
  std::string name;
  std::string separators;
  bool folders = false;
};

// What differs between systems as plain data, so the core has no #ifdefs.
struct PlatformConventions {
  // Separates folders in paths the launcher builds.
  char separator = '\\';
  // Each of these ends a folder name in a path the launcher is given.
  std::string folderSeparators = "\\/";
  // Separates class path entries.
  char classPathSeparator = ';';
  // A launcher path is "full" (names its folder) when it starts with a drive
  // letter and colon and holds a separator (Windows), or when it starts with
  // the separator (POSIX).
  bool driveLetterPaths = true;
  // Executable names below a runtime's "bin" folder.
  std::string consoleJava = "java.exe";
  std::string windowedJava = "javaw.exe";
  // A runtime's JVM libraries below its home, the one preferred first.
  std::vector<std::string> jvmLibraries = {"bin\\server\\jvm.dll",
                                           "bin\\client\\jvm.dll"};
  // The splash screen library, in the folder that holds server and client.
  std::string splashLibrary = "splashscreen.dll";
  // Files opened for writing in text mode get CR LF line ends.
  bool textModeCrLf = true;
  // Exit codes are cut to this many bits by the system (0 for none).
  int exitCodeBits = 0;
  // Ranges of exit codes (both ends included) that say a program died of a
  // fault rather than ending: the NTSTATUS codes of faults on Windows (not
  // every error code: a program may end with -1, and Ctrl-C ends it with
  // 0xC000013A), 128 + a fault's signal on POSIX systems.
  std::vector<std::pair<uint32_t, uint32_t>> crashExitCodes =
      windowsFaultExitCodes();
  // The longest command line a child can be given, terminator included
  // (0: the launcher sets no limit; the system reports what it refuses).
  size_t commandLineLimit = 32767;
  // The longest single word a child can be given, terminator included (0:
  // no bound of its own). Linux takes 32 pages in one word.
  size_t wordLimit = 0;
  // Folders whose every entry may be a runtime's home, searched in this
  // order after the registry, JAVA_HOME and PATH.
  std::vector<RuntimeFolder> runtimeFolders;
  // A Ctrl-Z (byte 1A) ends a text file, as the C runtime's text mode reads
  // it on Windows; old editors append one.
  bool ctrlZEndsTextFiles = true;
  // Where the launcher keeps its per-user cache: the first of these whose
  // variable is set.
  std::vector<UserFolder> cacheFolders = {{"LOCALAPPDATA", "Tarvik\\cache"}};
  // The runtime's own class-data archive, below its home; archives of an
  // application's classes are made on top of it.
  std::string baseClassArchive = "bin\\server\\classes.jsa";
  // The runtime's console Java executable, below its home: what the
  // launcher runs for itself (the VM's second step of an ahead-of-time
  // cache).
  std::string javaExecutable = "bin\\java.exe";
  // The exit codes of a process ended from outside (Ctrl-C; POSIX: SIGHUP,
  // SIGINT, SIGKILL, SIGTERM): its end says nothing of its work.
  std::vector<uint32_t> interruptedExitCodes = {0xC000013Au};
  // The folder of the system's service units, which the core writes and
  // hands systemctl; empty where the service manager takes its services
  // through the Platform's calls (Windows). The variable, when set and not
  // empty, names another folder, and systemctl is not called.
  std::string serviceUnitFolder;
  std::string serviceUnitFolderVariable;
  // The search path a unit gives its service (systemd's own, written into
  // the unit so that it is the one `install` looked the Java runtime up
  // in); empty where the service manager gives the system's variables.
  std::string serviceSearchPath;
  // The program loader's variables (none on Windows).
  std::vector<LoaderVariable> loaderVariables;
  // The library that sets a child Java's taskbar identity from inside it
  // (a JVMTI agent, in the launcher's folder); empty where windows have no
  // such identity.
  std::string taskbarIdentityAgent = "tarvik-appid.dll";

  static PlatformConventions windows();
  // The exit codes of a Windows process that died of a fault.
  static std::vector<std::pair<uint32_t, uint32_t>> windowsFaultExitCodes();
  static PlatformConventions posix();
};

// A registry key opened for reading.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // A string value of at most `capacity` bytes (terminator included), or
  // nothing when it is missing or does not fit.
  virtual std::optional<std::string> readString(const std::string& name,
                                                size_t capacity) = 0;
  // The number of subkeys, or nothing when it cannot be had.
  virtual std::optional<uint32_t> subkeyCount() = 0;
  // The name of the subkey at `index`, or nothing when the enumeration
  // fails at that index.
  virtual std::optional<std::string> subkeyName(uint32_t index) = 0;
};

// The process's standard output, error and input handles, opaque to the
// core.
struct StandardHandles {
  uintptr_t output = 0;
  uintptr_t error = 0;
  uintptr_t input = 0;
};

enum class RegistryRoot { LocalMachine, CurrentUser };
// Default is the process's own view (no view flag); the others name the
// 64-bit or the 32-bit (WOW6432Node) view explicitly.
enum class RegistryView { Default, Bits64, Bits32 };

// Where a registry key is looked up. Only the named constructors make one,
// so a root and a view cannot be swapped or left out.
class RegistryPlace {
 public:
  static RegistryPlace machineDefault() {
    return {RegistryRoot::LocalMachine, RegistryView::Default};
  }
  static RegistryPlace machine(RegistryView view) {
    return {RegistryRoot::LocalMachine, view};
  }
  static RegistryPlace user(RegistryView view) {
    return {RegistryRoot::CurrentUser, view};
  }
  RegistryRoot root() const { return root_; }
  RegistryView view() const { return view_; }
  // "HKLM", "HKCU", with " 32-bit" for the 32-bit view.
  std::string label() const;

 private:
  RegistryPlace(RegistryRoot root, RegistryView view)
      : root_(root), view_(view) {}
  RegistryRoot root_;
  RegistryView view_;
};

// How a child process is started: one command in the two forms systems
// take. Windows starts `commandLine` as it stands; POSIX systems hand
// `arguments` (the program first) to the child as its argv.
struct ChildStart {
  std::string commandLine;
  std::vector<std::string> arguments;
  std::optional<std::string> workingDir;
  // Hand these standard output and error handles (the launcher's, taken
  // before a console was opened) to the child, and the input handle when
  // it is not 0.
  bool useStdHandles = false;
  StandardHandles stdHandles;
  // Start without a console window.
  bool noWindow = true;
  std::optional<std::string> consoleTitle;
  // While the child runs, the launcher leaves the terminal's interrupts to
  // it: Windows: Ctrl-C and Ctrl-Break, from the child's start until the
  // launcher ends (they may reach the launcher after the child is gone);
  // POSIX: SIGINT and SIGQUIT, as system(3) does.
  bool leaveInterruptsToChild = false;
  // The child ends with the launcher: Windows: a job object ends it;
  // POSIX: it is sent SIGTERM when the launcher dies.
  bool endsWithLauncher = false;
  // POSIX: while the launcher waits for the child, SIGTERM and SIGHUP sent
  // to the launcher are passed on to it, and SIGUSR1 and SIGUSR2 too when
  // `forwardUserSignals`.
  bool forwardTermination = false;
  bool forwardUserSignals = false;
  // Standard input, output and error are the null device: a program the
  // launcher runs for itself, whose output is nobody's.
  bool discardOutput = false;
};

// How a wait for a child's end came out.
enum class WaitResult { Ended, Running, Failed };

class ChildProcess {
 public:
  virtual ~ChildProcess() = default;
  // Waits until the child is idle or `millis` have passed.
  virtual void waitForInputIdle(uint32_t millis) = 0;
  // Waits for the child to end; a negative `millis` waits without bound.
  // Failed: the system could not wait, and nothing is known of the child.
  virtual WaitResult waitForExit(int64_t millis) = 0;
  // The system's text for the last failed wait.
  virtual std::string waitErrorText() { return std::string(); }
  // The exit code of an ended child.
  virtual uint32_t exitCode() = 0;
  // Asks the child to end as an interrupt from its console would (Windows:
  // Ctrl-C to the console the child was started with of its own, which
  // this process ignores meanwhile; POSIX: SIGINT). False when it could
  // not be sent.
  virtual bool interrupt() { return false; }
  // Ends the child at once (Windows: its job, with whatever it started
  // there; POSIX: SIGKILL).
  virtual void terminate() {}
};

// The result of starting a child: the process, or the system's error text.
struct ChildStartResult {
  std::unique_ptr<ChildProcess> child;
  std::string errorText;
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Writes the bytes; in text mode each LF may reach the disk as CR LF.
  virtual void write(const std::string& text) = 0;
  // Hands what was written to the system, so that it outlives the process.
  virtual void flush() {}
  // Whether every write and flush so far reached the system.
  virtual bool good() const { return true; }
  // The bytes the file holds, what was written flushed; nothing where the
  // system cannot tell.
  virtual std::optional<uint64_t> length() { return std::nullopt; }
  // Cuts the file back to `length` bytes, taking back what a failed write
  // left of itself, and writes on from there as if the failure had not
  // been; false when it cannot.
  virtual bool cutBack(uint64_t) { return false; }
  // Flushes and closes; later writes are ignored. False when any write, the
  // flush or the close failed (a full disk, say).
  virtual bool close() = 0;
  // The system's words for the first write, flush or close that failed.
  virtual std::string errorText() const { return ""; }
};

// How a claim on the one instance of a name came out.
enum class InstanceClaim {
  // This process holds it now.
  Claimed,
  // Another process of this user session holds it.
  Running,
  // The system could not tell; `errorText` says why.
  Failed,
};

struct InstanceClaimResult {
  InstanceClaim outcome = InstanceClaim::Failed;
  std::string errorText;
  // Running: how many milliseconds ago the running instance was claimed,
  // or -1 when the system does not tell.
  int64_t heldMillis = -1;
};

// The folder where this user's running instances take messages, or the
// system's words for why there is none.
struct InstanceFolder {
  std::optional<std::string> path;
  std::string errorText;
};

// How handing a message to a running instance came out.
enum class InstanceHandOver {
  // The instance read it and acknowledged it.
  Delivered,
  // Nothing listens there: no endpoint, or nobody accepting.
  NobodyListens,
  // This system has no local sockets (Windows before 10 1803, Wine):
  // nobody listens, now or later.
  NoLocalSockets,
  // Something listens, but took no message or gave no acknowledgement in
  // time; `errorText` says why.
  Failed,
};

// The byte a listening instance answers a message it took with.
constexpr unsigned char INSTANCE_ACKNOWLEDGEMENT = 0x06;

struct InstanceHandOverResult {
  InstanceHandOver outcome = InstanceHandOver::Failed;
  std::string errorText;
};

// How a file is created.
enum class FileCreation {
  // Created, or an existing regular file of one name emptied. A link (a
  // symbolic link, a reparse point, a file of several names) and a file
  // that is no regular file (a FIFO, a socket) are refused and left as they
  // are; a device (/dev/null, NUL) is written as it is.
  Replace,
  // Created only where no file or link has the name, readable and writable
  // by the user alone where the system allows it: for shared folders.
  NewPrivate,
  // As Replace, but an existing file keeps its bytes, and what is written
  // goes at its end.
  Append,
};

// What a created file holds: text, whose line ends the system may write
// its way (CR LF on Windows), bytes written as they come, or a program:
// bytes the system may run (POSIX: a new file gets the execute bits the
// umask leaves).
enum class FileContent { Text, Bytes, Program };

// How creating a file for writing came out.
enum class CreateResult {
  Done,
  CannotCreateFile,
  // NewPrivate: the name exists (a link included).
  NameTaken,
  // Replace: the name is a symbolic link or another reparse point.
  IsLink,
  // Replace: the file has other names (hard links) as well.
  HasOtherLinks,
  // Replace: the name is a FIFO, a socket or a folder.
  NotRegularFile,
  // The standard streams could not be bound to the file.
  CannotDuplicateHandle,
};

// A file created for writing in text mode; `file` is null unless `result`
// is Done.
struct CreatedFile {
  std::unique_ptr<OutputFile> file;
  CreateResult result = CreateResult::CannotCreateFile;
  // The system's words for CannotCreateFile.
  std::string errorText;
};

// Why a file was not read whole.
enum class ReadRefusal {
  None,
  // Missing, a folder, not readable, or a read failed.
  CannotRead,
  // A FIFO, a device, a socket: nothing that ends where a file ends.
  NotRegularFile,
  // Larger than the bound the caller set.
  TooLarge,
};

// A whole file, or nothing and why.
struct FileRead {
  std::optional<std::string> content;
  ReadRefusal refusal = ReadRefusal::None;
};

// What the file system says of a file or folder.
struct FileFacts {
  bool isDirectory = false;
  uint64_t size = 0;
  int64_t modifiedSeconds = 0;
  uint32_t modifiedNanoseconds = 0;
};

// A pipe that the process's standard output and error write to, and every
// child started with the standard handles: the service launcher's log reads
// it.
class StreamCapture {
 public:
  virtual ~StreamCapture() = default;
  // Blocks until bytes were written, and returns them; empty once every
  // writer has closed its end (this process's after releaseStdStreams).
  virtual std::string read() = 0;
};

// How a service starts with the system.
enum class ServiceStartType { Automatic, Delayed, Manual };

// A service as the system's service manager is to know it.
struct ServiceDefinition {
  std::string name;
  std::string displayName;
  std::string description;
  // The command the system starts, its paths quoted.
  std::string commandLine;
  ServiceStartType startType = ServiceStartType::Automatic;
  // The account it runs as: "LocalSystem", "NT AUTHORITY\\LocalService",
  // "NT AUTHORITY\\NetworkService", or a user ("DOMAIN\\user", ".\\user").
  std::string account = "LocalSystem";
  // A user account's password; nothing for the accounts that need none.
  std::optional<std::string> password;
  std::vector<std::string> dependencies;
  // How long the system is asked to wait for the service's stop at
  // shutdown (PRESHUTDOWN's time out).
  uint32_t stopTimeoutMillis = 0;
  // Who made it: kept with the service (Windows: the value MadeBy of its
  // key), for queryServiceOrigin.
  std::string madeBy;
};

// What the system's service manager says of a service.
enum class ServiceState {
  Missing,
  Stopped,
  StartPending,
  StopPending,
  Running,
  ContinuePending,
  PausePending,
  Paused,
};

struct ServiceStatus {
  ServiceState state = ServiceState::Missing;
  // The Win32 exit code; ERROR_SERVICE_SPECIFIC_ERROR (1066) when
  // `serviceExitCode` holds the service's own.
  uint32_t win32ExitCode = 0;
  uint32_t serviceExitCode = 0;
  uint32_t processId = 0;
};

// How a request to the service manager came out.
enum class ServiceOutcome {
  Done,
  // The process lacks the rights (not elevated, not an administrator).
  Denied,
  // No service of that name is installed.
  NotInstalled,
  // The service is not in a state that takes the request (already
  // running, already stopped).
  WrongState,
  Failed,
};

struct ServiceAnswer {
  ServiceOutcome outcome = ServiceOutcome::Failed;
  std::string errorText;
  // For queryService: what the manager said.
  ServiceStatus status;
  // For queryServiceOrigin: the service's command, and who made it (empty
  // when nobody said).
  std::string commandLine;
  std::string madeBy;
};

// A service's side of the service manager, while it runs.
class ServiceSession {
 public:
  virtual ~ServiceSession() = default;
  // Reports the state; while a state is pending, each report is the next
  // checkpoint, with a wait hint of `waitHintMillis`. A stopped service
  // ends with `exitCode`: 0, or the service-specific error with that code.
  virtual void report(ServiceState state, uint32_t exitCode,
                      uint32_t waitHintMillis) = 0;
  // Waits up to `millis` (negative: without bound) for the manager to ask
  // the service to stop (STOP, SHUTDOWN, PRESHUTDOWN); true once it has
  // asked, at once from then on.
  virtual bool waitForStopRequest(int64_t millis) = 0;
};

// Who may change a file or folder: what the startup cache asks before it
// trusts one.
struct FileOwnership {
  // The name itself is a link (Windows: a reparse point).
  bool isLink = false;
  // What the name leads to belongs to the user the process runs as
  // (Windows: its owner is the token's user, or the owner the token gives
  // its new files).
  bool ownedByUser = false;
  // The group or others may write it (POSIX write bits; Windows says
  // false: its owner is what is judged there).
  bool othersMayWrite = false;
};


class Platform {
 public:
  virtual ~Platform() = default;

  virtual const PlatformConventions& conventions() const = 0;

  // Message boxes have no owner window. Returns the button pressed
  // (ANSWER_OK, ANSWER_YES, ANSWER_NO) or a negative value on failure.
  virtual int messageBox(const std::string& text, const std::string& caption,
                         unsigned style) = 0;

  // Standard output and error of the launcher (the C runtime's streams).
  virtual void writeStdout(const std::string& text) = 0;
  virtual void writeStderr(const std::string& text) = 0;
  virtual void flushStdout() = 0;

  virtual std::string currentDirectory() = 0;
  virtual bool changeDirectory(const std::string& path) = 0;

  // The major version of the operating system (Windows: > 5 is Vista on).
  virtual int osMajorVersion() = 0;

  virtual std::optional<std::string> getEnv(const std::string& name) = 0;
  virtual bool setEnv(const std::string& name, const std::string& value) = 0;
  // The whole environment as name and value pairs, and the environment
  // made exactly these (every other variable gone).
  using Environment = std::vector<std::pair<std::string, std::string>>;
  virtual Environment environment() = 0;
  virtual void replaceEnvironment(const Environment& variables) = 0;
  // The environment the system's service manager gives a service it starts
  // (Windows: the system's variables; POSIX: systemd's search path, which
  // the unit names too).
  virtual Environment serviceEnvironment() = 0;
  virtual uint32_t processId() = 0;

  // Opens a key for reading below a root, in a view of the registry.
  virtual std::unique_ptr<RegistryKey> openRegistryKey(
      const RegistryPlace& place, const std::string& path) = 0;
  // Opens a key below HKEY_LOCAL_MACHINE in the process's own view.
  std::unique_ptr<RegistryKey> openRegistryKey(const std::string& path) {
    return openRegistryKey(RegistryPlace::machineDefault(), path);
  }

  // 0 when it cannot be read.
  virtual uint64_t physicalMemoryBytes() = 0;
  // The processor's identity as one text line: on x86-64 its vendor,
  // family, model and the feature flags a VM's generated code depends on
  // (the same on every core of the machine); empty on other architectures.
  virtual std::string processorIdentity() = 0;

  // Once an instance has been claimed, every child started holds the claim
  // too, so that it lasts as long as the application runs.
  virtual ChildStartResult startChild(const ChildStart& start) = 0;
  // Opens a file, or an http(s) URL in the browser, with its associated
  // program ("open" verb). No command interpreter reads the text.
  virtual bool openWithAssociatedProgram(const std::string& file) = 0;

  // Starts this launcher anew: its own file with the words this process
  // was started with, in `workingDir`, with the standard handles as they
  // are now; the instance this process claimed is let go first, for the
  // new launcher to claim. This process then ends with the new launcher's
  // exit code (Windows: it waits for it; POSIX: the new launcher replaces
  // it, under the same process id, and nothing it opened passes on but the
  // standard streams). Returns only when the new launcher could not be
  // started, with the system's text.
  virtual std::string restartLauncher(const std::string& workingDir) = 0;

  // Claims the one instance of `name` (no separators, not empty) for this
  // user and session. A claim ends when the last process holding it ends,
  // however it ends, so a crashed instance never blocks the next launch.
  virtual InstanceClaimResult claimInstance(const std::string& name) = 0;
  // Brings the window of the application that holds the claim on `name`
  // forward, restored when minimised. False when no visible window was
  // found, or the system's windows cannot be brought forward this way.
  virtual bool bringInstanceForward(const std::string& name) = 0;
  // The folder where this user's instances listen for the arguments of a
  // second launch, only the user's to enter (POSIX: a folder of its own in
  // $XDG_RUNTIME_DIR, else one with the user's id in the temporary folder,
  // mode 0700; Windows: below %LOCALAPPDATA%), made first when `create`.
  // Nothing when it is missing; nothing, with the reason, when it is a
  // link, another user's or open to others.
  virtual InstanceFolder instanceFolder(bool create) = 0;
  // Connects to the local (AF_UNIX) socket `endpoint`, writes `message`
  // and reads one byte of acknowledgement, all within `timeoutMillis`, so
  // that a hung instance cannot hang this launch.
  virtual InstanceHandOverResult handToInstance(const std::string& endpoint,
                                                const std::string& message,
                                                int timeoutMillis) = 0;
  // Makes `id` the taskbar identity of this process's windows (Windows:
  // its explicit AppUserModelID), as it must be before the first window
  // opens. False when the system refuses it or has no such call; where
  // windows have no such identity (POSIX) true, with nothing done.
  virtual bool setAppUserModelId(const std::string& id) = 0;

  // Attaches to the parent's console or allocates one, and binds the
  // runtime's standard output and input to it.
  virtual void openConsole() = 0;
  virtual void freeConsole() = 0;
  virtual void setConsoleTitle(const std::string& title) = 0;
  // The process's standard output and error handles as they are now.
  virtual StandardHandles standardHandles() = 0;
  // Makes `path` (created empty as `creation` says, shared for reading,
  // inheritable) the process's standard output and error and the runtime's
  // standard output and error.
  virtual CreateResult redirectStdStreams(const std::string& path,
                                          FileCreation creation) = 0;

  // The temporary directory, ending in a separator.
  virtual std::optional<std::string> tempDirectory() = 0;

  // Creates one directory; 0 on success, otherwise the error number
  // (EEXIST_CODE when it exists).
  virtual int makeDirectory(const std::string& path) = 0;
  // Creates one directory only the user may read, write and enter where
  // the system says so by mode bits (POSIX: 0700); as makeDirectory
  // otherwise.
  virtual int makePrivateDirectory(const std::string& path) = 0;
  virtual std::string errorText(int errorNumber) = 0;
  // The names of the entries that match a pattern such as "lib\*.jar",
  // in the order the system reports them.
  virtual std::vector<std::string> findFiles(const std::string& pattern) = 0;

  // The whole content of a regular file (a link to one is followed) of at
  // most `maxBytes` bytes; anything else is not read, and never waited for.
  virtual FileRead readRegularFile(const std::string& path,
                                   uint64_t maxBytes) = 0;
  // Creates a file for writing as `creation` says, in text mode unless
  // it is to hold bytes.
  virtual CreatedFile createTextFile(const std::string& path,
                                     FileCreation creation,
                                     FileContent content = FileContent::Text) = 0;
  // Removes a file, read-only or not.
  virtual bool removeFile(const std::string& path) = 0;
  // Removes an empty folder.
  virtual bool removeDirectory(const std::string& path) = 0;
  // Dates a file or folder (not a link's target) `seconds` after 1970.
  virtual bool setModifiedTime(const std::string& path, int64_t seconds) = 0;
  // Makes `path` a symbolic link to `target`, as written; false where the
  // system or the user's rights make none (Windows without the privilege).
  virtual bool makeSymbolicLink(const std::string& target,
                                const std::string& path) = 0;
  // Size, time and kind of an existing path; nothing when it cannot be had.
  virtual std::optional<FileFacts> fileFacts(const std::string& path) = 0;
  // Who may change the file or folder `path` names; nothing when it
  // cannot be had (a missing path, a dangling link).
  virtual std::optional<FileOwnership> fileOwnership(
      const std::string& path) = 0;
  // At most the first `count` bytes of a file; nothing when it cannot be
  // read or is no regular file (a FIFO is not waited for).
  virtual std::optional<std::string> readFileStart(const std::string& path,
                                                   size_t count) = 0;
  // Creates an empty file, failing when one of that name exists already,
  // so that two processes never get the same name.
  virtual bool createNewFile(const std::string& path) = 0;
  // Gives a file a new name in the same folder at once, replacing a file
  // of that name; false when the system refuses (on Windows: a file open in
  // another process).
  virtual bool renameFile(const std::string& from, const std::string& to) = 0;
  // The bytes the user may still write on the volume of `folder`.
  virtual std::optional<uint64_t> freeDiskBytes(const std::string& folder) = 0;
  // Whether both paths name one existing file (however they are spelled).
  virtual bool sameFile(const std::string& a, const std::string& b) = 0;
  // The file a program named without a folder starts, found as the
  // system's own start of a child finds it (Windows: the launcher's folder,
  // the current one, the system's folders, then PATH, ".exe" added to a
  // name without an ending; POSIX: PATH); nothing when none is found.
  virtual std::optional<std::string> findProgram(const std::string& name) = 0;
  // The path the system opens for `path`, every link followed; nothing
  // when it leads nowhere.
  virtual std::optional<std::string> finalPath(const std::string& path) = 0;
  // The names of a folder's entries, files and folders, without "." and
  // ".."; nothing when the folder cannot be listed.
  virtual std::optional<std::vector<std::string>> folderEntries(
      const std::string& folder) = 0;

  // A dynamic library and an export of it; null when missing.
  virtual void* loadLibrary(const std::string& path) = 0;
  virtual void* findSymbol(void* library, const std::string& name) = 0;
  // A library whose own dependencies are looked for in its folder, in
  // `dependencyFolders` and in the system's folders before anywhere else.
  virtual void* loadLibraryWithDependenciesIn(
      const std::string& path,
      const std::vector<std::string>& dependencyFolders) = 0;

  // The system's legacy ("ANSI") code page, in which some programs still
  // read their arguments (java.exe's argument vector, the JVM's options).
  // Where text is UTF-8 throughout (POSIX), every text fits as it is.
  // The text in that code page, or nothing when a character has no place
  // there.
  virtual std::optional<std::string> toAnsiCodePage(
      const std::string& text) = 0;
  // Bytes in that code page as UTF-8.
  virtual std::string fromAnsiCodePage(const std::string& bytes) = 0;
  // The short (8.3) form of an existing path, or nothing when the file
  // system gives none.
  virtual std::optional<std::string> shortPathForm(
      const std::string& path) = 0;

  // 64 bits from the system's random source, which other processes cannot
  // predict; nothing when it fails.
  virtual std::optional<uint64_t> randomNumber() = 0;

  // Calendar time in whole seconds.
  virtual int64_t timeSeconds() = 0;

  // Runs `body` on a new thread whose stack is `stackBytes` (0: the
  // system's size for new threads) and waits for it to end. False, with
  // `body` not run, when no such thread can be made.
  virtual bool runOnNewThread(uint64_t stackBytes,
                              const std::function<void()>& body) = 0;

  // Waits `millis`.
  virtual void sleepMillis(int64_t millis) = 0;

  // Services. Runs `body` as the service the system's service manager
  // started this process for (Windows: its dispatcher took the process),
  // reporting STOPPED with the code `body` returns, and returns true once
  // the manager let go; false at once when the process was not started so.
  virtual bool runAsService(
      const std::function<int(ServiceSession&)>& body) = 0;
  // The service manager's requests (Windows' service control manager;
  // elsewhere they are Failed, the core runs systemctl). installService
  // creates the service, or changes one of that name to `definition`.
  virtual ServiceAnswer installService(const ServiceDefinition& definition) = 0;
  virtual ServiceAnswer uninstallService(const std::string& name) = 0;
  virtual ServiceAnswer startService(const std::string& name) = 0;
  // Asks the service to stop, and returns without waiting.
  virtual ServiceAnswer stopService(const std::string& name) = 0;
  virtual ServiceAnswer queryService(const std::string& name) = 0;
  // What tells who made an installed service: its command and madeBy.
  virtual ServiceAnswer queryServiceOrigin(const std::string& name) = 0;
  // Adds `text` to the system's log of applications (Windows: an event
  // of the source `source` in the Application log); nothing elsewhere.
  virtual void writeSystemLog(const std::string& source,
                              const std::string& text, bool isError) = 0;
  // Makes one pipe the process's standard output and error, and the
  // runtime's, which children started with the standard handles inherit;
  // null, with the streams as they were, when none can be made.
  virtual std::unique_ptr<StreamCapture> captureStdStreams() = 0;
  // Points the process's standard output and error at the null device.
  virtual void releaseStdStreams() = 0;
  // Whether a stop from outside reached this process while it waited for
  // a child: POSIX: SIGTERM or SIGHUP passed on to it, SIGINT left to it;
  // Windows: Ctrl-C on the console it shares with it.
  virtual bool stopSignalled() = 0;
  // Who besides the system's administrators (Windows: Administrators,
  // SYSTEM, TrustedInstaller; POSIX: root) may change `path`, or replace it
  // through a folder above it: a text naming them ("the user alice", "the
  // group staff", "everyone", "BUILTIN\\Users"), or empty when nobody.
  // A path whose rights cannot be read says why, as a text too.
  virtual std::string othersWhoMayChange(const std::string& path) = 0;
  // Whether this process runs with the administrators' rights (Windows: an
  // elevated administrator; POSIX: root).
  virtual bool hasAdministratorRights() = 0;

  // Has `handler` called with the status whenever the process ends through
  // exit() from now on (a VM run in-process ends it so on System.exit),
  // before the process ends with that status; in the handler, exitProcess
  // ends the process at once. The last handler given is the one called.
  // False where the system tells no handler the status (Windows): nothing
  // is registered then.
  virtual bool callOnExit(void (*handler)(int status)) = 0;
  // Ends the process with `code`; exit-time handlers run.
  [[noreturn]] virtual void exitProcess(int code) = 0;
};

constexpr int EEXIST_CODE = 17;

// The platform the launcher runs on. Tests install a FakePlatform.
Platform& platform();
void setPlatform(Platform* platform);

// Ends the process through the platform; the core's one way to exit.
// The hook set last runs first, with the code (a service reports its end).
[[noreturn]] void exitLauncher(int code);
void setBeforeExit(void (*hook)(int code));

}  // namespace tarvik

#endif  // TARVIK_OS_PLATFORM_H
