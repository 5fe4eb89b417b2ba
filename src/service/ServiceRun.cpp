#include "service/ServiceRun.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "LaunchSettings.h"
#include "Version.h"
#include "launch/ChildLauncher.h"
#include "launch/EmbeddedVmLauncher.h"
#include "service/RestartBudget.h"
#include "service/RollingLog.h"
#include "service/ServiceIdentity.h"
#include "service/ServiceLog.h"
#include "support/LauncherFolder.h"
#include "support/Message.h"

namespace tarvik {

namespace {

constexpr uint32_t POLL_MILLIS = 1000;
// The wait hint a pending state gives beyond its own time.
constexpr uint32_t HINT_MARGIN_MILLIS = 5000;
// How long an ended job is waited for.
constexpr int64_t TERMINATED_WAIT_MILLIS = 5000;
constexpr const char DEFAULT_LOG_FOLDER[] = "logs";
// Set by systemd for every process of a unit it starts.
constexpr const char SYSTEMD_INVOCATION_VARIABLE[] = "INVOCATION_ID";
// The codes a Java ends with when an interrupt or SIGTERM ended it (Ctrl-C
// and a termination on both systems): a stop from outside, no failure.
const uint32_t STOPPED_FROM_OUTSIDE[] = {130, 143};

ServiceSession* gSession = nullptr;
std::atomic<bool> gStopAsked{false};

uint32_t stopTimeoutMillis() {
  return static_cast<uint32_t>(settings().service.stopTimeoutSeconds) * 1000u;
}

void reportStopPending() {
  if (gSession)
    gSession->report(ServiceState::StopPending, 0,
                     stopTimeoutMillis() + HINT_MARGIN_MILLIS);
}

bool stopRequested() {
  if (gStopAsked) return true;
  if (gSession && gSession->waitForStopRequest(0)) gStopAsked = true;
  return gStopAsked;
}

// Ctrl-C to the child's console, the stop timeout with a checkpoint each
// second, and then the end of its job.
WaitResult stopChild(ChildProcess& child) {
  Platform& os = platform();
  reportStopPending();
  os.writeStderr("Stopping: the application is sent Ctrl-C.\n");
  if (!child.interrupt())
    os.writeStderr("Stopping: Ctrl-C could not be sent to the application.\n");
  const int32_t seconds = settings().service.stopTimeoutSeconds;
  for (int32_t waited = 0; waited < seconds; ++waited) {
    const WaitResult result = child.waitForExit(POLL_MILLIS);
    if (result != WaitResult::Running) return result;
    reportStopPending();
  }
  os.writeStderr("Stopping: the application did not end within " +
                 std::to_string(seconds) + " seconds; it is ended.\n");
  child.terminate();
  return child.waitForExit(TERMINATED_WAIT_MILLIS);
}

WaitResult serviceWait(ChildProcess& child) {
  for (;;) {
    const WaitResult result = child.waitForExit(POLL_MILLIS);
    if (result != WaitResult::Running) return result;
    if (stopRequested()) return stopChild(child);
  }
}

// In-process, a watcher stops the VM when the manager asks: the stop
// method, or System.exit(0), on a thread of its own (the exit does not
// come back); when the VM has not ended within the timeout, the process
// ends.
void watchForStop(const std::atomic<bool>* vmEnded) {
  while (!*vmEnded) {
    if (!gSession->waitForStopRequest(POLL_MILLIS)) continue;
    gStopAsked = true;
    reportStopPending();
    Platform& os = platform();
    const OptionalText method = settings().service.stopMethod;
    os.writeStderr(method ? "Stopping: " + *method + " is called.\n"
                          : std::string("Stopping: the VM is ended as System.exit(0) ends it.\n"));
    std::thread([method] {
      if (!askVmToStop(method))
        platform().writeStderr("Stopping: the VM could not be asked to stop.\n");
    }).detach();
    const int32_t seconds = settings().service.stopTimeoutSeconds;
    for (int32_t waited = 0; waited < seconds && !*vmEnded; ++waited) {
      os.sleepMillis(POLL_MILLIS);
      reportStopPending();
    }
    if (*vmEnded) return;
    os.writeStderr("Stopping: the VM did not end within " + std::to_string(seconds) +
                   " seconds; the service ends.\n");
    exitLauncher(0);
  }
}

int launchOnce() {
  if (!gSession || !settings().inProcess()) return launchJava();
  std::atomic<bool> vmEnded{false};
  std::thread watcher(watchForStop, &vmEnded);
  const int result = launchJava();
  vmEnded = true;
  watcher.join();
  return result;
}

bool endedFromOutside(int result) {
  const uint32_t code = static_cast<uint32_t>(result);
  const std::vector<uint32_t>& interrupted = platform().conventions().interruptedExitCodes;
  return std::find(interrupted.begin(), interrupted.end(), code) != interrupted.end() ||
         std::find(std::begin(STOPPED_FROM_OUTSIDE), std::end(STOPPED_FROM_OUTSIDE),
                   code) != std::end(STOPPED_FROM_OUTSIDE);
}

// The launches until the application is done: the code the service ends
// with.
// The service's wait, in place while the service runs.
struct ServiceWaitInPlace {
  ServiceWaitInPlace() { setChildWait(serviceWait); }
  ~ServiceWaitInPlace() { setChildWait(nullptr); }
  ServiceWaitInPlace(const ServiceWaitInPlace&) = delete;
  ServiceWaitInPlace& operator=(const ServiceWaitInPlace&) = delete;
};

int serve() {
  Platform& os = platform();
  const ServiceSettings& service = settings().service;
  RestartBudget budget(service.restartDelaySeconds, service.restartLimit);
  const ServiceWaitInPlace waitInPlace;
  for (;;) {
    const int64_t started = os.timeSeconds();
    const int result = launchOnce();
    if (stopRequested()) return 0;
    // A SIGTERM or Ctrl-C that reached the launcher stopped it, whatever
    // code the application then ended with.
    if (os.stopSignalled()) return result;
    if (result == RELAUNCH_EXIT_CODE) continue;
    if (result == 0) return 0;
    // Without a service manager, a Ctrl-C or SIGTERM stopped it.
    if (!gSession && endedFromOutside(result)) return result;
    // A VM once made in this process cannot be made again: a retry here
    // would only fail to make it. The service manager's restarts start a
    // new process.
    if (settings().inProcess() && budget.delaySeconds() >= 0) {
      os.writeStderr("The application ended with code " + std::to_string(result) +
                     "; in-process, its VM cannot be made again in this process, so it "
                     "is not started again.\n");
      return result;
    }
    if (!budget.allowsRestart(os.timeSeconds() - started)) {
      if (budget.delaySeconds() >= 0)
        os.writeStderr("The application ended with code " + std::to_string(result) +
                       " after " + std::to_string(budget.limit()) +
                       " restarts in a row; it is not started again.\n");
      return result;
    }
    os.writeStderr("The application ended with code " + std::to_string(result) +
                   "; it starts again in " + std::to_string(budget.delaySeconds()) +
                   " seconds (restart " + std::to_string(budget.restartsInARow()) +
                   " of " + std::to_string(budget.limit()) + ").\n");
    const int64_t delay = static_cast<int64_t>(budget.delaySeconds()) * 1000;
    if (gSession) {
      if (gSession->waitForStopRequest(delay)) return 0;
    } else {
      os.sleepMillis(delay);
      if (os.stopSignalled()) return result;
    }
  }
}

std::string logFolder() {
  const OptionalText& folder = settings().service.logFolder;
  return inLauncherFolder(folder ? *folder : std::string(DEFAULT_LOG_FOLDER));
}

// Whether the log was tried: a refusal to make it ends the launcher from
// within the try, and the end must not try again.
bool gLogTried = false;

bool openLog() {
  gLogTried = true;
  const std::optional<std::string> name = serviceName();
  const ServiceSettings& service = settings().service;
  return openServiceLog(logFolder(), name.value_or("service"), service.logSizeBytes,
                        service.logFiles);
}

// Whether the log can be made in its folder, tried before the output is
// taken, while what says it cannot still reaches someone.
bool logCanBeMade() {
  const ServiceSettings& service = settings().service;
  RollingLog log(logFolder(), serviceName().value_or("service"), service.logSizeBytes,
                 service.logFiles);
  const bool made = log.open();
  log.close();
  return made;
}

// Every end of the service, an exit from deep in a launch too: the log
// is written out, and the manager told.
void endTheService(int code) {
  if (!gLogTried) openLog();
  endServiceLog();
  if (gSession)
    gSession->report(ServiceState::Stopped, static_cast<uint32_t>(code), 0);
}

}  // namespace

int serveAsService(ServiceSession& session,
                   const std::function<int()>& readConfiguration) {
  gSession = &session;
  gStopAsked = false;
  gLogTried = false;
  LauncherOptions& opts = options();
  opts.runsAsService = true;
  session.report(ServiceState::StartPending, 0, 30000);
  captureServiceOutput();
  setBeforeExit(endTheService);
  // A configuration that cannot be read leaves its lines in the log of
  // the default folder.
  int code = readConfiguration();
  if (code == 0) {
    if (const std::optional<std::string> name = serviceName())
      opts.systemLogSource = *name;
    if (!openLog())
      platform().writeSystemLog(opts.systemLogSource,
                                "The log cannot be made in " + logFolder() + ".", true);
    session.report(ServiceState::Running, 0, 0);
    code = serve();
  } else {
    openLog();
  }
  setBeforeExit(nullptr);
  endServiceLog();
  // The session ends with this call: the platform reports the end.
  gSession = nullptr;
  return code;
}

int serveInForeground() {
  Platform& os = platform();
  gSession = nullptr;
  gStopAsked = false;
  gLogTried = false;
  // systemd keeps a unit's output in its journal; with a log folder of its
  // own the service writes there, when the log can be made there (the
  // service's user may not write the folder): else the journal keeps it.
  const bool ownLog = os.getEnv(SYSTEMD_INVOCATION_VARIABLE) && settings().service.logFolder;
  if (ownLog && !logCanBeMade()) {
    os.writeStderr("The log cannot be made in " + logFolder() +
                   "; the output stays in the journal.\n");
  } else if (ownLog && captureServiceOutput()) {
    setBeforeExit(endTheService);
    openLog();
    const int code = serve();
    setBeforeExit(nullptr);
    endServiceLog();
    return code;
  }
  return serve();
}

}  // namespace tarvik
