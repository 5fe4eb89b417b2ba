#!/bin/bash
# Builds tvharness.exe, fakejava.exe, fakejvm.dll and notjvm.dll with the
# MinGW compiler and checks under Wine (on a private Xvfb display and a
# fresh prefix) that they behave as the end-to-end tests rely on.
# Prints PASS/FAIL per check; exits non-zero if any check fails.
# KEEP=1 keeps the temp dir for a look after a failure.
set -u

HERE=$(cd "$(dirname "$0")" && pwd)
CC=${CC:-x86_64-w64-mingw32-gcc-posix}
CFLAGS="-O2 -Wall -Wextra -static -static-libgcc"
T=$(mktemp -d /tmp/tvselfcheck.XXXXXX)
START=$(date +%s%N)
FAILS=0
XPID=

export WINEPREFIX="$T/prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all

cleanup() {
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1
        wineserver -w >/dev/null 2>&1
    fi
    if [ -n "$XPID" ]; then
        kill "$XPID" 2>/dev/null
        wait "$XPID" 2>/dev/null
    fi
    if [ "${KEEP:-0}" = 1 ]; then
        echo "kept $T"
    else
        rm -rf "$T"
    fi
}
trap cleanup EXIT

pass() { echo "PASS: $1"; }
fail() { echo "FAIL: $1"; FAILS=$((FAILS + 1)); }

# Unix path -> the Windows path Wine maps it to.
win() { local p="Z:$1"; echo "${p//\//\\}"; }

# expect NAME FILE EXPECTED: FILE must hold exactly EXPECTED.
expect() {
    if diff <(printf '%s' "$3") "$2" >"$T/diff.txt" 2>&1; then
        pass "$1"
    else
        fail "$1"
        sed 's/^/    /' "$T/diff.txt"
    fi
}

# has NAME FILE LINE: FILE must contain the line LINE.
has() {
    if grep -qxF -- "$3" "$2"; then
        pass "$1"
    else
        fail "$1 (no line '$3' in $(basename "$2"))"
        sed 's/^/    /' "$2"
    fi
}

# harness OUTNAME ARGS...: runs tvharness.exe, report to $T/OUTNAME.rep,
# its stdout/stderr to $T/OUTNAME.out/.err, exit code to $T/OUTNAME.rc.
harness() {
    local name=$1
    shift
    (cd "$T" && wine tvharness.exe --report "$(win "$T/$name.rep")" "$@" \
        >"$T/$name.out" 2>"$T/$name.err")
    echo $? >"$T/$name.rc"
}

# ---- build ------------------------------------------------------------------
cat >"$T/boxes.c" <<'EOF'
#include <windows.h>
int main(void)
{
    MessageBoxA(NULL, "Hello\nWorld", "Cap1", MB_OK | MB_ICONERROR);
    ExitProcess(MessageBoxA(NULL, "Go on?", "Cap2", MB_YESNO) == IDYES ? 999 : 5);
}
EOF

cat >"$T/crash.c" <<'EOF'
int main(void) { volatile int *p = 0; *p = 1; return 0; }
EOF

# Drives fakejvm.dll through its function tables the way a launcher does.
cat >"$T/loader.c" <<'EOF'
#include <windows.h>
#include <stdio.h>
#include <string.h>
typedef struct { char *optionString; void *extraInfo; } Opt;
typedef struct { int version; int nOptions; Opt *options; unsigned char ignore; } Args;
typedef int (*create_t)(void **, void **, void *);
#define ENVFN(env, i) ((*(void ***)(env))[i])
#define VMFN(vm, i) ((*(void ***)(vm))[i])
static void hook(int status) { ExitProcess(1000 + status); }
int main(int argc, char **argv)
{
    void *vm = (void *)1, *env = (void *)1, *cls, *str, *mid, *arr, *s;
    Opt opts[3] = {{"-Djava.class.path=C:\\app\\a b.jar", NULL},
                   {"-Xmx64m", NULL}, {"exit", (void *)hook}};
    Args args = {0x00010008, 3, opts, 1};
    const char *mode = argc > 2 ? argv[2] : "main";
    HMODULE dll = LoadLibraryA(argv[1]);
    create_t create;
    int r;
    if (!dll) return 10;
    create = (create_t)(void *)GetProcAddress(dll, "JNI_CreateJavaVM");
    if (!create) return 11;
    r = create(&vm, &env, &args);
    if (r < 0) return (vm == (void *)1 && env == (void *)1) ? 100 - r : 12;
    if (strcmp(mode, "unexpected") == 0)
        ((int (*)(void *))ENVFN(env, 4))(env);          /* GetVersion */
    if (strcmp(mode, "vmunexpected") == 0)
        ((int (*)(void *, void **, void *))VMFN(vm, 6))(vm, &env, 0); /* GetEnv */
    cls = ((void *(*)(void *, const char *))ENVFN(env, 6))(env, "com/example/Main");
    if (!cls) {
        if (strcmp(mode, "sloppy") == 0)
            ((void *(*)(void *, const char *))ENVFN(env, 167))(env, "x");
        if (((unsigned char (*)(void *))ENVFN(env, 228))(env))
            ((void (*)(void *))ENVFN(env, 16))(env);
        ((int (*)(void *))VMFN(vm, 3))(vm);
        return 21;
    }
    str = ((void *(*)(void *, const char *))ENVFN(env, 6))(env, "java/lang/String");
    mid = ((void *(*)(void *, void *, const char *, const char *))ENVFN(env, 113))(
        env, cls, "main", "([Ljava/lang/String;)V");
    if (!mid) {
        ((void (*)(void *))ENVFN(env, 17))(env);
        ((int (*)(void *))VMFN(vm, 3))(vm);
        return 22;
    }
    arr = ((void *(*)(void *, int, void *, void *))ENVFN(env, 172))(env, 2, str, NULL);
    s = ((void *(*)(void *, const char *))ENVFN(env, 167))(env, "one");
    ((void (*)(void *, void *, int, void *))ENVFN(env, 174))(env, arr, 0, s);
    s = ((void *(*)(void *, const char *))ENVFN(env, 167))(env, "two\tthree");
    ((void (*)(void *, void *, int, void *))ENVFN(env, 174))(env, arr, 1, s);
    ((void (*)(void *, void *, void *, ...))ENVFN(env, 141))(env, cls, mid, arr);
    r = ((unsigned char (*)(void *))ENVFN(env, 228))(env) ? 20 : 0;
    if (r) ((void (*)(void *))ENVFN(env, 16))(env);
    ((int (*)(void *))VMFN(vm, 3))(vm);
    return r;
}
EOF

build_ok=1
$CC $CFLAGS -municode -o "$T/tvharness.exe" "$HERE/harness.c" || build_ok=0
$CC $CFLAGS -municode -o "$T/fakejava.exe" "$HERE/fakejava.c" || build_ok=0
$CC $CFLAGS -shared -o "$T/fakejvm.dll" "$HERE/fakejvm.c" || build_ok=0
$CC $CFLAGS -shared -o "$T/notjvm.dll" "$HERE/notjvm.c" || build_ok=0
$CC $CFLAGS -o "$T/boxes.exe" "$T/boxes.c" || build_ok=0
$CC $CFLAGS -o "$T/crash.exe" "$T/crash.c" || build_ok=0
$CC $CFLAGS -o "$T/loader.exe" "$T/loader.c" || build_ok=0
if [ $build_ok = 1 ]; then pass "build"; else fail "build"; exit 1; fi

# The slot numbers in fakejvm.c (and loader.c) are typed in by hand; check
# them against a JDK's jni.h when the machine has one.
JNIH=$(ls /usr/lib/jvm/*/include/jni.h 2>/dev/null | head -n 1)
if [ -n "$JNIH" ] && command -v cc >/dev/null; then
    {
        echo '#include <stdio.h>'
        echo '#include <stddef.h>'
        echo '#include <jni.h>'
        echo 'int main(void) {'
        sed -n 's/^ *SLOT_\([A-Za-z]*\) = [0-9]*,*$/\1/p' "$HERE/fakejvm.c" |
            while read -r f; do
                echo "printf(\"SLOT_$f = %d\\n\", (int)(offsetof(struct JNINativeInterface_, $f) / sizeof(void *)));"
            done
        sed -n 's/^ *VMSLOT_\([A-Za-z]*\) = [0-9]*,*$/\1/p' "$HERE/fakejvm.c" |
            while read -r f; do
                echo "printf(\"VMSLOT_$f = %d\\n\", (int)(offsetof(struct JNIInvokeInterface_, $f) / sizeof(void *)));"
            done
        echo 'return 0; }'
    } >"$T/slots.c"
    if cc -I"$(dirname "$JNIH")" -I"$(dirname "$JNIH")/linux" -o "$T/slots" "$T/slots.c" &&
        "$T/slots" >"$T/slots.txt"; then
        expect "fakejvm slot numbers match jni.h" "$T/slots.txt" \
            "$(sed -n 's/^ *\(V*M*SLOT_[A-Za-z]* = [0-9]*\),*$/\1/p' "$HERE/fakejvm.c")
"
    else
        fail "fakejvm slot numbers match jni.h (cannot build the check)"
    fi
else
    echo "SKIP: fakejvm slot numbers (no jni.h or host compiler)"
fi

# ---- display and prefix -----------------------------------------------------
for d in $(seq 97 140); do
    [ -e "/tmp/.X$d-lock" ] || [ -e "/tmp/.X11-unix/X$d" ] && continue
    Xvfb ":$d" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    XPID=$!
    for _ in $(seq 50); do
        xdpyinfo -display ":$d" >/dev/null 2>&1 && break
        kill -0 "$XPID" 2>/dev/null || break
        sleep 0.1
    done
    # The lock file names the server's pid: make sure the display answering
    # is ours and not one a concurrent run started a moment earlier.
    if xdpyinfo -display ":$d" >/dev/null 2>&1 &&
        [ "$(tr -d ' \n' <"/tmp/.X$d-lock" 2>/dev/null)" = "$XPID" ]; then
        export DISPLAY=":$d"
        break
    fi
    kill "$XPID" 2>/dev/null
    wait "$XPID" 2>/dev/null
    XPID=
done
if [ -z "$XPID" ]; then fail "start Xvfb"; exit 1; fi

t0=$(date +%s%N)
(cd "$T" && wine tvharness.exe --exit-code 7 >/dev/null 2>&1)
rc=$?
echo "  (new prefix took $(( ($(date +%s%N) - t0) / 1000000 )) ms)"
# One server for the whole run saves a server start per Wine process; it
# needs the prefix to exist.
wineserver -p
if [ $rc = 7 ]; then pass "prefix + --exit-code"; else fail "prefix + --exit-code (rc $rc)"; fi

# Unmanaged windows: without a window manager Wine otherwise waits ~2 s for
# each window to go away. A missing debugger: crashes end the process
# instead of starting winedbg, which would wait forever.
cat >"$T/setup.reg" <<'EOF'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Debugger"="tv-no-debugger.exe"
EOF
(cd "$T" && wine reg import "$(win "$T/setup.reg")" >/dev/null 2>&1) ||
    fail "registry import"

# ---- (a) message boxes ------------------------------------------------------
BOXES=$'box\tCap1\tHello\\nWorld\tok\ticon\nbox\tCap2\tGo on?\tyesno\tnoicon\n'
harness a1 --answer ok --answer yes -- boxes.exe
expect "boxes answered ok, yes" "$T/a1.rep" "$BOXES"$'exit\t999\n'
harness a2 --answer ok --answer no -- boxes.exe
expect "boxes answered ok, no" "$T/a2.rep" "$BOXES"$'exit\t5\n'
# Without answers: OK where there is one, else No.
harness a3 -- boxes.exe
expect "boxes without answers" "$T/a3.rep" "$BOXES"$'exit\t5\n'

# ---- (b) fakejava: exit code, argv, cwd, env, output ------------------------
export FAKEJAVA_RECORD
FAKEJAVA_RECORD=$(win "$T/b1.rec")
FAKEJAVA_EXIT=4294966062 FAKEJAVA_PRINT="hello out" FAKEJAVA_ENV="TV_SET,TV_EMPTY,TV_UNSET" \
    TV_SET="x y" TV_EMPTY= \
    harness b1 --cwd 'C:\windows' -- "$(win "$T/fakejava.exe")" a "b c" 'd\'
expect "fakejava 32-bit exit code" "$T/b1.rep" $'exit\t4294966062\n'
expect "fakejava record" "$T/b1.rec" "run
cmdline	$(win "$T/fakejava.exe" | sed 's/\\/\\\\/g') a \"b c\" d\\\\
argc	4
arg	0	$(win "$T/fakejava.exe" | sed 's/\\/\\\\/g')
arg	1	a
arg	2	b c
arg	3	d\\\\
cwd	C:\\\\windows
env	TV_SET	x y
env	TV_EMPTY	
env	TV_UNSET	<unset>
stdout	disk
stderr	disk
end
"
expect "fakejava print on stdout" "$T/b1.out" $'hello out\n'
expect "fakejava print on stderr" "$T/b1.err" $'hello out (stderr)\n'

# Awkward arguments must come back unchanged through quoting and parsing.
FAKEJAVA_RECORD=$(win "$T/b2.rec")
harness b2 -- fakejava.exe '' 'x"y' 'p\\"q' 'tr\\' '*.c' $'t\tab' ' ' '\\srv\x y\'
expect "quoting round trip" <(grep $'^arg\t' "$T/b2.rec") $'arg\t0\tfakejava.exe
arg\t1\t
arg\t2\tx"y
arg\t3\tp\\\\\\\\"q
arg\t4\ttr\\\\\\\\
arg\t5\t*.c
arg\t6\tt\\tab
arg\t7\t 
arg\t8\t\\\\\\\\srv\\\\x y\\\\
'

FAKEJAVA_RECORD=$(win "$T/b3.rec")
FAKEJAVA_EXIT=1000 harness b3 --raw-cmdline 'fakejava.exe  a "b c" d\'
expect "raw command line exit" "$T/b3.rep" $'exit\t1000\n'
has "raw command line kept" "$T/b3.rec" $'cmdline\tfakejava.exe  a "b c" d\\\\'
has "raw command line argc" "$T/b3.rec" $'argc\t4'

# ---- (c) exit code sequence -------------------------------------------------
FAKEJAVA_RECORD=$(win "$T/c.rec")
seq_codes=
for i in 1 2 3 4; do
    FAKEJAVA_EXITS=999,999,0 FAKEJAVA_COUNTER=$(win "$T/counter") harness c$i -- fakejava.exe
    seq_codes="$seq_codes $(cut -f2 "$T/c$i.rep")"
done
if [ "$seq_codes" = " 999 999 0 0" ] && [ "$(grep -c '^run$' "$T/c.rec")" = 4 ]; then
    pass "exit sequence 999,999,0 (then 0 again)"
else
    fail "exit sequence 999,999,0: got$seq_codes, $(grep -c '^run$' "$T/c.rec") runs"
fi
unset FAKEJAVA_RECORD

# ---- (d) fakejvm ------------------------------------------------------------
export FAKEJVM_RECORD
FAKEJVM_RECORD=$(win "$T/d1.rec")
harness d1 -- loader.exe fakejvm.dll
expect "fakejvm main run exit" "$T/d1.rep" $'exit\t0\n'
expect "fakejvm main run record" "$T/d1.rec" $'create\t0x00010008\t3\t1
option\t0\t-Djava.class.path=C:\\\\app\\\\a b.jar\tnohook
option\t1\t-Xmx64m\tnohook
option\t2\texit\thook
FindClass\tcom/example/Main
FindClass\tjava/lang/String
GetStaticMethodID\tmain\t([Ljava/lang/String;)V
NewObjectArray\t2
NewStringUTF\tone
SetObjectArrayElement\t0
NewStringUTF\ttwo\\tthree
SetObjectArrayElement\t1
CallStaticVoidMethod
ExceptionCheck
DestroyJavaVM
'

FAKEJVM_RECORD=$(win "$T/d2.rec")
FAKEJVM_NO_CLASS=1 harness d2 -- loader.exe fakejvm.dll
expect "fakejvm missing class" <(tail -n +5 "$T/d2.rec"; cat "$T/d2.rep") $'FindClass\tcom/example/Main
ExceptionCheck
ExceptionDescribe
DestroyJavaVM
exit\t21
'
tr -d '\r' <"$T/d2.err" >"$T/d2.err.txt"
has "fakejvm describes the exception" "$T/d2.err.txt" 'Exception in thread "main" java.lang.NoClassDefFoundError'

FAKEJVM_RECORD=$(win "$T/d3.rec")
FAKEJVM_NO_MAIN=1 harness d3 -- loader.exe fakejvm.dll
has "fakejvm missing main" "$T/d3.rep" $'exit\t22'

FAKEJVM_RECORD=$(win "$T/d4.rec")
FAKEJVM_THROW=1 harness d4 -- loader.exe fakejvm.dll
has "fakejvm main throws" "$T/d4.rep" $'exit\t20'

FAKEJVM_RECORD=$(win "$T/d5.rec")
FAKEJVM_EXIT_STATUS=42 harness d5 -- loader.exe fakejvm.dll
expect "fakejvm System.exit runs the exit hook" <(tail -n 2 "$T/d5.rec"; cat "$T/d5.rep") \
    $'CallStaticVoidMethod\nexit\t42\thook\nexit\t1042\n'

FAKEJVM_RECORD=$(win "$T/d6.rec")
FAKEJVM_CREATE_RESULT=-6 harness d6 -- loader.exe fakejvm.dll
expect "fakejvm create failure" <(tail -n 1 "$T/d6.rec"; cat "$T/d6.rep") $'option\t2\texit\thook\nexit\t106\n'

FAKEJVM_RECORD=$(win "$T/d7.rec")
harness d7 -- loader.exe fakejvm.dll unexpected
expect "fakejvm unexpected JNIEnv slot" <(tail -n 1 "$T/d7.rec"; cat "$T/d7.rep") $'unexpected\t4\nexit\t77\n'

FAKEJVM_RECORD=$(win "$T/d8.rec")
harness d8 -- loader.exe fakejvm.dll vmunexpected
expect "fakejvm unexpected JavaVM slot" <(tail -n 1 "$T/d8.rec"; cat "$T/d8.rep") $'unexpected\tvm:6\nexit\t77\n'

FAKEJVM_RECORD=$(win "$T/d9.rec")
FAKEJVM_NO_CLASS=1 harness d9 -- loader.exe fakejvm.dll sloppy
has "fakejvm flags calls with an exception pending" "$T/d9.rec" \
    $'bad\tNewStringUTF\tcalled with an exception pending'

harness d10 -- loader.exe notjvm.dll
has "notjvm has no JNI_CreateJavaVM" "$T/d10.rep" $'exit\t11'
unset FAKEJVM_RECORD

# ---- (e) harness edge cases -------------------------------------------------
t0=$(date +%s%N)
FAKEJAVA_SLEEP_MS=20000 harness e1 --timeout-ms 500 -- fakejava.exe
t1=$(date +%s%N)
expect "timeout kills the child" "$T/e1.rep" $'exit\ttimeout\n'
if [ $(( (t1 - t0) / 1000000 )) -lt 10000 ]; then pass "timeout is prompt"; else fail "timeout is prompt"; fi

harness e2 --timeout-ms 15000 -- crash.exe
expect "crash reports the exception code" "$T/e2.rep" $'exit\t3221225477\n'

harness e3 --answer maybe -- fakejava.exe
expect "usage error exit code" "$T/e3.rc" $'3\n'
harness e4 -- no-such-program.exe
expect "start failure exit code" "$T/e4.rc" $'4\n'
if [ -s "$T/e4.err" ]; then pass "start failure explained on stderr"; else fail "start failure explained on stderr"; fi

ms=$(( ($(date +%s%N) - START) / 1000000 ))
printf 'selfcheck took %d.%01d s\n' $((ms / 1000)) $((ms % 1000 / 100))
if [ $FAILS -ne 0 ]; then
    echo "$FAILS check(s) FAILED"
    exit 1
fi
echo "all checks passed"
