// The failure box of runtime discovery, which offers the application's
// Java download page (javaDownloadUrl) when it names one.
#ifndef TARVIK_RUNTIME_JAVADOWNLOAD_H
#define TARVIK_RUNTIME_JAVADOWNLOAD_H

#include <string>

namespace tarvik {

// Whether the box shows in quiet mode.
enum class WhenQuiet { Hidden, Shown };

// Shows the box of `style` (OK button). With a download page it also asks
// whether to open it (Yes/No), and Yes opens it in the browser; in quiet
// mode it never asks and nothing opens. The console launcher's line names
// the page instead.
void showRuntimeFailure(const std::string& caption, const std::string& text,
                        unsigned style, WhenQuiet whenQuiet);

}  // namespace tarvik

#endif  // TARVIK_RUNTIME_JAVADOWNLOAD_H
