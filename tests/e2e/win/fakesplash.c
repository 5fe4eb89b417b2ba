/*
 * splashscreen.dll double (test code only, never shipped): exports the
 * calls a launcher makes to a runtime's splash screen library and records
 * each one, in order, as a line appended to FAKEJVM_RECORD (so that the
 * splash calls and the VM's creation stand in one record):
 *   splash <TAB> CALL [<TAB> ARGUMENT]...
 * With FAKESPLASH_SCALED set, the screen is scaled 2 times and the image
 * "NAME.EXT" has the scaled form "NAME@2x.EXT".
 */
#include <windows.h>
#include <stdio.h>
#include <string.h>

static void record(const char *line)
{
    char path[MAX_PATH * 4];
    HANDLE f;
    DWORD done;
    DWORD len = GetEnvironmentVariableA("FAKEJVM_RECORD", path, sizeof path);
    if (len == 0 || len >= sizeof path)
        return;
    f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return;
    WriteFile(f, line, (DWORD)strlen(line), &done, NULL);
    CloseHandle(f);
}

/* "splash", then each field; a null one as "<null>". */
static void record2(const char *call, const char *a, const char *b)
{
    char line[8192];
    int n = snprintf(line, sizeof line, "splash\t%s", call);
    if (a && n > 0 && n < (int)sizeof line)
        n += snprintf(line + n, sizeof line - n, "\t%s", a);
    if (a && b != a && n > 0 && n < (int)sizeof line)
        n += snprintf(line + n, sizeof line - n, "\t%s", b ? b : "<null>");
    if (n > 0 && n < (int)sizeof line - 1) {
        line[n++] = '\n';
        line[n] = '\0';
        record(line);
    }
}

__declspec(dllexport) void SplashInit(void) { record2("SplashInit", NULL, NULL); }

__declspec(dllexport) void SplashClose(void) { record2("SplashClose", NULL, NULL); }

__declspec(dllexport) int SplashLoadFile(const char *file)
{
    record2("SplashLoadFile", file, file);
    return GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES;
}

__declspec(dllexport) void SplashSetFileJarName(const char *file, const char *jar)
{
    record2("SplashSetFileJarName", file ? file : "<null>", jar ? jar : NULL);
}

__declspec(dllexport) void SplashSetScaleFactor(float scale)
{
    char text[32];
    snprintf(text, sizeof text, "%g", scale);
    record2("SplashSetScaleFactor", text, text);
}

__declspec(dllexport) int SplashGetScaledImgNameMaxPstfixLen(const char *file)
{
    (void)file;
    return 3;
}

__declspec(dllexport) unsigned char SplashGetScaledImageName(
    const char *jar, const char *file, float *scale, char *out, size_t size)
{
    const char *dot = strrchr(file, '.');
    char v[8];
    (void)jar;
    if (!GetEnvironmentVariableA("FAKESPLASH_SCALED", v, sizeof v) || !dot)
        return 0;
    if ((size_t)(dot - file) + 3 + strlen(dot) + 1 > size)
        return 0;
    snprintf(out, size, "%.*s@2x%s", (int)(dot - file), file, dot);
    *scale = 2;
    return 1;
}
