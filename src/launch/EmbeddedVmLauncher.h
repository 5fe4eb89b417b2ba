// Runs the Java VM inside the launcher's process through JNI.
#ifndef TARVIK_LAUNCH_EMBEDDEDVMLAUNCHER_H
#define TARVIK_LAUNCH_EMBEDDEDVMLAUNCHER_H

namespace tarvik {

// 0, 1, -1234 (library not loadable) or -1235 (no JNI_CreateJavaVM).
int launchInProcess();

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_EMBEDDEDVMLAUNCHER_H
