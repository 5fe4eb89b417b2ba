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

// Where the log cannot be rolled away, it goes on at the end of the file it
// could not move; where that cannot be written either, in a file of a
// fresh name.
bool RollingLog::goOn(const std::string& why) {
  const std::string rolled = "The log " + pathOf(0) + " cannot be rolled (" + why + "): ";
  LauncherFile made = createLauncherFile(LauncherFileKind::ServiceLogGoingOn, pathOf(0));
  if (made.file) {
    notice_ = rolled + "it goes on at its end.\n";
  } else {
    made = createLauncherFile(LauncherFileKind::ServiceLogElsewhere, pathOf(0));
    notice_ = rolled + "it cannot be written either, and the log goes on in " + made.path +
              ".\n";
  }
  file_ = std::move(made.file);
  size_ = 0;
  return file_ != nullptr;
}

bool RollingLog::roll() {
  if (file_ && !file_->close()) failed_ = true;
  file_.reset();
  const std::string why = shift();
  return why.empty() ? startFile() : goOn(why);
}

std::string RollingLog::shift() {
  Platform& os = platform();
  os.removeFile(pathOf(files_ - 1));
  std::string why;
  for (int index = files_ - 2; index >= 0 && why.empty(); --index) {
    const std::string from = pathOf(index);
    const std::string to = pathOf(index + 1);
    const std::optional<FileFacts> facts = os.fileFacts(from);
    if (!facts) continue;
    // A folder is nobody's log, and a name that stands is not replaced.
    if (facts->isDirectory) {
      why = from + " is a folder";
    } else if (os.fileFacts(to) || !os.renameFile(from, to)) {
      why = from + " cannot be renamed " + to;
    }
  }
  if (!os.fileFacts(pathOf(0))) return std::string();
  return why.empty() ? pathOf(0) + " cannot be removed" : why;
}

void RollingLog::put(const std::string& bytes) {
  if (!file_) return;
  if (!notice_.empty()) {
    file_->write(notice_);
    size_ += static_cast<int64_t>(notice_.size());
    notice_.clear();
  }
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
