// A launcher started with standard handles closed keeps those numbers for
// them: the files it opens next never become the application's output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "os/PosixPlatform.h"

namespace tarvik {
namespace {

TEST(PosixStandardHandlesTest, ClosedHandlesAreNotTakenByTheNextFile) {
  for (int closed = 0; closed <= 2; ++closed) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(closed);
      PosixPlatform platform;
      const int next = open("/dev/null", O_RDONLY);
      _exit(next > 2 && fcntl(closed, F_GETFD) != -1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "descriptor " << closed;
  }
}

}  // namespace
}  // namespace tarvik
