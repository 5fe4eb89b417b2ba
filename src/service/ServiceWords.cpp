#include "service/ServiceWords.h"

#include <memory>
#include <optional>

#include "LaunchSettings.h"
#include "config/ConfigLocation.h"
#include "os/Platform.h"
#include "service/InstallChecks.h"
#include "service/ServiceIdentity.h"
#include "service/ServiceOwner.h"
#include "service/ServiceRun.h"
#include "service/SystemdUnit.h"
#include "support/LauncherFiles.h"
#include "support/LauncherFolder.h"
#include "support/Message.h"

namespace tarvik {

namespace {

constexpr const char SYSTEMCTL[] = "systemctl";
// How long `restart` waits beyond the stop timeout for the old process's
// end before it gives up.
constexpr int64_t RESTART_MARGIN_MILLIS = 30000;
constexpr int64_t RESTART_POLL_MILLIS = 250;
// systemd's own folder of its running state (sd_booted).
constexpr const char SYSTEMD_RUNTIME_FOLDER[] = "/run/systemd/system";

void say(const std::string& text) {
  platform().writeStdout(text + "\n");
  platform().flushStdout();
}

void complain(const std::string& text) { platform().writeStderr(text + "\n"); }

bool systemdUnits() { return !platform().conventions().serviceUnitFolder.empty(); }

// The folder the unit goes to, and whether systemctl is to hear of it.
std::string unitFolder(bool& callSystemctl) {
  const PlatformConventions& conv = platform().conventions();
  const std::optional<std::string> other =
      conv.serviceUnitFolderVariable.empty()
          ? std::nullopt
          : platform().getEnv(conv.serviceUnitFolderVariable);
  callSystemctl = !other || other->empty();
  return callSystemctl ? conv.serviceUnitFolder : *other;
}

std::string unitPath(const std::string& folder, const std::string& name) {
  return folder + platform().conventions().separator + name + ".service";
}

// Runs systemctl with `words`, its output the launcher's; its exit code,
// or -1 when it could not be started.
int systemctl(const std::vector<std::string>& words) {
  Platform& os = platform();
  ChildStart start;
  start.arguments.push_back(SYSTEMCTL);
  start.arguments.insert(start.arguments.end(), words.begin(), words.end());
  start.useStdHandles = true;
  start.stdHandles = os.standardHandles();
  ChildStartResult started = os.startChild(start);
  if (!started.child) {
    complain("systemctl cannot be started: " + started.errorText);
    return -1;
  }
  if (started.child->waitForExit(-1) != WaitResult::Ended) return -1;
  return static_cast<int>(started.child->exitCode());
}

// The code for an answer of the service manager that was not Done, after
// its line.
int failure(const std::string& name, const std::string& doing,
            const ServiceAnswer& answer) {
  switch (answer.outcome) {
    case ServiceOutcome::Done:
      return 0;
    case ServiceOutcome::Denied:
      complain(doing + " the service " + name + " needs an administrator's rights: " +
               (systemdUnits() ? "run it as root."
                               : "run it from a command prompt opened as administrator."));
      return SERVICE_NO_RIGHTS_EXIT_CODE;
    case ServiceOutcome::NotInstalled:
      complain("The service " + name + " is not installed.");
      return SERVICE_NOT_INSTALLED_EXIT_CODE;
    case ServiceOutcome::WrongState:
    case ServiceOutcome::Failed:
      break;
  }
  complain(doing + " the service " + name + " failed: " + answer.errorText);
  return SERVICE_MANAGER_FAILED_EXIT_CODE;
}

// systemctl's exit codes for a request (the LSB's; `status` has its own),
// as the service manager's answers.
struct SystemctlOutcome {
  int code;
  ServiceOutcome outcome;
};
const SystemctlOutcome SYSTEMCTL_OUTCOMES[] = {
    {0, ServiceOutcome::Done},
    {4, ServiceOutcome::Denied},
    {5, ServiceOutcome::NotInstalled},
};

// systemctl's code as the word's, after a line for a failure.
int systemctlResult(int code, const std::string& name, const std::string& doing) {
  ServiceAnswer answer;
  answer.errorText = code < 0 ? std::string("systemctl did not run to its end")
                              : "systemctl ended with " + std::to_string(code);
  for (const SystemctlOutcome& row : SYSTEMCTL_OUTCOMES)
    if (row.code == code) answer.outcome = row.outcome;
  return failure(name, doing, answer);
}

bool needsRights(const std::string& name, const std::string& doing) {
  if (platform().hasAdministratorRights()) return false;
  complain(doing + " the service " + name +
           " needs an administrator's rights (Windows: a command prompt opened "
           "as administrator; Linux: root).");
  return true;
}

// The service reads the launcher's own configuration: its command carries
// no -c. 0 when that is the one this install read; else, after a line, the
// code to end with.
int refuseOtherConfiguration(const std::string& name) {
  LauncherOptions& opts = options();
  if (!opts.customConfigPath) return 0;
  const StartupState& start = startup();
  const std::string given = configPathFor(start.exePath, start.launcherDir);
  const OptionalText kept = opts.customConfigPath;
  opts.customConfigPath.reset();
  const std::string own = configPathFor(start.exePath, start.launcherDir);
  opts.customConfigPath = kept;
  if (platform().sameFile(given, own)) return 0;
  complain("The service " + name + " is not installed: -c names the configuration " + given +
           ", but the service's command carries no -c and reads " + own +
           ". Install without -c in TARVIK_OPTIONS.");
  return SERVICE_REFUSED_EXIT_CODE;
}

// 0 when nothing stands under the service's name, or what stands there is
// tarvikd's; else, after a line, the code to end with. An install with
// --replace takes another's place.
int refuseAnothers(const std::string& name, bool installing) {
  const char* doing = installing ? "Installing" : "Uninstalling";
  Ownership owned;
  if (systemdUnits()) {
    bool callSystemctl = true;
    const std::string path = unitPath(unitFolder(callSystemctl), name);
    owned = unitOwnership(path, installing && callSystemctl);
  } else {
    const ServiceAnswer origin = platform().queryServiceOrigin(name);
    if (origin.outcome == ServiceOutcome::NotInstalled) return 0;
    if (origin.outcome != ServiceOutcome::Done) return failure(name, doing, origin);
    owned = serviceOwnership(name, origin);
  }
  if (owned.owner != Owner::Another || (installing && options().replaceService)) return 0;
  complain(installing ? "The service " + name + " is not installed: " + owned.what +
                            ". \"install --replace\" puts tarvikd's in its place."
                      : "The service " + name + " is not uninstalled: " + owned.what +
                            ", and is left as it is.");
  return SERVICE_REFUSED_EXIT_CODE;
}

int installUnit(const std::string& name) {
  bool callSystemctl = true;
  const std::string folder = unitFolder(callSystemctl);
  std::string problem;
  const std::optional<std::string> text = systemdUnitText(
      settings().service, name, startup().exePath, startup().launcherDir, problem);
  if (!text) {
    complain("The service " + name + " is not installed: " + problem + ".");
    return SERVICE_REFUSED_EXIT_CODE;
  }
  const std::string path = unitPath(folder, name);
  LauncherFile unit = createLauncherFile(LauncherFileKind::ServiceUnit, path);
  if (!unit.file) {
    complain("The unit " + path + " cannot be written.");
    return SERVICE_MANAGER_FAILED_EXIT_CODE;
  }
  unit.file->write(*text);
  if (!unit.file->close()) {
    complain("The unit " + path + " could not be written whole.");
    platform().removeFile(path);
    return SERVICE_MANAGER_FAILED_EXIT_CODE;
  }
  if (!callSystemctl) {
    say("The unit " + path + " is written; systemctl is not called (" +
        platform().conventions().serviceUnitFolderVariable + " names its folder).");
    return 0;
  }
  if (!platform().fileFacts(SYSTEMD_RUNTIME_FOLDER)) {
    say("The unit " + path + " is written; systemd is not running here, so "
        "systemctl is not called.");
    return 0;
  }
  if (int code = systemctl({"daemon-reload"})) return systemctlResult(code, name, "Installing");
  if (settings().service.startType != "manual")
    if (int code = systemctl({"enable", name + ".service"}))
      return systemctlResult(code, name, "Installing");
  say("The service " + name + " is installed: " + path);
  return 0;
}

int stopAndWait(const std::string& name);

int install(const std::string& name) {
  if (needsRights(name, "Installing")) return SERVICE_NO_RIGHTS_EXIT_CODE;
  if (const int refused = refuseOtherConfiguration(name)) return refused;
  bool runtimeFound = false;
  const std::vector<ServiceFile> files = filesTheServiceRuns(runtimeFound);
  if (!runtimeFound) {
    complain("The service " + name + " is not installed: no Java runtime is found for it.");
    return SERVICE_REFUSED_EXIT_CODE;
  }
  const std::vector<std::string> refusals = installRefusals(files);
  if (!refusals.empty()) {
    for (const std::string& refusal : refusals)
      complain("The service " + name + " is not installed: " + refusal +
               ", and the service would run it with its account's rights.");
    complain("Only administrators may be able to change what a service runs.");
    return SERVICE_REFUSED_EXIT_CODE;
  }
  if (const int refused = refuseAnothers(name, true)) return refused;
  if (systemdUnits()) return installUnit(name);
  const std::optional<ServiceDefinition> definition = serviceDefinition(name);
  if (!definition) return SERVICE_REFUSED_EXIT_CODE;
  const ServiceAnswer answer = platform().installService(*definition);
  if (answer.outcome != ServiceOutcome::Done) return failure(name, "Installing", answer);
  say("The service " + name + " is installed, as " + definition->account + ".");
  return 0;
}

int uninstall(const std::string& name) {
  if (needsRights(name, "Uninstalling")) return SERVICE_NO_RIGHTS_EXIT_CODE;
  if (systemdUnits()) {
    bool callSystemctl = true;
    const std::string path = unitPath(unitFolder(callSystemctl), name);
    if (!platform().fileFacts(path)) {
      complain("The service " + name + " is not installed: " + path + " is missing.");
      return SERVICE_NOT_INSTALLED_EXIT_CODE;
    }
    if (const int refused = refuseAnothers(name, false)) return refused;
    const bool running = callSystemctl && platform().fileFacts(SYSTEMD_RUNTIME_FOLDER);
    if (running) systemctl({"disable", "--now", name + ".service"});
    if (!platform().removeFile(path)) {
      complain("The unit " + path + " cannot be removed.");
      return SERVICE_MANAGER_FAILED_EXIT_CODE;
    }
    if (running) systemctl({"daemon-reload"});
    say("The service " + name + " is uninstalled.");
    return 0;
  }
  if (const int refused = refuseAnothers(name, false)) return refused;
  // A service marked for deletion would run on, and restart, until it
  // stops: it is stopped first.
  if (const int failed = stopAndWait(name)) return failed;
  const ServiceAnswer answer = platform().uninstallService(name);
  if (answer.outcome != ServiceOutcome::Done) return failure(name, "Uninstalling", answer);
  say("The service " + name + " is uninstalled.");
  return 0;
}

int start(const std::string& name) {
  if (systemdUnits())
    return systemctlResult(systemctl({"start", name + ".service"}), name, "Starting");
  const ServiceAnswer answer = platform().startService(name);
  if (answer.outcome == ServiceOutcome::WrongState) {
    say("The service " + name + " runs already.");
    return 0;
  }
  if (answer.outcome != ServiceOutcome::Done) return failure(name, "Starting", answer);
  say("The service " + name + " is starting.");
  return 0;
}

int stop(const std::string& name) {
  if (systemdUnits())
    return systemctlResult(systemctl({"stop", name + ".service"}), name, "Stopping");
  const ServiceAnswer answer = platform().stopService(name);
  if (answer.outcome == ServiceOutcome::WrongState) {
    say("The service " + name + " is not running.");
    return 0;
  }
  if (answer.outcome != ServiceOutcome::Done) return failure(name, "Stopping", answer);
  say("The service " + name + " is stopping.");
  return 0;
}

// Stops the service, unless it is stopped, and waits for its end: 0, or
// the code to end with after a line.
int stopAndWait(const std::string& name) {
  Platform& os = platform();
  const ServiceAnswer stopped = os.stopService(name);
  if (stopped.outcome != ServiceOutcome::Done &&
      stopped.outcome != ServiceOutcome::WrongState)
    return failure(name, "Stopping", stopped);
  const int64_t bound =
      static_cast<int64_t>(settings().service.stopTimeoutSeconds) * 1000 +
      RESTART_MARGIN_MILLIS;
  for (int64_t waited = 0;; waited += RESTART_POLL_MILLIS) {
    const ServiceAnswer query = os.queryService(name);
    if (query.outcome != ServiceOutcome::Done) return failure(name, "Querying", query);
    if (query.status.state == ServiceState::Stopped) break;
    if (waited >= bound) {
      complain("The service " + name + " did not stop within " +
               std::to_string(bound / 1000) + " seconds.");
      return SERVICE_MANAGER_FAILED_EXIT_CODE;
    }
    os.sleepMillis(RESTART_POLL_MILLIS);
  }
  return 0;
}

// A new process only once the old one has ended: the stop is waited for.
int restart(const std::string& name) {
  if (systemdUnits())
    return systemctlResult(systemctl({"restart", name + ".service"}), name, "Restarting");
  if (const int failed = stopAndWait(name)) return failed;
  return start(name);
}

// (An array, not a pointer: a table of pointers is relocated at every
// start.)
struct StateName {
  ServiceState state;
  char name[12];
};
const StateName STATE_NAMES[] = {
    {ServiceState::Stopped, "stopped"},
    {ServiceState::StartPending, "starting"},
    {ServiceState::StopPending, "stopping"},
    {ServiceState::Running, "running"},
    {ServiceState::ContinuePending, "continuing"},
    {ServiceState::PausePending, "pausing"},
    {ServiceState::Paused, "paused"},
};

// ERROR_SERVICE_SPECIFIC_ERROR: the code is the application's.
constexpr uint32_t SERVICE_SPECIFIC_ERROR = 1066;

int status(const std::string& name) {
  if (systemdUnits()) {
    const int code = systemctl({"--no-pager", "status", name + ".service"});
    // systemctl status: 0 running, 3 not running, 4 no such unit.
    if (code == 0) return 0;
    if (code == 4) return SERVICE_NOT_INSTALLED_EXIT_CODE;
    if (code == 3) return SERVICE_NOT_RUNNING_EXIT_CODE;
    return systemctlResult(code, name, "Querying");
  }
  const ServiceAnswer answer = platform().queryService(name);
  if (answer.outcome != ServiceOutcome::Done) return failure(name, "Querying", answer);
  const ServiceStatus& st = answer.status;
  std::string text = name + ": unknown";
  for (const StateName& row : STATE_NAMES)
    if (row.state == st.state) text = name + ": " + row.name;
  if (st.state == ServiceState::Running)
    text += " (process " + std::to_string(st.processId) + ")";
  if (st.state == ServiceState::Stopped && st.win32ExitCode == SERVICE_SPECIFIC_ERROR)
    text += " (the application's exit code " + std::to_string(st.serviceExitCode) + ")";
  else if (st.state == ServiceState::Stopped && st.win32ExitCode != 0)
    text += " (exit code " + std::to_string(st.win32ExitCode) + ")";
  say(text);
  return st.state == ServiceState::Running ? 0 : SERVICE_NOT_RUNNING_EXIT_CODE;
}

int run(const std::string&) { return serveInForeground(); }

struct ServiceWordRow {
  std::string_view word;
  int (*act)(const std::string& name);
  const char* help;
  // The one further word it may take.
  std::string_view option = {};
};

const ServiceWordRow WORDS[] = {
    {"install", install,
     "makes the service from the configuration (or changes it; --replace: one "
     "tarvikd did not make)",
     "--replace"},
    {"uninstall", uninstall, "stops and removes the service"},
    {"start", start, "starts the service"},
    {"stop", stop, "stops the service gracefully"},
    {"restart", restart, "stops the service, waits for its end, and starts it"},
    {"status", status, "says whether the service runs"},
    {"run", run, "runs the application in the foreground; Ctrl-C stops it"},
};

}  // namespace

std::vector<std::string_view> serviceWordNames() {
  std::vector<std::string_view> names;
  for (const ServiceWordRow& row : WORDS) names.push_back(row.word);
  return names;
}

std::string serviceUsage(const std::string& launcher) {
  std::string text = "Usage: " + launcher + " <command>";
  for (const ServiceWordRow& row : WORDS)
    text += "\n  " + std::string(row.word) + "\t" + row.help;
  return text;
}

bool serviceWordTakes(const std::string& word, const std::vector<std::string>& further) {
  for (const ServiceWordRow& row : WORDS) {
    if (row.word != word) continue;
    // run's further words are the application's.
    return row.act == run || further.empty() ||
           (further.size() == 1 && !row.option.empty() && further[0] == row.option);
  }
  return false;
}

int runServiceWord(const std::string& word, const std::vector<std::string>& further) {
  const std::optional<std::string> name = serviceName();
  if (!name) return SERVICE_USAGE_EXIT_CODE;
  for (const ServiceWordRow& row : WORDS) {
    if (row.word != word) continue;
    options().replaceService = !row.option.empty() && further.size() == 1;
    return row.act(*name);
  }
  return SERVICE_USAGE_EXIT_CODE;
}

}  // namespace tarvik
