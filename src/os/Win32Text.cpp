// The Windows backend's text conversions.
#ifndef _WIN32
#error "Win32Text.cpp is for Windows builds only"
#endif

#include "os/Win32Text.h"

#include <windows.h>

namespace tarvik {

namespace {

// The converters take int lengths; longer texts are converted in pieces
// that end on whole characters.
constexpr size_t PIECE = 1 << 28;

std::wstring wideFrom(UINT codePage, const char* text, size_t length) {
  std::wstring out;
  while (length > 0) {
    size_t piece = length < PIECE ? length : PIECE;
    if (codePage == CP_UTF8)
      while (piece < length && piece > 0 &&
             (static_cast<unsigned char>(text[piece]) & 0xC0) == 0x80)
        --piece;
    if (piece == 0) piece = length < PIECE ? length : PIECE;
    const int size = static_cast<int>(piece);
    const int wide = MultiByteToWideChar(codePage, 0, text, size, nullptr, 0);
    if (wide <= 0) break;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(wide));
    MultiByteToWideChar(codePage, 0, text, size, &out[at], wide);
    text += piece;
    length -= piece;
  }
  return out;
}

std::string narrowTo(UINT codePage, const wchar_t* text, size_t length,
                     BOOL* usedDefault) {
  std::string out;
  while (length > 0) {
    size_t piece = length < PIECE ? length : PIECE;
    // A surrogate pair stays in one piece.
    if (piece < length && text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF)
      --piece;
    const int size = static_cast<int>(piece);
    const int bytes = WideCharToMultiByte(codePage, 0, text, size, nullptr, 0,
                                          nullptr, usedDefault);
    if (bytes <= 0) break;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(bytes));
    WideCharToMultiByte(codePage, 0, text, size, &out[at], bytes, nullptr,
                        usedDefault);
    text += piece;
    length -= piece;
  }
  return out;
}

}  // namespace

std::wstring wideFromUtf8(const std::string& text) {
  return wideFrom(CP_UTF8, text.data(), text.size());
}

std::string utf8FromWide(const wchar_t* text, size_t length) {
  return narrowTo(CP_UTF8, text, length, nullptr);
}

std::string utf8FromWide(const std::wstring& text) {
  return utf8FromWide(text.data(), text.size());
}

std::optional<std::string> ansiFromUtf8(const std::string& text) {
  const std::wstring wide = wideFromUtf8(text);
  BOOL usedDefault = FALSE;
  // UTF-8 as the ANSI code page ("Use Unicode UTF-8" in Windows' region
  // settings) takes no default character: the call would fail.
  std::string ansi = narrowTo(CP_ACP, wide.data(), wide.size(),
                              GetACP() == CP_UTF8 ? nullptr : &usedDefault);
  // A best-fit mapping (Д to D) is as wrong as a question mark: only a
  // text that converts back to itself fits.
  if (usedDefault || wideFrom(CP_ACP, ansi.data(), ansi.size()) != wide)
    return std::nullopt;
  return ansi;
}

std::string utf8FromAnsi(const std::string& bytes) {
  return utf8FromWide(wideFrom(CP_ACP, bytes.data(), bytes.size()));
}

std::string systemErrorText(unsigned long error) {
  wchar_t buffer[512] = {0};
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, buffer, sizeof buffer / sizeof buffer[0], nullptr);
  std::string text = utf8FromWide(buffer, length);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' ||
                           text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "error " + std::to_string(error);
  return text;
}

}  // namespace tarvik
