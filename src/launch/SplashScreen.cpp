#include "launch/SplashScreen.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "launch/EmbeddedVmLauncher.h"
#include "os/Platform.h"
#include "support/AnsiCodePage.h"

namespace tarvik {

namespace {

// The splash library's exports (C calling convention, texts in the ANSI
// code page). The scaled-image calls came with high-resolution screens;
// an older library lacks them.
using SplashInitCall = void (*)();
using SplashLoadFileCall = int (*)(const char* file);
using SplashSetFileJarNameCall = void (*)(const char* file, const char* jar);
using SplashSetScaleFactorCall = void (*)(float scale);
using SplashGetScaledImageNameCall = uint8_t (*)(const char* jar,
                                                 const char* file, float* scale,
                                                 char* scaledFile,
                                                 size_t scaledFileSize);
using SplashGetScaledImgNameMaxPstfixLenCall = int (*)(const char* file);
using SplashCloseCall = void (*)();

// A splash name's suffix ("@2x") is short; a longer claim is no suffix.
constexpr int MAX_SCALED_SUFFIX = 1024;

template <typename Call>
Call exported(void* library, const char* name) {
  return reinterpret_cast<Call>(platform().findSymbol(library, name));
}

void* noSplash(const std::string& why) {
  platform().writeStderr("No splash screen: " + why + "\n");
  return nullptr;
}

}  // namespace

void* showSplashScreen(const std::string& jvmLibrary, const std::string& image) {
  Platform& os = platform();
  const std::vector<std::string> folders = jvmDependencyFolders(jvmLibrary);
  if (folders.empty())
    return noSplash("the JVM library " + jvmLibrary +
                    " is not in a runtime's server or client folder");
  const std::string path =
      folders.front() + os.conventions().separator + os.conventions().splashLibrary;
  if (os.findFiles(path).empty()) return noSplash(path + " does not exist");
  if (image.empty() || os.findFiles(image).empty())
    return noSplash("the image " + image + " does not exist");
  const std::optional<std::string> file = os.toAnsiCodePage(ansiReadablePath(image));
  if (!file)
    return noSplash("the path of the image " + image +
                    " cannot be written in the system's code page");
  void* library = os.loadLibraryWithDependenciesIn(path, folders);
  if (library == nullptr) return noSplash(path + " cannot be loaded");
  auto init = exported<SplashInitCall>(library, "SplashInit");
  auto loadFile = exported<SplashLoadFileCall>(library, "SplashLoadFile");
  auto setFileJarName =
      exported<SplashSetFileJarNameCall>(library, "SplashSetFileJarName");
  if (!init || !loadFile || !setFileJarName)
    return noSplash(path + " is not a splash screen library");
  auto setScaleFactor =
      exported<SplashSetScaleFactorCall>(library, "SplashSetScaleFactor");
  auto scaledName =
      exported<SplashGetScaledImageNameCall>(library, "SplashGetScaledImageName");
  auto scaledSuffix = exported<SplashGetScaledImgNameMaxPstfixLenCall>(
      library, "SplashGetScaledImgNameMaxPstfixLen");

  init();
  // On a scaled screen the library may name a larger image ("splash@2x.png")
  // to be shown at that scale.
  std::string shown = *file;
  if (setScaleFactor && scaledName && scaledSuffix) {
    const int suffix = scaledSuffix(file->c_str());
    if (suffix > 0 && suffix <= MAX_SCALED_SUFFIX) {
      std::vector<char> scaled(file->size() + static_cast<size_t>(suffix) + 1, '\0');
      float scale = 1;
      if (scaledName(nullptr, file->c_str(), &scale, scaled.data(), scaled.size())) {
        scaled.back() = '\0';
        setScaleFactor(scale);
        shown = scaled.data();
      }
    }
  }
  if (!loadFile(shown.c_str()) && (shown == *file || !loadFile(file->c_str())))
    return noSplash("the image " + image + " cannot be shown");
  // The application's SplashScreen.getImageURL() names the file.
  setFileJarName(file->c_str(), nullptr);
  return library;
}

void closeSplashScreen(void* splashLibrary) {
  if (splashLibrary == nullptr) return;
  if (auto close = exported<SplashCloseCall>(splashLibrary, "SplashClose"))
    close();
}

}  // namespace tarvik
