/*
 * The taskbar identity the stand-ins report (test code only): the
 * process's explicit AppUserModelID as GetCurrentProcessExplicitAppUserModelID
 * gives it, as UTF-8, or "<none 0xHRESULT>" where it gives none (Wine 8.0
 * has no such call: E_NOTIMPL, 0x80004001).
 */
#ifndef TV_APPID_H
#define TV_APPID_H

#include <windows.h>
#include <stdio.h>

typedef HRESULT(WINAPI *tv_get_id_t)(PWSTR *);

static void tv_appid_text(char *out, size_t size)
{
    HMODULE shell32 = LoadLibraryW(L"shell32.dll");
    tv_get_id_t get = shell32 ? (tv_get_id_t)(void *)GetProcAddress(
                                    shell32, "GetCurrentProcessExplicitAppUserModelID")
                              : NULL;
    PWSTR id = NULL;
    HRESULT hr = get ? get(&id) : E_NOTIMPL;
    if (SUCCEEDED(hr) && id) {
        if (WideCharToMultiByte(CP_UTF8, 0, id, -1, out, (int)size, NULL, NULL) == 0)
            out[0] = 0;
        return;
    }
    snprintf(out, size, "<none 0x%08lx>", (unsigned long)hr);
}

#endif
