#include "support/AppBaseName.h"

#include "LaunchSettings.h"
#include "os/Platform.h"
#include "support/TextUtil.h"

namespace tarvik {

std::string lastComponent(const std::string& path,
                          const std::string& separators) {
  const size_t cut = path.find_last_of(separators);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

namespace {

// The text without `ending` when it ends so (`anyCase`: in any letter
// case).
std::string withoutEnding(const std::string& text, const std::string& ending,
                          bool anyCase) {
  if (text.size() < ending.size()) return text;
  const std::string tail = text.substr(text.size() - ending.size());
  if ((anyCase ? toLowerCase(tail) : tail) != ending) return text;
  return text.substr(0, text.size() - ending.size());
}

}  // namespace

std::string appBaseName(const std::string& path) {
  const LauncherOptions& opts = options();
  const std::string& separators = platform().conventions().folderSeparators;
  std::string name = lastComponent(path, separators);
  if (opts.customConfigPath)
    name = withoutEnding(lastComponent(*opts.customConfigPath, separators),
                         ".config", false);
  return withoutEnding(name, ".exe", true);
}

}  // namespace tarvik
