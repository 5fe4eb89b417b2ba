#include "runtime/RuntimeRelease.h"

#include <cctype>
#include <climits>

#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// A runtime's release file is a few lines; a larger one is none.
constexpr uint64_t MAX_RELEASE_FILE_BYTES = 1 << 20;

bool isFolderSeparator(char c) { return c == '/' || c == '\\'; }

// The leading number of `text` from `at`, clamped to the int range; nothing
// when no digit stands there.
std::optional<int> numberAt(const std::string& text, size_t at, size_t* end) {
  size_t i = at;
  long long value = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    if (value < INT_MAX) value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (i == at) return std::nullopt;
  if (end) *end = i;
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

}  // namespace

std::optional<int> featureVersion(const std::string& version) {
  size_t end = 0;
  std::optional<int> first = numberAt(version, 0, &end);
  if (!first) return std::nullopt;
  if (*first == 1 && end < version.size() && version[end] == '.') {
    std::optional<int> second = numberAt(version, end + 1, nullptr);
    if (second) return second;
  }
  return first;
}

std::optional<std::string> readReleaseFile(const std::string& home) {
  return platform()
      .readRegularFile(home + platform().conventions().separator + "release",
                       MAX_RELEASE_FILE_BYTES)
      .content;
}

std::optional<std::string> readRuntimeVersion(const std::string& home) {
  const std::optional<std::string> text = readReleaseFile(home);
  if (!text) return std::nullopt;
  return releaseVersion(*text);
}

std::optional<std::string> runtimeHomeOfExecutable(const std::string& path) {
  std::string file = path;
  if (file.size() >= 2 && file.front() == '"' && file.back() == '"')
    file = file.substr(1, file.size() - 2);
  size_t name = file.find_last_of("/\\");
  if (name == std::string::npos || name < 3) return std::nullopt;
  const std::string bin = toLowerCase(file.substr(name - 3, 3));
  if (bin != "bin") return std::nullopt;
  if (name == 3) return std::nullopt;  // "bin\java.exe" has no home
  if (!isFolderSeparator(file[name - 4])) return std::nullopt;
  return file.substr(0, name - 4);
}

std::optional<std::string> runtimeHomeOfLibrary(const std::string& path) {
  size_t end = path.size();
  std::string folders[3];
  for (std::string& folder : folders) {
    const size_t cut = end == 0 ? std::string::npos : path.find_last_of("/\\", end - 1);
    if (cut == std::string::npos || cut == 0) return std::nullopt;
    folder = toLowerCase(path.substr(cut + 1, end - cut - 1));
    end = cut;
  }
  // folders: the library's name, its variant folder, then lib or bin.
  if (folders[1] != "server" && folders[1] != "client") return std::nullopt;
  if (folders[2] != "lib" && folders[2] != "bin") return std::nullopt;
  return path.substr(0, end);
}

std::optional<std::string> jvmLibraryOfHome(const std::string& home) {
  Platform& os = platform();
  const char separator = os.conventions().separator;
  for (std::string library : os.conventions().jvmLibraries) {
    for (char& c : library)
      if (isFolderSeparator(c)) c = separator;
    const std::string path = home + separator + library;
    if (!os.findFiles(path).empty()) return path;
  }
  return std::nullopt;
}

}  // namespace tarvik
