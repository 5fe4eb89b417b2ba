#include "service/ServiceLog.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "os/Platform.h"
#include "service/RollingLog.h"

namespace tarvik {

namespace {

// Kept in memory until the log opens; beyond it only the count of bytes.
constexpr size_t MAX_PENDING_BYTES = 4 * 1024 * 1024;
// How long the end waits for what children still write to the pipe.
constexpr auto END_WAIT = std::chrono::seconds(3);

struct Capture {
  std::unique_ptr<StreamCapture> stream;
  std::mutex lock;
  std::condition_variable drained;
  bool ended = false;
  std::unique_ptr<RollingLog> log;
  std::string pending;
  uint64_t dropped = 0;

  void take(const std::string& bytes) {
    std::lock_guard<std::mutex> hold(lock);
    if (log) {
      log->write(bytes);
      return;
    }
    const size_t room = MAX_PENDING_BYTES - pending.size();
    pending += bytes.substr(0, room);
    if (bytes.size() > room) dropped += bytes.size() - room;
  }
};

// Lives until the process ends: the reader thread may outlast the end's
// wait, when a child the application left holds the pipe.
Capture* gCapture = nullptr;

void readUntilEnd(Capture* capture) {
  for (;;) {
    const std::string bytes = capture->stream->read();
    if (bytes.empty()) break;
    capture->take(bytes);
  }
  std::lock_guard<std::mutex> hold(capture->lock);
  capture->ended = true;
  capture->drained.notify_all();
}

}  // namespace

bool captureServiceOutput() {
  if (gCapture) return true;
  std::unique_ptr<StreamCapture> stream = platform().captureStdStreams();
  if (!stream) return false;
  gCapture = new Capture;
  gCapture->stream = std::move(stream);
  std::thread(readUntilEnd, gCapture).detach();
  return true;
}

bool openServiceLog(const std::string& folder, const std::string& name,
                    int64_t maxBytes, int files) {
  if (!gCapture) return false;
  {
    std::lock_guard<std::mutex> hold(gCapture->lock);
    if (gCapture->log) return true;
  }
  auto log = std::make_unique<RollingLog>(folder, name, maxBytes, files);
  if (!log->open()) return false;
  std::lock_guard<std::mutex> hold(gCapture->lock);
  log->write(gCapture->pending);
  if (gCapture->dropped)
    log->write("(" + std::to_string(gCapture->dropped) +
               " bytes written before the log opened did not fit in memory)\n");
  gCapture->pending.clear();
  gCapture->log = std::move(log);
  return true;
}

void endServiceLog() {
  if (!gCapture) return;
  platform().releaseStdStreams();
  std::unique_lock<std::mutex> hold(gCapture->lock);
  gCapture->drained.wait_for(hold, END_WAIT, [] { return gCapture->ended; });
  if (gCapture->log) gCapture->log->close();
  gCapture->log.reset();
  const bool ended = gCapture->ended;
  hold.unlock();
  // A reader still waiting on a pipe that a child the application left
  // holds keeps its capture; a next capture is a new one.
  if (ended) delete gCapture;
  gCapture = nullptr;
}

}  // namespace tarvik
