// Message boxes as the launcher shows them: no owner window, OK button.
#ifndef TARVIK_SUPPORT_MESSAGE_H
#define TARVIK_SUPPORT_MESSAGE_H

#include <string>

namespace tarvik {

// A box with an OK button and, when `isError`, the error icon. Shows
// nothing in quiet mode.
void showMessage(const std::string& caption, const std::string& text,
                 bool isError);

// A plain box that does not look at quiet mode (diagnostic boxes are shown
// only in debug mode, which quiet mode turns off).
void showBox(const std::string& caption, const std::string& text);
void showErrorBox(const std::string& caption, const std::string& text);

// Shows a box with (caption, text) only when debug mode is on.
void debugBox(const std::string& caption, const std::string& text);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_MESSAGE_H
