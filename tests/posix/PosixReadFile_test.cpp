// Reading whole files through the Linux platform: every byte arrives, of
// files of any size and of files that report no size.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "os/PosixPlatform.h"

namespace tarvik {
namespace {

class PosixReadFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarvik-readfile.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::system(("rm -rf '" + dir + "'").c_str());
  }
  std::string write(const std::string& name, const std::string& content) {
    const std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  PosixPlatform os;
  std::string dir;
};

std::string pattern(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(i * 7 + i / 251);
  return text;
}

TEST_F(PosixReadFileTest, ReturnsEveryByteOfFilesOfAnySize) {
  const struct {
    const char* name;
    std::string content;
  } cases[] = {
      {"empty", ""},
      {"one line", "mainclass Hello\n"},
      {"binary with NUL and CR", std::string("a\0b\r\nc\r", 7)},
      {"just over a page", pattern(4097)},
      {"several megabytes", pattern(3 * 1024 * 1024 + 5)},
  };
  for (const auto& c : cases) {
    const std::string path = write("f", c.content);
    std::optional<std::string> got = os.readFile(path);
    ASSERT_TRUE(got.has_value()) << c.name;
    EXPECT_EQ(got->size(), c.content.size()) << c.name;
    EXPECT_TRUE(*got == c.content) << c.name;
  }
}

TEST_F(PosixReadFileTest, ReadsFilesThatReportNoSize) {
  // /proc files report size 0 but have content.
  std::optional<std::string> status = os.readFile("/proc/self/status");
  ASSERT_TRUE(status.has_value());
  EXPECT_NE(status->find("VmRSS:"), std::string::npos);
  EXPECT_EQ(status->find('\0'), std::string::npos) << "no padding is left";
}

TEST_F(PosixReadFileTest, NothingForMissingFilesFoldersAndUnreadableFiles) {
  EXPECT_FALSE(os.readFile(dir + "/missing").has_value());
  EXPECT_FALSE(os.readFile(dir).has_value());
  const std::string locked = write("locked", "secret");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  if (geteuid() != 0) {  // root reads it all the same
    EXPECT_FALSE(os.readFile(locked).has_value());
  }
}

}  // namespace
}  // namespace tarvik
