// The file calls the startup cache makes, on real files: an exclusive
// create that a second caller loses, a rename that replaces, the start of
// a file, and its facts; the processor's identity in the cache's key.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/stat.h>
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

// Who may change a path, on real files: what the startup cache trusts
// stands on these facts.
// The identity is the machine's, not the core's that reads it: a key that
// changed with the core would make the archive anew at every launch.
TEST(PosixCacheFilesTest, TheProcessorsIdentityIsTheSameOnEveryCore) {
  PosixPlatform os;
  const std::string first = os.processorIdentity();
#if defined(__x86_64__)
  EXPECT_EQ(first.find('\n'), std::string::npos);
  EXPECT_GE(first.size(), 12u + 6 * 9) << first;
#else
  EXPECT_EQ(first, "");
#endif
  cpu_set_t before;
  ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &before)) continue;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(os.processorIdentity(), first) << "core " << cpu;
  }
  sched_setaffinity(0, sizeof before, &before);
}

TEST(PosixCacheFilesTest, OwnershipOfFilesAndFolders) {
  char pattern[] = "/tmp/tarvik-ownership.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  PosixPlatform os;
  const auto sh = [&dir](const std::string& command) {
    return std::system(("cd '" + dir + "' && " + command).c_str());
  };
  const bool root = geteuid() == 0;
  const struct {
    const char* name;
    const char* make;  // shell commands in the folder, which make `name`
    bool exists;
    bool isLink, owned, othersWrite;
  } rows[] = {
      {"own", "touch own && chmod 600 own", true, false, true, false},
      {"readable", "touch readable && chmod 644 readable", true, false, true, false},
      {"groupw", "touch groupw && chmod 664 groupw", true, false, true, true},
      {"otherw", "touch otherw && chmod 602 otherw", true, false, true, true},
      {"folder", "mkdir folder && chmod 755 folder", true, false, true, false},
      {"sharedfolder", "mkdir sharedfolder && chmod 1777 sharedfolder", true, false, true, true},
      {"link", "ln -s own link", true, true, true, false},
      {"dangling", "ln -s missing dangling", false, false, false, false},
      {"missing", "true", false, false, false, false},
      {"nobodys", root ? "touch nobodys && chown nobody nobodys" : "false", root,
       false, false, false},
      {"linktonobodys", root ? "ln -s nobodys linktonobodys" : "false", root,
       true, false, false},
  };
  for (const auto& row : rows) {
    if (sh(row.make) != 0 && std::string(row.make) != "false") {
      ADD_FAILURE() << row.make;
      continue;
    }
    const std::optional<FileOwnership> facts = os.fileOwnership(dir + "/" + row.name);
    ASSERT_EQ(facts.has_value(), row.exists) << row.name;
    if (!facts) continue;
    EXPECT_EQ(facts->isLink, row.isLink) << row.name;
    EXPECT_EQ(facts->ownedByUser, row.owned) << row.name;
    EXPECT_EQ(facts->othersMayWrite, row.othersWrite) << row.name;
  }

  // A private folder is the user's alone whatever the umask says.
  const mode_t mask = umask(0);
  EXPECT_EQ(os.makePrivateDirectory(dir + "/private"), 0);
  umask(mask);
  struct stat info;
  ASSERT_EQ(stat((dir + "/private").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_EQ(os.makePrivateDirectory(dir + "/private"), EEXIST_CODE);
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace
}  // namespace tarvik
