#include "config/ConfigLocation.h"

#include <gtest/gtest.h>

#include "fakes/LauncherTest.h"

namespace tarvik {
namespace {

using Texts = std::vector<std::string>;

class ConfigLocationTest : public LauncherTest {};

TEST_F(ConfigLocationTest, PathFormedFromLauncherDirAndExeName) {
  struct Case {
    const char* exePath;
    const char* launcherDir;
    const char* path;
  } cases[] = {
      {"C:\\Apps\\tool.exe", "C:\\Apps", "C:\\Apps\\tool.config"},
      {"C:\\Apps\\TOOL.EXE", "C:\\Apps", "C:\\Apps\\TOOL.EXE.config"},
      {"C:\\Apps\\tool.Exe", "C:\\Apps", "C:\\Apps\\tool.Exe.config"},
      {"tool", "D:\\Work", "D:\\Work\\tool.config"},
      {"Apps\\tool.exe", "D:\\Work", "D:\\Work\\tool.config"},
      {"my.exe.tool.exe", "D:\\Work", "D:\\Work\\my.exe.tool.config"},
      {".exe", "C:\\A", "C:\\A\\.config"},
      {"exe", "C:\\A", "C:\\A\\exe.config"},
      {"C:\\Apps/sub/tool.exe", "C:\\Apps", "C:\\Apps\\Apps/sub/tool.config"},
      {"C:\\", "C:", "C:\\.config"},
      {"C:\\x.exe", "C:\\", "C:\\\\x.config"},  // no check for a trailing
                                                // separator
      // The launcher's own folder is a name: nothing in it is expanded.
      {"C:\\d$TEMP\\tool.exe", "C:\\d$TEMP", "C:\\d$TEMP\\tool.config"},
      {"C:\\d$TEMP$\\tool.exe", "C:\\d$TEMP$", "C:\\d$TEMP$\\tool.config"},
  };
  os.env["TEMP"] = "C:\\Temp";
  for (const Case& c : cases) {
    resetLaunchState();
    os.boxes.clear();
    EXPECT_EQ(readApplicationConfig(c.exePath, c.launcherDir), 0) << c.exePath;
    EXPECT_EQ(set.vmParams, (Texts{"-Dexe.mainConfig"})) << c.exePath;
    EXPECT_EQ(set.vmParamValues["-Dexe.mainConfig"],
              std::string("\"") + c.path + "\"")
        << c.exePath;
  }
  EXPECT_TRUE(os.out.empty() && os.boxes.empty());
}

TEST_F(ConfigLocationTest, CustomPathIsTakenVerbatim) {
  struct Case {
    const char* custom;
    const char* value;
  } cases[] = {
      {"D:\\cfg\\other.cfg", "\"D:\\cfg\\other.cfg\""},
      // Named without its folder: the launcher's, so the application is told
      // a full path wherever it runs.
      {"rel.txt", "\"C:\\Apps\\rel.txt\""},
      {"", "\"\""},
      // A quote of a POSIX folder name is escaped: it ends no value.
      {"/tmp/q\" -Dp=x -cp h.jar H \"q/t.config",
       "\"/tmp/q\\\" -Dp=x -cp h.jar H \\\"q/t.config\""},
      {"C:\\cfg\\", "\"C:\\cfg\\\\\""},
  };
  for (const Case& c : cases) {
    resetLaunchState();
    opt.customConfigPath = c.custom;
    readApplicationConfig("C:\\Apps\\tool.exe", "C:\\Apps");
    EXPECT_EQ(set.vmParamValues["-Dexe.mainConfig"], c.value) << c.custom;
  }
}

TEST_F(ConfigLocationTest, TheFileIsReadAfterTheOptionIsAdded) {
  os.files["C:\\Apps\\tool.config"] =
      "mainclass com.acme.Main\nvmparam -Xmx1g\n";
  set.vmParams.push_back("-Dfrom.switch");
  readApplicationConfig("C:\\Apps\\tool.exe", "C:\\Apps");
  EXPECT_EQ(set.mainClass, "com.acme.Main");
  EXPECT_EQ(set.vmParams,
            (Texts{"-Dfrom.switch", "-Dexe.mainConfig", "-Xmx1g"}));

  resetLaunchState();
  os.files["C:\\Apps\\custom.cfg"] = "rmvmparam -Dexe.mainConfig\n";
  opt.customConfigPath = "custom.cfg";
  readApplicationConfig("C:\\Apps\\tool.exe", "C:\\Apps");
  EXPECT_TRUE(set.vmParams.empty());
}

TEST_F(ConfigLocationTest, DebugModeShowsThePath) {
  opt.debugMode = 1;
  readApplicationConfig("C:\\Apps\\tool.exe", "C:\\Apps");
  EXPECT_EQ(os.out, "reading app config C:\\Apps\\tool.config\n");
  std::vector<RecordedBox> expected = {
      {"Reading App Config file", "[C:\\Apps\\tool.config]", MB_STYLE_OK},
      {"Reading Config file", "C:\\Apps\\tool.config", MB_STYLE_OK},
  };
  EXPECT_EQ(os.boxes, expected);
}

TEST_F(ConfigLocationTest, DebugBoxTextIsCut) {
  opt.debugMode = 1;
  opt.customConfigPath = "C:\\" + std::string(9000, 'p');
  readApplicationConfig("C:\\Apps\\tool.exe", "C:\\Apps");
  ASSERT_FALSE(os.boxes.empty());
  EXPECT_EQ(os.boxes[0].text, "[C:\\" + std::string(8187, 'p'));
}

TEST_F(ConfigLocationTest, ADirectoryAsConfigIsReadAsNothing) {
  // The platform gives no content for a directory.
  os.directories.insert("C:\\Work\\dir.config");
  opt.customConfigPath = "dir.config";
  EXPECT_EQ(readApplicationConfig("C:\\Apps\\tool.exe", "C:\\Apps"), 0);
  EXPECT_FALSE(set.mainClass);
}

TEST_F(ConfigLocationTest, AppBaseName) {
  struct Case {
    OptionalText custom;
    const char* path;
    const char* base;
  } cases[] = {
      {std::nullopt, "C:\\Apps\\tool.exe", "tool"},
      {std::nullopt, "C:\\Apps\\TOOL.EXE", "TOOL"},
      // Only an ".exe" at the end goes: two launchers keep two names.
      {std::nullopt, "my.exe.tool.exe", "my.exe.tool"},
      {std::nullopt, "my.exe.other.exe", "my.exe.other"},
      {std::nullopt, "C:\\Apps\\tool.exemplar", "tool.exemplar"},
      {std::nullopt, "tool", "tool"},
      {std::nullopt, "C:\\Apps.exe\\tool", "tool"},
      // Windows ends a folder name at '/' as well.
      {std::nullopt, "C:/Apps/tool.exe", "tool"},
      {std::string("sub/app.config"), "C:\\Apps\\tool.exe", "app"},
      {std::string("D:/cfg\\x/other.config"), "C:\\a.exe", "other"},
      {std::nullopt, "", ""},
      {std::string("D:\\cfg\\other.cfg"), "C:\\Apps\\tool.exe", "other.cfg"},
      {std::string("D:\\cfg\\other.config"), "C:\\Apps\\tool.exe", "other"},
      // Only a ".config" at the end of the file's own name goes.
      {std::string("D:\\x.config.d\\app.config"), "C:\\a.exe", "app"},
      {std::string("C:\\Users\\u\\.config\\one\\app.config"), "C:\\a.exe", "app"},
      {std::string("C:\\Users\\u\\.config\\two\\app2.config"), "C:\\a.exe", "app2"},
      {std::string("D:\\cfg\\app.config.txt"), "C:\\a.exe", "app.config.txt"},
      {std::string("D:\\cfg\\tool.exe.config"), "C:\\a.exe", "tool"},
      {std::string("D:\\cfg\\App.EXE.config"), "C:\\a.exe", "App"},
      {std::string("D:\\cfg\\other.CONFIG"), "C:\\a.exe", "other.CONFIG"},
      {std::string(""), "C:\\Apps\\tool.exe", ""},
  };
  for (const Case& c : cases) {
    opt.customConfigPath = c.custom;
    EXPECT_EQ(appBaseName(c.path), c.base) << c.path;
  }
}

TEST_F(ConfigLocationTest, PosixConventionsUseTheSlash) {
  os.conv = PlatformConventions::posix();
  readApplicationConfig("/opt/app/tool", "/opt/app");
  EXPECT_EQ(set.vmParamValues["-Dexe.mainConfig"],
            "\"/opt/app/tool.config\"");
  EXPECT_EQ(appBaseName("/opt/app/tool"), "tool");
  EXPECT_EQ(appBaseName("/opt/app/tool.exe"), "tool");
}

}  // namespace
}  // namespace tarvik
