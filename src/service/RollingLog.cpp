#include "service/RollingLog.h"

#include <utility>

#include "support/FileSystem.h"
#include "support/LauncherFiles.h"

namespace tarvik {

RollingLog::RollingLog(std::string folder, std::string name, int64_t maxBytes,
                       int files)
    : folder_(std::move(folder)),
      name_(std::move(name)),
      maxBytes_(maxBytes > 0 ? maxBytes : 1),
      files_(files > 0 ? files : 1) {}

std::string RollingLog::pathOf(int index) const {
  const std::string base =
      folder_ + platform().conventions().separator + name_;
  return index == 0 ? base + ".log" : base + "." + std::to_string(index) + ".log";
}

bool RollingLog::open() {
  Platform& os = platform();
  if (!os.fileFacts(folder_)) {
    makeDirectories(folder_);
  }
  // What an earlier run wrote is kept as the newest of the old logs.
  const std::optional<FileFacts> earlier = os.fileFacts(pathOf(0));
  if (earlier && earlier->size > 0) return roll();
  return startFile();
}

bool RollingLog::startFile() {
  LauncherFile made = createLauncherFile(LauncherFileKind::ServiceLog, pathOf(0));
  file_ = std::move(made.file);
  size_ = 0;
  return file_ != nullptr;
}

bool RollingLog::roll() {
  Platform& os = platform();
  if (file_ && !file_->close()) failed_ = true;
  file_.reset();
  if (files_ == 1) {
    os.removeFile(pathOf(0));
    return startFile();
  }
  os.removeFile(pathOf(files_ - 1));
  for (int index = files_ - 2; index >= 0; --index)
    if (os.fileFacts(pathOf(index))) os.renameFile(pathOf(index), pathOf(index + 1));
  return startFile();
}

void RollingLog::put(const std::string& bytes) {
  if (!file_) return;
  file_->write(bytes);
  file_->flush();
  // A full disk: the oldest log makes room for the newest output, which
  // starts a file of its own (the failed one's close would fail too).
  while (!file_->good() && dropOldest()) {
    file_.reset();
    if (!(size_ == 0 ? startFile() : roll())) {
      failed_ = true;
      return;
    }
    file_->write(bytes);
    file_->flush();
  }
  if (!file_->good()) failed_ = true;
  size_ += static_cast<int64_t>(bytes.size());
}

bool RollingLog::dropOldest() {
  Platform& os = platform();
  for (int index = files_ - 1; index >= 1; --index)
    if (os.fileFacts(pathOf(index))) return os.removeFile(pathOf(index));
  return false;
}

void RollingLog::write(const std::string& bytes) {
  std::string rest = bytes;
  while (!rest.empty()) {
    const int64_t room = maxBytes_ - size_;
    if (static_cast<int64_t>(rest.size()) <= room) {
      put(rest);
      return;
    }
    // The lines that fit stay whole in this file; the rest starts the next.
    const size_t cut = room > 0 ? rest.rfind('\n', static_cast<size_t>(room - 1))
                                : std::string::npos;
    if (cut != std::string::npos) {
      put(rest.substr(0, cut + 1));
      rest.erase(0, cut + 1);
    } else if (size_ == 0) {
      // A line longer than a whole file is cut where the file is full.
      put(rest.substr(0, static_cast<size_t>(maxBytes_)));
      rest.erase(0, static_cast<size_t>(maxBytes_));
    }
    if (!roll()) {
      failed_ = true;
      return;
    }
  }
}

bool RollingLog::close() {
  bool whole = !failed_;
  if (file_ && !file_->close()) whole = false;
  file_.reset();
  return whole;
}

}  // namespace tarvik
