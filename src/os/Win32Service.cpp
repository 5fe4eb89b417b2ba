#ifndef _WIN32
#error "Win32Service.cpp is for Windows builds only"
#endif

#include "os/Win32Service.h"

#include <windows.h>

namespace tarvik {

namespace {
ServiceAnswer notYet() {
  ServiceAnswer answer;
  answer.errorText = "not available";
  return answer;
}
}  // namespace

bool runWin32Service(const std::function<int(ServiceSession&)>&) { return false; }
ServiceAnswer installWin32Service(const ServiceDefinition&) { return notYet(); }
ServiceAnswer uninstallWin32Service(const std::string&) { return notYet(); }
ServiceAnswer startWin32Service(const std::string&) { return notYet(); }
ServiceAnswer stopWin32Service(const std::string&) { return notYet(); }
ServiceAnswer queryWin32Service(const std::string&) { return notYet(); }
void writeWin32EventLog(const std::string&, const std::string&, bool) {}
std::unique_ptr<StreamCapture> captureWin32StdStreams() { return nullptr; }
void releaseWin32StdStreams() {}
std::string win32OthersWhoMayChange(const std::string&) { return "not known"; }
bool win32HasAdministratorRights() { return false; }

}  // namespace tarvik
