// The parts of the Java Native Interface the launcher uses, declared from
// the JNI layout itself so that every build (the Windows cross build has no
// JDK headers) sees the same tables. Slots the launcher never calls are kept
// as untyped pointers: they only hold the place of the functions that follow.
#ifndef TARVIK_LAUNCH_JNITYPES_H
#define TARVIK_LAUNCH_JNITYPES_H

#include <cstddef>
#include <cstdint>

// JNI functions use __stdcall on 32-bit Windows only; elsewhere the
// platform's C convention.
#ifndef JNICALL
#if defined(_WIN32) && !defined(_WIN64)
#define JNICALL __stdcall
#else
#define JNICALL
#endif
#endif

namespace tarvik {
namespace jni {

using jint = int32_t;
using jsize = jint;
using jboolean = uint8_t;

struct Object;
struct Method;
using jobject = Object*;
using jclass = jobject;
using jstring = jobject;
using jobjectArray = jobject;
using jmethodID = Method*;

constexpr jint JNI_VERSION_1_2 = 0x00010002;
constexpr jboolean JNI_FALSE = 0;
constexpr jboolean JNI_TRUE = 1;

struct JNINativeInterface_;
struct JNIInvokeInterface_;
// As in C: an environment or VM pointer points at a pointer to its table.
using JNIEnv = const JNINativeInterface_*;
using JavaVM = const JNIInvokeInterface_*;

struct JavaVMOption {
  char* optionString;
  void* extraInfo;
};

struct JavaVMInitArgs {
  jint version;
  jint nOptions;
  JavaVMOption* options;
  jboolean ignoreUnrecognized;
};

// The environment's function table, in the documented slot order.
struct JNINativeInterface_ {
  void *reserved0, *reserved1, *reserved2, *reserved3, *GetVersion,
      *DefineClass;
  jclass(JNICALL* FindClass)(JNIEnv* env, const char* name);
  void *FromReflectedMethod, *FromReflectedField, *ToReflectedMethod,
      *GetSuperclass, *IsAssignableFrom, *ToReflectedField, *Throw, *ThrowNew,
      *ExceptionOccurred;
  void(JNICALL* ExceptionDescribe)(JNIEnv* env);
  void(JNICALL* ExceptionClear)(JNIEnv* env);
  void *FatalError, *PushLocalFrame, *PopLocalFrame, *NewGlobalRef,
      *DeleteGlobalRef, *DeleteLocalRef, *IsSameObject, *NewLocalRef,
      *EnsureLocalCapacity, *AllocObject, *NewObject, *NewObjectV, *NewObjectA,
      *GetObjectClass, *IsInstanceOf, *GetMethodID, *CallObjectMethod,
      *CallObjectMethodV, *CallObjectMethodA, *CallBooleanMethod,
      *CallBooleanMethodV, *CallBooleanMethodA, *CallByteMethod,
      *CallByteMethodV, *CallByteMethodA, *CallCharMethod, *CallCharMethodV,
      *CallCharMethodA, *CallShortMethod, *CallShortMethodV, *CallShortMethodA,
      *CallIntMethod, *CallIntMethodV, *CallIntMethodA, *CallLongMethod,
      *CallLongMethodV, *CallLongMethodA, *CallFloatMethod, *CallFloatMethodV,
      *CallFloatMethodA, *CallDoubleMethod, *CallDoubleMethodV,
      *CallDoubleMethodA, *CallVoidMethod, *CallVoidMethodV, *CallVoidMethodA,
      *CallNonvirtualObjectMethod, *CallNonvirtualObjectMethodV,
      *CallNonvirtualObjectMethodA, *CallNonvirtualBooleanMethod,
      *CallNonvirtualBooleanMethodV, *CallNonvirtualBooleanMethodA,
      *CallNonvirtualByteMethod, *CallNonvirtualByteMethodV,
      *CallNonvirtualByteMethodA, *CallNonvirtualCharMethod,
      *CallNonvirtualCharMethodV, *CallNonvirtualCharMethodA,
      *CallNonvirtualShortMethod, *CallNonvirtualShortMethodV,
      *CallNonvirtualShortMethodA, *CallNonvirtualIntMethod,
      *CallNonvirtualIntMethodV, *CallNonvirtualIntMethodA,
      *CallNonvirtualLongMethod, *CallNonvirtualLongMethodV,
      *CallNonvirtualLongMethodA, *CallNonvirtualFloatMethod,
      *CallNonvirtualFloatMethodV, *CallNonvirtualFloatMethodA,
      *CallNonvirtualDoubleMethod, *CallNonvirtualDoubleMethodV,
      *CallNonvirtualDoubleMethodA, *CallNonvirtualVoidMethod,
      *CallNonvirtualVoidMethodV, *CallNonvirtualVoidMethodA, *GetFieldID,
      *GetObjectField, *GetBooleanField, *GetByteField, *GetCharField,
      *GetShortField, *GetIntField, *GetLongField, *GetFloatField,
      *GetDoubleField, *SetObjectField, *SetBooleanField, *SetByteField,
      *SetCharField, *SetShortField, *SetIntField, *SetLongField,
      *SetFloatField, *SetDoubleField;
  jmethodID(JNICALL* GetStaticMethodID)(JNIEnv* env, jclass cls,
                                     const char* name, const char* sig);
  void *CallStaticObjectMethod, *CallStaticObjectMethodV,
      *CallStaticObjectMethodA, *CallStaticBooleanMethod,
      *CallStaticBooleanMethodV, *CallStaticBooleanMethodA,
      *CallStaticByteMethod, *CallStaticByteMethodV, *CallStaticByteMethodA,
      *CallStaticCharMethod, *CallStaticCharMethodV, *CallStaticCharMethodA,
      *CallStaticShortMethod, *CallStaticShortMethodV, *CallStaticShortMethodA,
      *CallStaticIntMethod, *CallStaticIntMethodV, *CallStaticIntMethodA,
      *CallStaticLongMethod, *CallStaticLongMethodV, *CallStaticLongMethodA,
      *CallStaticFloatMethod, *CallStaticFloatMethodV, *CallStaticFloatMethodA,
      *CallStaticDoubleMethod, *CallStaticDoubleMethodV,
      *CallStaticDoubleMethodA;
  void(JNICALL* CallStaticVoidMethod)(JNIEnv* env, jclass cls,
                                      jmethodID method, ...);
  void *CallStaticVoidMethodV, *CallStaticVoidMethodA, *GetStaticFieldID,
      *GetStaticObjectField, *GetStaticBooleanField, *GetStaticByteField,
      *GetStaticCharField, *GetStaticShortField, *GetStaticIntField,
      *GetStaticLongField, *GetStaticFloatField, *GetStaticDoubleField,
      *SetStaticObjectField, *SetStaticBooleanField, *SetStaticByteField,
      *SetStaticCharField, *SetStaticShortField, *SetStaticIntField,
      *SetStaticLongField, *SetStaticFloatField, *SetStaticDoubleField,
      *NewString, *GetStringLength, *GetStringChars, *ReleaseStringChars;
  jstring(JNICALL* NewStringUTF)(JNIEnv* env, const char* utf);
  void *GetStringUTFLength, *GetStringUTFChars, *ReleaseStringUTFChars,
      *GetArrayLength;
  jobjectArray(JNICALL* NewObjectArray)(JNIEnv* env, jsize length,
                                        jclass elementClass,
                                        jobject initialElement);
  void *GetObjectArrayElement;
  void(JNICALL* SetObjectArrayElement)(JNIEnv* env, jobjectArray array,
                                       jsize index, jobject value);
  void *NewBooleanArray, *NewByteArray, *NewCharArray, *NewShortArray,
      *NewIntArray, *NewLongArray, *NewFloatArray, *NewDoubleArray,
      *GetBooleanArrayElements, *GetByteArrayElements, *GetCharArrayElements,
      *GetShortArrayElements, *GetIntArrayElements, *GetLongArrayElements,
      *GetFloatArrayElements, *GetDoubleArrayElements,
      *ReleaseBooleanArrayElements, *ReleaseByteArrayElements,
      *ReleaseCharArrayElements, *ReleaseShortArrayElements,
      *ReleaseIntArrayElements, *ReleaseLongArrayElements,
      *ReleaseFloatArrayElements, *ReleaseDoubleArrayElements,
      *GetBooleanArrayRegion, *GetByteArrayRegion, *GetCharArrayRegion,
      *GetShortArrayRegion, *GetIntArrayRegion, *GetLongArrayRegion,
      *GetFloatArrayRegion, *GetDoubleArrayRegion, *SetBooleanArrayRegion,
      *SetByteArrayRegion, *SetCharArrayRegion, *SetShortArrayRegion,
      *SetIntArrayRegion, *SetLongArrayRegion, *SetFloatArrayRegion,
      *SetDoubleArrayRegion, *RegisterNatives, *UnregisterNatives,
      *MonitorEnter, *MonitorExit, *GetJavaVM, *GetStringRegion,
      *GetStringUTFRegion, *GetPrimitiveArrayCritical,
      *ReleasePrimitiveArrayCritical, *GetStringCritical,
      *ReleaseStringCritical, *NewWeakGlobalRef, *DeleteWeakGlobalRef;
  jboolean(JNICALL* ExceptionCheck)(JNIEnv* env);
  void *NewDirectByteBuffer, *GetDirectBufferAddress, *GetDirectBufferCapacity,
      *GetObjectRefType, *GetModule;
};

// The VM's function table: three reserved slots, then the five functions.
struct JNIInvokeInterface_ {
  void *reserved0, *reserved1, *reserved2;
  jint(JNICALL* DestroyJavaVM)(JavaVM* vm);
  jint(JNICALL* AttachCurrentThread)(JavaVM* vm, void** env, void* args);
  jint(JNICALL* DetachCurrentThread)(JavaVM* vm);
  void *GetEnv, *AttachCurrentThreadAsDaemon;
};

// The library export that creates the VM.
using CreateJavaVMFunction = jint(JNICALL*)(JavaVM** vm, void** env,
                                            void* args);
// The "exit" option's hook: called with the status when the VM ends the
// process.
using ExitHook = void(JNICALL*)(jint status);

// A slot's position counts pointers from the start of its table.
constexpr size_t slotOf(size_t offset) { return offset / sizeof(void*); }
static_assert(slotOf(offsetof(JNINativeInterface_, FindClass)) == 6, "");
static_assert(slotOf(offsetof(JNINativeInterface_, ExceptionDescribe)) == 16,
              "");
static_assert(slotOf(offsetof(JNINativeInterface_, ExceptionClear)) == 17, "");
static_assert(slotOf(offsetof(JNINativeInterface_, GetStaticMethodID)) == 113,
              "");
static_assert(
    slotOf(offsetof(JNINativeInterface_, CallStaticVoidMethod)) == 141, "");
static_assert(slotOf(offsetof(JNINativeInterface_, NewStringUTF)) == 167, "");
static_assert(slotOf(offsetof(JNINativeInterface_, NewObjectArray)) == 172,
              "");
static_assert(
    slotOf(offsetof(JNINativeInterface_, SetObjectArrayElement)) == 174, "");
static_assert(slotOf(offsetof(JNINativeInterface_, ExceptionCheck)) == 228,
              "");
static_assert(sizeof(JNINativeInterface_) == 234 * sizeof(void*), "");
static_assert(slotOf(offsetof(JNIInvokeInterface_, DestroyJavaVM)) == 3, "");
static_assert(slotOf(offsetof(JNIInvokeInterface_, AttachCurrentThread)) == 4,
              "");
static_assert(slotOf(offsetof(JNIInvokeInterface_, DetachCurrentThread)) == 5,
              "");
static_assert(sizeof(JNIInvokeInterface_) == 8 * sizeof(void*), "");

}  // namespace jni
}  // namespace tarvik

#endif  // TARVIK_LAUNCH_JNITYPES_H
