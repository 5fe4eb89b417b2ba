#include "support/Message.h"

#include "LaunchSettings.h"
#include "os/Platform.h"

namespace tarvik {

int tellUser(const std::string& text, const std::string& caption,
             unsigned style) {
  Platform& os = platform();
  if (!isConsoleLauncher()) return os.messageBox(text, caption, style);
  os.writeStderr(caption + ": " + text + "\n");
  // A service has no desktop: its boxes are lines of its log and events.
  const LauncherOptions& opts = options();
  if (opts.runsAsService)
    os.writeSystemLog(opts.systemLogSource.empty() ? std::string("Tarvik")
                                                   : opts.systemLogSource,
                      caption + ": " + text, (style & MB_STYLE_ICONERROR) != 0);
  return (style & 0xF) == MB_STYLE_YESNO ? ANSWER_NO : ANSWER_OK;
}

void showMessage(const std::string& caption, const std::string& text,
                 bool isError) {
  if (options().quietMode) return;
  tellUser(text, caption, isError ? MB_STYLE_ICONERROR : MB_STYLE_OK);
}

void showBox(const std::string& caption, const std::string& text) {
  tellUser(text, caption, MB_STYLE_OK);
}

void showErrorBox(const std::string& caption, const std::string& text) {
  tellUser(text, caption, MB_STYLE_ICONERROR);
}

void debugBox(const std::string& caption, const std::string& text) {
  if (options().debugMode) showBox(caption, text);
}

bool openForUser(const std::string& file) {
  if (isConsoleLauncher()) return false;
  return platform().openWithAssociatedProgram(file);
}

void writeRecord(const std::string& text) {
  Platform& os = platform();
  const LauncherOptions& opts = options();
  if (!isConsoleLauncher() || opts.logRedirected)
    os.writeStdout(text);
  else if (opts.debugMode)
    os.writeStderr(text);
}

bool recordsWritten() {
  const LauncherOptions& opts = options();
  return !isConsoleLauncher() || opts.logRedirected || opts.debugMode;
}

void writeNotice(const std::string& text) {
  if (isConsoleLauncher())
    platform().writeStderr(text);
  else
    platform().writeStdout(text);
}

void writeLogNote(const std::string& text) {
  if (options().logToFile) platform().writeStderr(text);
}

}  // namespace tarvik
