// A log that rolls by size: <name>.log is written, and rolled to
// <name>.1.log (the older ones one further, the oldest dropped) before it
// would pass its size, at a line's end where one fits. A log that cannot
// be rolled away is never emptied: it goes on at its end, or in a file of
// a fresh name beside it, after a line that says so.
#ifndef TARVIK_SERVICE_ROLLINGLOG_H
#define TARVIK_SERVICE_ROLLINGLOG_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "os/Platform.h"
#include "support/LauncherFiles.h"

namespace tarvik {

class RollingLog {
 public:
  // `files`: how many are kept, the one written among them.
  RollingLog(std::string folder, std::string name, int64_t maxBytes, int files);
  RollingLog(const RollingLog&) = delete;
  RollingLog& operator=(const RollingLog&) = delete;

  // Makes the folder, rolls a log an earlier run left, and starts a new
  // one. False when no log could be made.
  bool open();
  // Writes every byte, rolling as it goes.
  void write(const std::string& bytes);
  // False when a write failed since the log was opened (a full disk).
  bool close();

  // The file of the `index`-th log, 0 being the one written.
  std::string pathOf(int index) const;

 private:
  void put(const std::string& bytes);
  bool roll();
  // Moves each log one further, the oldest dropped, never onto one that
  // could not move on: empty when the log's own name is free then, else
  // why it is not.
  std::string shift();
  // Removes the oldest of the old logs; false when there is none.
  bool dropOldest();
  // A file of the log. Once it runs, a name refused (a link planted
  // there) does not end the launcher from within the log's writer, whose
  // lock the end takes too: `refusal` gets the line that says why.
  LauncherFile create(LauncherFileKind kind, std::string& refusal);
  bool startFile();
  bool goOn(const std::string& why);

  std::string folder_;
  std::string name_;
  int64_t maxBytes_;
  int files_;
  std::unique_ptr<OutputFile> file_;
  int64_t size_ = 0;
  bool failed_ = false;
  bool running_ = false;
  // A line for the log, written before the next output.
  std::string notice_;
  // Where the line being written began in the file, and whether the rest
  // of a line that could not be written is still to be dropped.
  std::optional<uint64_t> lineStart_;
  bool skipping_ = false;
};

}  // namespace tarvik

#endif  // TARVIK_SERVICE_ROLLINGLOG_H
