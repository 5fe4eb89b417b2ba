// The Linux process entry of the service launcher, `tarvikd`: its words
// manage the application's systemd unit, whose command is its `run`.
#ifdef _WIN32
#error "main_service_posix.cpp is for POSIX builds only"
#endif

#include <string>
#include <vector>

#include "LaunchSettings.h"
#include "Tarvik.h"
#include "os/PosixPlatform.h"

int main(int argc, char** argv) {
  // Never destroyed: the process ends with it, and its end has no work to
  // do for it.
  tarvik::setPlatform(new tarvik::PosixPlatform);
  tarvik::options().kind = tarvik::LauncherKind::Console;
  tarvik::options().serviceLauncher = true;
  return tarvik::runLauncher(tarvik::posixLauncherArguments(argc, argv),
                             tarvik::posixOwnExecutable());
}
