#include "config/DesktopDirectives.h"

#include <optional>

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/AppUserModelId.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// Why `name` cannot name an instance, or nothing when it can. It becomes
// part of a kernel object's name (where `\` is a separator) and of a file
// name (where `/` is), on systems that share one configuration.
std::optional<std::string> instanceNameProblem(const std::string& name) {
  if (name.empty()) return std::string("the name is empty");
  if (name.size() > MAX_INSTANCE_NAME_BYTES)
    return "the name is longer than " +
           std::to_string(MAX_INSTANCE_NAME_BYTES) + " bytes";
  for (const char c : name) {
    if (c == '\\' || c == '/')
      return std::string("the name must not hold \\ or /");
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return std::string("the name must not hold control characters");
  }
  return std::nullopt;
}

bool isWebUrl(const std::string& url) {
  const std::string lower = toLowerCase(url);
  size_t rest;
  if (startsWith(lower, "http://")) {
    rest = 7;
  } else if (startsWith(lower, "https://")) {
    rest = 8;
  } else {
    return false;
  }
  // A host must follow.
  return rest < url.size() && url[rest] != '/' && url[rest] != '?' &&
         url[rest] != '#';
}

// The URL with every byte a URL cannot hold percent-encoded: blanks,
// quotes, control characters and the bytes of non-ASCII characters. So
// nothing in it can end or split the argument of the program that opens it.
std::string encodedUrl(const std::string& url) {
  static const char HEX[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char c : url) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F ||
        std::string("\"<>\\^`{|}").find(c) != std::string::npos) {
      encoded += '%';
      encoded += HEX[byte >> 4];
      encoded += HEX[byte & 0xF];
    } else {
      encoded += c;
    }
  }
  return encoded;
}

}  // namespace

void applySingleInstance(const std::string& argument) {
  const std::string name = trimmed(argument);
  if (std::optional<std::string> problem = instanceNameProblem(name)) {
    platform().writeStderr("singleInstance " + name + " ignored: " + *problem +
                           "\n");
    return;
  }
  settings().singleInstanceName = name;
}

void applyJavaDownloadUrl(const std::string& argument) {
  const std::string url = trimmed(argument);
  // Any other scheme could name a program or a local file to open.
  if (!isWebUrl(url)) {
    platform().writeStderr("javaDownloadUrl " + url +
                           " ignored: only http and https URLs are accepted\n");
    return;
  }
  settings().javaDownloadUrl = encodedUrl(url);
}

void applyAppUserModelId(const std::string& argument) {
  const std::string id = trimmed(argument);
  if (std::optional<std::string> problem = appUserModelIdProblem(id)) {
    platform().writeStderr("appUserModelId " + id + " ignored: " + *problem + "\n");
    return;
  }
  settings().appUserModelId = id;
}

}  // namespace tarvik
