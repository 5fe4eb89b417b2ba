// tarvik-pack's installer under Wine: msiexec installs it (the files, the
// Start-menu shortcut, the file type, the branded launcher starting the
// stand-in java.exe of the packed runtime), installs a newer version in
// its place and removes it without a trace; a per-user installer goes to
// the user's folders; the same inputs and SOURCE_DATE_EPOCH make the same
// signed zip and MSI.
#include <gtest/gtest.h>


#include "E2e.h"

namespace tarvik {
namespace e2e {
namespace {

const std::string UPGRADE_CODE = "{5B0C6E1A-2D4F-4A8B-9C3E-7F1D2A6B8C40}";

class WinePackTest : public ::testing::Test {
 protected:
  // A product of the stand-in runtime, a jar and a configuration whose
  // java.exe records each run in `record`.
  std::string prepare(const std::string& name, const std::string& lines) {
    dir_ = newCaseDir(name);
    makeDirs(dir_ + "/runtime/bin");
    const std::string fakeJava = readFile(wine.testTool("fakejava.exe"));
    writeFile(dir_ + "/runtime/bin/java.exe", fakeJava);
    writeFile(dir_ + "/runtime/bin/javaw.exe", fakeJava);
    writeFile(dir_ + "/runtime/release", "JAVA_VERSION=\"17.0.9\"\n");
    makeDirs(dir_ + "/lib");
    writeFile(dir_ + "/lib/acme.jar", "PK\x05\x06" + std::string(18, '\0'));
    writeFile(dir_ + "/acme.config", "mainclass com.acme.Main\naddjars lib\nsetenv FAKEJAVA_RECORD=" +
                                         WineEnvironment::windowsPath(dir_ + "/record") + "\n");
    writeFile(dir_ + "/acme.pack",
              "name Acme\nfileName acme\nvendor Acme Ltd\nupgradeCode " + UPGRADE_CODE + "\n"
              "icon " + sourceDir() + "/resources/tarvik.ico\n"
              "config acme.config\njars lib\nruntime runtime\n"
              "association acmd Acme drawing\n" + lines);
    return dir_ + "/acme.pack";
  }

  RunResult pack(const std::string& description, const std::string& output,
                 std::vector<std::pair<std::string, std::string>> env = {}) {
    RunOptions options = RunOptions::of({"--output", output, "--windows-launchers", TARVIK_WINDOWS_BUILD_DIR, description});
    options.env = std::move(env);
    options.env.push_back({"SOURCE_DATE_EPOCH", "1700000000"});
    return runNative(TARVIK_PACK_TOOL, options);
  }

  RunResult msiexec(const std::string& verb, const std::string& msi) {
    return wine.runWine({"msiexec", verb, WineEnvironment::windowsPath(msi), "/qn"});
  }

  std::string query(const std::string& key) { return wine.runWine({"reg", "query", key}).out; }

  // The Start-menu and desktop shortcuts of the prefix called `name`.
  std::string shortcuts(const std::string& name) {
    return shellOutput("find " + shellQuoted(wine.unixPath("C:\\")) + " -name " + shellQuoted(name + ".lnk"));
  }

  WineEnvironment& wine = WineEnvironment::get();
  std::string dir_;
};

TEST_F(WinePackTest, InstallsUpgradesAndRemoves) {
  const std::string description = prepare("msi", "version 1.2.0\noutput zip msi\n");
  RunResult run = pack(description, dir_ + "/dist");
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  ASSERT_EQ(msiexec("/i", dir_ + "/dist/acme-1.2.0-x64.msi").exitCode, 0u);

  const std::string folder = wine.unixPath("C:\\Program Files\\Acme");
  for (const char* file : {"acme.exe", "acme.config", "lib/acme.jar", "runtime/bin/javaw.exe"})
    EXPECT_TRUE(fileExists(folder + "/" + file)) << file;
  EXPECT_EQ(readFile(folder + "/acme.config").rfind("# Added by tarvik-pack", 0), 0u);
  const std::string lnk = shortcuts("Acme");
  ASSERT_TRUE(has(lnk, "Start Menu/Programs/Acme.lnk")) << lnk;
  EXPECT_TRUE(has(readFile(lnk.substr(0, lnk.find('\n'))), "acme.exe"));
  EXPECT_TRUE(has(query("HKCR\\.acmd"), "acme.acmd"));
  EXPECT_TRUE(has(query("HKCR\\acme.acmd\\shell\\open\\command"),
                  "\"C:\\Program Files\\Acme\\acme.exe\" \"%1\""));

  // As the file type's verb starts it.
  RunOptions verb = RunOptions::of({"C:\\drawing.acmd"});
  verb.program = "C:\\Program Files\\Acme\\acme.exe";
  RunResult app = wine.runLauncher(folder + "/acme.exe", verb);
  EXPECT_EQ(app.exitCode, 0u);
  std::vector<FakeJavaRun> runs = readFakeJavaRuns(dir_ + "/record");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].cmdline,
            "\"C:\\Program Files\\Acme\\runtime\\bin\\javaw.exe\" "
            "-Dexe.mainConfig=\"C:\\Program Files\\Acme\\acme.config\" -classpath lib/* com.acme.Main "
            "\"C:\\drawing.acmd\" ");

  // 1.2.1 in its place: one product.
  shellOutput("sed -i 's/^version 1.2.0/version 1.2.1/' " + shellQuoted(description));
  ASSERT_EQ(pack(description, dir_ + "/dist").exitCode, 0u);
  ASSERT_EQ(msiexec("/i", dir_ + "/dist/acme-1.2.1-x64.msi").exitCode, 0u);
  const std::string products = query("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
  std::string found;
  for (size_t at = products.find("HKEY_"); at != std::string::npos; at = products.find("HKEY_", at + 1)) {
    const std::string key = products.substr(at, products.find_first_of("\r\n", at) - at);
    const std::string values = query(key);
    if (has(values, "Acme Ltd")) found += values;
  }
  EXPECT_TRUE(has(found, "1.2.1") && !has(found, "1.2.0")) << found;

  ASSERT_EQ(msiexec("/x", dir_ + "/dist/acme-1.2.1-x64.msi").exitCode, 0u);
  EXPECT_FALSE(fileExists(folder));
  EXPECT_EQ(shortcuts("Acme"), "");
  EXPECT_FALSE(has(query("HKCR\\.acmd"), "acme"));
  EXPECT_FALSE(has(query("HKCR\\acme.acmd"), "HKEY"));
  EXPECT_FALSE(has(query("HKCU\\Software\\Acme Ltd"), "HKEY"));
}

TEST_F(WinePackTest, PerUserGoesToTheUsersFolders) {
  const std::string description = prepare("user", "version 1.0.0\nscope perUser\noutput msi\n");
  ASSERT_EQ(pack(description, dir_ + "/dist").exitCode, 0u);
  ASSERT_EQ(msiexec("/i", dir_ + "/dist/acme-1.0.0-x64.msi").exitCode, 0u);
  const std::string found = shellOutput("find " + shellQuoted(wine.unixPath("C:\\users")) + " -path '*/AppData/Local/Programs/Acme/acme.exe'");
  EXPECT_NE(found, "");
  EXPECT_FALSE(fileExists(wine.unixPath("C:\\Program Files\\Acme")));
  EXPECT_TRUE(has(query("HKCU\\Software\\Classes\\acme.acmd\\shell\\open\\command"), "acme.exe\" \"%1\""));
  EXPECT_FALSE(has(query("HKLM\\Software\\Classes\\acme.acmd"), "HKEY"));
  ASSERT_EQ(msiexec("/x", dir_ + "/dist/acme-1.0.0-x64.msi").exitCode, 0u);
  EXPECT_EQ(shellOutput("find " + shellQuoted(wine.unixPath("C:\\users")) + " -path '*/Programs/Acme*'"), "");
}

// Signed too: the signing time is the epoch's, so the signatures agree.
TEST_F(WinePackTest, SameInputsAndEpochMakeTheSameSignedZipAndMsi) {
  const std::string description = prepare("same", "version 1.2.0\noutput zip msi\n"
                                                  "certificate signer.p12\ncertificatePasswordVariable PACK_PASSWORD\n");
  shellOutput("cd " + shellQuoted(dir_) +
              " && openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=Pack -keyout k.pem -out c.pem"
              " 2>/dev/null && openssl pkcs12 -export -inkey k.pem -in c.pem -out signer.p12 -passout pass:pw");
  ASSERT_EQ(pack(description, dir_ + "/one", {{"PACK_PASSWORD", "pw"}}).exitCode, 0u);
  shellOutput("sleep 1; touch " + shellQuoted(dir_) + "/lib/*");
  ASSERT_EQ(pack(description, dir_ + "/two", {{"PACK_PASSWORD", "pw"}}).exitCode, 0u);
  for (const char* file : {"acme-1.2.0-windows-x64.zip", "acme-1.2.0-x64.msi"})
    EXPECT_TRUE(readFile(dir_ + "/one/" + file) == readFile(dir_ + "/two/" + file)) << file;
  for (const char* file : {"acme-1.2.0-x64.msi", "acme-1.2.0-windows-x64/acme.exe"})
    EXPECT_TRUE(has(shellOutput("osslsigncode verify -CAfile " + shellQuoted(dir_ + "/c.pem") + " -in " +
                                shellQuoted(dir_ + "/one/" + file) + " 2>&1"),
                    "Signature verification: ok"))
        << file;
}

// The description's taskbar identity: each shortcut carries it in the
// table MsiShortcutProperty, the launcher's configuration sets the same ID,
// and the agent that sets it in a child Java ships beside the launcher.
TEST_F(WinePackTest, ShortcutsAndLauncherCarryTheTaskbarIdentity) {
  const std::string description =
      prepare("appid", "version 1.0\noutput msi\ndesktopShortcut yes\nappUserModelId Acme.Draw\n");
  RunResult run = pack(description, dir_ + "/dist");
  ASSERT_EQ(run.exitCode, 0u) << run.err;
  const std::string msi = dir_ + "/dist/acme-1.0-x64.msi";
  const std::string table = shellOutput("msiinfo export " + shellQuoted(msi) + " MsiShortcutProperty");
  const std::string shortcuts = shellOutput("msiinfo export " + shellQuoted(msi) + " Shortcut");
  for (const char* folder : {"\tProgramMenuFolder\t", "\tDesktopFolder\t"}) {
    const size_t at = shortcuts.find(folder);
    ASSERT_NE(at, std::string::npos) << shortcuts;
    const std::string id = shortcuts.substr(shortcuts.rfind('\n', at) + 1, at - shortcuts.rfind('\n', at) - 1);
    EXPECT_TRUE(has(table, "\t" + id + "\tSystem.AppUserModel.ID\tAcme.Draw\t")) << table;
  }
  EXPECT_TRUE(has(shellOutput("msiinfo export " + shellQuoted(msi) + " File"), "tarvik-appid.dll"));
  ASSERT_EQ(msiexec("/i", msi).exitCode, 0u);
  const std::string folder = wine.unixPath("C:\\Program Files\\Acme");
  EXPECT_TRUE(has(readFile(folder + "/acme.config"), "\nappUserModelId Acme.Draw\nmainclass com.acme.Main\n"));
  EXPECT_EQ(readFile(folder + "/tarvik-appid.dll"), readFile(std::string(TARVIK_WINDOWS_BUILD_DIR) + "/tarvik-appid.dll"));
  EXPECT_EQ(msiexec("/x", msi).exitCode, 0u);
}

}  // namespace
}  // namespace e2e
}  // namespace tarvik
