#include "service/RollingLog.h"

#include <algorithm>
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
  const bool made = earlier && earlier->size > 0 ? roll() : startFile();
  running_ = made;
  return made;
}

LauncherFile RollingLog::create(LauncherFileKind kind, std::string& refusal) {
  return createLauncherFile(kind, pathOf(0), running_ ? &refusal : nullptr);
}

bool RollingLog::startFile() {
  std::string refusal;
  LauncherFile made = create(LauncherFileKind::ServiceLog, refusal);
  if (!refusal.empty()) {
    std::string again;
    made = create(LauncherFileKind::ServiceLogElsewhere, again);
    notice_ = refusal + " The log goes on in " + made.path + ".\n";
  }
  file_ = std::move(made.file);
  size_ = 0;
  lineStart_ = 0;
  return file_ != nullptr;
}

// Where the log cannot be rolled away, it goes on at the end of the file it
// could not move; where that cannot be written either, in a file of a
// fresh name.
bool RollingLog::goOn(const std::string& why) {
  const std::string rolled = "The log " + pathOf(0) + " cannot be rolled (" + why + "): ";
  std::string refusal;
  LauncherFile made = create(LauncherFileKind::ServiceLogGoingOn, refusal);
  if (made.file) {
    notice_ = rolled + "it goes on at its end.\n";
  } else {
    made = create(LauncherFileKind::ServiceLogElsewhere, refusal);
    notice_ = rolled + "it cannot be written either, and the log goes on in " + made.path +
              ".\n";
  }
  file_ = std::move(made.file);
  size_ = 0;
  lineStart_ = file_ ? file_->length() : std::nullopt;
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

// Bytes that fit the file are written whole and once, or, on a full disk
// that no old log can make room on, not at all: the start of their line is
// taken back, and its rest dropped as it comes.
void RollingLog::put(const std::string& bytes) {
  if (!file_) return;
  size_t from = 0;
  if (skipping_) {
    const size_t end = bytes.find('\n');
    if (end == std::string::npos) return;
    from = end + 1;
    skipping_ = false;
  }
  const std::string text = notice_ + bytes.substr(from);
  if (text.empty()) return;
  const std::optional<uint64_t> start = file_->length();
  for (;;) {
    file_->write(text);
    file_->flush();
    if (file_->good()) break;
    // What reached the disk is taken back before the oldest log makes
    // room: the next try writes nothing twice.
    const bool takenBack = start && file_->cutBack(*start);
    if (!takenBack || !dropOldest()) {
      failed_ = true;
      if (takenBack && lineStart_ && *lineStart_ < *start && file_->cutBack(*lineStart_))
        size_ = std::max<int64_t>(0, size_ - static_cast<int64_t>(*start - *lineStart_));
      skipping_ = text.back() != '\n';
      return;
    }
  }
  notice_.clear();
  size_ += static_cast<int64_t>(text.size());
  const size_t end = text.rfind('\n');
  if (start && end != std::string::npos) lineStart_ = *start + end + 1;
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
