// substituteVariables over arbitrary definitions and text: the result is
// the one the documented in-place scan gives, and it never outgrows the
// text plus one value per pair of '%' marks, nor by more than the bound of
// an expansion (a text that would is refused, naming a defined variable).
#include <algorithm>

#include "FuzzSupport.h"
#include "config/VariableTable.h"

namespace tarvik {
namespace {

// The scan as the launcher's documentation describes it: marks, a scan
// position, edits in place. Slow, plain, and the reference.
std::string documentedSubstitution(const std::string& text,
                                   const VariableTable& table) {
  std::string r = text;
  const long none = -1;
  long open = none, close = none;
  auto next = [&r](long from) {
    size_t at = r.find('%', static_cast<size_t>(from));
    return at == std::string::npos ? static_cast<long>(r.size())
                                   : static_cast<long>(at);
  };
  long p = next(0);
  while (p < static_cast<long>(r.size())) {
    if (open == none)
      open = p;
    else if (close == none)
      close = p;
    if (open != none && close != none) {
      if (close == open + 1) {
        r.erase(static_cast<size_t>(close), 1);
        p -= 1;
      } else {
        auto entry = table.find(r.substr(static_cast<size_t>(open + 1),
                                         static_cast<size_t>(close - open - 1)));
        if (entry != table.end()) {
          r.replace(static_cast<size_t>(open),
                    static_cast<size_t>(close - open + 1), entry->second);
          p = open + static_cast<long>(entry->second.size()) - 1;
        } else {
          p = close;
        }
      }
      open = close = none;
    }
    p = next(p + 1);
  }
  return r;
}

}  // namespace
}  // namespace tarvik

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarvik;
  using namespace tarvik::fuzz;
  std::vector<std::string> parts = sections(data, size, '\x01', 3);
  parts.resize(3);
  const std::string& flags = parts[0];
  FakePlatform os;
  Session session(os);
  options().debugMode = flags.find('d') != std::string::npos;
  options().quietMode = flags.find('q') != std::string::npos;

  // Definitions as `var` lines define them: substituted first.
  for (const std::string& line : split(parts[1], '\n'))
    if (const std::optional<std::string> definition = substituteVariables(line))
      defineVariable(*definition);
  os.boxes.clear();
  size_t longestValue = 0;
  for (const auto& entry : variables())
    longestValue = std::max(longestValue, entry.second.size());

  const std::string& text = parts[2];
  const VariableTable before = variables();
  std::string overgrowing;
  const std::optional<std::string> substituted =
      substituteVariables(text, nullptr, &overgrowing);

  FUZZ_CHECK(variables() == before, "substitution changed the table");
  if (!substituted) {
    FUZZ_CHECK(variables().count(overgrowing) == 1,
               "a text was refused without a variable that grows it");
    FUZZ_CHECK(os.boxes.empty(), "a debug box for a refused text");
    return 0;
  }
  const std::string& result = *substituted;
  FUZZ_CHECK(result.size() <= text.size() + MAX_EXPANSION_GROWTH,
             "result outgrew the bound of an expansion");
  FUZZ_CHECK(result == documentedSubstitution(text, variables()),
             "result differs from the documented scan");
  const size_t marks =
      static_cast<size_t>(std::count(text.begin(), text.end(), '%'));
  FUZZ_CHECK(result.size() <= text.size() + (marks / 2) * longestValue,
             "result outgrew text + one value per pair of marks");
  if (marks == 0) FUZZ_CHECK(result == text, "text without '%' changed");
  const bool boxWanted = options().debugMode && !options().quietMode &&
                         result != text;
  FUZZ_CHECK(os.boxes.size() == (boxWanted ? 1u : 0u),
             "debug box shown without a change, or more than once");
  if (boxWanted)
    FUZZ_CHECK(os.boxes[0].text == text + "\nto\n" + result,
               "debug box text");
  return 0;
}
