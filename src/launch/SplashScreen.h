// The splash screen of a VM run inside the launcher, shown through the
// runtime's own splash library before the VM is created, as Java's launcher
// shows the image of -splash:. The VM's java.awt.SplashScreen then finds it
// in the same library and closes it when the first window appears.
#ifndef TARVIK_LAUNCH_SPLASHSCREEN_H
#define TARVIK_LAUNCH_SPLASHSCREEN_H

#include <string>

namespace tarvik {

// Shows `image` (a path as -splash: gives it) through the splash library of
// the runtime whose JVM library is `jvmLibrary`. Returns the library when
// the image shows; otherwise a line on standard error says why, and null.
void* showSplashScreen(const std::string& jvmLibrary, const std::string& image);

// Takes a splash screen that showSplashScreen put up away again (when no
// VM comes to close it).
void closeSplashScreen(void* splashLibrary);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_SPLASHSCREEN_H
