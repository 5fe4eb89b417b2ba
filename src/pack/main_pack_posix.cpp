// The tarvik-pack process entry on Linux.
#ifdef _WIN32
#error "main_pack_posix.cpp is for POSIX builds only"
#endif

#include <string>
#include <vector>

#include "os/PosixPlatform.h"
#include "pack/PackTool.h"

int main(int argc, char** argv) {
  tarvik::setPlatform(new tarvik::PosixPlatform);
  const std::string own = tarvik::posixOwnExecutable();
  const size_t slash = own.find_last_of('/');
  return tarvik::pack::runPackTool(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc),
                                   slash == std::string::npos ? "." : own.substr(0, slash));
}
