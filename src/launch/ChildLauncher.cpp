// placeholder: replaced by the component's implementation
#include "launch/ChildLauncher.h"
namespace tarvik {
int launchJava() { return 0; }
}  // namespace tarvik
