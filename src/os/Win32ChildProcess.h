// A child process started with the wide call, so that it receives exactly
// the characters of its command line.
#ifndef TARVIK_OS_WIN32CHILDPROCESS_H
#define TARVIK_OS_WIN32CHILDPROCESS_H

#include "os/Platform.h"

namespace tarvik {

ChildStartResult startWin32Child(const ChildStart& start);

}  // namespace tarvik

#endif  // TARVIK_OS_WIN32CHILDPROCESS_H
