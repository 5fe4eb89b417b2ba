// Message boxes on Linux.
#ifdef _WIN32
#error "PosixMessageBox.cpp is for POSIX builds only"
#endif

#include <cstdio>

#include "support/PosixPlatform.h"

namespace tarvik {

// Without a desktop dialog the caption and text go to standard error, and a
// question is answered No.
int PosixPlatform::messageBox(const std::string& text,
                              const std::string& caption, unsigned style) {
  std::string line = caption + ": " + text + "\n";
  fwrite(line.data(), 1, line.size(), stderr);
  fflush(stderr);
  return (style & 0xF) == MB_STYLE_YESNO ? ANSWER_NO : ANSWER_OK;
}

}  // namespace tarvik
