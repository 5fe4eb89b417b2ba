/*
 * fakejava.exe - stands in for java.exe / javaw.exe in end-to-end tests
 * (test code only, never shipped). Driven by environment variables:
 *
 *   FAKEJAVA_RECORD   file to append one record per run to:
 *                       run
 *                       cmdline <TAB> GetCommandLineW()
 *                       argc <TAB> N
 *                       arg <TAB> I <TAB> argv[I]        (I = 0 .. N-1)
 *                       acmdline <TAB> GetCommandLineA(), read back from
 *                                  the ANSI code page, as java.exe reads it
 *                       aarg <TAB> I <TAB> each word of that line
 *                       argfile <TAB> I <TAB> CONTENT    (argv[I] is @FILE)
 *                       cwd <TAB> DIR
 *                       env <TAB> NAME <TAB> VALUE|<unset>  (per FAKEJAVA_ENV)
 *                       stdout <TAB> disk|char|pipe|unknown|none
 *                       stderr <TAB> disk|char|pipe|unknown|none
 *                       end
 *                     text as UTF-8 (the wide command line, argument vector,
 *                     folder and variables), escaped as \\ \t \r \n
 *                       appid <TAB> ID|<none 0xHRESULT>  (FAKEJAVA_AGENTS:
 *                                  the taskbar identity once the agents ran)
 *   FAKEJAVA_ENV      comma-separated variable names to record
 *   FAKEJAVA_AGENTS   when set: loads each -agentpath:PATH[=OPTIONS] as the
 *                     VM does (LoadLibrary PATH, Agent_OnLoad with OPTIONS
 *                     in the ANSI code page) before anything else; an agent
 *                     that cannot be loaded or fails ends the run with 1,
 *                     as it ends the VM's
 *   FAKEJAVA_PRINT    TEXT: writes "TEXT\n" to stdout, "TEXT (stderr)\n" to stderr
 *   FAKEJAVA_ECHO     when set: copies standard input to standard output
 *   FAKEJAVA_READY    file written (whole, by a rename) with its process id
 *                     once it runs
 *   FAKEJAVA_CTRL_EXIT on Ctrl-C or Ctrl-Break: writes "ctrl N" (the event)
 *                     to FAKEJAVA_READY.ctrl and exits with this code;
 *                     "ignore": writes it and runs on
 *   FAKEJAVA_SLEEP_MS sleep before exiting
 *   FAKEJAVA_WINDOW   hidden|minimized: keeps a top-level window of that kind
 *                     while it sleeps (its messages handled)
 *   FAKEJAVA_WINDOW_FILE  with a minimized window: "restored" is written here
 *                     once the window is no longer minimised
 *   FAKEJAVA_STOP_FILE    ends the sleep early once this file exists, and
 *                     removes it on the way out
 *   (always)          as a VM does for the startup cache of Java 25: with
 *                     -XX:AOTMode=record, writes a training's configuration
 *                     (its magic, 4096 bytes) to -XX:AOTConfiguration=;
 *                     with -XX:AOTMode=create, a cache (a static archive's
 *                     magic, 8192 bytes) to -XX:AOTCache=
 *   FAKEJAVA_EXIT     exit code (decimal, full 32 bits; default 0)
 *   FAKEJAVA_EXITS    e.g. 999,999,0: code per run, indexed by the number in
 *   FAKEJAVA_COUNTER  (a file; missing = 0, incremented each run); past the
 *                     end the last code repeats. Wins over FAKEJAVA_EXIT.
 */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "appid.h"

/* argv must show what the C runtime really parses, unglobbed; __argc and
 * __wargv (a wide entry, built with -municode) come from msvcrt through
 * stdlib.h. */
int _dowildcard = 0;

typedef struct {
    char *p;
    size_t len, cap;
} buf_t;

static void buf_put(buf_t *b, const char *s, size_t n)
{
    if (b->len + n + 1 > b->cap) {
        size_t cap = b->cap ? b->cap : 1024;
        while (cap < b->len + n + 1)
            cap *= 2;
        b->p = (char *)realloc(b->p, cap);
        if (!b->p)
            ExitProcess(70);
        b->cap = cap;
    }
    memcpy(b->p + b->len, s, n);
    b->len += n;
    b->p[b->len] = 0;
}

static void buf_str(buf_t *b, const char *s) { buf_put(b, s, strlen(s)); }

static void buf_escaped(buf_t *b, const char *s)
{
    for (; *s; s++) {
        switch (*s) {
        case '\\': buf_str(b, "\\\\"); break;
        case '\t': buf_str(b, "\\t"); break;
        case '\r': buf_str(b, "\\r"); break;
        case '\n': buf_str(b, "\\n"); break;
        default: buf_put(b, s, 1);
        }
    }
}

/* Returns a malloc'ed value, or NULL when the variable is not set. */
static char *get_env(const char *name)
{
    DWORD n = GetEnvironmentVariableA(name, NULL, 0);
    char *v;
    if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
            return NULL;
        v = (char *)malloc(1);
        v[0] = 0;
        return v;
    }
    v = (char *)malloc(n);
    if (GetEnvironmentVariableA(name, v, n) >= n)
        v[0] = 0;
    return v;
}

/* A malloc'ed UTF-8 copy of a wide text. */
static char *utf8(const wchar_t *w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, NULL, 0, NULL, NULL);
    char *s = (char *)malloc(n > 0 ? n : 1);
    if (!s)
        ExitProcess(70);
    s[0] = 0;
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, w, -1, s, n, NULL, NULL);
    return s;
}

static void buf_escaped_wide(buf_t *b, const wchar_t *w)
{
    char *s = utf8(w);
    buf_escaped(b, s);
    free(s);
}

/* A variable's value as UTF-8, or NULL when it is not set. */
static char *get_env_utf8(const char *name)
{
    wchar_t wname[256], *v;
    char *s;
    DWORD n;
    MultiByteToWideChar(CP_UTF8, 0, name, -1, wname, 256);
    wname[255] = 0;
    n = GetEnvironmentVariableW(wname, NULL, 0);
    if (n == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? NULL : utf8(L"");
    v = (wchar_t *)malloc(n * sizeof(wchar_t));
    if (GetEnvironmentVariableW(wname, v, n) >= n)
        v[0] = 0;
    s = utf8(v);
    free(v);
    return s;
}

static const char *handle_kind(DWORD which)
{
    HANDLE h = GetStdHandle(which);
    if (h == NULL || h == INVALID_HANDLE_VALUE)
        return "none";
    switch (GetFileType(h)) {
    case FILE_TYPE_DISK: return "disk";
    case FILE_TYPE_CHAR: return "char";
    case FILE_TYPE_PIPE: return "pipe";
    default: return "unknown";
    }
}

static int write_all(HANDLE h, const char *p, size_t n)
{
    while (n) {
        DWORD done = 0;
        if (!WriteFile(h, p, (DWORD)n, &done, NULL) || !done)
            return 0;
        p += done;
        n -= done;
    }
    return 1;
}

static UINT parse_code(const char *s)
{
    /* Accept both 4294966062 and -1234 for the same 32-bit code. */
    if (*s == '-')
        return (UINT)(int)strtol(s, NULL, 10);
    return (UINT)_strtoui64(s, NULL, 10);
}

/* As the VM's Agent_OnLoad: JNICALL is x64's one calling convention. */
typedef int(__stdcall *agent_onload_t)(void *, char *, void *);

static int agents_loaded = 0;

static void fail_agent(const wchar_t *path, const char *why)
{
    char *p = utf8(path);
    fprintf(stderr, "Error occurred during initialization of VM\n%s %s\n", why, p);
    ExitProcess(1);
}

static void load_agents(void)
{
    int i;
    for (i = 1; i < __argc; i++) {
        wchar_t *path, *eq;
        char *options = NULL;
        HMODULE agent;
        agent_onload_t onload;
        if (wcsncmp(__wargv[i], L"-agentpath:", 11) != 0)
            continue;
        path = _wcsdup(__wargv[i] + 11);
        eq = wcschr(path, L'=');
        if (eq) {
            int n;
            *eq = 0;
            n = WideCharToMultiByte(CP_ACP, 0, eq + 1, -1, NULL, 0, NULL, NULL);
            options = (char *)malloc(n > 0 ? n : 1);
            options[0] = 0;
            if (n > 0)
                WideCharToMultiByte(CP_ACP, 0, eq + 1, -1, options, n, NULL, NULL);
        }
        agent = LoadLibraryW(path);
        if (!agent)
            fail_agent(path, "Could not find agent library");
        onload = (agent_onload_t)(void *)GetProcAddress(agent, "Agent_OnLoad");
        if (!onload)
            fail_agent(path, "Could not find Agent_OnLoad function in the agent library");
        if (onload(NULL, options, NULL) != 0)
            fail_agent(path, "agent library failed Agent_OnLoad:");
        free(options);
        free(path);
    }
    agents_loaded = 1;
}

static void write_record(const char *path)
{
    buf_t r = {0};
    char num[32];
    wchar_t dir[32768];
    char *names;
    int i;
    HANDLE f;

    buf_str(&r, "run\ncmdline\t");
    buf_escaped_wide(&r, GetCommandLineW());
    sprintf(num, "\nargc\t%d\n", __argc);
    buf_str(&r, num);
    for (i = 0; i < __argc; i++) {
        sprintf(num, "arg\t%d\t", i);
        buf_str(&r, num);
        buf_escaped_wide(&r, __wargv[i]);
        buf_str(&r, "\n");
    }
    /* java.exe reads GetCommandLineA(): Windows' best fit of the line in
     * the ANSI code page. Its words, by the same rules. */
    {
        const char *ansi = GetCommandLineA();
        int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, NULL, 0), count = 0;
        wchar_t *wide = (wchar_t *)malloc((n > 0 ? n : 1) * sizeof(wchar_t));
        wchar_t **words;
        if (!wide)
            ExitProcess(70);
        wide[0] = 0;
        if (n > 0)
            MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, n);
        buf_str(&r, "acmdline\t");
        buf_escaped_wide(&r, wide);
        buf_str(&r, "\n");
        words = CommandLineToArgvW(wide, &count);
        for (i = 0; words && i < count; i++) {
            sprintf(num, "aarg\t%d\t", i);
            buf_str(&r, num);
            buf_escaped_wide(&r, words[i]);
            buf_str(&r, "\n");
        }
        LocalFree(words);
        free(wide);
    }
    /* A Java argument file, as the launcher left it for its child. */
    for (i = 1; i < __argc; i++) {
        FILE *af;
        if (__wargv[i][0] != L'@' || !(af = _wfopen(__wargv[i] + 1, L"rb")))
            continue;
        sprintf(num, "argfile\t%d\t", i);
        buf_str(&r, num);
        for (;;) {
            char chunk[4096];
            size_t got = fread(chunk, 1, sizeof chunk - 1, af), k;
            if (got == 0)
                break;
            /* NUL bytes cannot stand in the record: shown as \0 text. */
            for (k = 0; k < got; k++) {
                char one[2] = {chunk[k], 0};
                buf_escaped(&r, chunk[k] ? one : "\\0");
            }
        }
        fclose(af);
        buf_str(&r, "\n");
    }
    dir[0] = 0;
    GetCurrentDirectoryW(sizeof dir / sizeof dir[0], dir);
    buf_str(&r, "cwd\t");
    buf_escaped_wide(&r, dir);
    buf_str(&r, "\n");

    names = get_env("FAKEJAVA_ENV");
    if (names) {
        char *tok = names;
        while (tok) {
            char *comma = strchr(tok, ',');
            if (comma)
                *comma = 0;
            if (*tok) {
                char *val = get_env_utf8(tok);
                buf_str(&r, "env\t");
                buf_escaped(&r, tok);
                buf_str(&r, "\t");
                buf_escaped(&r, val ? val : "<unset>");
                buf_str(&r, "\n");
                free(val);
            }
            tok = comma ? comma + 1 : NULL;
        }
        free(names);
    }
    if (agents_loaded) {
        char id[512];
        tv_appid_text(id, sizeof id);
        buf_str(&r, "appid\t");
        buf_escaped(&r, id);
        buf_str(&r, "\n");
    }
    buf_str(&r, "stdout\t");
    buf_str(&r, handle_kind(STD_OUTPUT_HANDLE));
    buf_str(&r, "\nstderr\t");
    buf_str(&r, handle_kind(STD_ERROR_HANDLE));
    buf_str(&r, "\nend\n");

    /* One append per run keeps records whole even if two runs overlap. */
    f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "fakejava: cannot open record file %s (error %lu)\n",
                path, (unsigned long)GetLastError());
        ExitProcess(71);
    }
    if (!write_all(f, r.p, r.len)) {
        fprintf(stderr, "fakejava: cannot write record file %s\n", path);
        ExitProcess(71);
    }
    CloseHandle(f);
    free(r.p);
}

static UINT code_from_sequence(const char *seq, const char *counter_path)
{
    unsigned long n = 0;
    const char *p = seq;
    UINT code = 0;
    unsigned long i;

    if (counter_path) {
        FILE *f = fopen(counter_path, "rb");
        if (f) {
            if (fscanf(f, "%lu", &n) != 1)
                n = 0;
            fclose(f);
        }
        f = fopen(counter_path, "wb");
        if (!f) {
            fprintf(stderr, "fakejava: cannot write counter %s\n",
                    counter_path);
            ExitProcess(72);
        }
        fprintf(f, "%lu\n", n + 1);
        fclose(f);
    }
    for (i = 0;; i++) {
        code = parse_code(p);
        if (i == n)
            break;
        p = strchr(p, ',');
        if (!p)
            break;
        p++;
    }
    return code;
}

static UINT ctrl_exit;
static int ctrl_ignored;
static char *ready_path;

static BOOL WINAPI on_ctrl(DWORD event)
{
    char path[MAX_PATH + 8], line[32];
    HANDLE f;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    snprintf(path, sizeof path, "%s.ctrl", ready_path ? ready_path : "fakejava");
    f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (f != INVALID_HANDLE_VALUE) {
        write_all(f, line, (size_t)sprintf(line, "ctrl %lu\n", (unsigned long)event));
        CloseHandle(f);
    }
    if (ctrl_ignored)
        return TRUE;
    ExitProcess(ctrl_exit);
}

static void write_ready(const char *path)
{
    char tmp[MAX_PATH + 8], pid[32];
    HANDLE f;
    snprintf(tmp, sizeof tmp, "%s.tmp", path);
    f = CreateFileA(tmp, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        ExitProcess(73);
    write_all(f, pid, (size_t)sprintf(pid, "%lu", GetCurrentProcessId()));
    CloseHandle(f);
    MoveFileExA(tmp, path, MOVEFILE_REPLACE_EXISTING);
}

static void echo_input(void)
{
    char chunk[4096];
    DWORD got;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &got,
                    NULL) && got > 0)
        write_all(GetStdHandle(STD_OUTPUT_HANDLE), chunk, got);
}

static int exists(const char *path)
{
    return path && *path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

/* Sleeps for `ms`, or until the stop file appears, handling the messages
 * of a window of the kind asked for. */
static void stay(DWORD ms, const char *window, const char *window_file,
                 const char *stop_file)
{
    HWND hwnd = NULL;
    int minimized = window && strcmp(window, "minimized") == 0;
    int restored = 0;
    ULONGLONG start = GetTickCount64();
    if (window && *window) {
        WNDCLASSA wc;
        memset(&wc, 0, sizeof wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "FakeJavaWindow";
        RegisterClassA(&wc);
        hwnd = CreateWindowA("FakeJavaWindow", "fake java", WS_OVERLAPPEDWINDOW,
                             10, 10, 200, 100, NULL, NULL, wc.hInstance, NULL);
        if (minimized)
            ShowWindow(hwnd, SW_SHOWMINIMIZED);
    }
    while (GetTickCount64() - start < ms && !exists(stop_file)) {
        MSG msg;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 20, QS_ALLINPUT);
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (minimized && !restored && !IsIconic(hwnd) && window_file) {
            FILE *f = fopen(window_file, "wb");
            if (f) {
                fputs("restored\n", f);
                fclose(f);
            }
            restored = 1;
        }
    }
    if (exists(stop_file))
        DeleteFileA(stop_file);
}

/* The argument after `prefix`, or NULL. */
static const wchar_t *option_value(const wchar_t *prefix)
{
    size_t n = wcslen(prefix);
    for (int i = 1; i < __argc; i++)
        if (wcsncmp(__wargv[i], prefix, n) == 0)
            return __wargv[i] + n;
    return NULL;
}

static void write_magic_file(const wchar_t *path, DWORD magic, DWORD size)
{
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return;
    char *bytes = calloc(size, 1);
    if (bytes) {
        memcpy(bytes, &magic, sizeof magic);
        bytes[8] = 19;
        write_all(f, bytes, size);
        free(bytes);
    }
    CloseHandle(f);
}

static void act_as_cache_vm(void)
{
    const wchar_t *mode = option_value(L"-XX:AOTMode=");
    const wchar_t *configuration = option_value(L"-XX:AOTConfiguration=");
    const wchar_t *cache = option_value(L"-XX:AOTCache=");
    if (mode && configuration && wcscmp(mode, L"record") == 0)
        write_magic_file(configuration, 0xcafea07cu, 4096);
    if (mode && cache && wcscmp(mode, L"create") == 0)
        write_magic_file(cache, 0xf00baba2u, 8192);
}

int wmain(void)
{
    char *record = get_env("FAKEJAVA_RECORD");
    char *print = get_env("FAKEJAVA_PRINT");
    char *sleep_ms = get_env("FAKEJAVA_SLEEP_MS");
    char *exit_s = get_env("FAKEJAVA_EXIT");
    char *exits = get_env("FAKEJAVA_EXITS");
    char *counter = get_env("FAKEJAVA_COUNTER");
    UINT code = 0;

    /* Pick the code first so the counter moves even if recording fails. */
    if (exits && *exits)
        code = code_from_sequence(exits, counter);
    else if (exit_s && *exit_s)
        code = parse_code(exit_s);

    char *ctrl = get_env("FAKEJAVA_CTRL_EXIT");
    char *echo = get_env("FAKEJAVA_ECHO");
    ready_path = get_env("FAKEJAVA_READY");

    if (get_env("FAKEJAVA_AGENTS"))
        load_agents();
    if (record && *record)
        write_record(record);

    if (ctrl && *ctrl) {
        ctrl_ignored = strcmp(ctrl, "ignore") == 0;
        ctrl_exit = ctrl_ignored ? 0 : parse_code(ctrl);
        SetConsoleCtrlHandler(on_ctrl, TRUE);
    }

    if (print) {
        buf_t o = {0}, e = {0};
        buf_str(&o, print);
        buf_str(&o, "\n");
        buf_str(&e, print);
        buf_str(&e, " (stderr)\n");
        write_all(GetStdHandle(STD_OUTPUT_HANDLE), o.p, o.len);
        write_all(GetStdHandle(STD_ERROR_HANDLE), e.p, e.len);
    }

    if (echo)
        echo_input();
    if (ready_path && *ready_path)
        write_ready(ready_path);

    act_as_cache_vm();

    if (sleep_ms && *sleep_ms)
        stay((DWORD)strtoul(sleep_ms, NULL, 10), get_env("FAKEJAVA_WINDOW"),
             get_env("FAKEJAVA_WINDOW_FILE"), get_env("FAKEJAVA_STOP_FILE"));

    ExitProcess(code);
}
