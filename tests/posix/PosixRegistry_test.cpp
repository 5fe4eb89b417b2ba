// The directory-tree registry of the Linux build, on a real temporary tree.
#ifndef _WIN32

#include "os/PosixRegistry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "LaunchSettings.h"
#include "runtime/JreLocator.h"
#include "os/PosixPlatform.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;

const std::string RUNTIMES = "SOFTWARE/JavaSoft/Java Runtime Environment";

class PosixRegistryTest : public ::testing::Test {
 protected:
  PosixRegistryTest() {
    char pattern[] = "/tmp/tarvik-registry-XXXXXX";
    root_ = mkdtemp(pattern);
  }
  ~PosixRegistryTest() override { fs::remove_all(root_); }

  void writeValue(const std::string& keyDir, const std::string& name,
                  const std::string& content) {
    fs::create_directories(root_ + "/" + keyDir);
    std::ofstream(root_ + "/" + keyDir + "/" + name, std::ios::binary)
        << content;
  }
  void makeKey(const std::string& keyDir) {
    fs::create_directories(root_ + "/" + keyDir);
  }

  std::string root_;
  DirectoryRegistry registry() const { return DirectoryRegistry(root_); }
};

TEST_F(PosixRegistryTest, KeyPathBackslashesAreDirectoryLevels) {
  writeValue(RUNTIMES, "CurrentVersion", "17");
  auto key = registry().open("SOFTWARE\\JavaSoft\\Java Runtime Environment");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->readString("CurrentVersion", 255), "17");
  EXPECT_TRUE(registry().open(""));  // the root itself, like the hive
  EXPECT_TRUE(registry().open("SOFTWARE"));
  EXPECT_FALSE(registry().open("SOFTWARE\\Oracle"));
}

TEST_F(PosixRegistryTest, PathsThatWouldLeaveTheirKeyOpenNothing) {
  makeKey("SOFTWARE/JavaSoft");
  writeValue("SOFTWARE", "plain", "not a key");
  // A sibling of the root that ".." levels would reach.
  const std::string outside = root_ + "-outside";
  fs::create_directories(outside);
  const std::string escape =
      "SOFTWARE\\..\\..\\" + fs::path(outside).filename().string();
  EXPECT_TRUE(fs::is_directory(root_ + "/SOFTWARE/../../" +
                               fs::path(outside).filename().string()));
  const std::string paths[] = {
      escape,
      "SOFTWARE\\.\\JavaSoft",
      "SOFTWARE\\\\JavaSoft",
      "SOFTWARE\\JavaSoft\\",
      "\\SOFTWARE",
      "SOFTWARE/JavaSoft",
      "SOFTWARE\\plain",
  };
  for (const std::string& path : paths)
    EXPECT_FALSE(registry().open(path)) << path;
  EXPECT_FALSE(registry().open(std::string("SOFTWARE\0x", 10)));
  fs::remove_all(outside);
}

TEST_F(PosixRegistryTest, ValuesAreReadWithinTheirCapacity) {
  struct Case {
    std::string content;
    size_t capacity;
    std::optional<std::string> value;
  } cases[] = {
      {"1.8.0_60", 255, std::string("1.8.0_60")},
      {"1.8.0_60\n", 255, std::string("1.8.0_60")},
      {"1.8.0_60\r\n", 255, std::string("1.8.0_60")},
      {"1.8.0_60\n\n", 255, std::string("1.8.0_60\n")},
      {"", 255, std::string("")},
      {"a b ", 255, std::string("a b ")},
      {std::string(254, 'x'), 255, std::string(254, 'x')},
      {std::string(254, 'x') + "\n", 255, std::string(254, 'x')},
      {std::string(254, 'x') + "\r\n", 255, std::string(254, 'x')},
      {std::string(255, 'x'), 255, std::nullopt},
      {std::string(255, 'x') + "\n", 255, std::nullopt},
      {std::string(100000, 'x'), 8192, std::nullopt},
      {std::string("C:\\a\0junk", 9), 255, std::string("C:\\a")},
  };
  for (const Case& c : cases) {
    writeValue("K", "V", c.content);
    auto key = registry().open("K");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->readString("V", c.capacity), c.value)
        << c.content.size() << " bytes";
  }
}

TEST_F(PosixRegistryTest, OnlyFilesOfTheKeyItselfAreValues) {
  writeValue("SOFTWARE", "Secret", "outside");
  writeValue("SOFTWARE/K", "V", "inside");
  makeKey("SOFTWARE/K/Sub");
  auto key = registry().open("SOFTWARE\\K");
  ASSERT_TRUE(key);
  const char* names[] = {"Missing", "Sub", "../Secret", "..", ".", ""};
  for (const char* name : names)
    EXPECT_EQ(key->readString(name, 255), std::nullopt) << name;
  EXPECT_EQ(key->readString("V", 255), "inside");
}

TEST_F(PosixRegistryTest, SubkeysAreTheSubdirectoriesSortedByName) {
  for (const char* version : {"1.8.0_60", "1.8", "11", "1.8.0_45"})
    writeValue(RUNTIMES + "/" + version, "JavaHome", "/opt/java");
  writeValue(RUNTIMES, "CurrentVersion", "1.8");
  fs::create_directory_symlink(root_ + "/" + RUNTIMES + "/11",
                               root_ + "/" + RUNTIMES + "/17");
  auto key = registry().open("SOFTWARE\\JavaSoft\\Java Runtime Environment");
  ASSERT_TRUE(key);
  ASSERT_EQ(key->subkeyCount(), 5u);
  std::vector<std::string> names;
  for (uint32_t i = 0; i < 5; ++i) names.push_back(key->subkeyName(i).value());
  EXPECT_EQ(names, (std::vector<std::string>{"1.8", "1.8.0_45", "1.8.0_60",
                                             "11", "17"}));
  EXPECT_EQ(key->subkeyName(5), std::nullopt);

  // Indexes stay put while the key is open.
  fs::remove_all(root_ + "/" + RUNTIMES + "/1.8");
  EXPECT_EQ(key->subkeyCount(), 5u);
  EXPECT_EQ(key->subkeyName(0), "1.8");
  EXPECT_EQ(registry().open("SOFTWARE\\JavaSoft\\Java Runtime Environment")
                ->subkeyCount(),
            4u);
}

TEST_F(PosixRegistryTest, KeyWhoseDirectoryVanishedCannotCount) {
  makeKey("K");
  auto key = registry().open("K");
  ASSERT_TRUE(key);
  fs::remove_all(root_ + "/K");
  EXPECT_EQ(key->subkeyCount(), std::nullopt);
  EXPECT_EQ(key->subkeyName(0), std::nullopt);
}

TEST_F(PosixRegistryTest, PlatformUsesTheRootTheEnvironmentNames) {
  const char* saved = getenv(REGISTRY_ROOT_VARIABLE);
  std::string savedValue = saved ? saved : "";
  unsetenv(REGISTRY_ROOT_VARIABLE);
  EXPECT_EQ(DirectoryRegistry::fromEnvironment().root(), "/etc/tarvik/registry");
  setenv(REGISTRY_ROOT_VARIABLE, "", 1);
  EXPECT_EQ(DirectoryRegistry::fromEnvironment().root(), "/etc/tarvik/registry");

  writeValue(RUNTIMES, "CurrentVersion", "17");
  setenv(REGISTRY_ROOT_VARIABLE, root_.c_str(), 1);
  PosixPlatform os;
  auto key = os.openRegistryKey(RUNTIME_REGISTRY_KEY);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->readString("CurrentVersion", 255), "17");

  if (saved)
    setenv(REGISTRY_ROOT_VARIABLE, savedValue.c_str(), 1);
  else
    unsetenv(REGISTRY_ROOT_VARIABLE);
}

// HKEY_CURRENT_USER is a tree of its own; the 32-bit view of either root
// reads SOFTWARE\X at SOFTWARE\Wow6432Node\X; the default view and the
// 64-bit view read the same keys.
TEST_F(PosixRegistryTest, RootsAndViewsMapToTheirOwnTrees) {
  writeValue("machine/SOFTWARE/K", "V", "machine");
  writeValue("machine/SOFTWARE/Wow6432Node/K", "V", "machine 32");
  writeValue("user/SOFTWARE/K", "V", "user");
  writeValue("user/SOFTWARE/Wow6432Node/K", "V", "user 32");
  setenv(REGISTRY_ROOT_VARIABLE, (root_ + "/machine").c_str(), 1);
  setenv(USER_REGISTRY_ROOT_VARIABLE, (root_ + "/user").c_str(), 1);
  PosixPlatform os;
  const struct {
    RegistryPlace place;
    const char* value;
  } cases[] = {
      {RegistryPlace::machineDefault(), "machine"},
      {RegistryPlace::machine(RegistryView::Bits64), "machine"},
      {RegistryPlace::machine(RegistryView::Bits32), "machine 32"},
      {RegistryPlace::user(RegistryView::Default), "user"},
      {RegistryPlace::user(RegistryView::Bits64), "user"},
      {RegistryPlace::user(RegistryView::Bits32), "user 32"},
  };
  for (const auto& c : cases) {
    auto key = os.openRegistryKey(c.place, "SOFTWARE\\K");
    ASSERT_TRUE(key) << c.value;
    EXPECT_EQ(key->readString("V", 255), c.value);
  }
  EXPECT_EQ(DirectoryRegistry::viewPath("software\\A\\B", RegistryView::Bits32),
            "software\\Wow6432Node\\A\\B");
  EXPECT_EQ(DirectoryRegistry::viewPath("SYSTEM\\A", RegistryView::Bits32),
            "SYSTEM\\A");
  // Without a per-user store there is no HKEY_CURRENT_USER key at all.
  setenv(USER_REGISTRY_ROOT_VARIABLE, (root_ + "/none").c_str(), 1);
  EXPECT_FALSE(os.openRegistryKey(RegistryPlace::user(RegistryView::Bits64),
                                  "SOFTWARE\\K"));
  unsetenv(REGISTRY_ROOT_VARIABLE);
  unsetenv(USER_REGISTRY_ROOT_VARIABLE);
}

// The runtime discovery over the real store: a family resolved to the
// highest patch level, then its JavaHome (a home that holds bin/java).
TEST_F(PosixRegistryTest, RuntimeDiscoveryReadsTheTree) {
  const std::string opt = root_ + "/opt";
  for (const char* home : {"jdk-17.0.5", "jdk-17.0.9", "jdk-11"})
    writeValue("opt/" + std::string(home) + "/bin", "java", "");
  writeValue(RUNTIMES + "/17_5", "JavaHome", opt + "/jdk-17.0.5\n");
  writeValue(RUNTIMES + "/17_9", "JavaHome", opt + "/jdk-17.0.9\n");
  writeValue(RUNTIMES + "/11_20", "JavaHome", opt + "/jdk-11\n");
  writeValue(RUNTIMES, "CurrentVersion", "11_20\n");
  setenv(REGISTRY_ROOT_VARIABLE, root_.c_str(), 1);
  PosixPlatform os;
  resetLaunchState();
  setPlatform(&os);
  EXPECT_EQ(locateDefaultRuntime(), opt + "/jdk-11/bin/java");
  settings().requiredJavaVersion = "17";
  EXPECT_EQ(locateRequiredRuntime(), opt + "/jdk-17.0.9/bin/java");
  EXPECT_EQ(settings().requiredJavaVersion, "17_9");
  setPlatform(nullptr);
  unsetenv(REGISTRY_ROOT_VARIABLE);
}

}  // namespace
}  // namespace tarvik

#endif  // _WIN32
