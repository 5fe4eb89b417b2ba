#include "fakes/FakeJvm.h"

#include <cstdarg>
#include <cstring>

namespace tarvik {

using namespace jni;

struct jni::Object {
  enum Kind { MainClass, StringClass, String, Array } kind;
  std::string text;
  std::vector<jobject> elements;
};
struct jni::Method {};

namespace {

FakeJvm* current = nullptr;
bool created = false;
std::string pending;  // the pending exception, empty for none
std::deque<Object> objects;
Object mainClassObject{Object::MainClass, {}, {}};
Object stringClassObject{Object::StringClass, {}, {}};
Method mainMethodObject;

JNINativeInterface_ envTable;
JNIInvokeInterface_ vmTable;
JNIEnv envHandle = &envTable;
JavaVM vmHandle = &vmTable;

void call(const std::string& what) { current->calls.push_back(what); }

void check(JNIEnv* env, const std::string& what, bool exceptionSafe) {
  if (env != &envHandle) current->broken.push_back(what + ": foreign env");
  if (!created) current->broken.push_back(what + ": no VM");
  if (!exceptionSafe && !pending.empty())
    current->broken.push_back(what + ": exception pending");
}

jclass JNICALL findClass(JNIEnv* env, const char* name) {
  check(env, "FindClass", false);
  call(std::string("FindClass ") + name);
  if (std::strcmp(name, "java/lang/String") == 0) return &stringClassObject;
  if (current->classMissing) {
    pending = std::string("java.lang.NoClassDefFoundError: ") + name;
    return nullptr;
  }
  return &mainClassObject;
}

jmethodID JNICALL getStaticMethodID(JNIEnv* env, jclass cls, const char* name,
                                    const char* sig) {
  check(env, "GetStaticMethodID", false);
  call(std::string("GetStaticMethodID ") + name + " " + sig);
  if (cls != &mainClassObject)
    current->broken.push_back("GetStaticMethodID: not the main class");
  if (current->mainMissing || std::strcmp(name, "main") != 0 ||
      std::strcmp(sig, "([Ljava/lang/String;)V") != 0) {
    pending = std::string("java.lang.NoSuchMethodError: ") + name;
    return nullptr;
  }
  return &mainMethodObject;
}

jobjectArray JNICALL newObjectArray(JNIEnv* env, jsize length, jclass cls,
                                    jobject init) {
  check(env, "NewObjectArray", false);
  call("NewObjectArray " + std::to_string(length));
  if (cls != &stringClassObject)
    current->broken.push_back("NewObjectArray: not java/lang/String");
  if (current->outOfMemory) {
    pending = "java.lang.OutOfMemoryError";
    return nullptr;
  }
  objects.push_back({Object::Array, {}, {}});
  objects.back().elements.assign(static_cast<size_t>(length), init);
  return &objects.back();
}

jstring JNICALL newStringUTF(JNIEnv* env, const char* utf) {
  check(env, "NewStringUTF", false);
  call(std::string("NewStringUTF ") + utf);
  objects.push_back({Object::String, utf, {}});
  return &objects.back();
}

void JNICALL setObjectArrayElement(JNIEnv* env, jobjectArray array,
                                   jsize index, jobject value) {
  check(env, "SetObjectArrayElement", false);
  call("SetObjectArrayElement " + std::to_string(index));
  if (array == nullptr || array->kind != Object::Array ||
      index < 0 || static_cast<size_t>(index) >= array->elements.size()) {
    current->broken.push_back("SetObjectArrayElement: bad array or index");
    return;
  }
  array->elements[static_cast<size_t>(index)] = value;
}

void JNICALL callStaticVoidMethod(JNIEnv* env, jclass cls, jmethodID method,
                                  ...) {
  check(env, "CallStaticVoidMethod", false);
  call("CallStaticVoidMethod");
  if (cls != &mainClassObject || method != &mainMethodObject)
    current->broken.push_back("CallStaticVoidMethod: not main");
  va_list ap;
  va_start(ap, method);
  jobject args = va_arg(ap, jobject);
  va_end(ap);
  current->mainArgsNull = args == nullptr;
  if (args != nullptr) {
    for (jobject element : args->elements)
      current->mainArgs.push_back(element ? element->text : "<null>");
  }
  if (current->exitStatus) {
    ExitHook hook = current->exitHook();
    auto* os = dynamic_cast<FakePlatform*>(&platform());
    if (hook == nullptr && os && os->exitHandler) {
      os->exitHandler(*current->exitStatus);
      os->exitProcess(*current->exitStatus);
    }
    if (hook == nullptr) {
      current->broken.push_back("exit: no hook");
      return;
    }
    hook(*current->exitStatus);
    current->broken.push_back("exit: the hook returned");
    return;
  }
  if (current->mainThrows) pending = "java.lang.IllegalStateException: boom";
}

jboolean JNICALL exceptionCheck(JNIEnv* env) {
  check(env, "ExceptionCheck", true);
  call("ExceptionCheck");
  return pending.empty() ? JNI_FALSE : JNI_TRUE;
}

// Like the real VM: prints the pending exception and clears it.
void JNICALL exceptionDescribe(JNIEnv* env) {
  check(env, "ExceptionDescribe", true);
  call("ExceptionDescribe");
  if (!pending.empty())
    platform().writeStderr("Exception in thread \"main\" " + pending + "\n");
  pending.clear();
}

void JNICALL exceptionClear(JNIEnv* env) {
  check(env, "ExceptionClear", true);
  call("ExceptionClear");
  pending.clear();
}

jint JNICALL destroyJavaVM(JavaVM* vm) {
  if (vm != &vmHandle) current->broken.push_back("DestroyJavaVM: foreign vm");
  if (!created) current->broken.push_back("DestroyJavaVM: no VM");
  call("DestroyJavaVM");
  created = false;
  return 0;
}

jint JNICALL createJavaVM(JavaVM** vm, void** env, void* vargs) {
  FakeJvm& jvm = *current;
  ++jvm.creations;
  if (created) jvm.broken.push_back("JNI_CreateJavaVM: a VM exists");
  auto* args = static_cast<JavaVMInitArgs*>(vargs);
  jvm.version = args->version;
  jvm.nOptions = args->nOptions;
  jvm.ignoreUnrecognized = args->ignoreUnrecognized;
  for (jint i = 0; i < args->nOptions; ++i) {
    jvm.options.push_back(args->options[i].optionString);
    jvm.extraInfo.push_back(args->options[i].extraInfo);
  }
  jvm.cwdAtCreate = platform().currentDirectory();
  if (jvm.createResult < 0) return jvm.createResult;
  if (jvm.noVmPointers) return jvm.createResult;
  created = true;
  *vm = &vmHandle;
  *env = &envHandle;
  return jvm.createResult;
}

}  // namespace

FakeJvm::FakeJvm() {
  current = this;
  created = false;
  pending.clear();
  objects.clear();
  std::memset(&envTable, 0, sizeof envTable);
  std::memset(&vmTable, 0, sizeof vmTable);
  envTable.FindClass = findClass;
  envTable.GetStaticMethodID = getStaticMethodID;
  envTable.NewObjectArray = newObjectArray;
  envTable.NewStringUTF = newStringUTF;
  envTable.SetObjectArrayElement = setObjectArrayElement;
  envTable.CallStaticVoidMethod = callStaticVoidMethod;
  envTable.ExceptionCheck = exceptionCheck;
  envTable.ExceptionDescribe = exceptionDescribe;
  envTable.ExceptionClear = exceptionClear;
  vmTable.DestroyJavaVM = destroyJavaVM;
}

FakeJvm::~FakeJvm() {
  if (current == this) current = nullptr;
}

void FakeJvm::install(FakePlatform& os, const std::string& path) {
  os.libraries[path]["JNI_CreateJavaVM"] =
      reinterpret_cast<void*>(&createJavaVM);
}

ExitHook FakeJvm::exitHook() const {
  ExitHook hook = nullptr;
  for (size_t i = 0; i < options.size(); ++i)
    if (options[i] == "exit") hook = reinterpret_cast<ExitHook>(extraInfo[i]);
  return hook;
}

}  // namespace tarvik
