#include "os/Platform.h"

#include <cstdlib>

namespace tarvik {

namespace {

// The NTSTATUS codes a process ends with when a fault, not the program,
// ended it.
const uint32_t WINDOWS_FAULT_EXIT_CODES[] = {
    0x80000002u,  // datatype misalignment
    0x80000003u,  // breakpoint (no debugger to take it)
    0xC0000005u,  // access violation
    0xC0000006u,  // in-page error
    0xC000001Du,  // illegal instruction
    0xC0000025u,  // noncontinuable exception
    0xC0000026u,  // invalid disposition
    0xC000008Cu,  // array bounds exceeded
    0xC000008Du,  // float denormal operand
    0xC000008Eu,  // float divide by zero
    0xC000008Fu,  // float inexact result
    0xC0000090u,  // float invalid operation
    0xC0000091u,  // float overflow
    0xC0000092u,  // float stack check
    0xC0000093u,  // float underflow
    0xC0000094u,  // integer divide by zero
    0xC0000095u,  // integer overflow
    0xC0000096u,  // privileged instruction
    0xC00000FDu,  // stack overflow
    0xC00002B4u,  // float multiple faults
    0xC00002B5u,  // float multiple traps
    0xC0000374u,  // heap corruption
    0xC0000409u,  // stack buffer overrun (a fast fail)
    0xC0000420u,  // assertion failure
    0xC0000602u,  // fail-fast exception
};

}  // namespace

std::vector<std::pair<uint32_t, uint32_t>>
PlatformConventions::windowsFaultExitCodes() {
  std::vector<std::pair<uint32_t, uint32_t>> codes;
  codes.reserve(sizeof WINDOWS_FAULT_EXIT_CODES / sizeof WINDOWS_FAULT_EXIT_CODES[0]);
  for (uint32_t code : WINDOWS_FAULT_EXIT_CODES) codes.push_back({code, code});
  return codes;
}

PlatformConventions PlatformConventions::windows() {
  return PlatformConventions();
}

PlatformConventions PlatformConventions::posix() {
  // Every member in the order of the declaration, so that none is made with
  // the Windows value first and then replaced.
  return PlatformConventions{
      /* separator */ '/',
      /* folderSeparators */ "/",
      /* classPathSeparator */ ':',
      /* driveLetterPaths */ false,
      /* consoleJava */ "java",
      /* windowedJava */ "java",
      /* jvmLibraries */ {"lib/server/libjvm.so", "lib/client/libjvm.so"},
      /* splashLibrary */ "libsplashscreen.so",
      /* textModeCrLf */ false,
      /* exitCodeBits */ 8,
      // SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE; SIGSEGV.
      /* crashExitCodes */ {{128 + 4, 128 + 8}, {128 + 11, 128 + 11}},
      /* commandLineLimit */ 0,
      /* wordLimit */ 32 * 4096,
      /* runtimeFolders */
      {
          {"/usr/lib/jvm", "", "TARVIK_JVM_DIR"},
          {"/.sdkman/candidates/java", "HOME", ""},
      },
      /* ctrlZEndsTextFiles */ false,
      /* cacheFolders */ {{"XDG_CACHE_HOME", "tarvik"}, {"HOME", ".cache/tarvik"}},
      /* baseClassArchive */ "lib/server/classes.jsa",
      /* javaExecutable */ "bin/java",
      /* interruptedExitCodes */ {128 + 1, 128 + 2, 128 + 9, 128 + 15},
      /* serviceUnitFolder */ "/etc/systemd/system",
      /* serviceUnitFolderVariable */ "TARVIK_UNIT_DIR",
      /* serviceSearchPath */ "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin",
      // ld.so's: libraries loaded first, auditors, and the folders searched
      // first (an empty entry is the current folder); iconv's modules.
      /* loaderVariables */
      {
          {"LD_PRELOAD", ": ", false},
          {"LD_AUDIT", ":", false},
          {"LD_LIBRARY_PATH", ":;", true},
          {"GCONV_PATH", ":", true},
      },
      /* taskbarIdentityAgent */ "",
  };
}

std::string RegistryPlace::label() const {
  std::string text = root_ == RegistryRoot::LocalMachine ? "HKLM" : "HKCU";
  if (view_ == RegistryView::Bits32) text += " 32-bit";
  return text;
}

namespace {
Platform* gPlatform = nullptr;
void (*gBeforeExit)(int) = nullptr;
}

void setBeforeExit(void (*hook)(int code)) { gBeforeExit = hook; }

Platform& platform() { return *gPlatform; }
void setPlatform(Platform* platform) { gPlatform = platform; }

void exitLauncher(int code) {
  if (void (*hook)(int) = gBeforeExit) {
    gBeforeExit = nullptr;
    hook(code);
  }
  gPlatform->exitProcess(code);
  std::abort();  // not reached: exitProcess does not return
}

}  // namespace tarvik
