// Runs the application: in-process, as a command file, or as a child.
#ifndef TARVIK_LAUNCH_CHILDLAUNCHER_H
#define TARVIK_LAUNCH_CHILDLAUNCHER_H

namespace tarvik {

// One launch; 999 asks the entry to launch again.
int launchJava();

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_CHILDLAUNCHER_H
