// Message boxes on Linux: a desktop dialog (zenity or kdialog) when a
// graphical session is there, otherwise the caption and text on standard
// error, with questions answered No.
#ifdef _WIN32
#error "PosixMessageBox.cpp is for POSIX builds only"
#endif

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "os/PosixPlatform.h"

namespace tarvik {

namespace {

bool hasDesktop() {
  const char* x11 = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

// The full path of `program` found on PATH, or empty.
std::string findOnPath(const std::string& program) {
  const char* path = getenv("PATH");
  if (!path) return std::string();
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string candidate = dir + "/" + program;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return std::string();
}

// Runs a dialog program and returns its exit status, or -1 when it could
// not run.
int runDialog(const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    defaultSignalsForChild();
    std::vector<char*> argv;
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 127) return -1;
  return WEXITSTATUS(status);
}

int desktopDialog(const std::string& text, const std::string& caption,
                  bool question, bool error) {
  std::string zenity = findOnPath("zenity");
  if (!zenity.empty()) {
    const char* kind = question ? "--question" : error ? "--error" : "--info";
    int status = runDialog(
        {zenity, kind, "--no-markup", "--title=" + caption, "--text=" + text});
    if (status >= 0) return status;
  }
  std::string kdialog = findOnPath("kdialog");
  if (!kdialog.empty()) {
    const char* kind = question ? "--yesno" : error ? "--error" : "--msgbox";
    int status = runDialog({kdialog, "--title", caption, kind, text});
    if (status >= 0) return status;
  }
  return -1;
}

}  // namespace

int PosixPlatform::messageBox(const std::string& text,
                              const std::string& caption, unsigned style) {
  const bool question = (style & 0xF) == MB_STYLE_YESNO;
  const bool error = (style & MB_STYLE_ICONERROR) != 0;
  if (hasDesktop()) {
    int status = desktopDialog(text, caption, question, error);
    if (status >= 0) {
      if (!question) return ANSWER_OK;
      return status == 0 ? ANSWER_YES : ANSWER_NO;
    }
  }
  fflush(stdout);
  std::string line = caption + ": " + text + "\n";
  fwrite(line.data(), 1, line.size(), stderr);
  fflush(stderr);
  return question ? ANSWER_NO : ANSWER_OK;
}

}  // namespace tarvik
