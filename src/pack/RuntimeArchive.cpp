#include "pack/RuntimeArchive.h"

#include <algorithm>
#include <map>
#include <utility>

#include "os/Platform.h"
#include "pack/Deflate.h"
#include "support/LauncherFolder.h"
#include "support/TextUtil.h"
#include "support/Utf8.h"

namespace tarvik {
namespace pack {

namespace {

// A chain of links longer than this is a loop.
constexpr int MAX_LINK_STEPS = 40;
// The folders of a runtime itself: an archive whose one top folder is one
// of these holds the runtime without a folder about it.
const char* const RUNTIME_FOLDERS[] = {"bin", "conf", "include", "jmods", "legal", "lib", "man"};
// What Windows refuses in a file's name.
const char WINDOWS_REFUSED[] = "<>:\"|?*";

using Parts = std::vector<std::string>;

std::string joinedParts(const Parts& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "/") + part;
  return text;
}

bool endsWith(const std::string& text, const std::string& ending) {
  return text.size() > ending.size() && text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

class Unpacker {
 public:
  Unpacker(std::vector<PackedEntry> entries, RuntimeSystem system)
      : entries_(std::move(entries)), system_(system) {}

  std::optional<ImageFiles> files(const std::string& prefix, const UnpackLimits& limits, std::string& error) {
    if (!nameEntries(error) || !indexEntries(error)) return std::nullopt;
    // Each file again for each link to it: the links count to the bounds.
    UnpackBudget budget(limits);
    ImageFiles files;
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (parts_[i].empty() || entries_[i].kind == PackedEntry::Kind::Folder) continue;
      const PackedEntry* file = fileOf(i, error);
      if (!file) return std::nullopt;
      if (!budget.take(file->bytes.size(), error)) {
        error = "the archive " + error;
        return std::nullopt;
      }
      ImageFile image;
      image.path = prefix + joinedParts(parts_[i]);
      image.bytes = file->bytes;
      image.program = isRuntimeProgram(image.path) || (system_ == RuntimeSystem::Linux && file->executable);
      files.push_back(std::move(image));
    }
    sortImage(files);
    return files;
  }

 private:
  bool windows() const { return system_ == RuntimeSystem::Windows; }

  // A path of the archive as names below the runtime's folder, read from
  // the folder `from`; what is wrong with it in `problem`.
  bool partsOf(std::string path, Parts from, bool link, Parts& parts, std::string& problem) const {
    if (windows())
      for (char& c : path)
        if (c == '\\') c = '/';
    if (!isValidUtf8(path)) return problem = "is not valid UTF-8", false;
    for (const char c : path)
      if (static_cast<unsigned char>(c) < 0x20) return problem = "holds a control character", false;
    if (isAbsolutePath(path, windows() ? PlatformConventions::windows() : PlatformConventions::posix()))
      return problem = "is an absolute path", false;
    parts = std::move(from);
    for (size_t start = 0; start <= path.size();) {
      const size_t slash = std::min(path.find('/', start), path.size());
      const std::string part = path.substr(start, slash - start);
      start = slash + 1;
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        // An entry's own name never climbs; a link's may, within the runtime.
        if (!link || parts.empty()) return problem = "climbs out of the runtime's folder (..)", false;
        parts.pop_back();
        continue;
      }
      if (windows() && part.find_first_of(WINDOWS_REFUSED) != std::string::npos)
        return problem = "holds a character that Windows refuses in a name", false;
      parts.push_back(part);
    }
    return true;
  }

  // Every entry's names, without the one folder at the top when it holds
  // everything.
  bool nameEntries(std::string& error) {
    std::string problem;
    for (const PackedEntry& entry : entries_) {
      Parts parts;
      if (!partsOf(entry.name, {}, false, parts, problem)) return error = entry.name + " " + problem, false;
      if (parts.empty() && entry.kind != PackedEntry::Kind::Folder)
        return error = "\"" + entry.name + "\" is no name for a file", false;
      parts_.push_back(std::move(parts));
    }
    std::string top;
    bool one = true;
    for (size_t i = 0; i < entries_.size() && one; ++i) {
      if (parts_[i].empty()) continue;
      if (top.empty()) top = parts_[i][0];
      one = parts_[i][0] == top && (parts_[i].size() > 1 || entries_[i].kind == PackedEntry::Kind::Folder);
    }
    for (const char* folder : RUNTIME_FOLDERS) one = one && top != folder;
    top_ = one ? top : std::string();
    if (!top_.empty())
      for (Parts& parts : parts_)
        if (!parts.empty()) parts.erase(parts.begin());
    return true;
  }

  std::string keyOf(const Parts& parts) const {
    return windows() ? toLowerCase(joinedParts(parts)) : joinedParts(parts);
  }

  // Each name once (on Windows, whatever its case), and the folders above
  // it no files.
  bool indexEntries(std::string& error) {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (parts_[i].empty()) continue;
      const auto [at, added] = byKey_.emplace(keyOf(parts_[i]), i);
      const bool folders = entries_[i].kind == PackedEntry::Kind::Folder &&
                           entries_[at->second].kind == PackedEntry::Kind::Folder;
      if (!added && !folders) {
        const std::string& other = entries_[at->second].name;
        error = other == entries_[i].name ? entries_[i].name + " is in the archive twice"
                                          : entries_[i].name + " and " + other + " are one name" +
                                                (windows() ? " on Windows" : "");
        return false;
      }
    }
    for (size_t i = 0; i < entries_.size(); ++i)
      for (size_t length = 1; length < parts_[i].size(); ++length) {
        const auto found = byKey_.find(keyOf(Parts(parts_[i].begin(), parts_[i].begin() + length)));
        if (found != byKey_.end() && entries_[found->second].kind != PackedEntry::Kind::Folder) {
          error = entries_[found->second].name + " is a file and a folder above " + entries_[i].name;
          return false;
        }
      }
    return true;
  }

  // The file entry `index` is, or names through its links.
  const PackedEntry* fileOf(size_t index, std::string& error) const {
    const PackedEntry& first = entries_[index];
    size_t at = index;
    for (int step = 0; step <= MAX_LINK_STEPS; ++step) {
      const PackedEntry& entry = entries_[at];
      if (entry.kind == PackedEntry::Kind::File) return &entry;
      if (entry.kind == PackedEntry::Kind::Folder) {
        error = first.name + " is a link to a folder, which tarvik-pack does not copy from an archive";
        return nullptr;
      }
      Parts target;
      std::string problem;
      bool inside = true;
      if (entry.kind == PackedEntry::Kind::Link) {
        inside = partsOf(entry.bytes, Parts(parts_[at].begin(), parts_[at].end() - 1), true, target, problem);
      } else {
        // A hard link names its file from the archive's top.
        inside = partsOf(entry.bytes, {}, false, target, problem) &&
                 (top_.empty() || (!target.empty() && target[0] == top_));
        if (inside && !top_.empty()) target.erase(target.begin());
      }
      if (!inside || entry.bytes.empty()) {
        error = first.name + (problem.empty() || problem[0] == 'c' || problem[0] == 'i'
                                  ? " is a link out of the runtime's folder (to \"" + entry.bytes + "\")"
                                  : " is a link whose target " + problem);
        return nullptr;
      }
      const auto found = byKey_.find(keyOf(target));
      if (found == byKey_.end()) {
        error = first.name + " is a link to " + entry.bytes + ", which the archive does not hold";
        return nullptr;
      }
      at = found->second;
    }
    error = first.name + " is a link of a loop of links";
    return nullptr;
  }

  std::vector<PackedEntry> entries_;
  RuntimeSystem system_;
  std::vector<Parts> parts_;  // each entry's names below the runtime's folder
  std::string top_;           // the folder left out, or nothing
  std::map<std::string, size_t> byKey_;
};

}  // namespace

const UnpackLimits RUNTIME_LIMITS = {1ull << 30, 20000};

ArchiveForm archiveForm(const std::string& path) {
  const std::string lower = toLowerCase(path);
  if (endsWith(lower, ".zip")) return ArchiveForm::Zip;
  if (endsWith(lower, ".tar.gz") || endsWith(lower, ".tgz")) return ArchiveForm::TarGz;
  return ArchiveForm::None;
}

bool UnpackBudget::take(uint64_t size, std::string& error) {
  if (++entries_ > limits_.entries) {
    error = "holds more than " + std::to_string(limits_.entries) + " entries";
    return false;
  }
  if (size > limits_.bytes - bytes_) {
    error = "unpacks to more than " + std::to_string(limits_.bytes) + " bytes";
    return false;
  }
  bytes_ += size;
  return true;
}

std::optional<ImageFiles> unpackRuntime(const std::string& archive, ArchiveForm form, RuntimeSystem system,
                                        const std::string& prefix, const UnpackLimits& limits,
                                        std::string& error) {
  std::optional<std::vector<PackedEntry>> entries;
  if (form == ArchiveForm::Zip) {
    entries = zipEntries(archive, limits, error);
  } else {
    // A tar holds a header of a block for each entry, its files' last
    // blocks partly empty, and its end.
    const uint64_t tarLimit = limits.bytes + (limits.entries + 20) * 1024ull;
    const std::optional<std::string> tar = gunzipped(archive, tarLimit, error);
    if (!tar) {
      error = "the archive " + error;
      return std::nullopt;
    }
    entries = tarEntries(*tar, limits, error);
  }
  if (!entries) return std::nullopt;
  return Unpacker(std::move(*entries), system).files(prefix, limits, error);
}

bool addRuntime(const std::string& path, RuntimeSystem system, ImageFiles& files, std::string& error) {
  const std::optional<FileFacts> facts = platform().fileFacts(path);
  const ArchiveForm form = facts && facts->isDirectory ? ArchiveForm::None : archiveForm(path);
  if (form == ArchiveForm::None) return addFolder(path, "runtime/", files, error);
  const std::optional<std::string> archive = readInput(path, RUNTIME_LIMITS.bytes, error);
  if (!archive) return false;
  std::optional<ImageFiles> unpacked = unpackRuntime(*archive, form, system, "runtime/", RUNTIME_LIMITS, error);
  if (!unpacked) {
    error = path + ": " + error;
    return false;
  }
  for (ImageFile& file : *unpacked) files.push_back(std::move(file));
  return true;
}

}  // namespace pack
}  // namespace tarvik
