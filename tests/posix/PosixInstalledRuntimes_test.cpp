#include "os/PosixInstalledRuntimes.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace tarvik {
namespace {

const char KEY[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

TEST(InstalledRuntimesTest, ReleaseFilesGiveTheirJavaVersion) {
  struct Case {
    const char* text;
    std::optional<std::string> version;
  } cases[] = {
      {"IMPLEMENTOR=\"Debian\"\nJAVA_VERSION=\"17.0.15\"\n", std::string("17.0.15")},
      {"JAVA_VERSION=\"1.8.0_362\"\r\n", std::string("1.8.0_362")},
      {"JAVA_VERSION=21\n", std::string("21")},
      {"JAVA_RUNTIME_VERSION=\"17.0.15+6\"\n", std::nullopt},
      {"JAVA_VERSION=\"\"\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(releaseVersion(c.text), c.version) << c.text;
}

TEST(InstalledRuntimesTest, VersionsMapToSubkeys) {
  struct Case {
    const char* version;
    std::vector<std::string> subkeys;
  } cases[] = {
      {"17.0.15", {"17.0.15", "17", "17_15"}},
      {"21", {"21", "21_0"}},
      {"11.0.2", {"11.0.2", "11", "11_2"}},
      {"1.8.0_362", {"1.8.0_362", "1.8"}},
      {"1.8", {"1.8"}},
      {"beta", {"beta"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(subkeysForVersion(c.version), c.subkeys) << c.version;
}

TEST(InstalledRuntimesTest, VersionsCompareByTheirNumbers) {
  EXPECT_TRUE(olderVersion("17.0.9", "17.0.15"));
  EXPECT_TRUE(olderVersion("1.8.0_362", "11.0.2"));
  EXPECT_FALSE(olderVersion("21", "17.0.15"));
  EXPECT_FALSE(olderVersion("17.0.15", "17.0.15"));
}

TEST(InstalledRuntimesTest, AFamilyNamesItsNewestRuntime) {
  InstalledRuntimeRegistry registry(
      {{"/jvm/new17", "17.0.15"}, {"/jvm/old17", "17.0.9"}, {"/jvm/j8", "1.8.0_362"}},
      "/jvm/old17");
  auto root = registry.open(KEY);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->readString("CurrentVersion", 256), std::string("17.0.9"));
  std::vector<std::string> names;
  for (uint32_t i = 0; i < *root->subkeyCount(); ++i) names.push_back(*root->subkeyName(i));
  EXPECT_EQ(names, (std::vector<std::string>{"1.8.0_362", "1.8", "17.0.9", "17",
                                             "17_9", "17.0.15", "17_15"}));
  auto home = [&](const std::string& name) {
    auto key = registry.open(std::string(KEY) + "\\" + name);
    return key ? key->readString("JavaHome", 8192) : std::nullopt;
  };
  EXPECT_EQ(home("17"), std::string("/jvm/new17"));
  EXPECT_EQ(home("17.0.9"), std::string("/jvm/old17"));
  EXPECT_EQ(home("1.8"), std::string("/jvm/j8"));
  EXPECT_EQ(home("9"), std::nullopt);
}

TEST(InstalledRuntimesTest, WithoutJavaOnPathTheNewestIsCurrent) {
  InstalledRuntimeRegistry registry({{"/a", "21"}, {"/b", "17.0.1"}}, "");
  EXPECT_EQ(registry.open(KEY)->readString("CurrentVersion", 256), std::string("21"));
  InstalledRuntimeRegistry none({}, "");
  ASSERT_TRUE(none.open(KEY));
  EXPECT_EQ(none.open(KEY)->readString("CurrentVersion", 256), std::nullopt);
  EXPECT_EQ(*none.open(KEY)->subkeyCount(), 0u);
}

TEST(InstalledRuntimesTest, DiscoveryReadsReleaseFilesOnce) {
  char dirTemplate[] = "/tmp/tarvik-jvm-XXXXXX";
  ASSERT_TRUE(mkdtemp(dirTemplate));
  std::string dir = dirTemplate;
  ASSERT_EQ(system(("mkdir -p " + dir + "/jdk-17/bin " + dir + "/broken").c_str()), 0);
  std::ofstream(dir + "/jdk-17/release") << "JAVA_VERSION=\"17.0.4\"\n";
  ASSERT_EQ(symlink((dir + "/jdk-17").c_str(), (dir + "/alias-17").c_str()), 0);
  setenv(JVM_DIR_VARIABLE, dir.c_str(), 1);
  InstalledRuntimeRegistry registry = InstalledRuntimeRegistry::discover();
  unsetenv(JVM_DIR_VARIABLE);
  auto root = registry.open(KEY);
  ASSERT_TRUE(root);
  EXPECT_EQ(*root->subkeyCount(), 3u) << "the alias is the same runtime";
  auto key17 = registry.open(std::string(KEY) + "\\17");
  ASSERT_TRUE(key17);
  EXPECT_EQ(key17->readString("JavaHome", 8192), dir + "/jdk-17");
  EXPECT_EQ(system(("rm -rf " + dir).c_str()), 0);
}

}  // namespace
}  // namespace tarvik
