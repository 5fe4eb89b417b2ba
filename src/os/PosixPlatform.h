// The POSIX (Linux) platform. Only the Linux build compiles this.
#ifndef TARVIK_OS_POSIXPLATFORM_H
#define TARVIK_OS_POSIXPLATFORM_H

#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "os/Platform.h"

namespace tarvik {

class PosixPlatform : public Platform {
 public:
  PosixPlatform();
  const PlatformConventions& conventions() const override {
    return conventions_;
  }
  int messageBox(const std::string& text, const std::string& caption,
                 unsigned style) override;
  void writeStdout(const std::string& text) override;
  void writeStderr(const std::string& text) override;
  void flushStdout() override;
  std::string currentDirectory() override;
  bool changeDirectory(const std::string& path) override;
  int osMajorVersion() override;
  std::optional<std::string> getEnv(const std::string& name) override;
  bool setEnv(const std::string& name, const std::string& value) override;
  uint32_t processId() override;
  using Platform::openRegistryKey;
  std::unique_ptr<RegistryKey> openRegistryKey(
      const RegistryPlace& place, const std::string& path) override;
  uint64_t physicalMemoryBytes() override;
  std::string processorIdentity() override;
  ChildStartResult startChild(const ChildStart& start) override;
  bool openWithAssociatedProgram(const std::string& file) override;
  InstanceClaimResult claimInstance(const std::string& name) override;
  bool bringInstanceForward(const std::string& name) override;
  InstanceFolder instanceFolder(bool create) override;
  InstanceHandOverResult handToInstance(const std::string& endpoint,
                                        const std::string& message,
                                        int timeoutMillis) override;
  bool setAppUserModelId(const std::string&) override { return true; }
  std::string restartLauncher(const std::string& workingDir) override;
  void openConsole() override;
  void freeConsole() override;
  void setConsoleTitle(const std::string& title) override;
  StandardHandles standardHandles() override;
  CreateResult redirectStdStreams(const std::string& path,
                                  FileCreation creation) override;
  std::optional<std::string> tempDirectory() override;
  int makeDirectory(const std::string& path) override;
  int makePrivateDirectory(const std::string& path) override;
  std::string errorText(int errorNumber) override;
  std::vector<std::string> findFiles(const std::string& pattern) override;
  FileRead readRegularFile(const std::string& path, uint64_t maxBytes) override;
  CreatedFile createTextFile(const std::string& path, FileCreation creation,
                             FileContent content = FileContent::Text) override;
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
  std::optional<uint64_t> freeDiskBytes(const std::string& folder) override;
  bool sameFile(const std::string& a, const std::string& b) override;
  std::optional<std::string> findProgram(const std::string& name) override;
  std::optional<std::string> finalPath(const std::string& path) override;
  std::optional<std::vector<std::string>> folderEntries(
      const std::string& folder) override;
  Environment environment() override;
  void replaceEnvironment(const Environment& variables) override;
  Environment serviceEnvironment() override;
  void* loadLibrary(const std::string& path) override;
  void* findSymbol(void* library, const std::string& name) override;
  void* loadLibraryWithDependenciesIn(
      const std::string& path,
      const std::vector<std::string>& dependencyFolders) override;
  std::optional<std::string> toAnsiCodePage(const std::string& text) override;
  std::string fromAnsiCodePage(const std::string& bytes) override;
  std::optional<std::string> shortPathForm(const std::string& path) override;
  std::optional<uint64_t> randomNumber() override;
  int64_t timeSeconds() override;
  bool runOnNewThread(uint64_t stackBytes,
                      const std::function<void()>& body) override;
  bool callOnExit(void (*handler)(int status)) override;
  [[noreturn]] void exitProcess(int code) override;
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
  bool stopSignalled() override;
  std::string othersWhoMayChange(const std::string& path) override;
  bool hasAdministratorRights() override;

 private:
  PlatformConventions conventions_;
  // The locked instance file (singleInstance), close-on-exec except in the
  // Java child, which inherits it; -1 when none is claimed.
  int instanceFd_ = -1;
  // What the process was started with and a VM may have changed: a
  // restarted launcher starts with them again. The file limit is read
  // before the first library is loaded; unknown, nothing changed it.
  sigset_t startSignalMask_;
  struct rlimit startFileLimit_;
  bool fileLimitKnown_ = false;
};

// In a child after fork: SIGPIPE back to its default, which the launcher
// ignores for itself. Async-signal-safe.
void defaultSignalsForChild();

// Platform::readRegularFile, for the backend's own reading too.
FileRead posixReadRegularFile(const std::string& path, uint64_t maxBytes);

// The launcher's arguments as started (never empty: element 0 is the word
// it was started with).
std::vector<std::string> posixLauncherArguments(int argc, char** argv);

// The launcher's own file, however it was started (full path, PATH, or a
// symbolic link), so its configuration is found beside it as on Windows;
// empty when the system does not say.
std::string posixOwnExecutable();

}  // namespace tarvik

#endif  // TARVIK_OS_POSIXPLATFORM_H
