// The running service's log: the launcher's standard output and error, and
// those of the application it starts, taken through one pipe into the
// rolling log of the log folder. What comes before the folder is known
// (the configuration is read after the capture began) is kept and written
// first.
#ifndef TARVIK_SERVICE_SERVICELOG_H
#define TARVIK_SERVICE_SERVICELOG_H

#include <cstdint>
#include <string>

namespace tarvik {

// Starts taking the standard streams; false when they cannot be taken
// (they stay as they were).
bool captureServiceOutput();

// Opens the log `name`.log in `folder`, rolled at `maxBytes`, `files`
// kept (an open log stays as it is); false when none could be made (what was taken stays in memory,
// and is dropped at the end).
bool openServiceLog(const std::string& folder, const std::string& name,
                    int64_t maxBytes, int files);

// Ends the capture: the streams go to the null device, what the pipe still
// holds is written (waiting a moment for children that still hold it), and
// the log is closed.
void endServiceLog();

}  // namespace tarvik

#endif  // TARVIK_SERVICE_SERVICELOG_H
