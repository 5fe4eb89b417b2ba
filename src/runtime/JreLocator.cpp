// placeholder: replaced by the component's implementation
#include "runtime/JreLocator.h"
#include "support/Platform.h"
namespace tarvik {
OptionalText locateDefaultRuntime() { return std::nullopt; }
OptionalText locateRequiredRuntime() { return std::nullopt; }
void selectRuntimeVersion() {}
void failRuntimeRequirement(const std::string&) { exitLauncher(11); }
}  // namespace tarvik
