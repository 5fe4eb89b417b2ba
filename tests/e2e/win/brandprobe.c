/* Reads a branded exe as Windows does and prints what it finds, one fact a
 * line (UTF-8): the icon groups, the entries of the first group with a hash
 * of each image's bytes, the pixels of the icon LoadImage and ExtractIconEx
 * give, and the version information.
 *
 *   brandprobe.exe FILE.exe [SIZE...]
 */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void out(const char* text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, (DWORD)strlen(text), &written, NULL);
}

static void outWide(const wchar_t* text) {
  char buffer[4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
  if (n > 0) out(buffer);
}

static unsigned fnv1a(const unsigned char* bytes, DWORD size) {
  unsigned hash = 2166136261u;
  for (DWORD i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 16777619u;
  return hash;
}

/* "WxH" and the icon's colour pixels, top-down BGRA, in hex. */
static void printIcon(const char* what, HICON icon) {
  ICONINFO info;
  BITMAP bitmap;
  if (!icon || !GetIconInfo(icon, &info)) {
    printf("%s none\n", what);
    return;
  }
  GetObject(info.hbmColor, sizeof bitmap, &bitmap);
  BITMAPINFO bmi;
  memset(&bmi, 0, sizeof bmi);
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = bitmap.bmWidth;
  bmi.bmiHeader.biHeight = -bitmap.bmHeight;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  unsigned char* pixels = malloc((size_t)bitmap.bmWidth * bitmap.bmHeight * 4);
  HDC dc = GetDC(NULL);
  int rows = GetDIBits(dc, info.hbmColor, 0, bitmap.bmHeight, pixels, &bmi, DIB_RGB_COLORS);
  ReleaseDC(NULL, dc);
  printf("%s %ldx%ld ", what, bitmap.bmWidth, bitmap.bmHeight);
  for (long i = 0; rows > 0 && i < (long)bitmap.bmWidth * bitmap.bmHeight * 4; ++i)
    printf("%02x", pixels[i]);
  printf("\n");
  free(pixels);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

static BOOL CALLBACK firstName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found) {
  (void)module;
  (void)type;
  *(LPWSTR*)found = IS_INTRESOURCE(name) ? name : _wcsdup(name);
  return FALSE;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const wchar_t* path = argv[1];
  setvbuf(stdout, NULL, _IONBF, 0);
  printf("groups %u\n", (unsigned)ExtractIconExW(path, -1, NULL, NULL, 0));

  HMODULE module = LoadLibraryExW(path, NULL, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) {
    printf("load failed %lu\n", GetLastError());
    return 1;
  }
  LPWSTR group = NULL;
  EnumResourceNamesW(module, (LPCWSTR)RT_GROUP_ICON, firstName, (LONG_PTR)&group);
  HRSRC found = group ? FindResourceW(module, group, (LPCWSTR)RT_GROUP_ICON) : NULL;
  const unsigned char* dir = found ? LockResource(LoadResource(module, found)) : NULL;
  if (dir) {
    WORD count = *(const WORD*)(dir + 4);
    for (WORD i = 0; i < count; ++i) {
      const unsigned char* e = dir + 6 + 14 * i;
      WORD id = *(const WORD*)(e + 12);
      HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), (LPCWSTR)RT_ICON);
      const unsigned char* bytes = image ? LockResource(LoadResource(module, image)) : NULL;
      DWORD size = image ? SizeofResource(module, image) : 0;
      printf("entry %u %u %u %lu %08x\n", e[0], e[1], *(const WORD*)(e + 6),
             (unsigned long)*(const DWORD*)(e + 8), bytes ? fnv1a(bytes, size) : 0);
    }
  }
  for (int i = 2; i < argc; ++i) {
    int size = _wtoi(argv[i]);
    char what[32];
    snprintf(what, sizeof what, "icon %d", size);
    printIcon(what, group ? (HICON)LoadImageW(module, group, IMAGE_ICON, size, size, 0) : NULL);
  }
  HICON large = NULL;
  ExtractIconExW(path, 0, &large, NULL, 1);
  printIcon("extract", large);

  DWORD handle = 0, length = GetFileVersionInfoSizeW(path, &handle);
  void* info = length ? malloc(length) : NULL;
  if (!info || !GetFileVersionInfoW(path, 0, length, info)) {
    printf("version none\n");
    return 0;
  }
  VS_FIXEDFILEINFO* fixed;
  UINT size;
  if (VerQueryValueW(info, L"\\", (void**)&fixed, &size))
    printf("fixed %u.%u.%u.%u %u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
           LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
           LOWORD(fixed->dwFileVersionLS), HIWORD(fixed->dwProductVersionMS),
           LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
           LOWORD(fixed->dwProductVersionLS));
  WORD* translation;
  if (!VerQueryValueW(info, L"\\VarFileInfo\\Translation", (void**)&translation, &size)) return 0;
  printf("translation %04x %04x\n", translation[0], translation[1]);
  static const wchar_t* names[] = {L"CompanyName", L"FileDescription", L"FileVersion",
                                   L"InternalName", L"LegalCopyright", L"OriginalFilename",
                                   L"ProductName", L"ProductVersion"};
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
    wchar_t query[128];
    wchar_t* value;
    swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], names[i]);
    if (!VerQueryValueW(info, query, (void**)&value, &size)) continue;
    out("string ");
    outWide(names[i]);
    out(" ");
    outWide(value);
    out("\n");
  }
  return 0;
}
