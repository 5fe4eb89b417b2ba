// The registry store of the Linux build.
#ifdef _WIN32
#error "PosixRegistry.cpp is for POSIX builds only"
#endif

#include "support/PosixPlatform.h"

namespace tarvik {

std::unique_ptr<RegistryKey> PosixPlatform::openRegistryKey(
    const std::string& path) {
  (void)path;
  return nullptr;  // replaced by the directory-tree store
}

}  // namespace tarvik
