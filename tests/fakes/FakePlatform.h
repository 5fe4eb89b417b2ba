// An in-memory platform for tests: scripted registry, environment, files,
// children and clock; it records every message box, every line written and
// every child started, and turns process end into a ProcessExit exception.
#ifndef TARVIK_TESTS_FAKEPLATFORM_H
#define TARVIK_TESTS_FAKEPLATFORM_H

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "os/Platform.h"

namespace tarvik {

// Thrown by FakePlatform::exitProcess so a test can catch the end.
struct ProcessExit {
  int code;
};

struct RecordedBox {
  std::string caption;
  std::string text;
  unsigned style;
  bool operator==(const RecordedBox& other) const {
    return caption == other.caption && text == other.text &&
           style == other.style;
  }
};

// How a scripted child behaves once started.
struct FakeChildScript {
  uint32_t exitCode = 0;
  // How long it runs, in seconds of the fake clock.
  int64_t runSeconds = 0;
  // When set, the start fails with this error text.
  std::string startError;
  // Runs until the test ends: the wait never sees it end.
  bool runsForever = false;
  // Every wait for its end fails.
  bool waitFails = false;
  // What happens elsewhere while it runs, done as it ends.
  std::function<void()> whileRunning;

  // Files it writes as it starts: path to content.
  std::map<std::string, std::string> writes;
  // An interrupt ends it after this many seconds (negative: it ignores
  // interrupts), with `interruptedExitCode`.
  int64_t secondsAfterInterrupt = 0;
  uint32_t interruptedExitCode = 130;
};

struct FakeRegistryKey {
  std::map<std::string, std::string> values;
  std::vector<std::string> subkeys;  // in enumeration order
  bool failCount = false;
  std::set<uint32_t> failEnumAt;
};

class FakePlatform : public Platform {
 public:
  FakePlatform();

  // --- scripting ---
  PlatformConventions conv;
  std::deque<int> answers;  // for Yes/No boxes; No when empty
  std::string cwd = "C:\\Work";
  int osMajor = 10;
  std::map<std::string, std::string> env;
  uint32_t pid = 4242;
  // Registry: key path (below HKEY_LOCAL_MACHINE) to key, as a 64-bit
  // process sees it in its default and its 64-bit view.
  std::map<std::string, FakeRegistryKey> registry;
  // HKEY_CURRENT_USER, and the 32-bit views of both roots.
  std::map<std::string, FakeRegistryKey> userRegistry;
  std::map<std::string, FakeRegistryKey> registry32;
  std::map<std::string, FakeRegistryKey> userRegistry32;
  uint64_t memoryBytes = 16303ull << 20;
  // processorIdentity().
  std::string processor = "GenuineIntel 000906ea 7ffafbff bfebfbff 029c6fbf 00000000 bc000400";
  std::deque<FakeChildScript> children;
  CreateResult redirectResult = CreateResult::Done;
  // Standard output and error: 1 and 2 at start, 10 and 11 after a
  // redirection, 20 and 21 after a console was opened.
  StandardHandles handles{1, 2};
  std::optional<std::string> tempDir = std::string("C:\\Temp\\");
  std::set<std::string> directories;
  std::map<std::string, int> mkdirErrors;  // path -> error number
  std::map<std::string, std::vector<std::string>> findResults;
  std::map<std::string, std::string> files;  // bytes as on disk
  std::set<std::string> unwritable;
  std::set<std::string> failingWrites;  // opened, but every write fails
  // Files another process holds open without sharing their deletion (a
  // viewer on Windows): neither renamed nor removed.
  std::set<std::string> heldOpen;
  // The bytes all files together may hold (a full disk beyond); -1: any.
  int64_t diskBytes = -1;
  // Names that exist without being files the launcher may write (links
  // planted by another user): a new private file never takes them, and a
  // file to be replaced is refused on them.
  std::set<std::string> planted;
  // Files that have other names too (hard links), and names that are no
  // regular file (FIFOs, devices): written or read, they are refused.
  std::set<std::string> hardLinked;
  std::set<std::string> notRegular;
  // Every file read whole (readRegularFile), in order, as asked for.
  std::vector<std::string> readWhole;
  // What the system's random source gives, in order; a fixed sequence
  // when empty, none after `randomFails`.
  std::deque<uint64_t> randomNumbers;
  bool randomFails = false;
  // Files' modification times (the clock's when not given) and folders in
  // which no file can be made.
  std::map<std::string, int64_t> fileTimes;
  std::set<std::string> readOnlyFolders;
  // Who may change a path: by default the user alone owns every file and
  // folder, none is a link.
  std::set<std::string> foreignOwned;
  std::set<std::string> othersMayWrite;
  std::set<std::string> links;
  // Where a link leads (finalPath); a path not named here leads to itself
  // when it is a file or folder. A link is a name of its folder, listed
  // even when it leads nowhere.
  std::map<std::string, std::string> linkTargets;
  // Programs a bare name finds (findProgram): name to full path.
  std::map<std::string, std::string> programsFound;
  // Folders that cannot be listed.
  std::set<std::string> unlistable;
  // The environment the service manager gives a service.
  Environment serviceEnv;
  // Symbolic links made: path to target; programs: files created to run.
  std::map<std::string, std::string> symbolicLinks;
  std::set<std::string> programs;
  uint64_t freeBytes = 100ull << 30;
  // Libraries: path to exported symbols.
  std::map<std::string, std::map<std::string, void*>> libraries;
  int64_t clock = 1000000;
  bool threadFails = false;  // no new thread can be made
  // The ANSI code page is Latin-1 here: a byte is the character of its
  // value, and only characters up to U+00FF fit.
  // Short forms of paths, as the file system would give them.
  std::map<std::string, std::string> shortPaths;
  // Instance names another process holds; a claim fails with this text
  // when it is set.
  std::set<std::string> runningInstances;
  std::string instanceClaimError;
  // How long ago a running instance was claimed (-1: not told), and after
  // how many milliseconds slept from then on its endpoints listen (-1:
  // never).
  int64_t instanceHeldMillis = -1;
  int64_t listensAfterMillis = -1;
  // The system has no local sockets: nobody ever listens.
  bool noLocalSockets = false;
  // After how many milliseconds slept the instance folder is there,
  // made by a first launch (-1: only as instanceFolderMade says).
  int64_t instanceFolderMadeAfterMillis = -1;
  // Whether a running instance shows a window to bring forward.
  bool instanceHasWindow = true;
  // The folder instanceFolder gives once made, or its refusal when set.
  std::string instanceFolderPath = "C:\\Users\\me\\AppData\\Local\\Tarvik\\instances";
  bool instanceFolderMade = false;
  std::string instanceFolderError;
  // Endpoints where an instance takes messages, a hand-over's failure when
  // set, and each message handed (endpoint, bytes).
  std::set<std::string> listeningEndpoints;
  std::string handOverError;
  std::vector<std::pair<std::string, std::string>> handedOver;
  // restartLauncher ends the process with this code, or fails with this
  // text when it is set.
  int restartExitCode = 0;
  std::string restartError;
  // Whether the system tells the process's exit handlers the status (as
  // Linux does), and the handler registered.
  bool exitStatusTold = false;
  void (*exitHandler)(int status) = nullptr;

  // Services: who else may change each path (othersWhoMayChange), the
  // rights of the process, whether the service manager started it, and
  // at which second of the fake clock the manager asks it to stop
  // (negative: never).
  std::map<std::string, std::string> othersMayChange;
  bool administrator = true;
  bool startedAsService = false;
  int64_t stopRequestAt = -1;
  // A stop from outside (SIGTERM, Ctrl-C) reached the launcher.
  bool stopSignal = false;
  ServiceOutcome serviceOutcome = ServiceOutcome::Done;
  ServiceStatus serviceStatus;
  // The services there are: their commandLine and madeBy, which
  // queryServiceOrigin answers; install adds its own.
  std::map<std::string, ServiceAnswer> serviceOrigins;
  // What the captured streams read, chunk by chunk, after what the
  // launcher wrote itself.
  std::vector<std::string> capturedChunks;

  // --- records ---
  // Service manager calls ("install <name>", "start <name>", ...), the
  // definitions installed, each report a running service made, and the
  // system log's entries.
  std::vector<std::string> serviceCalls;
  std::vector<ServiceDefinition> installedServices;
  struct ServiceReport {
    ServiceState state;
    uint32_t exitCode;
    uint32_t waitHintMillis;
  };
  std::vector<ServiceReport> serviceReports;
  std::vector<std::string> systemLog;
  std::vector<int64_t> sleeps;
  // Interrupts and terminations sent to children, in order.
  std::vector<std::string> childSignals;
  bool streamsCaptured = false;
  bool streamsReleased = false;
  std::vector<RecordedBox> boxes;
  std::string out;
  std::string err;
  std::vector<ChildStart> started;
  std::vector<std::string> opened;    // files opened with their program
  std::vector<std::string> claims;     // names claimed, in order
  std::vector<std::string> broughtForward;
  // Each restart of the launcher: its working directory and the
  // environment the new launcher would get.
  struct Restart {
    std::string workingDir;
    std::map<std::string, std::string> env;
  };
  std::vector<Restart> restarts;
  std::vector<std::string> events;    // console and other calls, in order
  std::vector<std::string> chdirs;
  std::vector<std::string> removed;
  // Folders made as the user's alone.
  std::set<std::string> privateDirectories;
  // Files created as new private files.
  std::vector<std::string> privateFiles;
  int randomCalls = 0;
  // Each library loaded with the folders for its dependencies.
  std::vector<std::vector<std::string>> libraryFolders;
  // Every registry open: "HKLM default <path>", "HKCU <path>" (64-bit),
  // "HKLM 32-bit <path>".
  std::vector<std::string> registryOpens;
  std::vector<uint32_t> idleWaits;
  std::vector<int64_t> exitWaits;
  // The stack size of each thread asked for.
  std::vector<uint64_t> threadStacks;

  // --- Platform ---
  const PlatformConventions& conventions() const override { return conv; }
  int messageBox(const std::string& text, const std::string& caption,
                 unsigned style) override;
  void writeStdout(const std::string& text) override { out += text; }
  void writeStderr(const std::string& text) override { err += text; }
  void flushStdout() override {}
  std::string currentDirectory() override { return cwd; }
  bool changeDirectory(const std::string& path) override;
  int osMajorVersion() override { return osMajor; }
  std::optional<std::string> getEnv(const std::string& name) override;
  bool setEnv(const std::string& name, const std::string& value) override;
  uint32_t processId() override { return pid; }
  using Platform::openRegistryKey;
  std::unique_ptr<RegistryKey> openRegistryKey(
      const RegistryPlace& place, const std::string& path) override;
  uint64_t physicalMemoryBytes() override { return memoryBytes; }
  std::string processorIdentity() override { return processor; }
  ChildStartResult startChild(const ChildStart& start) override;
  bool openWithAssociatedProgram(const std::string& file) override;
  InstanceClaimResult claimInstance(const std::string& name) override;
  bool bringInstanceForward(const std::string& name) override;
  InstanceFolder instanceFolder(bool create) override;
  InstanceHandOverResult handToInstance(const std::string& endpoint,
                                        const std::string& message,
                                        int timeoutMillis) override;
  // Recorded in `events` as "appUserModelId <ID>".
  bool setAppUserModelId(const std::string& id) override {
    events.push_back("appUserModelId " + id);
    return true;
  }
  std::string restartLauncher(const std::string& workingDir) override;
  // A console, like a log file, brings standard handles of its own.
  void openConsole() override {
    events.push_back("openConsole");
    handles = {20, 21};
  }
  void freeConsole() override { events.push_back("freeConsole"); }
  void setConsoleTitle(const std::string& title) override {
    events.push_back("title " + title);
  }
  StandardHandles standardHandles() override { return handles; }
  CreateResult redirectStdStreams(const std::string& path,
                                  FileCreation creation) override;
  std::optional<std::string> tempDirectory() override { return tempDir; }
  int makeDirectory(const std::string& path) override;
  int makePrivateDirectory(const std::string& path) override;
  std::string errorText(int errorNumber) override;
  std::vector<std::string> findFiles(const std::string& pattern) override;
  FileRead readRegularFile(const std::string& path, uint64_t maxBytes) override;
  CreatedFile createTextFile(const std::string& path, FileCreation creation,
                             FileContent content) override;
  // The bytes of a file as on disk, or nothing.
  std::optional<std::string> readFile(const std::string& path) const;
  bool removeFile(const std::string& path) override;
  bool removeDirectory(const std::string& path) override;
  bool setModifiedTime(const std::string& path, int64_t seconds) override;
  bool makeSymbolicLink(const std::string& target, const std::string& path) override;
  std::optional<FileFacts> fileFacts(const std::string& path) override;
  std::optional<FileOwnership> fileOwnership(const std::string& path) override;
  std::optional<std::string> readFileStart(const std::string& path,
                                           size_t count) override;
  bool createNewFile(const std::string& path) override;
  bool renameFile(const std::string& from, const std::string& to) override;
  std::optional<uint64_t> freeDiskBytes(const std::string&) override {
    return freeBytes;
  }
  bool sameFile(const std::string& a, const std::string& b) override;
  std::optional<std::string> findProgram(const std::string& name) override;
  std::optional<std::string> finalPath(const std::string& path) override;
  std::optional<std::vector<std::string>> folderEntries(
      const std::string& folder) override;
  Environment environment() override;
  void replaceEnvironment(const Environment& variables) override;
  Environment serviceEnvironment() override { return serviceEnv; }
  void* loadLibrary(const std::string& path) override;
  void* findSymbol(void* library, const std::string& name) override;
  void* loadLibraryWithDependenciesIn(
      const std::string& path,
      const std::vector<std::string>& dependencyFolders) override;
  std::optional<std::string> toAnsiCodePage(const std::string& text) override;
  std::string fromAnsiCodePage(const std::string& bytes) override;
  std::optional<std::string> shortPathForm(const std::string& path) override;
  std::optional<uint64_t> randomNumber() override;
  int64_t timeSeconds() override { return clock; }
  // Runs the body on the calling thread, so that a test sees its effects.
  bool runOnNewThread(uint64_t stackBytes,
                      const std::function<void()>& body) override {
    threadStacks.push_back(stackBytes);
    if (threadFails) return false;
    body();
    return true;
  }
  void sleepMillis(int64_t millis) override;
  bool runAsService(const std::function<int(ServiceSession&)>& body) override;
  ServiceAnswer installService(const ServiceDefinition& definition) override;
  ServiceAnswer uninstallService(const std::string& name) override;
  ServiceAnswer startService(const std::string& name) override;
  ServiceAnswer stopService(const std::string& name) override;
  ServiceAnswer queryService(const std::string& name) override;
  ServiceAnswer queryServiceOrigin(const std::string& name) override;
  void writeSystemLog(const std::string& source, const std::string& text,
                      bool isError) override;
  std::unique_ptr<StreamCapture> captureStdStreams() override;
  void releaseStdStreams() override;
  bool stopSignalled() override { return stopSignal; }
  std::string othersWhoMayChange(const std::string& path) override;
  bool hasAdministratorRights() override;
  bool callOnExit(void (*handler)(int status)) override {
    if (exitStatusTold) exitHandler = handler;
    return exitStatusTold;
  }
  [[noreturn]] void exitProcess(int code) override;

  // A file as relative paths resolve: against the current directory.
  std::string resolve(const std::string& path) const;

 private:
  // Why `path` cannot be created as `creation` says, or Done.
  CreateResult creationRefusal(const std::string& full,
                               FileCreation creation) const;
};

}  // namespace tarvik

#endif  // TARVIK_TESTS_FAKEPLATFORM_H
