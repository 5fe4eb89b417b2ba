// The service pieces of the Linux backend on real files and processes: who
// may change a file, the capture of the standard streams, a child's
// interrupt and end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "os/PosixPlatform.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

const uid_t NOBODY = 65534;
const gid_t NOGROUP = 65534;

// A tree of root's under a fresh folder of /tmp; each row adds its files.
class Tree {
 public:
  Tree() {
    char pattern[] = "/tmp/tarvik-who-XXXXXX";
    root_ = mkdtemp(pattern);
    chmod(root_.c_str(), 0755);
  }
  ~Tree() { fs::remove_all(root_); }
  std::string folder(const std::string& name, mode_t mode) const {
    const std::string path = at(name);
    mkdir(path.c_str(), mode);
    chmod(path.c_str(), mode);
    return path;
  }
  std::string file(const std::string& name, mode_t mode) const {
    const std::string path = at(name);
    std::ofstream(path) << "x";
    chmod(path.c_str(), mode);
    return path;
  }
  std::string link(const std::string& name, const std::string& target) const {
    const std::string path = at(name);
    symlink(target.c_str(), path.c_str());
    return path;
  }
  std::string at(const std::string& name) const { return root_ + "/" + name; }

 private:
  std::string root_;
};

// An access list that lets the user nobody write the file, whose group bits
// then show the list's mask; false where the file system keeps none.
bool letNobodyWrite(const std::string& path) {
  struct Entry {
    uint16_t tag, perm;
    uint32_t id;
  };
  struct {
    uint32_t version = 2;
    Entry entries[5] = {{0x01, 6, ~0u}, {0x02, 6, NOBODY}, {0x04, 4, ~0u},
                        {0x10, 6, ~0u}, {0x20, 4, ~0u}};
  } acl;
  return setxattr(path.c_str(), "system.posix_acl_access", &acl, sizeof acl, 0) == 0;
}

struct WhoRow {
  const char* what;
  // Makes the tree and returns the path asked about.
  std::function<std::string(const Tree&)> make;
  // The answer starts with this; "" for nobody.
  std::string expected;
  // The path named in the answer, when it is not the one asked about.
  std::string namedPath{};
  bool needsRoot = true;
};

TEST(PosixServiceTest, OthersWhoMayChange) {
  const WhoRow rows[] = {
      {"root's file in root's folder",
       [](const Tree& t) { t.folder("d", 0755); return t.file("d/f", 0644); }, ""},
      {"a file its group may write",
       [](const Tree& t) {
         const std::string f = t.file("f", 0664);
         chown(f.c_str(), 0, NOGROUP);
         return f;
       },
       "the group nogroup ("},
      {"a file everyone may write",
       [](const Tree& t) { return t.file("f", 0646); }, "everyone ("},
      {"a folder above everyone may write",
       [](const Tree& t) {
         t.folder("w", 0777);
         t.folder("w/d", 0755);
         return t.file("w/d/f", 0644);
       },
       "everyone (", "w"},
      {"a sticky folder above root's folder",
       [](const Tree& t) {
         t.folder("tmp", 01777);
         t.folder("tmp/d", 0755);
         return t.file("tmp/d/f", 0644);
       },
       ""},
      {"a sticky folder asked about itself: others may add to it",
       [](const Tree& t) { return t.folder("tmp", 01777); }, "everyone ("},
      {"a link planted in a folder everyone may write",
       [](const Tree& t) {
         t.folder("w", 0777);
         return t.link("w/l", t.file("f", 0644));
       },
       "everyone (", "w"},
      {"a link to a link planted in a folder everyone may write",
       [](const Tree& t) {
         t.folder("w", 0777);
         t.link("w/l", t.file("f", 0644));
         return t.link("l", t.at("w/l"));
       },
       "everyone (", "w"},
      {"a folder link planted in a folder everyone may write",
       [](const Tree& t) {
         t.folder("w", 0777);
         t.folder("d", 0755);
         t.file("d/f", 0644);
         t.link("w/l", t.at("d"));
         return t.at("w/l/f");
       },
       "everyone (", "w"},
      {"another user's link in a sticky folder",
       [](const Tree& t) {
         t.folder("tmp", 01777);
         const std::string l = t.link("tmp/l", t.file("f", 0644));
         lchown(l.c_str(), NOBODY, NOGROUP);
         return l;
       },
       "the user nobody (", "tmp/l"},
      {"another user's file",
       [](const Tree& t) {
         const std::string f = t.file("f", 0644);
         chown(f.c_str(), NOBODY, NOGROUP);
         return f;
       },
       "the user nobody ("},
      {"another user's folder above",
       [](const Tree& t) {
         const std::string d = t.folder("d", 0755);
         chown(d.c_str(), NOBODY, NOGROUP);
         return t.file("d/f", 0644);
       },
       "the user nobody (", "d"},
      // A missing file is judged by the folder where it would appear.
      {"a missing path", [](const Tree&) { return std::string("/tarvik-missing"); },
       "", "", false},
      {"a link to a file not there yet, in another user's folder",
       [](const Tree& t) {
         const std::string d = t.folder("d", 0755);
         chown(d.c_str(), NOBODY, NOGROUP);
         const std::string link = t.at("l");
         symlink((d + "/later.jar").c_str(), link.c_str());
         return link;
       },
       "the user nobody (", "d"},
  };
  PosixPlatform platform;
  for (const WhoRow& row : rows) {
    if (row.needsRoot && geteuid() != 0) continue;
    Tree tree;
    const std::string path = row.make(tree);
    const std::string who = platform.othersWhoMayChange(path);
    const std::string named = row.namedPath.empty() ? path : tree.at(row.namedPath);
    if (row.expected.empty()) {
      EXPECT_EQ(who, "") << row.what;
    } else {
      EXPECT_EQ(who.rfind(row.expected, 0), 0u) << row.what << ": " << who;
      EXPECT_NE(who.find("(" + named), std::string::npos) << row.what << ": " << who;
    }
  }
  if (geteuid() != 0) GTEST_SKIP() << "the rows of root's files need root";
}

// Root's own group in the mode bits is root's, but not when the bits are an
// access list's mask that lets another user write.
TEST(PosixServiceTest, OthersWhoMayChangeReadsTheAccessList) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  Tree tree;
  const std::string f = tree.file("f", 0644);
  if (!letNobodyWrite(f)) GTEST_SKIP() << "no access lists here";
  struct stat st;
  ASSERT_EQ(stat(f.c_str(), &st), 0);
  ASSERT_TRUE(st.st_mode & S_IWGRP);
  const std::string who = PosixPlatform().othersWhoMayChange(f);
  EXPECT_NE(who, "");
  EXPECT_NE(who.find("(" + f + ")"), std::string::npos) << who;
}

// Runs `body` in a child process, whose standard streams it may take, and
// returns what it wrote to the pipe it is given; its exit must be 0.
std::string inChild(const std::function<void(int)>& body) {
  int ends[2];
  EXPECT_EQ(pipe(ends), 0);
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(ends[0]);
    alarm(20);  // a read that never ends fails the row
    body(ends[1]);
    _exit(0);
  }
  close(ends[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, static_cast<size_t>(got));
  close(ends[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
  return report;
}

ChildStart shell(const std::string& script) {
  ChildStart start;
  start.arguments = {"/bin/sh", "-c", script};
  start.useStdHandles = true;
  return start;
}

TEST(PosixServiceTest, CapturedStreamsArriveUntilEveryWriterIsGone) {
  const std::string report = inChild([](int out) {
    PosixPlatform platform;
    std::unique_ptr<StreamCapture> capture = platform.captureStdStreams();
    if (!capture) _exit(2);
    platform.writeStdout("launcher-out\n");
    platform.writeStderr("launcher-err\n");
    // The child writes once the launcher let go of the pipe.
    ChildStartResult child =
        platform.startChild(shell("sleep 0.3; echo child-out; echo child-err >&2"));
    if (!child.child) _exit(3);
    platform.releaseStdStreams();
    platform.writeStdout("after-release\n");
    std::string seen;
    for (std::string got; !(got = capture->read()).empty();) seen += got;
    child.child->waitForExit(-1);
    write(out, seen.data(), seen.size());
  });
  for (const char* text : {"launcher-out\n", "launcher-err\n", "child-out\n", "child-err\n"})
    EXPECT_NE(report.find(text), std::string::npos) << text << " in " << report;
  EXPECT_EQ(report.find("after-release"), std::string::npos) << report;
}

// Each script touches $READY once its traps are set.
TEST(PosixServiceTest, InterruptAndTerminateEndTheChild) {
  struct Row {
    const char* what;
    const char* script;
    bool leaveInterruptsToChild;
    bool interrupt;  // else terminate
    uint32_t code;
  } rows[] = {
      {"interrupt", "touch \"$READY\"; exec sleep 30", false, true, 128 + SIGINT},
      {"interrupt while the launcher leaves interrupts to the child",
       "touch \"$READY\"; exec sleep 30", true, true, 128 + SIGINT},
      {"interrupt a child that handles it",
       "trap 'kill $!; exit 7' INT; sleep 30 & touch \"$READY\"; wait", false, true, 7},
      {"terminate a child that ignores interrupts",
       "trap '' INT; touch \"$READY\"; exec sleep 30", false, false, 128 + SIGKILL},
  };
  PosixPlatform platform;
  Tree tree;
  for (const Row& row : rows) {
    const std::string ready = tree.at("ready");
    unlink(ready.c_str());
    setenv("READY", ready.c_str(), 1);
    ChildStart start = shell(row.script);
    start.leaveInterruptsToChild = row.leaveInterruptsToChild;
    ChildStartResult started = platform.startChild(start);
    ASSERT_TRUE(started.child) << started.errorText;
    ChildProcess& child = *started.child;
    for (int i = 0; i < 1000 && access(ready.c_str(), F_OK) != 0; ++i)
      EXPECT_EQ(child.waitForExit(10), WaitResult::Running) << row.what;
    if (row.interrupt)
      EXPECT_TRUE(child.interrupt()) << row.what;
    else
      child.terminate();
    const WaitResult ended = child.waitForExit(5000);
    EXPECT_EQ(ended, WaitResult::Ended) << row.what;
    if (ended != WaitResult::Ended) child.terminate(), child.waitForExit(-1);
    EXPECT_EQ(child.exitCode(), row.code) << row.what;
  }
  unsetenv("READY");
}

}  // namespace
}  // namespace tarvik
