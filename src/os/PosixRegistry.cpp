// The registry store of the Linux build (see PosixRegistry.h).
#ifdef _WIN32
#error "PosixRegistry.cpp is for POSIX builds only"
#endif

#include "os/PosixRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "os/PosixInstalledRuntimes.h"
#include "os/PosixPlatform.h"

namespace tarvik {

namespace {

// Registry names are at most 255 characters; so are Linux file names.
constexpr size_t NAME_LIMIT = 255;

// A name that stays one entry inside its directory.
bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.size() <= NAME_LIMIT &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Reads at most `limit` bytes of a regular file.
std::optional<std::string> readHead(const std::string& path, size_t limit) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  std::string data(limit, '\0');
  size_t got = 0;
  while (got < limit) {
    ssize_t n = ::read(fd, &data[got], limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  data.resize(got);
  return data;
}

class DirectoryRegistryKey : public RegistryKey {
 public:
  explicit DirectoryRegistryKey(std::string dir) : dir_(std::move(dir)) {}

  std::optional<std::string> readString(const std::string& name,
                                        size_t capacity) override {
    if (!isPlainName(name) || capacity == 0) return std::nullopt;
    // Two bytes more than fits tell a value that is too long from one
    // that only carries a line end.
    std::optional<std::string> data = readHead(dir_ + "/" + name, capacity + 2);
    if (!data) return std::nullopt;
    std::string& value = *data;
    if (!value.empty() && value.back() == '\n') {
      value.pop_back();
      if (!value.empty() && value.back() == '\r') value.pop_back();
    }
    // Like the registry: the value and its terminator must fit.
    if (value.size() + 1 > capacity) return std::nullopt;
    size_t nul = value.find('\0');
    if (nul != std::string::npos) value.resize(nul);
    return value;
  }

  std::optional<uint32_t> subkeyCount() override {
    if (!listSubkeys()) return std::nullopt;
    return static_cast<uint32_t>(subkeys_.size());
  }

  std::optional<std::string> subkeyName(uint32_t index) override {
    if (!listSubkeys() || index >= subkeys_.size()) return std::nullopt;
    return subkeys_[index];
  }

 private:
  // Lists the subdirectories once, sorted by name, so that indexes stay
  // put for the life of the key and equal-ranked versions are ordered
  // the same way on every run.
  bool listSubkeys() {
    if (listed_) return listOk_;
    listed_ = true;
    DIR* handle = opendir(dir_.c_str());
    if (!handle) return listOk_ = false;
    while (struct dirent* entry = readdir(handle)) {
      std::string name = entry->d_name;
      if (!isPlainName(name)) continue;
      if (isDirectory(dir_ + "/" + name)) subkeys_.push_back(name);
    }
    closedir(handle);
    std::sort(subkeys_.begin(), subkeys_.end());
    return listOk_ = true;
  }

  std::string dir_;
  bool listed_ = false;
  bool listOk_ = false;
  std::vector<std::string> subkeys_;
};

}  // namespace

DirectoryRegistry DirectoryRegistry::fromEnvironment() {
  const char* root = getenv(REGISTRY_ROOT_VARIABLE);
  return DirectoryRegistry(root && *root ? root : DEFAULT_REGISTRY_ROOT);
}

std::optional<std::string> DirectoryRegistry::directoryOf(
    const std::string& keyPath) const {
  std::string dir = root_;
  if (keyPath.empty()) return dir;
  size_t start = 0;
  while (true) {
    size_t end = keyPath.find('\\', start);
    std::string name = keyPath.substr(
        start, end == std::string::npos ? std::string::npos : end - start);
    if (!isPlainName(name)) return std::nullopt;
    dir += "/" + name;
    if (end == std::string::npos) return dir;
    start = end + 1;
  }
}

std::unique_ptr<RegistryKey> DirectoryRegistry::open(
    const std::string& keyPath) const {
  std::optional<std::string> dir = directoryOf(keyPath);
  if (!dir || !isDirectory(*dir) || access(dir->c_str(), R_OK | X_OK) != 0)
    return nullptr;
  return std::make_unique<DirectoryRegistryKey>(*dir);
}

DirectoryRegistry DirectoryRegistry::userFromEnvironment() {
  const char* root = getenv(USER_REGISTRY_ROOT_VARIABLE);
  if (root && *root) return DirectoryRegistry(root);
  // Without a home there is no per-user store: an empty root never exists.
  const char* home = getenv("HOME");
  if (!home || !*home) return DirectoryRegistry("");
  return DirectoryRegistry(std::string(home) + USER_REGISTRY_BELOW_HOME);
}

std::string DirectoryRegistry::viewPath(const std::string& keyPath,
                                        RegistryView view) {
  // As on 64-bit Windows: 32-bit programs see SOFTWARE\X at
  // SOFTWARE\Wow6432Node\X.
  const std::string software = "SOFTWARE\\";
  if (view != RegistryView::Bits32 ||
      strncasecmp(keyPath.c_str(), software.c_str(), software.size()) != 0)
    return keyPath;
  return keyPath.substr(0, software.size()) + "Wow6432Node\\" +
         keyPath.substr(software.size());
}

std::unique_ptr<RegistryKey> PosixPlatform::openRegistryKey(
    const RegistryPlace& place, const std::string& path) {
  const std::string viewed = DirectoryRegistry::viewPath(path, place.view());
  if (place.root() == RegistryRoot::CurrentUser) {
    DirectoryRegistry user = DirectoryRegistry::userFromEnvironment();
    return isDirectory(user.root()) ? user.open(viewed) : nullptr;
  }
  // A store that has been set up decides alone; without one, the runtimes
  // installed on the machine stand in for it, in the default view only
  // (the runtime search reads those folders itself).
  DirectoryRegistry store = DirectoryRegistry::fromEnvironment();
  if (isDirectory(store.root())) return store.open(viewed);
  if (place.view() != RegistryView::Default) return nullptr;
  static const InstalledRuntimeRegistry installed =
      InstalledRuntimeRegistry::discover();
  return installed.open(path);
}

}  // namespace tarvik
