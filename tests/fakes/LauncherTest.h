// The fixture every core test uses: fresh process-wide state and a fresh
// fake platform (Windows conventions) for each case.
#ifndef TARVIK_TESTS_LAUNCHERTEST_H
#define TARVIK_TESTS_LAUNCHERTEST_H

#include <gtest/gtest.h>

#include "LaunchSettings.h"
#include "config/ConfigReader.h"
#include "fakes/FakePlatform.h"

namespace tarvik {

class LauncherTest : public ::testing::Test {
 protected:
  LauncherTest() {
    resetLaunchState();
    setPlatform(&os);
  }
  ~LauncherTest() override { setPlatform(nullptr); }

  // Runs `body` and returns the exit code it ended the process with, or
  // -99999 when it returned normally.
  template <typename Body>
  int exitCodeOf(Body body) {
    try {
      body();
    } catch (const ProcessExit& end) {
      return end.code;
    }
    return kReturned;
  }
  static constexpr int kReturned = -99999;

  FakePlatform os;
  LaunchSettings& set = settings();
  LauncherOptions& opt = options();
};

}  // namespace tarvik

#endif  // TARVIK_TESTS_LAUNCHERTEST_H
