#include "support/Message.h"

#include "LaunchSettings.h"
#include "os/Platform.h"

namespace tarvik {

void showMessage(const std::string& caption, const std::string& text,
                 bool isError) {
  if (options().quietMode) return;
  platform().messageBox(text, caption,
                        isError ? MB_STYLE_ICONERROR : MB_STYLE_OK);
}

void showBox(const std::string& caption, const std::string& text) {
  platform().messageBox(text, caption, MB_STYLE_OK);
}

void showErrorBox(const std::string& caption, const std::string& text) {
  platform().messageBox(text, caption, MB_STYLE_ICONERROR);
}

void debugBox(const std::string& caption, const std::string& text) {
  if (options().debugMode) showBox(caption, text);
}

}  // namespace tarvik
