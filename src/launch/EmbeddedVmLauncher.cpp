#include "launch/EmbeddedVmLauncher.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "LaunchSettings.h"
#include "cache/StartupCache.h"
#include "launch/ChildLauncher.h"
#include "launch/CommandLineBuilder.h"
#include "launch/InstanceForwarding.h"
#include "launch/JavaLauncherOptions.h"
#include "launch/LauncherRestart.h"
#include "launch/ResolvedLaunch.h"
#include "launch/SplashScreen.h"
#include "launch/TaskbarIdentity.h"
#include "runtime/RuntimeRelease.h"
#include "support/AnsiCodePage.h"
#include "support/FileSystem.h"
#include "support/LauncherFolder.h"
#include "support/LogRedirector.h"
#include "support/Message.h"
#include "os/Platform.h"
#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {

namespace {

using namespace jni;

constexpr int RESULT_OK = 0;
constexpr int RESULT_FAILED = 1;
constexpr int RESULT_NO_LIBRARY = -1234;
constexpr int RESULT_NO_EXPORT = -1235;

const char* const LIBRARY_CAPTION = "Unable To Load JVM Library";
const char* const JAVA_OPTIONS_VARIABLE = "JDK_JAVA_OPTIONS";
const char* const COMMAND_PROPERTY = "-Dsun.java.command=";
// Java's own launcher names itself so to the VM.
const char* const LAUNCHER_PROPERTY = "-Dsun.java.launcher=";
const char* const LAUNCHER_NAME = "SUN_STANDARD";
const char* const OPTION_CAPTION = "Unsupported JVM Option";

// The settings hold the options as command-line text ("-Dx="a b""); what
// the VM is given of each is configuredVmOptions' to say. The class path is
// joined without any quoting, so a trailing backslash stays one backslash.

// The option texts after "-Djava.class.path=" and "exit": the VM options in
// list order, then the heap limit when none was configured.
std::vector<std::string> vmOptionTexts(const ResolvedLaunch& launch,
                                       const LaunchSettings& s) {
  std::vector<std::string> texts = vmOptionsInProcess(launch);
  // The same rule and value as on the command line.
  if (!launch.heapGiven) {
    std::string heap = heapLimitOption(s.percentRam);
    if (!heap.empty()) texts.push_back(heap);
  }
  return texts;
}

// The VM this launch runs, from its creation until its end, for a stop
// asked from another thread.
std::atomic<JavaVM*> gRunningVm{nullptr};

// Whether a VM of this launch may end the process, from its creation until
// the launch is done with it.
std::atomic<bool> gVmMayEndProcess{false};

// The process's exit handler: the VM's end through exit(), as the exit hook
// would have been told it. After the VM, the launcher's own end is its own.
void vmEndedThroughExit(int status) {
  if (gVmMayEndProcess) vmExitHook(status);
}

// Calls a static method `className`.`method` taking () or (String[]).
bool callStopMethod(JNIEnv* env, const std::string& qualified) {
  const size_t dot = qualified.rfind('.');
  std::string className = qualified.substr(0, dot);
  for (char& c : className)
    if (c == '.') c = '/';
  const std::string method = qualified.substr(dot + 1);
  jclass owner = (*env)->FindClass(env, className.c_str());
  if (owner == nullptr) {
    (*env)->ExceptionDescribe(env);
    return false;
  }
  if (jmethodID plain = (*env)->GetStaticMethodID(env, owner, method.c_str(), "()V")) {
    (*env)->CallStaticVoidMethod(env, owner, plain);
  } else {
    (*env)->ExceptionClear(env);
    jmethodID withArgs = (*env)->GetStaticMethodID(env, owner, method.c_str(),
                                                   "([Ljava/lang/String;)V");
    jclass stringClass = withArgs ? (*env)->FindClass(env, "java/lang/String") : nullptr;
    jobjectArray none =
        stringClass ? (*env)->NewObjectArray(env, 0, stringClass, nullptr) : nullptr;
    if (none == nullptr) {
      (*env)->ExceptionDescribe(env);
      return false;
    }
    (*env)->CallStaticVoidMethod(env, owner, withArgs, none);
  }
  if ((*env)->ExceptionCheck(env)) {
    (*env)->ExceptionDescribe(env);
    return false;
  }
  return true;
}

// Runs main(String[]) on the created VM; the result of the launch.
int runMain(JavaVM* vm, JNIEnv* env, const LaunchSettings& s) {
  std::string className = *s.mainClass;
  for (char& c : className)
    if (c == '.') c = '/';

  jclass mainClass = (*env)->FindClass(env, className.c_str());
  if (mainClass == nullptr) {
    (*env)->ExceptionDescribe(env);
    (*vm)->DestroyJavaVM(vm);
    return RESULT_FAILED;
  }
  // Without a main method the VM has a NoSuchMethodError pending: shown
  // and a failure, as Java's own launcher ends.
  jmethodID mainMethod = (*env)->GetStaticMethodID(
      env, mainClass, "main", "([Ljava/lang/String;)V");
  if (mainMethod == nullptr) {
    (*env)->ExceptionDescribe(env);
    (*vm)->DestroyJavaVM(vm);
    return RESULT_FAILED;
  }

  // Building the arguments fails only when the VM is out of memory; going
  // on with an exception pending would break the JNI rules.
  jclass stringClass = (*env)->FindClass(env, "java/lang/String");
  jobjectArray args = nullptr;
  const std::vector<std::string> arguments = applicationArguments(s);
  if (stringClass != nullptr) {
    args = (*env)->NewObjectArray(
        env, static_cast<jsize>(arguments.size()), stringClass, nullptr);
  }
  for (size_t i = 0; args != nullptr && i < arguments.size(); ++i) {
    // The arguments are UTF-8; the VM takes its modified form, which
    // differs for characters beyond U+FFFF.
    const std::string javaText = modifiedUtf8(arguments[i]);
    jstring arg = (*env)->NewStringUTF(env, javaText.c_str());
    if (arg == nullptr) {
      args = nullptr;
      break;
    }
    (*env)->SetObjectArrayElement(env, args, static_cast<jsize>(i), arg);
  }
  if (args == nullptr) {
    (*env)->ExceptionDescribe(env);
    (*vm)->DestroyJavaVM(vm);
    return RESULT_FAILED;
  }

  gRunningVm = vm;
  (*env)->CallStaticVoidMethod(env, mainClass, mainMethod, args);
  // An exception out of main is a failure, as for Java's own launcher.
  int result = RESULT_OK;
  if ((*env)->ExceptionCheck(env)) {
    (*env)->ExceptionDescribe(env);
    (*env)->ExceptionClear(env);
    result = RESULT_FAILED;
  }
  // Waits for the application's other non-daemon threads (its windows).
  (*vm)->DestroyJavaVM(vm);
  gRunningVm = nullptr;
  return result;
}

// Java's launcher reads JDK_JAVA_OPTIONS from Java 9 on, before the
// options of its command line. False, after a line on standard error, when
// the variable cannot be used.
bool readJavaOptionsVariable(const std::string& library,
                             std::vector<std::string>& words) {
  Platform& os = platform();
  const std::optional<std::string> value = os.getEnv(JAVA_OPTIONS_VARIABLE);
  if (!value || value->empty()) return true;
  const std::vector<std::string> folders = jvmDependencyFolders(library);
  if (!folders.empty()) {
    const std::string& folder = folders.front();
    const size_t cut = folder.find_last_of("/\\");
    if (cut != std::string::npos) {
      std::optional<std::string> version =
          readRuntimeVersion(folder.substr(0, cut));
      std::optional<int> feature = version ? featureVersion(*version) : std::nullopt;
      if (feature && *feature < 9) return true;
    }
  }
  os.writeStderr(std::string("NOTE: Picked up ") + JAVA_OPTIONS_VARIABLE +
                 ": " + *value + "\n");
  std::optional<std::vector<std::string>> split = splitJavaOptionsVariable(*value);
  if (!split) {
    os.writeStderr(std::string(JAVA_OPTIONS_VARIABLE) +
                   " holds a quote that is not closed. The VM is not started.\n");
    return false;
  }
  for (size_t i = 0; i < split->size(); ++i) {
    const std::string& word = (*split)[i];
    if (std::optional<std::string> why = refusedInJavaOptionsVariable(word)) {
      os.writeStderr(std::string(JAVA_OPTIONS_VARIABLE) + " holds " + word +
                     ", which may not stand there: " + *why +
                     ". The VM is not started.\n");
      return false;
    }
    if (word[0] == '@') {
      os.writeStderr(std::string(JAVA_OPTIONS_VARIABLE) + ": the argument file " +
                     word + " is not read by a VM run in-process; it is left out.\n");
      continue;
    }
    // The configured class path comes later and wins, as it does on the
    // child's command line.
    if (word == "-cp" || word == "-classpath" || word == "--class-path") {
      ++i;
      continue;
    }
    words.push_back(ansiReadableOption(word));
  }
  return true;
}

// Whether one of the option texts sets `property` ("-Dname=").
bool propertyGiven(const std::vector<std::string>& texts, const char* property) {
  for (const std::string& text : texts)
    if (startsWith(text, property)) return true;
  return false;
}

// "-Dsun.java.command=<main class> <arguments>", by which jps and jcmd name
// the application; nothing when the configuration sets it itself. What the
// code page cannot hold is left out (the arguments, else the whole
// property): main gets its arguments, and FindClass its class, whole anyway.
std::optional<std::string> commandProperty(const LaunchSettings& s,
                                           const std::vector<std::string>& texts) {
  if (propertyGiven(texts, COMMAND_PROPERTY)) return std::nullopt;
  const std::string command = COMMAND_PROPERTY + *s.mainClass;
  std::string withArguments = command;
  for (const std::string& argument : applicationArguments(s))
    withArguments += " " + argument;
  if (platform().toAnsiCodePage(withArguments)) return withArguments;
  if (platform().toAnsiCodePage(command)) return command;
  return std::nullopt;
}

}  // namespace

std::vector<std::string> jvmDependencyFolders(const std::string& library) {
  const size_t name = library.find_last_of("/\\");
  if (name == std::string::npos || name == 0) return {};
  const size_t folder = library.find_last_of("/\\", name - 1);
  const size_t start = folder == std::string::npos ? 0 : folder + 1;
  const std::string variant = toLowerCase(library.substr(start, name - start));
  if (folder == std::string::npos || (variant != "server" && variant != "client"))
    return {};
  return {library.substr(0, folder)};
}

// The VM has written its archive before it calls the hook.
void JNICALL vmExitHook(jint status) {
  finishStartupCache();
  if (asksForRestart(static_cast<uint32_t>(status))) {
    // A new process would be no service: the service manager starts the
    // service's process. The service ends, and its recovery actions may
    // start it again.
    if (!options().runsAsService) restartLauncherFor(status);
    platform().writeStderr(
        "The application asked to be started again (exit code " + std::to_string(status) +
        "); in-process, its VM cannot be made again in the service's process, so the "
        "service ends.\n");
  }
  exitLauncher(status);
}

// A VM that gives up as it starts (a heap too small, say) ends the process
// through this hook, not the exit hook: what a training hid of its console
// is shown all the same, and the files the VM was to write go. Named only
// to a VM that writes the cache, so that other VMs' arguments stay as they
// were.
void JNICALL vmAbortHook() { finishStartupCache(); }

bool askVmToStop(const OptionalText& stopMethod) {
  JavaVM* vm = gRunningVm;
  if (vm == nullptr) return false;
  void* attached = nullptr;
  if ((*vm)->AttachCurrentThread(vm, &attached, nullptr) != 0 || !attached)
    return false;
  JNIEnv* env = static_cast<JNIEnv*>(attached);
  if (stopMethod) {
    const bool called = callStopMethod(env, *stopMethod);
    (*vm)->DetachCurrentThread(vm);
    return called;
  }
  // As System.exit(0): the shutdown hooks run, then vmExitHook ends the
  // process. The call does not come back.
  jclass system = (*env)->FindClass(env, "java/lang/System");
  jmethodID exit = system ? (*env)->GetStaticMethodID(env, system, "exit", "(I)V")
                          : nullptr;
  if (exit == nullptr) {
    (*env)->ExceptionDescribe(env);
    (*vm)->DetachCurrentThread(vm);
    return false;
  }
  (*env)->CallStaticVoidMethod(env, system, exit, 0);
  (*vm)->DetachCurrentThread(vm);
  return true;
}

int launchInProcess() {
  const std::optional<ResolvedLaunch> launch = resolveLaunch();
  if (!launch) return RESULT_NO_LIBRARY;
  return launchInProcess(*launch);
}

int launchInProcess(const ResolvedLaunch& launch) {
  const LaunchSettings& s = settings();
  Platform& os = platform();

  if (s.showConsole) {
    openConsole();
    if (s.consoleTitle && !s.consoleTitle->empty())
      os.setConsoleTitle(*s.consoleTitle);
  }
  const std::string& javaLib = launch.jvmLibrary;
  // Before loading: the application runs there.
  if (launch.applicationFolder) os.changeDirectory(*launch.applicationFolder);
  // Before the VM, whose windows take the identity the process has then.
  setOwnTaskbarIdentity();

  void* library =
      os.loadLibraryWithDependenciesIn(javaLib, jvmDependencyFolders(javaLib));
  if (library == nullptr) {
    showMessage(LIBRARY_CAPTION, "Unable to load JVM library: " + javaLib,
                true);
    return RESULT_NO_LIBRARY;
  }
  auto createJavaVm = reinterpret_cast<CreateJavaVMFunction>(
      os.findSymbol(library, "JNI_CreateJavaVM"));
  if (createJavaVm == nullptr) {
    showMessage(LIBRARY_CAPTION,
                "Unable to load JVM library, missing JNI_CreateJavaVM", true);
    return RESULT_NO_EXPORT;
  }

  // The texts live until the VM is gone; it may read them while it runs.
  std::vector<std::string> texts;
  texts.push_back("-Djava.class.path=" +
                  ansiReadableClassPath(joinClassPathEntries(classPathAsHanded(launch), true)));
  writeRecord("Classpath: " + texts.front() + "\n");
  os.flushStdout();
  if (!launch.runtimeHome.empty()) {
    std::vector<std::string> cache = startupCacheOptions(launch, false);
    texts.insert(texts.end(), cache.begin(), cache.end());
  }
  const std::vector<std::string> endpoint = instanceEndpointOptions();
  texts.insert(texts.end(), endpoint.begin(), endpoint.end());
  // What Java's launcher would make of the same options: the variable's
  // first, then the configured ones.
  std::vector<std::string> variableWords;
  if (!readJavaOptionsVariable(javaLib, variableWords)) return RESULT_FAILED;
  LauncherOptionResult translated;
  translateLauncherOptions(variableWords, translated);
  translateLauncherOptions(vmOptionTexts(launch, s), translated);
  texts.insert(texts.end(), translated.vmOptions.begin(),
               translated.vmOptions.end());
  if (s.mainClass && !s.mainClass->empty())
    if (std::optional<std::string> command = commandProperty(s, texts))
      texts.push_back(*command);
  // After the command, as Java's launcher adds them; one the configuration
  // sets stays, like the command.
  if (!propertyGiven(texts, LAUNCHER_PROPERTY))
    texts.push_back(std::string(LAUNCHER_PROPERTY) + LAUNCHER_NAME);

  // The VM reads its options in the ANSI code page; one that cannot be
  // written there would reach it mangled.
  for (std::string& text : texts) {
    std::optional<std::string> ansi = os.toAnsiCodePage(text);
    if (!ansi) {
      showMessage(OPTION_CAPTION,
                  "The Java VM option\n" + text + "\nholds characters "
                  "that the system's code page cannot represent, so the "
                  "VM cannot read it. Exiting...",
                  true);
      exitLauncher(RESULT_FAILED);
    }
    text = *ansi;
  }

  static char exitOption[] = "exit";
  static char abortOption[] = "abort";
  std::vector<JavaVMOption> vmOptions;
  vmOptions.push_back({&texts[0][0], nullptr});
  // The VM lists an "exit" option among the application's input arguments,
  // where Java's own launcher has none: where the system tells the exit
  // status to the process's own handler, the launcher learns of the VM's
  // end there.
  if (!os.callOnExit(vmEndedThroughExit))
    vmOptions.push_back({exitOption, reinterpret_cast<void*>(&vmExitHook)});
  if (!startup().pendingTraining.empty() || !startup().pendingArchive.empty())
    vmOptions.push_back(
        {abortOption, reinterpret_cast<void*>(&vmAbortHook)});
  for (size_t i = 1; i < texts.size(); ++i)
    vmOptions.push_back({&texts[i][0], nullptr});

  JavaVMInitArgs initArgs;
  initArgs.version = JNI_VERSION_1_2;
  initArgs.nOptions = static_cast<jint>(vmOptions.size());
  initArgs.options = vmOptions.data();
  initArgs.ignoreUnrecognized = JNI_TRUE;

  // Checked before the VM exists, so that none is left half used.
  if (!s.mainClass || s.mainClass->empty()) {
    showMessage("No Main Class",
                "No main class is set: add a mainclass line to the "
                "configuration file. Exiting...",
                true);
    return RESULT_FAILED;
  }

  void* splash = translated.splashImage
                     ? showSplashScreen(javaLib, *translated.splashImage)
                     : nullptr;

  // As Java's launcher does, the VM is made and main run on a thread of
  // the stack size -Xss asks for; where none can be made, on this one.
  int result = RESULT_FAILED;
  const auto createAndRun = [&] {
    JavaVM* vm = nullptr;
    void* env = nullptr;
    jint created = createJavaVm(&vm, &env, &initArgs);
    // A library that claims success without a VM cannot be used either.
    if (created < 0 || vm == nullptr || env == nullptr) {
      closeSplashScreen(splash);
      showMessage("Error creating JVM", "Error creating Java VM. Exiting...",
                  true);
      result = RESULT_FAILED;
      return;
    }
    result = runMain(vm, static_cast<JNIEnv*>(env), s);
  };
  gVmMayEndProcess = true;
  if (!os.runOnNewThread(translated.mainStackBytes, createAndRun))
    createAndRun();
  gVmMayEndProcess = false;
  finishStartupCache();
  return result;
}

}  // namespace tarvik
