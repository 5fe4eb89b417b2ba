#include "runtime/JavaDownload.h"

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/Message.h"

namespace tarvik {

void showRuntimeFailure(const std::string& caption, const std::string& text,
                        unsigned style, WhenQuiet whenQuiet) {
  const LauncherOptions& opts = options();
  if (opts.quietMode && whenQuiet == WhenQuiet::Hidden) return;
  const OptionalText& url = settings().javaDownloadUrl;
  // The console launcher asks nothing and opens nothing: its line names
  // the page.
  if (url && isConsoleLauncher()) {
    tellUser(text + " Java can be downloaded from " + *url, caption, style);
    return;
  }
  if (!url || opts.quietMode) {
    tellUser(text, caption, style);
    return;
  }
  const std::string question =
      text + "\n\nWould you like to download Java from " + *url + "?";
  if (tellUser(question, caption, style | MB_STYLE_YESNO) != ANSWER_YES) return;
  if (!openForUser(*url))
    platform().writeStderr("Unable to open " + *url + "\n");
}

}  // namespace tarvik
