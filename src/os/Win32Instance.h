// One instance of an application per name and user session (Windows).
#ifndef TARVIK_OS_WIN32INSTANCE_H
#define TARVIK_OS_WIN32INSTANCE_H

#include <cstdint>
#include <memory>
#include <string>

#include "os/Platform.h"

namespace tarvik {

// A claim held through a named mutex (`Local\`), whose name lives as long
// as any process keeps a handle to it, and a small shared record of the
// process whose windows are the application's.
class Win32Instance {
 public:
  // Claims `name`; on success `held` keeps the claim for this process.
  static InstanceClaimResult claim(const std::string& name,
                                   std::unique_ptr<Win32Instance>& held);
  ~Win32Instance();
  Win32Instance(const Win32Instance&) = delete;
  Win32Instance& operator=(const Win32Instance&) = delete;

  // Gives a started child (its process handle and id) handles of its own to
  // the claim, so that the claim outlives the launcher while the child
  // runs, and records it as the process whose window to bring forward.
  void shareWith(void* process, uint32_t processId);

 private:
  Win32Instance(void* mutex, void* record, void* view);
  void recordProcess(uint32_t processId);
  void* mutex_;
  void* record_;
  void* view_;
};

bool bringWin32InstanceForward(const std::string& name);
// Platform::instanceFolder without the check of its owner.
InstanceFolder win32InstanceFolder(bool create);
InstanceHandOverResult handToWin32Instance(const std::string& endpoint,
                                           const std::string& message,
                                           int timeoutMillis);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32INSTANCE_H
