// placeholder: replaced by the component's implementation
#include "launch/CommandLineBuilder.h"
namespace tarvik {
std::optional<std::string> buildCommandLine() { return std::nullopt; }
std::string joinClassPath(const std::vector<std::string>&, bool) { return ""; }
uint64_t physicalMemoryMiB() { return 0; }
}  // namespace tarvik
