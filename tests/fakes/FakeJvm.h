// A JVM library for tests: its JNI_CreateJavaVM records the start-up
// arguments, and the few JNI functions the launcher calls record each call,
// keep a pending exception like the real VM and check the JNI rules.
#ifndef TARVIK_TESTS_FAKEJVM_H
#define TARVIK_TESTS_FAKEJVM_H

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "fakes/FakePlatform.h"
#include "launch/JniTypes.h"

namespace tarvik {

class FakeJvm {
 public:
  FakeJvm();
  ~FakeJvm();

  // Makes `path` a loadable library of `os` exporting JNI_CreateJavaVM.
  void install(FakePlatform& os, const std::string& path);

  // --- scripting ---
  jni::jint createResult = 0;
  bool noVmPointers = false;  // claim success without filling the pointers
  bool classMissing = false;
  bool mainMissing = false;
  bool mainThrows = false;
  // main ends the process with this status, like System.exit: through the
  // exit hook, else as exit() does, through the platform's exit handler.
  std::optional<int> exitStatus;
  bool outOfMemory = false;  // NewObjectArray fails

  // --- records ---
  int creations = 0;
  jni::jint version = 0;
  jni::jint nOptions = -1;
  int ignoreUnrecognized = -1;
  std::vector<std::string> options;
  std::vector<void*> extraInfo;
  std::string cwdAtCreate;
  std::vector<std::string> calls;  // "FindClass com/example/App", ...
  std::vector<std::string> broken;  // JNI rules the launcher broke
  std::vector<std::string> mainArgs;
  bool mainArgsNull = false;

  // The last option named "exit" and its hook.
  jni::ExitHook exitHook() const;
};

}  // namespace tarvik

#endif  // TARVIK_TESTS_FAKEJVM_H
