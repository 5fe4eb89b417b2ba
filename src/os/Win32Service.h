// Windows services: the service control manager's requests, the dispatcher
// a service runs under, the Application event log, the capture of the
// standard streams, and who may change a file.
#ifndef TARVIK_OS_WIN32SERVICE_H
#define TARVIK_OS_WIN32SERVICE_H

#include <functional>
#include <memory>
#include <string>

#include "os/Platform.h"

namespace tarvik {

bool runWin32Service(const std::function<int(ServiceSession&)>& body);
ServiceAnswer installWin32Service(const ServiceDefinition& definition);
ServiceAnswer uninstallWin32Service(const std::string& name);
ServiceAnswer startWin32Service(const std::string& name);
ServiceAnswer stopWin32Service(const std::string& name);
ServiceAnswer queryWin32Service(const std::string& name);
ServiceAnswer queryWin32ServiceOrigin(const std::string& name);
void writeWin32EventLog(const std::string& source, const std::string& text,
                        bool isError);
// Makes a pipe the process's standard output and error (the handles and the
// C runtime's descriptors 1 and 2); the read end is the capture's.
std::unique_ptr<StreamCapture> captureWin32StdStreams();
void releaseWin32StdStreams();
std::string win32OthersWhoMayChange(const std::string& path);
bool win32HasAdministratorRights();

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32SERVICE_H
