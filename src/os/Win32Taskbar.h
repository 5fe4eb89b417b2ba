// The taskbar identity of the launcher's own process.
#ifndef TARVIK_OS_WIN32TASKBAR_H
#define TARVIK_OS_WIN32TASKBAR_H

#include <string>

namespace tarvik {

// SetCurrentProcessExplicitAppUserModelID with `id`; false when shell32
// has no such call (before Windows 7) or it fails.
bool win32SetAppUserModelId(const std::string& id);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32TASKBAR_H
