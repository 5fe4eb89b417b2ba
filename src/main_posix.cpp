// The Linux process entry.
#ifdef _WIN32
#error "main_posix.cpp is for POSIX builds only"
#endif

#include <limits.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Tarvik.h"
#include "os/PosixPlatform.h"

namespace {

// The launcher's own file, however it was started (full path, PATH, or a
// symbolic link), so its configuration is found beside it as on Windows.
std::string ownExecutablePath(const char* argv0) {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return argv0 ? argv0 : "";
  return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

int main(int argc, char** argv) {
  static tarvik::PosixPlatform platform;
  tarvik::setPlatform(&platform);
  std::vector<std::string> args(argv, argv + argc);
  if (args.empty()) args.emplace_back();
  // The word as started decides whether the launcher moves into its folder.
  return tarvik::runLauncher(args,
                             ownExecutablePath(argc > 0 ? argv[0] : nullptr));
}
