// One instance of the application per name (singleInstance).
#ifndef TARVIK_LAUNCH_SINGLEINSTANCE_H
#define TARVIK_LAUNCH_SINGLEINSTANCE_H

namespace tarvik {

// The launcher's exit code when the application runs already.
constexpr int ALREADY_RUNNING_EXIT_CODE = 12;

// With singleInstance, claims the application's one instance before Java
// starts. When another launch holds it, brings that application's window
// forward and ends the process with ALREADY_RUNNING_EXIT_CODE; when the
// system cannot tell, says so on standard error and lets the launch go on.
void keepToSingleInstance();

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_SINGLEINSTANCE_H
