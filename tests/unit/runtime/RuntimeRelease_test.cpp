#include "runtime/RuntimeRelease.h"

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

TEST(RuntimeReleaseTest, ReleaseVersionReadsTheJavaVersionLine) {
  struct Case {
    const char* text;
    std::optional<std::string> version;
  } cases[] = {
      {"JAVA_VERSION=\"17.0.9\"\n", "17.0.9"},
      {"IMPLEMENTOR=\"Eclipse Adoptium\"\r\nJAVA_VERSION=\"21.0.5\"\r\n", "21.0.5"},
      {"JAVA_VERSION=\"1.8.0_392\"", "1.8.0_392"},
      {"JAVA_VERSION=11", "11"},
      {"JAVA_VERSION=\"\"\n", std::nullopt},
      {"JAVA_RUNTIME_VERSION=\"17.0.9+9\"\n", std::nullopt},
      {" JAVA_VERSION=\"17\"\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(releaseVersion(c.text), c.version) << c.text;
}

TEST(RuntimeReleaseTest, FeatureVersionReadsTheOldSchemeAsItsSecondNumber) {
  struct Case {
    const char* version;
    std::optional<int> feature;
  } cases[] = {
      {"17.0.9", 17}, {"17", 17},   {"1.8.0_392", 8}, {"1.8", 8},
      {"9", 9},       {"1", 1},     {"1.", 1},        {"21-ea", 21},
      {"", std::nullopt},           {"v17", std::nullopt},
      {"99999999999999", 2147483647},
  };
  for (const Case& c : cases)
    EXPECT_EQ(featureVersion(c.version), c.feature) << c.version;
}

TEST(RuntimeReleaseTest, HomeOfExecutableIsTheFolderAboveBin) {
  struct Case {
    const char* path;
    std::optional<std::string> home;
  } cases[] = {
      {"C:\\jdk\\bin\\javaw.exe", "C:\\jdk"},
      {"\"C:\\Program Files\\Java\\bin\\java.exe\"", "C:\\Program Files\\Java"},
      {"/usr/lib/jvm/java-17/bin/java", "/usr/lib/jvm/java-17"},
      {"C:\\jdk\\BIN\\java.exe", "C:\\jdk"},
      {"C:\\jdk\\java.exe", std::nullopt},
      {"C:\\jdk\\xbin\\java.exe", std::nullopt},
      {"bin\\java.exe", std::nullopt},
      {"java.exe", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(runtimeHomeOfExecutable(c.path), c.home) << c.path;
}

TEST(RuntimeReleaseTest, HomeOfLibraryIsTheFolderAboveLibOrBin) {
  struct Case {
    const char* path;
    std::optional<std::string> home;
  } cases[] = {
      {"C:\\jdk\\bin\\server\\jvm.dll", "C:\\jdk"},
      {"/usr/lib/jvm/java-17/lib/server/libjvm.so", "/usr/lib/jvm/java-17"},
      {"C:\\jdk\\jre\\BIN\\Client\\jvm.dll", "C:\\jdk\\jre"},
      {"C:\\jdk\\bin\\jvm.dll", std::nullopt},
      {"C:\\jdk\\x\\server\\jvm.dll", std::nullopt},
      {"lib/server/libjvm.so", std::nullopt},
      {"libjvm.so", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(runtimeHomeOfLibrary(c.path), c.home) << c.path;
}

class ReadRuntimeVersionTest : public LauncherTest {};

TEST_F(ReadRuntimeVersionTest, ReadsTheReleaseFileBesideBin) {
  os.files["C:\\jdk\\release"] = "JAVA_VERSION=\"17.0.9\"\r\n";
  EXPECT_EQ(readRuntimeVersion("C:\\jdk"), std::optional<std::string>("17.0.9"));
  EXPECT_EQ(readRuntimeVersion("C:\\other"), std::nullopt);
}

}  // namespace
}  // namespace tarvik
