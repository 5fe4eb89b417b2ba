// expandEnvironmentReferences over an arbitrary environment (values may
// refer to themselves or to each other) and arbitrary text: it ends within
// the nesting limit, grows by at most one value and its quotes per
// expansion, and leaves text it could not expand untouched.
#include <algorithm>

#include "FuzzSupport.h"
#include "config/EnvironmentReferences.h"

namespace tarvik {
namespace {

// The nesting limit of the expansion: each '$' of the caller's text may
// bring in at most this many references through the values it expands to.
constexpr size_t PASS_LIMIT_PER_REFERENCE = 64;

class CountingPlatform : public FakePlatform {
 public:
  size_t lookups = 0;
  size_t found = 0;
  std::optional<std::string> getEnv(const std::string& name) override {
    ++lookups;
    std::optional<std::string> value = FakePlatform::getEnv(name);
    if (value || name == "pid") ++found;
    return value;
  }
};

}  // namespace
}  // namespace tarvik

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvik;
  using namespace tarvik::fuzz;
  std::vector<std::string> parts = sections(data, size, '\x01', 3);
  parts.resize(3);
  CountingPlatform os;
  Session session(os);
  const bool quote = parts[0].find('q') != std::string::npos;
  options().debugMode = parts[0].find('d') != std::string::npos;
  size_t longestValue = std::to_string(os.pid).size() + 1;
  for (const std::string& line : split(parts[1], '\n')) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    os.env[line.substr(0, equals)] = line.substr(equals + 1);
  }
  for (const auto& entry : os.env)
    longestValue = std::max(longestValue, entry.second.size());

  const std::string& text = parts[2];
  const std::string result = expandEnvironmentReferences(text, quote);

  const size_t dollars =
      static_cast<size_t>(std::count(text.begin(), text.end(), '$'));
  FUZZ_CHECK(os.lookups <= dollars * (PASS_LIMIT_PER_REFERENCE + 1),
             "more lookups than the nesting limit allows");
  FUZZ_CHECK(os.found <= os.lookups, "counting");
  // Each expansion replaces at least the '$' by a value and up to two
  // double quotes.
  FUZZ_CHECK(result.size() <= text.size() + os.found * (longestValue + 2),
             "result outgrew the text plus the expanded values");
  // However the values refer to each other, one expansion grows its text
  // by at most a mebibyte.
  FUZZ_CHECK(result.size() <= text.size() + (1u << 20),
             "the expansion grew beyond its bound");
  if (os.found == 0)
    FUZZ_CHECK(result == text, "text without an expansion changed");
  else
    FUZZ_CHECK(result.find('\\') == std::string::npos,
               "a backslash survived an expanding pass");
  if (dollars == 0) FUZZ_CHECK(os.lookups == 0, "looked up without a '$'");
  if (options().debugMode) {
    size_t foundBoxes = 0;
    for (const RecordedBox& box : os.boxes)
      if (box.caption == "Found variable") ++foundBoxes;
    FUZZ_CHECK(foundBoxes == os.lookups, "one \"Found variable\" per lookup");
  } else {
    FUZZ_CHECK(os.boxes.empty(), "a box outside debug mode");
  }
  return 0;
}
