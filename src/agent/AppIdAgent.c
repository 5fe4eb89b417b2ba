/*
 * tarvik-appid.dll: the JVMTI agent that gives a child Java the taskbar
 * identity of the application it runs. The launcher hands the child
 * "-agentpath:<this file>=<ID>"; the VM loads the agent before the
 * application's first class and calls Agent_OnLoad with the text after
 * '='. The agent sets the ID on the process and never fails the VM: an ID
 * it cannot set leaves the windows as Java's.
 *
 * Standing alone (the VM's C interface is three pointers here), it needs
 * no JDK to be built.
 */
#ifndef _WIN32
#error "AppIdAgent.c is for Windows builds only"
#endif

#include <windows.h>

/* An AppUserModelID has at most 128 characters. */
#define MAX_ID 128

typedef HRESULT(WINAPI *SetIdFunction)(PCWSTR);

/* JNICALL is __stdcall, which x64 has as its one calling convention. */
__declspec(dllexport) int __stdcall Agent_OnLoad(void *vm, char *options, void *reserved)
{
    wchar_t id[MAX_ID + 1];
    HMODULE shell32;
    SetIdFunction setId;
    (void)vm;
    (void)reserved;
    if (options == NULL || options[0] == '\0')
        return 0;
    /* The VM hands options in the ANSI code page; the launcher's IDs are ASCII. */
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, options, -1, id, MAX_ID + 1) == 0)
        return 0;
    /* Looked up, as Windows before 7 has no such call. */
    shell32 = LoadLibraryW(L"shell32.dll");
    if (shell32 == NULL)
        return 0;
    setId = (SetIdFunction)(void *)GetProcAddress(shell32, "SetCurrentProcessExplicitAppUserModelID");
    if (setId != NULL)
        setId(id);
    return 0;
}
