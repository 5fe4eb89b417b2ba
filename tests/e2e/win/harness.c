/*
 * tvharness.exe - end-to-end test driver (test code only, never shipped).
 *
 * Starts one program, answers its message boxes and reports what it saw:
 *
 *   tvharness.exe [options] -- PROGRAM [ARGS...]
 *   tvharness.exe [options] --raw-cmdline TEXT
 *   tvharness.exe --exit-code N
 *
 * Options:
 *   --answer ok|yes|no   answer for the next message box (repeatable, in order)
 *   --report FILE        write the report here instead of stdout
 *   --timeout-ms N       kill the program after N ms (default 60000)
 *   --cwd DIR            working directory of the program
 *   --console            run it in a console of the harness's own (the
 *                        standard handles stay as they are); the harness
 *                        ignores Ctrl-C and Ctrl-Break
 *   --interrupt-when FILE  once FILE exists, send Ctrl-C to the console
 *   --end-when FILE      once FILE exists, terminate the program, then
 *                        wait up to 10 s for the process whose id FILE
 *                        holds to end
 *
 * Arguments are read and passed on wide, so any text reaches the program.
 * Report, one tab-separated record per line, text as UTF-8 (read with the
 * wide calls), escaped (\\ \t \r \n):
 *   box  CAPTION  TEXT  ok|yesno|okcancel|other  icon|noicon
 *   exit N | exit timeout          (N: full 32-bit exit code, unsigned)
 *   interrupt sent|failed          (--interrupt-when)
 *   other ended|running            (--end-when: the process FILE names)
 *
 * Exit code: 0 when the report was written, 3 usage error, 4 program could
 * not be started, 5 report could not be written.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Keep the C runtime from expanding wildcards in our own arguments. */
int _dowildcard = 0;

#define MAX_ANSWERS 64
#define MAX_SEEN 256

/* ---- growable text buffer ---------------------------------------------- */

typedef struct {
    char *p;
    size_t len, cap;
} buf_t;

static void buf_put(buf_t *b, const char *s, size_t n)
{
    if (b->len + n + 1 > b->cap) {
        size_t cap = b->cap ? b->cap : 256;
        while (cap < b->len + n + 1)
            cap *= 2;
        b->p = (char *)realloc(b->p, cap);
        if (!b->p) {
            fputs("tvharness: out of memory\n", stderr);
            ExitProcess(5);
        }
        b->cap = cap;
    }
    memcpy(b->p + b->len, s, n);
    b->len += n;
    b->p[b->len] = 0;
}

static void buf_str(buf_t *b, const char *s) { buf_put(b, s, strlen(s)); }
static void buf_chr(buf_t *b, char c) { buf_put(b, &c, 1); }

static void buf_escaped(buf_t *b, const char *s)
{
    for (; *s; s++) {
        switch (*s) {
        case '\\': buf_str(b, "\\\\"); break;
        case '\t': buf_str(b, "\\t"); break;
        case '\r': buf_str(b, "\\r"); break;
        case '\n': buf_str(b, "\\n"); break;
        default: buf_chr(b, *s);
        }
    }
}

/* ---- text ---------------------------------------------------------------- */

static char *utf8_of(const wchar_t *w)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, NULL, 0, NULL, NULL);
    char *s = (char *)malloc(n > 0 ? n : 1);
    if (!s)
        ExitProcess(5);
    s[0] = 0;
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, w, -1, s, n, NULL, NULL);
    return s;
}

static wchar_t *wide_of(const char *s)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, NULL, 0);
    wchar_t *w = (wchar_t *)malloc((n > 0 ? n : 1) * sizeof(wchar_t));
    if (!w)
        ExitProcess(5);
    w[0] = 0;
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, s, -1, w, n);
    return w;
}

/* ---- command line ------------------------------------------------------ */

/* argv[0] is parsed by the C runtime without backslash rules, so only
 * surround it with quotes when it holds blanks. */
static void append_program(buf_t *b, const char *prog)
{
    if (!*prog || strpbrk(prog, " \t")) {
        buf_chr(b, '"');
        buf_str(b, prog);
        buf_chr(b, '"');
    } else {
        buf_str(b, prog);
    }
}

/* Quote so that the C runtime's argv parser gives back exactly ARG. */
static void append_arg(buf_t *b, const char *arg)
{
    const char *s;
    if (*arg && !strpbrk(arg, " \t\n\v\"")) {
        buf_str(b, arg);
        return;
    }
    buf_chr(b, '"');
    for (s = arg;; s++) {
        size_t n = 0, i;
        while (*s == '\\') {
            n++;
            s++;
        }
        if (!*s) {
            for (i = 0; i < 2 * n; i++)
                buf_chr(b, '\\');
            break;
        }
        if (*s == '"') {
            for (i = 0; i < 2 * n + 1; i++)
                buf_chr(b, '\\');
        } else {
            for (i = 0; i < n; i++)
                buf_chr(b, '\\');
        }
        buf_chr(b, *s);
    }
    buf_chr(b, '"');
}

/* ---- message boxes ----------------------------------------------------- */

typedef struct {
    DWORD pid;
    HWND found[MAX_SEEN];
    int nfound;
} enum_ctx;

static BOOL CALLBACK collect_dialogs(HWND hwnd, LPARAM lp)
{
    enum_ctx *ctx = (enum_ctx *)lp;
    DWORD pid = 0;
    char cls[64];
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != ctx->pid || !IsWindowVisible(hwnd))
        return TRUE;
    if (!GetClassNameA(hwnd, cls, sizeof cls) || strcmp(cls, "#32770") != 0)
        return TRUE;
    if (ctx->nfound < MAX_SEEN)
        ctx->found[ctx->nfound++] = hwnd;
    return TRUE;
}

/* GetWindowText does not read controls of other processes, so ask the
 * control itself; the timeout keeps a hung child from hanging us. */
static void control_text(HWND ctl, char *out, int size)
{
    DWORD_PTR got = 0;
    wchar_t text[8192];
    char *s;
    text[0] = 0;
    if (!SendMessageTimeoutW(ctl, WM_GETTEXT, (WPARAM)(sizeof text / sizeof text[0]),
                             (LPARAM)text, SMTO_ABORTIFHUNG, 2000, &got))
        text[0] = 0;
    text[sizeof text / sizeof text[0] - 1] = 0;
    s = utf8_of(text);
    strncpy(out, s, size - 1);
    out[size - 1] = 0;
    free(s);
}

typedef struct {
    HWND first_static;   /* first Static with text, fallback for the text */
    int has_icon;
    int buttons[16];     /* visible button IDs */
    int nbuttons;
} box_parts;

static BOOL CALLBACK collect_controls(HWND ctl, LPARAM lp)
{
    box_parts *bp = (box_parts *)lp;
    char cls[64];
    LONG style;
    int id;
    if (!GetClassNameA(ctl, cls, sizeof cls))
        return TRUE;
    id = GetDlgCtrlID(ctl);
    style = GetWindowLongA(ctl, GWL_STYLE);
    if (!IsWindowVisible(ctl))
        return TRUE;
    if (_stricmp(cls, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON || id == 20) {
            /* Wine keeps a visible, empty icon control in boxes without
             * an icon, so ask whether it holds one. */
            DWORD_PTR icon = 0;
            if (SendMessageTimeoutA(ctl, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG,
                                    2000, &icon) && icon)
                bp->has_icon = 1;
        } else if (!bp->first_static) {
            char t[8];
            control_text(ctl, t, sizeof t);
            if (t[0])
                bp->first_static = ctl;
        }
    } else if (_stricmp(cls, "Button") == 0) {
        if (bp->nbuttons < 16)
            bp->buttons[bp->nbuttons++] = id;
    }
    return TRUE;
}

static int has_button(const box_parts *bp, int id)
{
    int i;
    for (i = 0; i < bp->nbuttons; i++)
        if (bp->buttons[i] == id)
            return 1;
    return 0;
}

static const char *button_kind(const box_parts *bp)
{
    if (bp->nbuttons == 1 && has_button(bp, IDOK))
        return "ok";
    if (bp->nbuttons == 2 && has_button(bp, IDYES) && has_button(bp, IDNO))
        return "yesno";
    if (bp->nbuttons == 2 && has_button(bp, IDOK) && has_button(bp, IDCANCEL))
        return "okcancel";
    return "other";
}

static int answer_id(const char *a)
{
    if (strcmp(a, "ok") == 0) return IDOK;
    if (strcmp(a, "yes") == 0) return IDYES;
    if (strcmp(a, "no") == 0) return IDNO;
    return 0;
}

/* Without a fitting answer: OK if there is one, else No, else Cancel. */
static int default_answer(const box_parts *bp)
{
    if (has_button(bp, IDOK)) return IDOK;
    if (has_button(bp, IDNO)) return IDNO;
    if (has_button(bp, IDCANCEL)) return IDCANCEL;
    return bp->nbuttons ? bp->buttons[0] : IDOK;
}

static void handle_box(HWND box, buf_t *report, const char **answers,
                       int nanswers, int *next_answer)
{
    char caption[4096], text[32768];
    wchar_t wcaption[1024];
    char *c8;
    box_parts bp;
    HWND txt;
    int id = 0;

    memset(&bp, 0, sizeof bp);
    wcaption[0] = 0;
    GetWindowTextW(box, wcaption, sizeof wcaption / sizeof wcaption[0]);
    c8 = utf8_of(wcaption);
    strncpy(caption, c8, sizeof caption - 1);
    caption[sizeof caption - 1] = 0;
    free(c8);
    EnumChildWindows(box, collect_controls, (LPARAM)&bp);
    txt = GetDlgItem(box, 0xFFFF);
    if (!txt)
        txt = bp.first_static;
    text[0] = 0;
    if (txt)
        control_text(txt, text, sizeof text);

    buf_str(report, "box\t");
    buf_escaped(report, caption);
    buf_chr(report, '\t');
    buf_escaped(report, text);
    buf_chr(report, '\t');
    buf_str(report, button_kind(&bp));
    buf_str(report, bp.has_icon ? "\ticon\n" : "\tnoicon\n");

    if (*next_answer < nanswers) {
        const char *a = answers[(*next_answer)++];
        id = answer_id(a);
        if (!has_button(&bp, id)) {
            fprintf(stderr, "tvharness: box \"%s\" has no button for answer "
                            "'%s'; using the default\n", caption, a);
            id = 0;
        }
    }
    if (!id)
        id = default_answer(&bp);
    /* Posting the command ends the dialog just like a click, without
     * waiting on the child's message loop. */
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 (LPARAM)GetDlgItem(box, id));
}

/* ---- main -------------------------------------------------------------- */

static int usage(const char *why)
{
    fprintf(stderr,
            "tvharness: %s\n"
            "usage: tvharness.exe [--answer ok|yes|no]... [--report FILE]\n"
            "                     [--timeout-ms N] [--cwd DIR]\n"
            "                     (-- PROGRAM [ARGS...] | --raw-cmdline TEXT)\n"
            "       tvharness.exe --exit-code N\n",
            why);
    return 3;
}

static int parse_uint(const char *s, unsigned long long *out)
{
    char *end;
    if (!*s || *s == '-')
        return 0;
    *out = _strtoui64(s, &end, 10);
    return *end == 0;
}

static void print_last_error(const char *what, DWORD err)
{
    char msg[512];
    msg[0] = 0;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   NULL, err, 0, msg, sizeof msg, NULL);
    fprintf(stderr, "tvharness: %s failed (error %lu): %s\n", what,
            (unsigned long)err, msg);
}

static void make_inheritable(DWORD which)
{
    HANDLE h = GetStdHandle(which);
    if (h && h != INVALID_HANDLE_VALUE)
        SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
}

static BOOL WINAPI ignore_ctrl(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

/* A console of our own for the program; the standard handles stay. */
static void own_console(void)
{
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    FreeConsole();
    AllocConsole();
    SetStdHandle(STD_INPUT_HANDLE, in);
    SetStdHandle(STD_OUTPUT_HANDLE, out);
    SetStdHandle(STD_ERROR_HANDLE, err);
    SetConsoleCtrlHandler(ignore_ctrl, TRUE);
}

static int file_exists(const char *path)
{
    return path && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

/* Whether the process whose id the file holds ends within 10 s. */
static int other_ends(const char *pid_file)
{
    char text[32] = {0};
    FILE *f = fopen(pid_file, "rb");
    HANDLE p;
    DWORD w;
    if (f) {
        if (!fgets(text, sizeof text, f))
            text[0] = 0;
        fclose(f);
    }
    p = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE,
                    strtoul(text, NULL, 10));
    if (!p)
        return 1;
    w = WaitForSingleObject(p, 10000);
    if (w != WAIT_OBJECT_0)
        TerminateProcess(p, 1);
    CloseHandle(p);
    return w == WAIT_OBJECT_0;
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

int wmain(int argc, wchar_t **wargv)
{
    char **argv = (char **)malloc((argc + 1) * sizeof *argv);
    const char *answers[MAX_ANSWERS];
    int nanswers = 0, next_answer = 0;
    const char *report_path = NULL, *cwd = NULL, *raw = NULL;
    const char *interrupt_when = NULL, *end_when = NULL;
    int console = 0;
    unsigned long long timeout_ms = 60000, v;
    int i, prog_index = -1, timed_out = 0;
    buf_t cmd = {0}, report = {0};
    STARTUPINFOW si;
    wchar_t *wcmd, *wcwd = NULL;
    PROCESS_INFORMATION pi;
    HWND seen[MAX_SEEN];
    int nseen = 0;
    ULONGLONG start;
    DWORD code = 0;

    for (i = 0; i < argc; i++)
        argv[i] = utf8_of(wargv[i]);
    argv[argc] = NULL;
    for (i = 1; i < argc; i++) {
        const char *o = argv[i];
        if (strcmp(o, "--") == 0) {
            prog_index = i + 1;
            break;
        }
        if (strcmp(o, "--console") == 0) {
            console = 1;
            continue;
        }
        if (i + 1 >= argc)
            return usage(strncmp(o, "--", 2) == 0 ? "option needs a value"
                                                   : "unknown argument");
        if (strcmp(o, "--answer") == 0) {
            if (!answer_id(argv[i + 1]))
                return usage("--answer takes ok, yes or no");
            if (nanswers == MAX_ANSWERS)
                return usage("too many --answer options");
            answers[nanswers++] = argv[++i];
        } else if (strcmp(o, "--report") == 0) {
            report_path = argv[++i];
        } else if (strcmp(o, "--timeout-ms") == 0) {
            if (!parse_uint(argv[++i], &timeout_ms))
                return usage("--timeout-ms takes a number");
        } else if (strcmp(o, "--interrupt-when") == 0) {
            interrupt_when = argv[++i];
        } else if (strcmp(o, "--end-when") == 0) {
            end_when = argv[++i];
        } else if (strcmp(o, "--cwd") == 0) {
            cwd = argv[++i];
        } else if (strcmp(o, "--raw-cmdline") == 0) {
            raw = argv[++i];
        } else if (strcmp(o, "--exit-code") == 0) {
            if (!parse_uint(argv[++i], &v) || v > 0xFFFFFFFFull)
                return usage("--exit-code takes a 32-bit unsigned number");
            ExitProcess((UINT)v);
        } else {
            return usage("unknown option");
        }
    }
    if (raw && prog_index >= 0)
        return usage("use either --raw-cmdline or -- PROGRAM, not both");
    if (raw) {
        buf_str(&cmd, raw);
    } else {
        if (prog_index < 0 || prog_index >= argc)
            return usage("no program given");
        append_program(&cmd, argv[prog_index]);
        for (i = prog_index + 1; i < argc; i++) {
            buf_chr(&cmd, ' ');
            append_arg(&cmd, argv[i]);
        }
    }
    if (!cmd.p)
        buf_str(&cmd, "");

    /* The child inherits this on Windows, so a crash ends it instead of
     * opening a dialog. Wine ignores it: test prefixes must point AeDebug's
     * Debugger at a missing program, or winedbg waits forever. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (console)
        own_console();
    make_inheritable(STD_INPUT_HANDLE);
    make_inheritable(STD_OUTPUT_HANDLE);
    make_inheritable(STD_ERROR_HANDLE);
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    memset(&pi, 0, sizeof pi);
    fflush(stdout);
    fflush(stderr);
    wcmd = wide_of(cmd.p);
    if (cwd)
        wcwd = wide_of(cwd);
    if (!CreateProcessW(NULL, wcmd, NULL, NULL, TRUE, 0, NULL, wcwd, &si,
                        &pi)) {
        print_last_error("CreateProcess", GetLastError());
        return 4;
    }
    CloseHandle(pi.hThread);

    start = GetTickCount64();
    for (;;) {
        enum_ctx ctx;
        int k, j;
        DWORD w = WaitForSingleObject(pi.hProcess, 50);
        if (w == WAIT_OBJECT_0)
            break;
        if (file_exists(interrupt_when)) {
            buf_str(&report, GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)
                                 ? "interrupt\tsent\n"
                                 : "interrupt\tfailed\n");
            interrupt_when = NULL;
        }
        if (file_exists(end_when)) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
            buf_str(&report, other_ends(end_when) ? "other\tended\n"
                                                  : "other\trunning\n");
            end_when = NULL;
        }
        if (GetTickCount64() - start >= timeout_ms) {
            TerminateProcess(pi.hProcess, 1);
            WaitForSingleObject(pi.hProcess, 5000);
            timed_out = 1;
            break;
        }
        /* Forget closed boxes so a recycled handle value counts as new. */
        for (k = 0; k < nseen;)
            if (!IsWindow(seen[k]))
                seen[k] = seen[--nseen];
            else
                k++;
        ctx.pid = pi.dwProcessId;
        ctx.nfound = 0;
        EnumWindows(collect_dialogs, (LPARAM)&ctx);
        for (k = 0; k < ctx.nfound; k++) {
            for (j = 0; j < nseen && seen[j] != ctx.found[k]; j++)
                ;
            if (j < nseen)
                continue;
            if (nseen < MAX_SEEN)
                seen[nseen++] = ctx.found[k];
            handle_box(ctx.found[k], &report, answers, nanswers,
                       &next_answer);
        }
    }

    if (timed_out) {
        buf_str(&report, "exit\ttimeout\n");
    } else {
        char num[32];
        GetExitCodeProcess(pi.hProcess, &code);
        sprintf(num, "exit\t%lu\n", (unsigned long)code);
        buf_str(&report, num);
    }
    CloseHandle(pi.hProcess);

    if (report_path) {
        HANDLE f = CreateFileA(report_path, GENERIC_WRITE, FILE_SHARE_READ,
                               NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               NULL);
        if (f == INVALID_HANDLE_VALUE) {
            print_last_error("opening the report", GetLastError());
            return 5;
        }
        if (!write_all(f, report.p, report.len)) {
            print_last_error("writing the report", GetLastError());
            CloseHandle(f);
            return 5;
        }
        CloseHandle(f);
    } else {
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (!write_all(out, report.p, report.len))
            return 5;
    }
    return 0;
}
