// Message boxes as the launcher shows them: no owner window, OK button.
// The console launcher shows no box: it writes "Caption: text" lines to
// standard error instead, and standard output is the application's.
#ifndef TARVIK_SUPPORT_MESSAGE_H
#define TARVIK_SUPPORT_MESSAGE_H

#include <string>

namespace tarvik {

// A box of `style` (a question of the console launcher is answered No);
// the button pressed.
int tellUser(const std::string& text, const std::string& caption,
             unsigned style);

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

// Opens a file or page with its associated program, as the user asked in a
// box; the console launcher asks nothing and opens nothing. False when
// nothing opened.
bool openForUser(const std::string& file);

// A record of what the launcher does (#Version, the command line, the
// runtimes found): on standard output; the console launcher's go only to
// the -log file, or to standard error under -d.
void writeRecord(const std::string& text);
// Whether writeRecord writes anything: a record nobody sees is not made.
bool recordsWritten();

// A line about a fault of the input or the system that the launch
// survives: on standard output; the console launcher's on standard error.
void writeNotice(const std::string& text);

// A line for the -log file alone (why the launcher stood aside, say): the
// application's own output stays as it is, and without -log nothing is
// written.
void writeLogNote(const std::string& text);

}  // namespace tarvik

#endif  // TARVIK_SUPPORT_MESSAGE_H
