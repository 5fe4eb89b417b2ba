#include "os/Platform.h"

#include <cstdlib>

namespace tarvik {

PlatformConventions PlatformConventions::windows() {
  return PlatformConventions();
}

PlatformConventions PlatformConventions::posix() {
  PlatformConventions conv;
  conv.separator = '/';
  conv.folderSeparators = "/";
  conv.classPathSeparator = ':';
  conv.driveLetterPaths = false;
  conv.consoleJava = "java";
  conv.windowedJava = "java";
  conv.jvmLibraries = {"lib/server/libjvm.so", "lib/client/libjvm.so"};
  conv.splashLibrary = "libsplashscreen.so";
  conv.textModeCrLf = false;
  conv.exitCodeBits = 8;
  // SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE; SIGSEGV.
  conv.crashExitCodes = {{128 + 4, 128 + 8}, {128 + 11, 128 + 11}};
  conv.commandLineLimit = 0;
  conv.runtimeFolders = {
      {"/usr/lib/jvm", "", "TARVIK_JVM_DIR"},
      {"/.sdkman/candidates/java", "HOME", ""},
  };
  conv.ctrlZEndsTextFiles = false;
  conv.cacheFolders = {{"XDG_CACHE_HOME", "tarvik"}, {"HOME", ".cache/tarvik"}};
  conv.baseClassArchive = "lib/server/classes.jsa";
  return conv;
}

std::string RegistryPlace::label() const {
  std::string text = root_ == RegistryRoot::LocalMachine ? "HKLM" : "HKCU";
  if (view_ == RegistryView::Bits32) text += " 32-bit";
  return text;
}

namespace {
Platform* gPlatform = nullptr;
}

Platform& platform() { return *gPlatform; }
void setPlatform(Platform* platform) { gPlatform = platform; }

void exitLauncher(int code) {
  gPlatform->exitProcess(code);
  std::abort();  // not reached: exitProcess does not return
}

}  // namespace tarvik
