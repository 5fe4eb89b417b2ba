// Child processes on Linux.
#ifdef _WIN32
#error "PosixChildProcess.cpp is for POSIX builds only"
#endif

#include "support/PosixPlatform.h"

namespace tarvik {

ChildStartResult PosixPlatform::startChild(const ChildStart& start) {
  (void)start;
  ChildStartResult result;
  result.errorText = "not available yet";  // replaced by the fork/exec start
  return result;
}

}  // namespace tarvik
