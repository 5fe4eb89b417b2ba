#include "runtime/JavaDownload.h"

#include "LaunchSettings.h"
#include "os/Platform.h"

namespace tarvik {

void showRuntimeFailure(const std::string& caption, const std::string& text,
                        unsigned style, WhenQuiet whenQuiet) {
  const LauncherOptions& opts = options();
  if (opts.quietMode && whenQuiet == WhenQuiet::Hidden) return;
  Platform& os = platform();
  const OptionalText& url = settings().javaDownloadUrl;
  if (!url || opts.quietMode) {
    os.messageBox(text, caption, style);
    return;
  }
  const std::string question =
      text + "\n\nWould you like to download Java from " + *url + "?";
  if (os.messageBox(question, caption, style | MB_STYLE_YESNO) != ANSWER_YES)
    return;
  if (!os.openWithAssociatedProgram(*url))
    os.writeStderr("Unable to open " + *url + "\n");
}

}  // namespace tarvik
