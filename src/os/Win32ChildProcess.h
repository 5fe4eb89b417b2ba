// A child process started with the wide call, so that it receives exactly
// the characters of its command line.
#ifndef TARVIK_OS_WIN32CHILDPROCESS_H
#define TARVIK_OS_WIN32CHILDPROCESS_H

#include "os/Platform.h"
#include "os/Win32Instance.h"

namespace tarvik {

// A started child gets its share of `instance` when one is held.
ChildStartResult startWin32Child(const ChildStart& start,
                                 Win32Instance* instance);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32CHILDPROCESS_H
