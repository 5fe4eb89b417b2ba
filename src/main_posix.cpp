// The Linux process entry.
#ifdef _WIN32
#error "main_posix.cpp is for POSIX builds only"
#endif

#include <string>
#include <vector>

#include "Tarvik.h"
#include "support/PosixPlatform.h"

int main(int argc, char** argv) {
  static tarvik::PosixPlatform platform;
  tarvik::setPlatform(&platform);
  std::vector<std::string> args(argv, argv + argc);
  return tarvik::runLauncher(args);
}
