// What install checks is the launch the service will run, resolved as the
// service will resolve it: files that are missing yet, what lies inside a
// folder the launch reads, files that options name, links, and a Java found
// through the service's own PATH.
#include <gtest/gtest.h>

#include "Tarvik.h"
#include "fakes/LauncherTest.h"
#include "service/ServiceWords.h"

namespace tarvik {
namespace {

class InstallChecksTest : public LauncherTest {
 protected:
  InstallChecksTest() { setBeforeExit(nullptr); }
  ~InstallChecksTest() override { setBeforeExit(nullptr); }

  int install(const char* launcher = "C:\\Apps\\appd.exe") {
    resetLaunchState();
    opt.kind = LauncherKind::Console;
    opt.serviceLauncher = true;
    int result = kReturned;
    const int code = exitCodeOf([&] { result = runLauncher({launcher, "install"}); });
    return code == kReturned ? result : code;
  }
};

TEST_F(InstallChecksTest, WhatTheServiceWillRunIsWhatIsChecked) {
  const struct {
    const char* name;
    const char* lines;
    std::map<std::string, std::string> others;  // who else may change a path
    const char* said;  // in the refusal; none when install goes ahead
    const char* classPath = "addjars lib\n";
  } rows[] = {
      {"all the administrators'", "", {}, nullptr},
      {"an include not there yet, in a folder others may write",
       "include C:\\Shared\\more.config\n", {{"C:\\Shared", "the user bob"}},
       "the configuration C:\\Shared\\more.config is missing, and the folder "
       "C:\\Shared where it would appear can be changed by the user bob"},
      {"a jar deep in a folder of jars", "", {{"C:\\Apps\\lib\\sub\\x.jar", "the user bob"}},
       "the file C:\\Apps\\lib\\sub\\x.jar in the class path folder C:\\Apps\\lib can be "
       "changed by the user bob"},
      {"a folder added later in a class path folder", "addpath classes\n",
       {{"C:\\Apps\\classes\\app", "everyone"}},
       "the folder C:\\Apps\\classes\\app in the class path entry C:\\Apps\\classes can be "
       "changed by everyone"},
      {"an agent an option names", "vmparam -javaagent:agent.jar\n",
       {{"C:\\Apps\\agent.jar", "the user bob"}},
       "the file -javaagent: names C:\\Apps\\agent.jar can be changed by the user bob"},
      {"a class path entry read from the launcher's folder, not workingDir",
       "workingDir C:\\Data\naddjar a.jar\n", {{"C:\\Apps\\a.jar", "the user bob"}},
       "the class path entry C:\\Apps\\a.jar can be changed by the user bob"},
      {"a library in the runtime", "", {{"C:\\jre\\lib\\modules", "the user bob"}},
       "the file C:\\jre\\lib\\modules in the runtime C:\\jre can be changed by the user bob"},
      {"classes in the folder the service runs in, which an empty class path is", "",
       {{"C:\\Apps\\classes\\app\\Main.class", "the user bob"}},
       "the file C:\\Apps\\classes\\app\\Main.class in the folder an empty class path "
       "names C:\\Apps can be changed by the user bob", ""},
      {"a class archive an option names", "vmparam -XX:SharedArchiveFile=C:\\Shared\\app.jsa\n",
       {{"C:\\Shared", "the user bob"}},
       "the file -XX:SharedArchiveFile= names C:\\Shared\\app.jsa is missing, and the folder "
       "C:\\Shared where it would appear can be changed by the user bob"},
      {"an agent an argument file names, read from the folder the service runs in",
       "workingDir C:\\Data\nvmparam @opts.txt\n", {{"C:\\Data\\agent.jar", "the user bob"}},
       "the file -javaagent: names C:\\Data\\agent.jar can be changed by the user bob"},
      {"an agent the VM's variable names", "setenv JAVA_TOOL_OPTIONS=-javaagent:C:\\Shared\\a.jar\n",
       {{"C:\\Shared", "the user bob"}},
       "the file -javaagent: names C:\\Shared\\a.jar is missing, and the folder C:\\Shared where "
       "it would appear can be changed by the user bob"},
      {"an agent behind a link that leads nowhere yet, into a folder others may write",
       "vmparam -javaagent:dangling\\a.jar\n", {{"C:\\Apps\\dangling", "everyone (C:\\Temp)"}},
       "the file -javaagent: names C:\\Apps\\dangling\\a.jar is missing, and the folder "
       "C:\\Apps\\dangling where it would appear can be changed by everyone (C:\\Temp)"},
      {"a jar that is a link leading nowhere yet", "addjar later.jar\n",
       {{"C:\\Apps\\later.jar", "everyone (C:\\Temp)"}},
       "the class path entry C:\\Apps\\later.jar can be changed by everyone (C:\\Temp)"},
      {"a program the VM runs on an error, read from the folder the service runs in",
       "workingDir C:\\Data\nvmparam \"-XX:OnOutOfMemoryError=C:\\Apps\\dump.cmd %p;bin\\kill.cmd\"\n",
       {{"C:\\Data\\bin\\kill.cmd", "the user bob"}},
       "the program -XX:OnOutOfMemoryError= runs C:\\Data\\bin\\kill.cmd can be changed by the user bob"},
      {"a module path given as the next word", "vmparam --module-path\nvmparam C:\\Shared\\mods\n",
       {{"C:\\Shared", "the user bob"}},
       "the file --module-path names C:\\Shared\\mods is missing"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    os = FakePlatform();
    os.cwd = "C:\\Apps";
    os.files["C:\\Apps\\appd.exe"] = "MZ";
    os.files["C:\\Apps\\appd.config"] =
        std::string("mainclass App\njavapath C:\\jre\\bin\\java.exe\n") + row.classPath +
        row.lines;
    os.files["C:\\jre\\bin\\java.exe"] = "MZ";
    os.files["C:\\jre\\lib\\modules"] = "jimage";
    os.files["C:\\Apps\\lib\\sub\\x.jar"] = "PK";
    os.files["C:\\Apps\\agent.jar"] = "PK";
    os.files["C:\\Apps\\a.jar"] = "PK";
    os.files["C:\\Apps\\opts.txt"] = "# Java's own \"argument file\n\"-Xmx1g\" -javaagent:agent.jar\n";
    os.files["C:\\Data\\agent.jar"] = "PK";
    os.files["C:\\Data\\bin\\kill.cmd"] = "@echo off";
    os.files["C:\\Apps\\classes\\app\\Main.class"] = "CAFE";
    os.linkTargets["C:\\Apps\\dangling"] = "C:\\Temp\\gone";
    os.linkTargets["C:\\Apps\\later.jar"] = "C:\\Temp\\gone.jar";
    for (const char* folder : {"C:\\", "C:\\Apps", "C:\\Apps\\lib", "C:\\Apps\\lib\\sub",
                               "C:\\jre", "C:\\jre\\bin", "C:\\jre\\lib", "C:\\Shared",
                               "C:\\Apps\\classes", "C:\\Apps\\classes\\app", "C:\\Data",
                               "C:\\Data\\bin"})
      os.directories.insert(folder);
    os.othersMayChange = row.others;
    const int code = install();
    if (!row.said) {
      EXPECT_EQ(code, 0) << os.err;
      EXPECT_EQ(os.installedServices.size(), 1u);
      continue;
    }
    EXPECT_EQ(code, SERVICE_REFUSED_EXIT_CODE);
    EXPECT_TRUE(os.installedServices.empty());
    EXPECT_NE(os.err.find(row.said), std::string::npos) << os.err;
  }
}

// The runtime is judged as the file that will run: a bare name by the
// service's own PATH (not the installer's), a link by where it leads.
TEST_F(InstallChecksTest, TheJavaThatRunsIsTheOneJudged) {
  const struct {
    const char* name;
    const char* javapath;
    const char* servicePath;
    const char* said;
  } rows[] = {
      {"the service's PATH, not the installer's", "java", "C:\\jre\\bin", nullptr},
      {"a Java on the service's PATH that others may change", "java", "C:\\Tools\\bin",
       "the Java executable C:\\Tools\\bin\\java.exe can be changed by the user bob"},
      {"a Java the service's PATH finds nowhere", "java", "C:\\Empty",
       "no Java runtime is found for it"},
      {"a Java path of quotes alone", "\"", "C:\\jre\\bin", "no Java runtime is found for it"},
      {"a link into a runtime others own", "C:\\jre\\bin\\link.exe", "",
       "the Java executable C:\\Users\\bob\\jdk\\bin\\java.exe can be changed by the user bob"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    os = FakePlatform();
    os.cwd = "C:\\Apps";
    os.files["C:\\Apps\\appd.exe"] = "MZ";
    os.files["C:\\Apps\\appd.config"] = std::string("mainclass App\njavapath ") + row.javapath + "\n";
    os.files["C:\\jre\\bin\\java.exe"] = "MZ";
    os.files["C:\\jre\\bin\\link.exe"] = "MZ";
    os.files["C:\\Tools\\bin\\java.exe"] = "MZ";
    os.files["C:\\Users\\bob\\bin\\java.exe"] = "MZ";
    os.files["C:\\Users\\bob\\jdk\\bin\\java.exe"] = "MZ";
    os.linkTargets["C:\\jre\\bin\\link.exe"] = "C:\\Users\\bob\\jdk\\bin\\java.exe";
    // The installer's own PATH leads to a Java of bob's.
    os.env["PATH"] = "C:\\Users\\bob\\bin";
    os.serviceEnv = {{"PATH", row.servicePath}};
    os.othersMayChange = {{"C:\\Users\\bob\\bin\\java.exe", "the user bob"},
                          {"C:\\Tools\\bin\\java.exe", "the user bob"},
                          {"C:\\Users\\bob\\jdk\\bin\\java.exe", "the user bob"}};
    const int code = install();
    // The installer's environment is its own again afterwards.
    EXPECT_EQ(os.env["PATH"], "C:\\Users\\bob\\bin");
    if (!row.said) {
      EXPECT_EQ(code, 0) << os.err;
      // The service, in its own environment, starts the file judged.
      resetLaunchState();
      opt.kind = LauncherKind::Console;
      opt.serviceLauncher = true;
      os.replaceEnvironment(os.serviceEnv);
      os.children.push_back(FakeChildScript());
      exitCodeOf([&] { runLauncher({"C:\\Apps\\appd.exe", "run"}); });
      ASSERT_EQ(os.started.size(), 1u);
      EXPECT_EQ(os.started[0].arguments.at(0), "C:\\jre\\bin\\java.exe");
      continue;
    }
    EXPECT_EQ(code, SERVICE_REFUSED_EXIT_CODE);
    EXPECT_NE(os.err.find(row.said), std::string::npos) << os.err;
  }
}

// What the program loader loads into Java because a setenv line says so is
// run as much as a jar is.
TEST_F(InstallChecksTest, WhatTheProgramLoaderLoadsIsJudged) {
  const struct {
    const char* name;
    const char* lines;
    std::map<std::string, std::string> others;
    const char* said;
  } rows[] = {
      {"a library of the system's own folders", "setenv LD_PRELOAD=/usr/lib/libx.so\n",
       {{"/tmp", "everyone"}}, nullptr},
      {"a library LD_PRELOAD loads, not there yet", "setenv LD_PRELOAD=/tmp/evil.so\n",
       {{"/tmp", "everyone"}},
       "the file LD_PRELOAD names /tmp/evil.so is missing, and the folder /tmp where it "
       "would appear can be changed by everyone"},
      {"a library deep in a folder LD_LIBRARY_PATH names",
       "setenv LD_LIBRARY_PATH=/usr/lib:/srv/libs\n", {{"/srv/libs/sub/x.so", "the user bob"}},
       "the file /srv/libs/sub/x.so in the folder LD_LIBRARY_PATH names /srv/libs can be "
       "changed by the user bob"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    os = FakePlatform();
    os.conv = PlatformConventions::posix();
    os.cwd = "/opt/app";
    os.files["/opt/app/appd"] = "ELF";
    os.files["/opt/app/appd.config"] =
        std::string("mainclass App\njavapath /jre/bin/java\n") + row.lines;
    os.files["/jre/bin/java"] = "ELF";
    os.files["/usr/lib/libx.so"] = "ELF";
    os.files["/srv/libs/sub/x.so"] = "ELF";
    for (const char* folder : {"/", "/opt", "/opt/app", "/jre", "/jre/bin", "/tmp", "/usr",
                               "/usr/lib", "/srv", "/srv/libs", "/srv/libs/sub", "/units"})
      os.directories.insert(folder);
    os.env["TARVIK_UNIT_DIR"] = "/units";
    os.othersMayChange = row.others;
    const int code = install("/opt/app/appd");
    if (!row.said) {
      EXPECT_EQ(code, 0) << os.err;
      EXPECT_TRUE(os.files.count("/units/appd.service")) << os.err;
      continue;
    }
    EXPECT_EQ(code, SERVICE_REFUSED_EXIT_CODE);
    EXPECT_FALSE(os.files.count("/units/appd.service"));
    EXPECT_NE(os.err.find(row.said), std::string::npos) << os.err;
  }
}

}  // namespace
}  // namespace tarvik
