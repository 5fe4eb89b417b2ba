#include "pack/OutputFolder.h"

#include <cstdio>

namespace tarvik {
namespace pack {

namespace {

// An image path ("lib/a.jar") with the system's separators.
std::string systemPath(std::string path) {
  const char separator = platform().conventions().separator;
  for (char& c : path)
    if (c == '/') c = separator;
  return path;
}

}  // namespace

void removeTree(const std::string& path) {
  Platform& os = platform();
  // A file or a link of any kind goes as a name of its own, never through
  // to what it leads to: a link to a folder goes as a file (POSIX) or as an
  // empty folder (Windows), whatever that folder holds. So does a link
  // whose target is gone.
  if (os.removeFile(path) || os.removeDirectory(path)) return;
  const std::optional<FileFacts> facts = os.fileFacts(path);
  if (!facts || !facts->isDirectory) return;
  for (const std::string& name : os.findFiles(joined(path, "*")))
    if (name != "." && name != "..") removeTree(joined(path, name));
  os.removeDirectory(path);
}

OutputFolder::~OutputFolder() {
  if (!work_.empty()) removeTree(work_);
}

bool OutputFolder::open(const std::string& folder, std::string& error) {
  Platform& os = platform();
  output_ = folder;
  const int made = os.makeDirectory(folder);
  if (made != 0 && made != EEXIST_CODE) {
    error = folder + ": the output folder cannot be made: " + os.errorText(made);
    return false;
  }
  const std::optional<uint64_t> random = os.randomNumber();
  char name[40];
  std::snprintf(name, sizeof name, ".tarvik-pack-%016llx",
                static_cast<unsigned long long>(random.value_or(os.processId())));
  const std::string work = joined(folder, name);
  const int privateMade = os.makePrivateDirectory(work);
  if (privateMade != 0) {
    error = work + ": cannot be made: " + os.errorText(privateMade);
    return false;
  }
  work_ = work;
  return true;
}

std::string OutputFolder::staged(const std::string& name) const { return joined(work_, name); }
std::string OutputFolder::delivered(const std::string& name) const { return joined(output_, name); }

bool OutputFolder::writeFile(const std::string& path, const std::string& bytes, FileContent content,
                             std::string& error) {
  CreatedFile created = platform().createTextFile(path, FileCreation::Replace, content);
  if (created.result != CreateResult::Done || !created.file) {
    error = path + ": cannot be written";
    return false;
  }
  created.file->write(bytes);
  if (!created.file->close()) {
    error = path + ": cannot be written whole (is the disk full?)";
    return false;
  }
  return true;
}

bool OutputFolder::writeTree(const std::string& path, const ImageFiles& files, int64_t time,
                             std::string& error) {
  Platform& os = platform();
  std::vector<std::string> folders;
  folders.push_back(path);
  for (const std::string& folder : imageFolders(files))
    folders.push_back(joined(path, systemPath(folder.substr(0, folder.size() - 1))));
  for (const std::string& full : folders) {
    const int made = os.makeDirectory(full);
    if (made != 0) {
      error = full + ": cannot be made: " + os.errorText(made);
      return false;
    }
  }
  for (const ImageFile& file : files) {
    const std::string full = joined(path, systemPath(file.path));
    if (!file.linkTarget.empty()) {
      if (!os.makeSymbolicLink(file.linkTarget, full)) {
        error = full + ": the link cannot be made";
        return false;
      }
      continue;
    }
    if (!writeFile(full, file.bytes, file.program ? FileContent::Program : FileContent::Bytes, error))
      return false;
    os.setModifiedTime(full, time);
  }
  // A folder is dated once all it holds is written, the deepest first.
  for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
    os.setModifiedTime(*folder, time);
  return true;
}

bool OutputFolder::deliver(const std::vector<std::string>& names, std::string& error) {
  Platform& os = platform();
  // What was there moves aside first: a folder cannot be replaced at once.
  // Every one of them, before any new one goes into place, so that a name
  // that cannot be replaced leaves the output folder as it was.
  std::vector<std::string> aside, placed;
  auto undo = [&]() {
    for (const std::string& name : placed) os.renameFile(delivered(name), staged(name));
    for (const std::string& name : aside) os.renameFile(staged(name + ".old"), delivered(name));
  };
  for (const std::string& name : names) {
    const std::string target = delivered(name);
    if (!os.fileFacts(target)) continue;
    if (!os.renameFile(target, staged(name + ".old"))) {
      error = target + ": cannot be replaced";
      undo();
      return false;
    }
    aside.push_back(name);
  }
  for (const std::string& name : names) {
    if (!os.renameFile(staged(name), delivered(name))) {
      error = delivered(name) + ": cannot be moved into place";
      undo();
      return false;
    }
    placed.push_back(name);
  }
  return true;
}

}  // namespace pack
}  // namespace tarvik
