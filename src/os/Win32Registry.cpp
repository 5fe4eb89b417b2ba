// The registry through the wide calls; names and values are UTF-8 to the
// launcher.
#ifndef _WIN32
#error "Win32Registry.cpp is for Windows builds only"
#endif

#include "os/Win32Registry.h"

#include <windows.h>

#include <vector>

#include "os/Win32Text.h"

namespace tarvik {

namespace {

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(HKEY key) : key_(key) {}
  ~Win32RegistryKey() override { RegCloseKey(key_); }
  Win32RegistryKey(const Win32RegistryKey&) = delete;
  Win32RegistryKey& operator=(const Win32RegistryKey&) = delete;

  std::optional<std::string> readString(const std::string& name,
                                        size_t capacity) override {
    std::optional<std::string> data = readData(wideFromUtf8(name));
    if (!data) return std::nullopt;
    std::string& value = *data;
    // The capacity counts the value's bytes with the terminator, when the
    // value has one stored.
    if (value.size() > capacity) return std::nullopt;
    size_t nul = value.find('\0');
    // A value stored without terminator that fills the whole buffer does
    // not fit with its terminator.
    if (nul == std::string::npos && value.size() >= capacity)
      return std::nullopt;
    if (nul != std::string::npos) value.resize(nul);
    return value;
  }

  std::optional<uint32_t> subkeyCount() override {
    DWORD count = 0;
    if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    return count;
  }

  std::optional<std::string> subkeyName(uint32_t index) override {
    wchar_t name[256];
    DWORD size = sizeof name / sizeof name[0];
    if (RegEnumKeyExW(key_, index, name, &size, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS)
      return std::nullopt;
    return utf8FromWide(name, size);
  }

 private:
  // The whole stored value: text values as UTF-8 (a stored terminator
  // kept as a NUL byte), others as their bytes, as the ANSI call gave them.
  std::optional<std::string> readData(const std::wstring& name) {
    DWORD type = 0;
    DWORD size = 0;
    LONG status;
    std::vector<BYTE> buffer;
    do {
      buffer.resize(size + sizeof(wchar_t));
      size = static_cast<DWORD>(buffer.size());
      status = RegQueryValueExW(key_, name.c_str(), nullptr, &type,
                                buffer.data(), &size);
    } while (status == ERROR_MORE_DATA);
    if (status != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
      return std::string(reinterpret_cast<const char*>(buffer.data()), size);
    const wchar_t* text = reinterpret_cast<const wchar_t*>(buffer.data());
    const size_t length = size / sizeof(wchar_t);
    if (type == REG_EXPAND_SZ) return expanded(std::wstring(text, length));
    return utf8FromWide(text, length);
  }

  // A REG_EXPAND_SZ value with its %NAME% references expanded, as Windows'
  // own readers give it (a stored terminator kept as a NUL byte).
  static std::optional<std::string> expanded(std::wstring value) {
    const bool terminated = !value.empty() && value.back() == L'\0';
    value = value.substr(0, value.find(L'\0'));
    std::vector<wchar_t> out(value.size() + 1);
    for (;;) {
      const DWORD needed = ExpandEnvironmentStringsW(
          value.c_str(), out.data(), static_cast<DWORD>(out.size()));
      if (needed == 0) return std::nullopt;
      if (needed <= out.size()) {
        std::string text = utf8FromWide(out.data(), needed - 1);
        if (terminated) text += '\0';
        return text;
      }
      out.resize(needed);
    }
  }

  HKEY key_;
};

}  // namespace

std::unique_ptr<RegistryKey> openWin32RegistryKey(const RegistryPlace& place,
                                                  const std::string& path) {
  HKEY root = place.root() == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER
                                                        : HKEY_LOCAL_MACHINE;
  // The default view passes no flag at all, as the first lookup always has.
  REGSAM access = KEY_READ;
  if (place.view() == RegistryView::Bits64) access |= KEY_WOW64_64KEY;
  if (place.view() == RegistryView::Bits32) access |= KEY_WOW64_32KEY;
  HKEY key;
  if (RegOpenKeyExW(root, wideFromUtf8(path).c_str(), 0, access, &key) !=
      ERROR_SUCCESS)
    return nullptr;
  return std::make_unique<Win32RegistryKey>(key);
}

}  // namespace tarvik
