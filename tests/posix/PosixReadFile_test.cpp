// Reading whole files through the Linux platform: every byte arrives, of
// files of any size and of files that report no size; what is no regular
// file, or larger than the bound, is refused at once. Files written keep
// what they must: a file written on at its end its bytes, a failed write
// nothing of itself.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    std::optional<std::string> got = os.readRegularFile(path, 64u << 20).content;
    ASSERT_TRUE(got.has_value()) << c.name;
    EXPECT_EQ(got->size(), c.content.size()) << c.name;
    EXPECT_TRUE(*got == c.content) << c.name;
  }
}

TEST_F(PosixReadFileTest, ReadsFilesThatReportNoSize) {
  // /proc files report size 0 but have content.
  std::optional<std::string> status =
      os.readRegularFile("/proc/self/status", 1 << 20).content;
  ASSERT_TRUE(status.has_value());
  EXPECT_NE(status->find("VmRSS:"), std::string::npos);
  EXPECT_EQ(status->find('\0'), std::string::npos) << "no padding is left";
}

TEST_F(PosixReadFileTest, NothingForMissingFilesFoldersAndUnreadableFiles) {
  EXPECT_FALSE(os.readRegularFile(dir + "/missing", 100).content.has_value());
  EXPECT_FALSE(os.readRegularFile(dir, 100).content.has_value());
  const std::string locked = write("locked", "secret");
  ASSERT_EQ(chmod(locked.c_str(), 0), 0);
  if (geteuid() != 0) {  // root reads it all the same
    EXPECT_FALSE(os.readRegularFile(locked, 100).content.has_value());
  }
}

TEST_F(PosixReadFileTest, OnlyRegularFilesWithinTheBoundAreRead) {
  const std::string text = write("ten", "0123456789");
  ASSERT_EQ(symlink(text.c_str(), (dir + "/link").c_str()), 0);
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  const struct {
    std::string path;
    uint64_t bound;
    ReadRefusal refusal;
  } rows[] = {
      {text, 10, ReadRefusal::None},
      {dir + "/link", 10, ReadRefusal::None},  // a link to a file is read
      {text, 9, ReadRefusal::TooLarge},
      {"/proc/self/status", 4, ReadRefusal::TooLarge},  // reports no size
      {dir + "/fifo", 10, ReadRefusal::NotRegularFile},  // no writer: no wait
      {"/dev/zero", 10, ReadRefusal::NotRegularFile},
      {dir, 10, ReadRefusal::CannotRead},
      {dir + "/missing", 10, ReadRefusal::CannotRead},
  };
  for (const auto& row : rows) {
    const FileRead read = os.readRegularFile(row.path, row.bound);
    EXPECT_EQ(read.refusal, row.refusal) << row.path;
    EXPECT_EQ(read.content.has_value(), row.refusal == ReadRefusal::None) << row.path;
    // A file's start (the cache's files) likewise: a FIFO planted in the
    // cache folder is not waited for.
    if (row.refusal != ReadRefusal::TooLarge) {
      EXPECT_EQ(os.readFileStart(row.path, 4).has_value(), row.refusal == ReadRefusal::None)
          << row.path;
    }
  }
}

// Files the launcher may replace: a file of one name is emptied; a link, a
// file with other names and a FIFO are left as they are.
TEST_F(PosixReadFileTest, AReplacedFileIsNeverALinkAFileOfSeveralNamesOrAFifo) {
  const std::string victim = write("victim", "precious");
  const std::string own = write("own", "old text");
  ASSERT_EQ(symlink(victim.c_str(), (dir + "/symlink").c_str()), 0);
  ASSERT_EQ(symlink((dir + "/gone").c_str(), (dir + "/dangling").c_str()), 0);
  ASSERT_EQ(link(victim.c_str(), (dir + "/hardlink").c_str()), 0);
  ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir + "/folder").c_str(), 0700), 0);
  const struct {
    std::string path;
    FileCreation creation;
    CreateResult result;
  } rows[] = {
      {own, FileCreation::Replace, CreateResult::Done},
      {dir + "/new", FileCreation::Replace, CreateResult::Done},
      {"/dev/null", FileCreation::Replace, CreateResult::Done},
      {dir + "/symlink", FileCreation::Replace, CreateResult::IsLink},
      {dir + "/dangling", FileCreation::Replace, CreateResult::IsLink},
      {dir + "/hardlink", FileCreation::Replace, CreateResult::HasOtherLinks},
      {dir + "/fifo", FileCreation::Replace, CreateResult::NotRegularFile},
      {dir + "/folder", FileCreation::Replace, CreateResult::CannotCreateFile},
      {dir + "/symlink", FileCreation::NewPrivate, CreateResult::NameTaken},
      {own, FileCreation::NewPrivate, CreateResult::NameTaken},
  };
  for (const auto& row : rows) {
    CreatedFile created = os.createTextFile(row.path, row.creation);
    EXPECT_EQ(created.result, row.result) << row.path;
    ASSERT_EQ(created.file != nullptr, row.result == CreateResult::Done) << row.path;
    if (created.file) {
      created.file->write("new");
      EXPECT_TRUE(created.file->close()) << row.path;
    }
  }
  std::optional<std::string> read = os.readRegularFile(own, 100).content;
  EXPECT_EQ(read.value_or(""), "new");
  EXPECT_EQ(os.readRegularFile(victim, 100).content.value_or(""), "precious");
  struct stat info;
  EXPECT_NE(lstat((dir + "/gone").c_str(), &info), 0) << "no target made";
}

// A file written on at its end keeps its bytes; a write that found no more
// room (a file size limit, as a full disk) is taken back whole.
TEST_F(PosixReadFileTest, AnAppendedFileKeepsItsBytesAndAFailedWriteIsTakenBack) {
  const std::string path = write("log", "old\n");
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {12, 12};
    setrlimit(RLIMIT_FSIZE, &limit);
    CreatedFile created = os.createTextFile(path, FileCreation::Append, FileContent::Bytes);
    if (!created.file) _exit(2);
    OutputFile& file = *created.file;
    file.write("aaaa\n");
    file.flush();
    const bool first = file.good() && file.length() == std::optional<uint64_t>(9);
    file.write("bbbbbbbb\n");
    file.flush();
    const bool failed = !file.good() && file.cutBack(9) && file.good();
    file.write("cc\n");
    _exit(first && failed && file.close() ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(os.readRegularFile(path, 100).content.value_or(""), "old\naaaa\ncc\n");
}

}  // namespace
}  // namespace tarvik
