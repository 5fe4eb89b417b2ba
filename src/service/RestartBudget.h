// How often a failed application is started again: after each failure
// the delay, at most `limit` times in a row; a run that lasted an hour or
// more starts the count anew.
#ifndef TARVIK_SERVICE_RESTARTBUDGET_H
#define TARVIK_SERVICE_RESTARTBUDGET_H

#include <cstdint>

namespace tarvik {

// A run this long was no failure to start: the restarts before it are
// forgiven.
constexpr int64_t RESTART_COUNT_RESET_SECONDS = 3600;

class RestartBudget {
 public:
  // A negative delay: no restart on failure.
  RestartBudget(int32_t delaySeconds, int32_t limit)
      : delaySeconds_(delaySeconds), limit_(limit) {}

  // After a run of `ranSeconds` that failed: whether to start again (the
  // restart is then counted).
  bool allowsRestart(int64_t ranSeconds) {
    if (delaySeconds_ < 0) return false;
    if (ranSeconds >= RESTART_COUNT_RESET_SECONDS) inARow_ = 0;
    if (inARow_ >= limit_) return false;
    ++inARow_;
    return true;
  }
  int32_t restartsInARow() const { return inARow_; }
  int32_t limit() const { return limit_; }
  int32_t delaySeconds() const { return delaySeconds_; }

 private:
  int32_t delaySeconds_;
  int32_t limit_;
  int32_t inARow_ = 0;
};

}  // namespace tarvik

#endif  // TARVIK_SERVICE_RESTARTBUDGET_H
