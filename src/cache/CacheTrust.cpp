#include "cache/CacheTrust.h"

#include <vector>

#include "os/Platform.h"
#include "support/LauncherFolder.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// What a path is to the cache: a folder above the cache's own (which may
// be reached through a link: ~/.cache often is one), the cache's own
// folder, or one of its files.
enum class CachePlace { Above, Folder, File };

bool isFullPath(const std::string& path) {
  return isFullyQualifiedPath(path, platform().conventions());
}

// The one rule: why `path` may not be used as `place`, or nothing.
std::optional<std::string> distrust(const std::string& path,
                                    CachePlace place) {
  if (!isFullPath(path)) return path + " is not an absolute path";
  const std::optional<FileOwnership> ownership =
      platform().fileOwnership(path);
  if (!ownership) return "cannot tell who owns " + path;
  if (ownership->isLink && place != CachePlace::Above)
    return path + " is a link";
  if (!ownership->ownedByUser) return path + " belongs to another user";
  if (ownership->othersMayWrite) return "others may write to " + path;
  return std::nullopt;
}

// The folders from the variable's place down to the cache folder.
std::vector<std::string> folderChain() {
  Platform& os = platform();
  const PlatformConventions& conv = os.conventions();
  for (const UserFolder& place : conv.cacheFolders) {
    std::optional<std::string> base = os.getEnv(place.variable);
    if (!base || base->empty() || !isFullPath(*base)) continue;
    std::vector<std::string> chain = {*base};
    std::string folder = *base;
    if (folder.back() != conv.separator && folder.back() != '/')
      folder += conv.separator;
    std::string below;
    for (char c : place.below) {
      if (conv.folderSeparators.find(c) == std::string::npos) {
        below += c;
        continue;
      }
      chain.push_back(folder + below);
      below += c;
    }
    chain.push_back(folder + below);
    return chain;
  }
  return {};
}

// Creates the folder and the ones above it that are missing, the user's
// alone; quietly.
bool makeFolderTree(const std::string& folder) {
  Platform& os = platform();
  std::optional<FileFacts> facts = os.fileFacts(folder);
  if (facts) return facts->isDirectory;
  const size_t cut = folder.find_last_of("/\\");
  if (cut != std::string::npos && cut > 0 &&
      !os.fileFacts(folder.substr(0, cut)) &&
      !makeFolderTree(folder.substr(0, cut)))
    return false;
  const int error = os.makePrivateDirectory(folder);
  return error == 0 || error == EEXIST_CODE;
}

}  // namespace

TrustedFolder trustedCacheFolder(bool create) {
  const std::vector<std::string> chain = folderChain();
  if (chain.empty())
    return {std::nullopt, "no cache folder: its variables are not set", false,
            false};
  const std::string& folder = chain.back();
  Platform& os = platform();
  for (size_t i = 0; i < chain.size(); ++i) {
    std::optional<FileFacts> facts = os.fileFacts(chain[i]);
    if (!facts && !create) return {folder, "", false};
    if (facts ? !facts->isDirectory : !makeFolderTree(chain[i]))
      return {std::nullopt, "cannot create the folder " + folder};
    const CachePlace place =
        i + 1 == chain.size() ? CachePlace::Folder : CachePlace::Above;
    if (std::optional<std::string> why = distrust(chain[i], place))
      return {std::nullopt, *why};
  }
  return {folder, "", true};
}

std::optional<std::string> distrustOfCacheFile(const std::string& path) {
  return distrust(path, CachePlace::File);
}

}  // namespace tarvik
