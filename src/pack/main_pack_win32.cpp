// The tarvik-pack process entry on Windows: a console program with a wide
// entry, so that its paths and words arrive whole.
#ifndef _WIN32
#error "main_pack_win32.cpp is for Windows builds only"
#endif

#include <string>
#include <vector>

#include "os/Win32Platform.h"
#include "pack/PackTool.h"

int wmain(int argc, wchar_t** argv) {
  static tarvik::Platform* platform = tarvik::makeWin32Platform().release();
  tarvik::setPlatform(platform);
  std::vector<std::string> words = tarvik::win32Arguments(argc, argv);
  if (!words.empty()) words.erase(words.begin());
  const std::string own = tarvik::win32ModulePath();
  const size_t cut = own.find_last_of("\\/");
  return tarvik::pack::runPackTool(words, cut == std::string::npos ? "." : own.substr(0, cut));
}
