// Shared pieces of the fuzz targets: a fresh launcher state over the fake
// platform for every input, the input's sections, and property checks that
// stop the run with a readable reason.
#ifndef TARVIK_FUZZ_FUZZSUPPORT_H
#define TARVIK_FUZZ_FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "LaunchSettings.h"
#include "fakes/FakePlatform.h"

namespace tarvik {
namespace fuzz {

// A property that does not hold is a finding: say which and abort, so that
// libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition, what)                                     \
  do {                                                                  \
    if (!(condition)) {                                                 \
      std::fprintf(stderr, "property failed: %s (%s:%d)\n", (what),     \
                   __FILE__, __LINE__);                                 \
      std::abort();                                                     \
    }                                                                   \
  } while (0)

// The input cut at every `separator` byte, at most `maxParts` pieces (the
// last one keeps the rest, separators included).
inline std::vector<std::string> sections(const uint8_t* data, size_t size,
                                         char separator, size_t maxParts) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == separator && parts.size() < maxParts)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

inline std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

inline std::string withoutByte(std::string text, char byte) {
  std::string out;
  for (char c : text)
    if (c != byte) out += c;
  return out;
}

// Fresh process-wide state and a fresh fake platform for one input.
struct Session {
  explicit Session(FakePlatform& os) {
    resetLaunchState();
    setPlatform(&os);
  }
  ~Session() { setPlatform(nullptr); }
};

}  // namespace fuzz
}  // namespace tarvik

#endif  // TARVIK_FUZZ_FUZZSUPPORT_H
