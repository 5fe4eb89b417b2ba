/*
 * fakejvm.dll - stands in for jvm.dll in end-to-end tests (test code only,
 * never shipped). Exports JNI_CreateJavaVM and hands out JNI function
 * tables laid out like the real ones; only the calls a launcher needs to
 * start a main class work, every other slot records and aborts.
 *
 * Record (appended to FAKEJVM_RECORD, one line per event, text escaped as
 * \\ \t \r \n):
 *   create <TAB> VERSION(hex 0x...) <TAB> NOPTIONS <TAB> IGNOREUNRECOGNIZED
 *   option <TAB> I <TAB> STRING <TAB> hook|nohook   (read in the ANSI code
 *                                                 page, as the VM does;
 *                                                 recorded as UTF-8)
 *   FindClass <TAB> NAME            GetStaticMethodID <TAB> NAME <TAB> SIG
 *   NewObjectArray <TAB> LEN        NewStringUTF <TAB> TEXT (as UTF-8)
 *   SetObjectArrayElement <TAB> I   CallStaticVoidMethod
 *   exit <TAB> STATUS <TAB> hook|nohook     (FAKEJVM_EXIT_STATUS)
 *   ExceptionCheck  ExceptionDescribe  ExceptionClear  DestroyJavaVM
 *   unexpected <TAB> N              (JNIEnv slot N; exits with 77)
 *   unexpected <TAB> vm:N           (JavaVM slot N; exits with 77)
 *   bad <TAB> WHAT <TAB> WHY        (the caller broke a JNI rule)
 *
 *   dependency <TAB> 42             (depjvm.dll: tvdep.dll was loaded)
 *   library <TAB> PATH              (its own path, with FAKEJVM_RECORD_PATH)
 *
 *   AttachCurrentThread  DetachCurrentThread
 *   stop                            (the FAKEJVM_STOP_METHOD was called)
 *   main ends                       (FAKEJVM_MAIN_WAITS: main returns)
 *
 *   appid <TAB> ID|<none 0xHRESULT>   (FAKEJVM_APPID: the process's taskbar
 *                                   identity when the VM is created; then
 *                                   "fakejvm: JNI_CreateJavaVM" on stderr)
 *
 * Behaviour: FAKEJVM_CREATE_RESULT (returned jint, <0 = failure),
 * FAKEJVM_NO_CLASS, FAKEJVM_NO_MAIN, FAKEJVM_THROW, FAKEJVM_EXIT_STATUS.
 * FAKEJVM_MAIN_WAITS: main runs until the stop method is called (60 s at
 * most); FAKEJVM_STOP_METHOD names that static ()V method of any class.
 * System.exit(I) ends the process as FAKEJVM_EXIT_STATUS does. Another
 * thread may call once attached.
 */
#include <windows.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "appid.h"

#define JNICALL __stdcall

typedef int jint;
typedef unsigned char jboolean;
typedef void *jobject;
typedef jobject jclass;
typedef jobject jstring;
typedef jobject jobjectArray;
typedef void *jmethodID;

typedef struct {
    char *optionString;
    void *extraInfo;
} JavaVMOption;

typedef struct {
    jint version;
    jint nOptions;
    JavaVMOption *options;
    jboolean ignoreUnrecognized;
} JavaVMInitArgs;

typedef void (*slot_fn)(void);

/* Slot indexes in the JNIEnv function table (4 reserved slots first). */
enum {
    SLOT_FindClass = 6,
    SLOT_ExceptionDescribe = 16,
    SLOT_ExceptionClear = 17,
    SLOT_GetStaticMethodID = 113,
    SLOT_CallStaticVoidMethod = 141,
    SLOT_NewStringUTF = 167,
    SLOT_NewObjectArray = 172,
    SLOT_SetObjectArrayElement = 174,
    SLOT_ExceptionCheck = 228,
    /* 234 slots as of JNI 10; a few spare ones catch newer callers too. */
    ENV_SLOTS = 240
};

/* Slot indexes in the JavaVM function table (3 reserved slots first). */
enum {
    VMSLOT_DestroyJavaVM = 3,
    VMSLOT_AttachCurrentThread = 4,
    VMSLOT_DetachCurrentThread = 5,
    VM_SLOTS = 8
};

/* ---- recording ----------------------------------------------------------- */

static void append_record(const char *line, size_t n)
{
    char path[MAX_PATH * 4];
    HANDLE f;
    DWORD done;
    DWORD len = GetEnvironmentVariableA("FAKEJVM_RECORD", path, sizeof path);
    if (len == 0 || len >= sizeof path)
        return;
    /* Open per line so the record survives ExitProcess anywhere. */
    f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return;
    WriteFile(f, line, (DWORD)n, &done, NULL);
    CloseHandle(f);
}

/* Builds one line: FMT's %s are escaped, %d are ints, %x hex. */
static void record(const char *fmt, ...)
{
    char line[16384];
    size_t n = 0;
    va_list ap;
    va_start(ap, fmt);
    for (; *fmt && n < sizeof line - 64; fmt++) {
        if (*fmt != '%') {
            line[n++] = *fmt;
            continue;
        }
        fmt++;
        if (*fmt == 's') {
            const char *s = va_arg(ap, const char *);
            if (!s)
                s = "<null>";
            for (; *s && n < sizeof line - 64; s++) {
                const char *e = NULL;
                switch (*s) {
                case '\\': e = "\\\\"; break;
                case '\t': e = "\\t"; break;
                case '\r': e = "\\r"; break;
                case '\n': e = "\\n"; break;
                }
                if (e) {
                    line[n++] = e[0];
                    line[n++] = e[1];
                } else {
                    line[n++] = *s;
                }
            }
        } else if (*fmt == 'd') {
            n += sprintf(line + n, "%d", va_arg(ap, int));
        } else if (*fmt == 'x') {
            n += sprintf(line + n, "0x%08x", va_arg(ap, unsigned));
        }
    }
    va_end(ap);
    line[n++] = '\n';
    append_record(line, n);
}

static int env_set(const char *name)
{
    char v[64];
    DWORD n = GetEnvironmentVariableA(name, v, sizeof v);
    return n > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}

static int env_int(const char *name, int *out)
{
    char v[64];
    DWORD n = GetEnvironmentVariableA(name, v, sizeof v);
    if (n == 0 || n >= sizeof v)
        return 0;
    *out = (int)strtol(v, NULL, 10);
    return 1;
}

/* ---- text ------------------------------------------------------------------ */

/* A malloc'ed UTF-8 copy of text in code page CP. */
static char *utf8_from(UINT cp, const char *text)
{
    int n = MultiByteToWideChar(cp, 0, text, -1, NULL, 0);
    wchar_t *w = (wchar_t *)malloc((n > 0 ? n : 1) * sizeof(wchar_t));
    char *s;
    int m;
    w[0] = 0;
    if (n > 0)
        MultiByteToWideChar(cp, 0, text, -1, w, n);
    m = WideCharToMultiByte(CP_UTF8, 0, w, -1, NULL, 0, NULL, NULL);
    s = (char *)malloc(m > 0 ? m : 1);
    s[0] = 0;
    if (m > 0)
        WideCharToMultiByte(CP_UTF8, 0, w, -1, s, m, NULL, NULL);
    free(w);
    return s;
}

/* Java's modified UTF-8 to UTF-8, or NULL when TEXT is not well formed:
 * one to three bytes per UTF-16 unit, no 4-byte forms, no overlong forms
 * but C0 80 for NUL, surrogates only in pairs. */
static char *utf8_from_modified(const char *text)
{
    const unsigned char *p = (const unsigned char *)text;
    char *out = (char *)malloc(strlen(text) + 1), *o = out;
    while (*p) {
        unsigned u, lo;
        int n;
        if (p[0] < 0x80) {
            *o++ = (char)*p++;
            continue;
        }
        if ((p[0] & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) {
            u = ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
            if (u < 0x80 && u != 0)
                goto bad;
            n = 2;
        } else if ((p[0] & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 &&
                   (p[2] & 0xC0) == 0x80) {
            u = ((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            if (u < 0x800)
                goto bad;
            n = 3;
        } else {
            goto bad;
        }
        p += n;
        if (u >= 0xDC00 && u <= 0xDFFF)
            goto bad;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (!((p[0] & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 &&
                  (p[2] & 0xC0) == 0x80))
                goto bad;
            lo = ((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
            if (lo < 0xDC00 || lo > 0xDFFF)
                goto bad;
            p += 3;
            u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
            *o++ = (char)(0xF0 | (u >> 18));
            *o++ = (char)(0x80 | ((u >> 12) & 0x3F));
            *o++ = (char)(0x80 | ((u >> 6) & 0x3F));
            *o++ = (char)(0x80 | (u & 0x3F));
        } else if (u < 0x80) {
            *o++ = 0;  /* C0 80 */
        } else if (u < 0x800) {
            *o++ = (char)(0xC0 | (u >> 6));
            *o++ = (char)(0x80 | (u & 0x3F));
        } else {
            *o++ = (char)(0xE0 | (u >> 12));
            *o++ = (char)(0x80 | ((u >> 6) & 0x3F));
            *o++ = (char)(0x80 | (u & 0x3F));
        }
    }
    *o = 0;
    return out;
bad:
    free(out);
    return NULL;
}

/* ---- unexpected slots ---------------------------------------------------- */

static void unexpected(int slot, int vm)
{
    if (vm)
        record("unexpected\tvm:%d", slot);
    else
        record("unexpected\t%d", slot);
    fprintf(stderr, "fakejvm: unexpected call through %s slot %d\n",
            vm ? "JavaVM" : "JNIEnv", slot);
    fflush(stderr);
    ExitProcess(77);
}

#define ENV_STUB(n) static void env_stub_##n(void) { unexpected(n, 0); }
#define ENV_STUB10(p) ENV_STUB(p##0) ENV_STUB(p##1) ENV_STUB(p##2) \
    ENV_STUB(p##3) ENV_STUB(p##4) ENV_STUB(p##5) ENV_STUB(p##6) \
    ENV_STUB(p##7) ENV_STUB(p##8) ENV_STUB(p##9)
#define ENV_REF(n) env_stub_##n,
#define ENV_REF10(p) ENV_REF(p##0) ENV_REF(p##1) ENV_REF(p##2) ENV_REF(p##3) \
    ENV_REF(p##4) ENV_REF(p##5) ENV_REF(p##6) ENV_REF(p##7) ENV_REF(p##8) \
    ENV_REF(p##9)

ENV_STUB10() ENV_STUB10(1) ENV_STUB10(2) ENV_STUB10(3) ENV_STUB10(4)
ENV_STUB10(5) ENV_STUB10(6) ENV_STUB10(7) ENV_STUB10(8) ENV_STUB10(9)
ENV_STUB10(10) ENV_STUB10(11) ENV_STUB10(12) ENV_STUB10(13) ENV_STUB10(14)
ENV_STUB10(15) ENV_STUB10(16) ENV_STUB10(17) ENV_STUB10(18) ENV_STUB10(19)
ENV_STUB10(20) ENV_STUB10(21) ENV_STUB10(22) ENV_STUB10(23)

static slot_fn env_table[ENV_SLOTS] = {
    ENV_REF10() ENV_REF10(1) ENV_REF10(2) ENV_REF10(3) ENV_REF10(4)
    ENV_REF10(5) ENV_REF10(6) ENV_REF10(7) ENV_REF10(8) ENV_REF10(9)
    ENV_REF10(10) ENV_REF10(11) ENV_REF10(12) ENV_REF10(13) ENV_REF10(14)
    ENV_REF10(15) ENV_REF10(16) ENV_REF10(17) ENV_REF10(18) ENV_REF10(19)
    ENV_REF10(20) ENV_REF10(21) ENV_REF10(22) ENV_REF10(23)
};

#define VM_STUB(n) static void vm_stub_##n(void) { unexpected(n, 1); }
VM_STUB(0) VM_STUB(1) VM_STUB(2) VM_STUB(3) VM_STUB(4) VM_STUB(5) VM_STUB(6)
VM_STUB(7)

static slot_fn vm_table[VM_SLOTS] = {
    vm_stub_0, vm_stub_1, vm_stub_2, vm_stub_3,
    vm_stub_4, vm_stub_5, vm_stub_6, vm_stub_7,
};

/* A JNIEnv / JavaVM is a pointer to a pointer to its function table. */
static slot_fn *env_iface = env_table;
static slot_fn *vm_iface = vm_table;
#define OUR_ENV ((void *)&env_iface)
#define OUR_VM ((void *)&vm_iface)

/* ---- VM state -------------------------------------------------------------- */

/* Handles are addresses of these objects, so stray pointers are detected. */
typedef struct { int kind; } obj_t;
enum { K_CLASS_STRING = 1, K_CLASS_MAIN, K_METHOD_MAIN, K_ARRAY, K_STRING,
       K_METHOD_STOP, K_METHOD_EXIT };

typedef struct {
    obj_t h;
    jint len;
    jobject *elems;
} array_t;

typedef struct {
    obj_t h;
    char *text;
} string_t;

static obj_t class_string = {K_CLASS_STRING};
static obj_t class_main = {K_CLASS_MAIN};
static obj_t method_main = {K_METHOD_MAIN};
static obj_t method_stop = {K_METHOD_STOP};
static obj_t method_exit = {K_METHOD_EXIT};

static void **objects;   /* every array / string handed out */
static size_t nobjects;

static int created;
static DWORD create_thread;
static DWORD attached_thread;   /* the one thread attached, or 0 */
static HANDLE stop_called;
static const char *pending;   /* pending exception, or NULL */
static void (JNICALL *exit_hook)(jint);

static void track(void *o)
{
    objects = (void **)realloc(objects, (nobjects + 1) * sizeof *objects);
    objects[nobjects++] = o;
}

static obj_t *lookup(void *h, int kind)
{
    size_t i;
    if (!h)
        return NULL;
    for (i = 0; i < nobjects; i++)
        if (objects[i] == h && ((obj_t *)h)->kind == kind)
            return (obj_t *)h;
    return NULL;
}

/* Rules every JNIEnv call must follow; only ExceptionCheck, -Describe and
 * -Clear may be called while an exception is pending. */
static void check_env(void *env, const char *what, int exception_safe)
{
    if (env != OUR_ENV)
        record("bad\t%s\tnot the JNIEnv from JNI_CreateJavaVM", what);
    if (GetCurrentThreadId() != create_thread &&
        GetCurrentThreadId() != attached_thread)
        record("bad\t%s\tcalled on another thread than JNI_CreateJavaVM",
               what);
    if (!exception_safe && pending)
        record("bad\t%s\tcalled with an exception pending", what);
}

/* ---- JNIEnv functions ------------------------------------------------------ */

static jclass JNICALL fj_FindClass(void *env, const char *name)
{
    check_env(env, "FindClass", 0);
    record("FindClass\t%s", name);
    if (name && strcmp(name, "java/lang/String") == 0)
        return &class_string;
    if (!name || env_set("FAKEJVM_NO_CLASS")) {
        pending = "java.lang.NoClassDefFoundError";
        return NULL;
    }
    return &class_main;
}

static jmethodID JNICALL fj_GetStaticMethodID(void *env, jclass cls,
                                              const char *name,
                                              const char *sig)
{
    char stop[64];
    check_env(env, "GetStaticMethodID", 0);
    record("GetStaticMethodID\t%s\t%s", name, sig);
    if (cls != &class_main)
        record("bad\tGetStaticMethodID\tclass is not the main class");
    if (name && sig && strcmp(name, "exit") == 0 && strcmp(sig, "(I)V") == 0)
        return &method_exit;
    if (name && sig && GetEnvironmentVariableA("FAKEJVM_STOP_METHOD", stop,
                                               sizeof stop) > 0 &&
        strcmp(name, stop) == 0) {
        if (strcmp(sig, "()V") == 0)
            return &method_stop;
        pending = "java.lang.NoSuchMethodError";
        return NULL;
    }
    if (env_set("FAKEJVM_NO_MAIN") || cls != &class_main || !name || !sig ||
        strcmp(name, "main") != 0 ||
        strcmp(sig, "([Ljava/lang/String;)V") != 0) {
        pending = "java.lang.NoSuchMethodError";
        return NULL;
    }
    return &method_main;
}

static jobjectArray JNICALL fj_NewObjectArray(void *env, jint len, jclass cls,
                                              jobject init)
{
    array_t *a;
    jint i;
    check_env(env, "NewObjectArray", 0);
    record("NewObjectArray\t%d", len);
    if (cls != &class_string)
        record("bad\tNewObjectArray\telement class is not java/lang/String");
    if (len < 0) {
        record("bad\tNewObjectArray\tnegative length");
        pending = "java.lang.NegativeArraySizeException";
        return NULL;
    }
    a = (array_t *)calloc(1, sizeof *a);
    a->h.kind = K_ARRAY;
    a->len = len;
    a->elems = (jobject *)calloc(len ? len : 1, sizeof(jobject));
    for (i = 0; i < len; i++)
        a->elems[i] = init;
    track(a);
    return a;
}

static jstring JNICALL fj_NewStringUTF(void *env, const char *text)
{
    string_t *s;
    char *plain;
    check_env(env, "NewStringUTF", 0);
    if (!text) {
        record("NewStringUTF\t%s", text);
        record("bad\tNewStringUTF\tnull text");
        return NULL;
    }
    plain = utf8_from_modified(text);
    record("NewStringUTF\t%s", plain ? plain : text);
    if (!plain)
        record("bad\tNewStringUTF\tnot modified UTF-8");
    free(plain);
    s = (string_t *)calloc(1, sizeof *s);
    s->h.kind = K_STRING;
    s->text = _strdup(text);
    track(s);
    return s;
}

static void JNICALL fj_SetObjectArrayElement(void *env, jobjectArray arr,
                                             jint index, jobject value)
{
    array_t *a = (array_t *)lookup(arr, K_ARRAY);
    check_env(env, "SetObjectArrayElement", 0);
    record("SetObjectArrayElement\t%d", index);
    if (!a) {
        record("bad\tSetObjectArrayElement\tnot an array from NewObjectArray");
        return;
    }
    if (value && !lookup(value, K_STRING))
        record("bad\tSetObjectArrayElement\tvalue is not a string");
    if (index < 0 || index >= a->len) {
        record("bad\tSetObjectArrayElement\tindex out of bounds");
        pending = "java.lang.ArrayIndexOutOfBoundsException";
        return;
    }
    a->elems[index] = value;
}

static void JNICALL fj_CallStaticVoidMethod(void *env, jclass cls,
                                            jmethodID mid, ...)
{
    array_t *a;
    jobject args;
    int status;
    va_list ap;

    check_env(env, "CallStaticVoidMethod", 0);
    record("CallStaticVoidMethod");
    if (mid == &method_stop) {
        record("stop");
        SetEvent(stop_called);
        return;
    }
    va_start(ap, mid);
    if (mid == &method_exit) {
        status = va_arg(ap, jint);
        va_end(ap);
        record("exit\t%d\t%s", status, exit_hook ? "hook" : "nohook");
        if (exit_hook)
            exit_hook(status);
        ExitProcess((UINT)status);
    }
    args = va_arg(ap, jobject);
    va_end(ap);
    if (cls != &class_main)
        record("bad\tCallStaticVoidMethod\tclass is not the main class");
    if (mid != &method_main)
        record("bad\tCallStaticVoidMethod\tmethod is not main");
    a = (array_t *)lookup(args, K_ARRAY);
    if (!a) {
        record("bad\tCallStaticVoidMethod\targument is not an array");
    } else {
        jint i;
        for (i = 0; i < a->len; i++)
            if (!a->elems[i]) {
                record("bad\tCallStaticVoidMethod\targs[%d] is null", i);
                break;
            }
    }
    if (env_int("FAKEJVM_EXIT_STATUS", &status)) {
        /* Like System.exit: the launcher's exit hook runs first, and the
         * process ends with the status even if the hook returns. */
        record("exit\t%d\t%s", status, exit_hook ? "hook" : "nohook");
        if (exit_hook)
            exit_hook(status);
        ExitProcess((UINT)status);
    }
    if (env_set("FAKEJVM_THROW"))
        pending = "java.lang.RuntimeException: thrown by fakejvm";
    if (env_set("FAKEJVM_MAIN_WAITS")) {
        WaitForSingleObject(stop_called, 60000);
        record("main ends");
    }
}

static jboolean JNICALL fj_ExceptionCheck(void *env)
{
    check_env(env, "ExceptionCheck", 1);
    record("ExceptionCheck");
    return pending ? 1 : 0;
}

static void JNICALL fj_ExceptionDescribe(void *env)
{
    check_env(env, "ExceptionDescribe", 1);
    record("ExceptionDescribe");
    /* The real one prints the stack trace and clears the exception. */
    if (pending) {
        fprintf(stderr, "Exception in thread \"main\" %s\n", pending);
        fflush(stderr);
    }
    pending = NULL;
}

static void JNICALL fj_ExceptionClear(void *env)
{
    check_env(env, "ExceptionClear", 1);
    record("ExceptionClear");
    pending = NULL;
}

/* ---- JavaVM functions ------------------------------------------------------ */

static jint JNICALL fj_DestroyJavaVM(void *vm)
{
    if (vm != OUR_VM)
        record("bad\tDestroyJavaVM\tnot the JavaVM from JNI_CreateJavaVM");
    record("DestroyJavaVM");
    return 0;
}

static jint JNICALL fj_AttachCurrentThread(void *vm, void **penv, void *args)
{
    (void)args;
    if (vm != OUR_VM)
        record("bad\tAttachCurrentThread\tnot the JavaVM from JNI_CreateJavaVM");
    record("AttachCurrentThread");
    attached_thread = GetCurrentThreadId();
    *penv = OUR_ENV;
    return 0;
}

static jint JNICALL fj_DetachCurrentThread(void *vm)
{
    if (vm != OUR_VM)
        record("bad\tDetachCurrentThread\tnot the JavaVM from JNI_CreateJavaVM");
    record("DetachCurrentThread");
    attached_thread = 0;
    return 0;
}

/* ---- entry point ----------------------------------------------------------- */

#ifdef FAKEJVM_NEEDS_DEPENDENCY
/* Built as depjvm.dll: imports tvdep.dll, as a real jvm.dll imports the
 * C++ runtime that ships in the runtime's bin folder. */
__declspec(dllimport) int tvdep_answer(void);
#endif

__declspec(dllexport) jint JNICALL JNI_CreateJavaVM(void **pvm, void **penv,
                                                    void *vargs)
{
    JavaVMInitArgs *args = (JavaVMInitArgs *)vargs;
    int result = 0, i;

#ifdef FAKEJVM_NEEDS_DEPENDENCY
    record("dependency\t%d", tvdep_answer());
#endif
    if (env_set("FAKEJVM_RECORD_PATH")) {
        char self[MAX_PATH * 4];
        HMODULE module = NULL;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (LPCSTR)&JNI_CreateJavaVM, &module);
        if (GetModuleFileNameA(module, self, sizeof self) > 0)
            record("library\t%s", self);
    }

    if (env_set("FAKEJVM_APPID")) {
        static const char said[] = "fakejvm: JNI_CreateJavaVM\n";
        char id[512];
        DWORD done;
        tv_appid_text(id, sizeof id);
        record("appid\t%s", id);
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), said, sizeof said - 1, &done, NULL);
    }

    if (!args) {
        record("bad\tJNI_CreateJavaVM\tno init args");
        return -1;
    }
    record("create\t%x\t%d\t%d", (unsigned)args->version, args->nOptions,
           (int)args->ignoreUnrecognized);
    for (i = 0; i < args->nOptions; i++) {
        const JavaVMOption *o = &args->options[i];
        char *text = o->optionString ? utf8_from(CP_ACP, o->optionString)
                                     : NULL;
        record("option\t%d\t%s\t%s", i, text,
               o->extraInfo ? "hook" : "nohook");
        free(text);
        if (o->optionString && strcmp(o->optionString, "exit") == 0)
            exit_hook = (void (JNICALL *)(jint))o->extraInfo;
    }
    if (created) {
        /* Only one VM per process, as with the real library. */
        record("bad\tJNI_CreateJavaVM\tcalled twice");
        return -5;
    }
    env_int("FAKEJVM_CREATE_RESULT", &result);
    if (result < 0)
        return result;
    created = 1;
    create_thread = GetCurrentThreadId();

    env_table[SLOT_FindClass] = (slot_fn)fj_FindClass;
    env_table[SLOT_ExceptionDescribe] = (slot_fn)fj_ExceptionDescribe;
    env_table[SLOT_ExceptionClear] = (slot_fn)fj_ExceptionClear;
    env_table[SLOT_GetStaticMethodID] = (slot_fn)fj_GetStaticMethodID;
    env_table[SLOT_CallStaticVoidMethod] = (slot_fn)fj_CallStaticVoidMethod;
    env_table[SLOT_NewStringUTF] = (slot_fn)fj_NewStringUTF;
    env_table[SLOT_NewObjectArray] = (slot_fn)fj_NewObjectArray;
    env_table[SLOT_SetObjectArrayElement] = (slot_fn)fj_SetObjectArrayElement;
    env_table[SLOT_ExceptionCheck] = (slot_fn)fj_ExceptionCheck;
    vm_table[VMSLOT_DestroyJavaVM] = (slot_fn)fj_DestroyJavaVM;
    vm_table[VMSLOT_AttachCurrentThread] = (slot_fn)fj_AttachCurrentThread;
    vm_table[VMSLOT_DetachCurrentThread] = (slot_fn)fj_DetachCurrentThread;
    stop_called = CreateEventA(NULL, TRUE, FALSE, NULL);

    *pvm = OUR_VM;
    *penv = OUR_ENV;
    return result;
}
