// The file calls the startup cache makes, on real files: an exclusive
// create that a second caller loses, a rename that replaces, the start of
// a file, and its facts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "os/PosixPlatform.h"

namespace tarvik {
namespace {

TEST(PosixCacheFilesTest, CreateRenameReadAndFacts) {
  char pattern[] = "/tmp/tarvik-cachefiles.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  PosixPlatform os;
  const std::string a = dir + "/a.part", b = dir + "/b.jsa";

  EXPECT_TRUE(os.createNewFile(a));
  EXPECT_FALSE(os.createNewFile(a)) << "a second launch never gets the same name";
  EXPECT_FALSE(os.createNewFile(dir + "/missing/x")) << "no folder";
  std::ofstream(a, std::ios::binary) << "0123456789";
  std::ofstream(b, std::ios::binary) << "old";
  EXPECT_TRUE(os.renameFile(a, b)) << "replaces the file of that name";
  EXPECT_FALSE(os.fileFacts(a));

  const struct {
    size_t count;
    const char* start;
  } reads[] = {{4, "0123"}, {10, "0123456789"}, {4096, "0123456789"}, {0, ""}};
  for (const auto& row : reads)
    EXPECT_EQ(os.readFileStart(b, row.count), std::string(row.start)) << row.count;
  EXPECT_FALSE(os.readFileStart(a, 4));

  const std::optional<FileFacts> file = os.fileFacts(b), folder = os.fileFacts(dir);
  ASSERT_TRUE(file && folder);
  EXPECT_EQ(file->size, 10u);
  EXPECT_FALSE(file->isDirectory);
  EXPECT_TRUE(folder->isDirectory);
  EXPECT_LE(std::abs(file->modifiedSeconds - os.timeSeconds()), 5);
  EXPECT_GT(os.freeDiskBytes(dir).value_or(0), 0u);
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace tarvik
