#include "E2e.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tarvik {
namespace e2e {

namespace {

std::string quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

std::string unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return fields;
}

std::string rootDir() {
  // Never destroyed: the exit handler that removes the folder needs it.
  static const std::string* root = [] {
    auto* dir = new std::string("/tmp/tarvik-e2e-" + std::to_string(getpid()));
    makeDirs(*dir);
    std::atexit([] {
      std::string command = "rm -rf " + quote(rootDir());
      if (std::system(command.c_str()) != 0) {
      }
    });
    return dir;
  }();
  return *root;
}

int runShell(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace

std::string shellQuoted(const std::string& text) { return quote(text); }

std::vector<FakeJavaRun> readFakeJavaRuns(const std::string& recordPath) {
  std::vector<FakeJavaRun> runs;
  std::istringstream lines(readFile(recordPath));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> f = splitTabs(line);
    for (std::string& field : f) field = unescape(field);
    if (f[0] == "run") runs.emplace_back();
    if (runs.empty() || f.size() < 2) continue;
    FakeJavaRun& run = runs.back();
    if (f[0] == "cmdline") run.cmdline = f[1];
    if (f[0] == "arg" && f.size() > 2) run.args.push_back(f[2]);
    if (f[0] == "acmdline") run.ansiCmdline = f[1];
    if (f[0] == "aarg" && f.size() > 2) run.ansiArgs.push_back(f[2]);
    if (f[0] == "argfile" && f.size() > 2)
      run.argFiles[std::stoul(f[1])] = f[2];
    if (f[0] == "cwd") run.cwd = f[1];
    if (f[0] == "env" && f.size() > 2) run.env[f[1]] = f[2];
    if (f[0] == "stdout") run.stdoutKind = f[1];
    if (f[0] == "stderr") run.stderrKind = f[1];
    if (f[0] == "appid") run.appId = f[1];
  }
  return runs;
}

std::string crlfToLf(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
      out += text[i];
  return out;
}

std::string commandLineOf(const std::string& commandFile) {
  const std::string text = crlfToLf(commandFile);
  const std::string mark = "#Command line=\n";
  size_t at = text.find(mark);
  if (at == std::string::npos || text.back() != '\n') return "<no command line>";
  at += mark.size();
  return text.substr(at, text.size() - 1 - at);
}

std::string regString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string binaryBytes(size_t count) {
  std::string bytes;
  uint32_t state = 12345;
  for (size_t i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    bytes += static_cast<char>(state >> 23);
  }
  return bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool fileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

void makeDirs(const std::string& path) {
  runShell("mkdir -p " + quote(path));
}

std::string newCaseDir(const std::string& name) {
  static int counter = 0;
  std::string dir = rootDir() + "/" + std::to_string(++counter) + "-" + name;
  makeDirs(dir);
  return dir;
}

std::string sourceDir() { return TARVIK_SOURCE_DIR; }
std::string nativeLauncher() { return TARVIK_NATIVE_LAUNCHER; }
std::string nativeConsoleLauncher() { return TARVIK_NATIVE_CONSOLE_LAUNCHER; }
std::string nativeServiceLauncher() { return TARVIK_NATIVE_SERVICE_LAUNCHER; }

std::string shellOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string javaHome() {
  const char* home = std::getenv("TARVIK_TEST_JAVA_HOME");
  return home && *home ? home : "/usr/lib/jvm/java-17-openjdk-amd64";
}

RunResult runNative(const std::string& exe, const RunOptions& options) {
  RunResult run;
  std::string dir = newCaseDir("native-run");
  std::string outPath = dir + "/out", errPath = dir + "/err";
  pid_t pid = fork();
  if (pid == 0) {
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    for (const auto& var : options.env) setenv(var.first.c_str(), var.second.c_str(), 1);
    if (!freopen(outPath.c_str(), "w", stdout) ||
        !freopen(errPath.c_str(), "w", stderr) ||
        !freopen("/dev/null", "r", stdin))
      _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& arg : options.args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(options.timeoutMs);
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      run.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!run.timedOut) {
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status)
                                     : 128 + WTERMSIG(status);
  }
  run.out = readFile(outPath);
  run.err = readFile(errPath);
  return run;
}

RunResult runWithoutDesktop(const std::string& exe, RunOptions options) {
  options.env.push_back({"DISPLAY", ""});
  options.env.push_back({"WAYLAND_DISPLAY", ""});
  return runNative(exe, options);
}

bool compileJava(const std::string& sourcesGlob, const std::string& classesDir,
                 const std::string& classPath) {
  makeDirs(classesDir);
  const std::string against = classPath.empty() ? "" : " -cp " + quote(classPath);
  return runShell(quote(javaHome() + "/bin/javac") + against + " -d " + quote(classesDir) +
                  " " + quote(sourceDir()) + "/" + sourcesGlob) == 0;
}

std::string installNativeLauncher(const std::string& dir, const std::string& name,
                                  const std::string& config) {
  std::string exe = dir + "/" + name;
  runShell("cp " + quote(nativeLauncher()) + " " + quote(exe));
  writeFile(exe + ".config", config);
  return exe;
}

WineEnvironment& WineEnvironment::get() {
  static WineEnvironment environment;
  return environment;
}

WineEnvironment::WineEnvironment() {
  buildDir_ = TARVIK_WINDOWS_BUILD_DIR;
  prefix_ = rootDir() + "/wineprefix";
  // A display number of our own, free of other test binaries' displays.
  for (int n = 100 + getpid() % 500;; ++n) {
    std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    if (fileExists(lock)) continue;
    display_ = ":" + std::to_string(n);
    break;
  }
  pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
      _exit(126);
    execlp("Xvfb", "Xvfb", display_.c_str(), "-nolisten", "tcp", "-screen",
           "0", "1024x768x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  xvfbPid_ = pid;
  std::string socket = "/tmp/.X11-unix/X" + display_.substr(1);
  for (int i = 0; i < 200 && !fileExists(socket); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  // Making a prefix takes Wine several seconds and the registry import one
  // more start; the first suite makes one beside the build and every suite
  // copies it, which takes a fraction of a second.
  const std::string own = rootDir() + "/wineprefix";
  const std::string shared = TARVIK_WINE_PREFIX_TEMPLATE;
  const std::string made = shared + "/.tarvik-made";
  const int lock = open((shared + ".lock").c_str(), O_CREAT | O_RDWR, 0600);
  if (lock >= 0 && flock(lock, LOCK_EX) == 0) {
    if (!fileExists(made)) {
      runShell("rm -rf " + quote(shared));
      prefix_ = shared;
      // The registry is in the prefix's files once its wineserver has ended.
      if (makePrefix() && runShell(shellPrefix() + "wineserver -w") == 0)
        writeFile(made, "");
    }
    if (fileExists(made)) runShell("cp -a " + quote(shared) + " " + quote(own));
  }
  if (lock >= 0) close(lock);
  prefix_ = own;
  if (!fileExists(prefix_ + "/system.reg")) makePrefix();
}

bool WineEnvironment::makePrefix() {
  // The first start creates the prefix, which takes a few seconds; its
  // last programs end after wineboot does, and a program started while
  // they run may fail to start children of its own ("Internal error.").
  // Now and then, on a busy machine, the first start leaves a prefix
  // without its system files, and every program then fails with "could not
  // load kernel32.dll"; such a prefix is made again.
  const std::string kernel32 = prefix_ + "/drive_c/windows/system32/kernel32.dll";
  bool whole = false;
  for (int attempt = 0; attempt < 3 && !whole; ++attempt) {
    runShell(shellPrefix() + "wineboot -i >/dev/null 2>&1");
    runShell(shellPrefix() + "wineserver -w");
    whole = fileExists(kernel32) && fileExists(prefix_ + "/system.reg");
    if (whole) break;
    std::fprintf(stderr, "Wine made no whole prefix; making it again\n");
    runShell(shellPrefix() + "wineserver -k >/dev/null 2>&1");
    runShell("rm -rf " + quote(prefix_));
  }
  // Without a window manager Wine waits about two seconds for each closed
  // box; unmanaged windows close at once. And a crash must end the program
  // instead of waiting for a debugger.
  std::string reg = rootDir() + "/prefix-setup.reg";
  writeFile(reg,
            "REGEDIT4\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"
            "\"Managed\"=\"N\"\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\"
            "CurrentVersion\\AeDebug]\r\n"
            "\"Debugger\"=\"tv-no-debugger.exe\"\r\n");
  return wine({"reg", "import", windowsPath(reg)}) == 0 && whole;
}

WineEnvironment::~WineEnvironment() {
  runShell(shellPrefix() + "wineserver -k >/dev/null 2>&1");
  if (xvfbPid_ > 0) {
    kill(xvfbPid_, SIGTERM);
    waitpid(xvfbPid_, nullptr, 0);
  }
}

std::string WineEnvironment::shellPrefix() const {
  return "WINEPREFIX=" + quote(prefix_) + " DISPLAY=" + display_ +
         " WINEDLLOVERRIDES='mscoree,mshtml=' WINEDEBUG=-all ";
}

std::string WineEnvironment::windowsPath(const std::string& unixPath) {
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string WineEnvironment::unixPath(const std::string& windowsPath) const {
  std::string path = windowsPath.substr(2);
  for (char& c : path)
    if (c == '\\') c = '/';
  const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(windowsPath[0])));
  return drive == 'Z' ? path : prefix_ + "/drive_c" + path;
}

std::string WineEnvironment::installLauncher(const std::string& dir,
                                             const std::string& name,
                                             const std::string& program) {
  std::string target = dir + "/" + name;
  runShell("cp " + quote(buildDir_ + "/" + program) + " " + quote(target));
  return target;
}

std::string WineEnvironment::testTool(const std::string& name) {
  for (const char* sub : {"/tests/e2e/win/", "/tests/", "/"}) {
    std::string path = buildDir_ + sub + name;
    if (fileExists(path)) return path;
  }
  throw std::runtime_error("test tool not built: " + name);
}

namespace {

// Wine, when busy, now and then fails to start a process at all: the
// program never runs and the caller gets "Internal error." (a system error
// Windows gives for no start the launcher makes). Such a run tells nothing
// of the launcher.
bool wineFailedToStartAProcess(const RunResult& run) {
  // (A harness that could not start the program gives no exit record and
  // says why on standard error.)
  const std::string sign = "Internal error.";
  if (run.err.find(sign) != std::string::npos) return true;
  if (run.err.find("wine: could not load kernel32.dll") != std::string::npos)
    return true;
  for (const Box& box : run.boxes)
    if (box.text.find(sign) != std::string::npos) return true;
  return false;
}

}  // namespace

RunResult WineEnvironment::runLauncher(const std::string& exe,
                                       const RunOptions& options) {
  const int tries = 3;
  RunResult run = runLauncherOnce(exe, options, true);
  for (int again = 1; again < tries && wineFailedToStartAProcess(run); ++again) {
    std::fprintf(stderr, "Wine failed to start a process; running again\n");
    run = runLauncherOnce(exe, options, again + 1 < tries);
  }
  return run;
}

RunResult WineEnvironment::runLauncherOnce(const std::string& exe,
                                           const RunOptions& options,
                                           bool mayTryAgain) {
  std::string dir = newCaseDir("wine-run");
  std::string report = dir + "/report", outPath = dir + "/out",
              errPath = dir + "/err";
  std::string cwd = options.cwd;
  if (cwd.empty()) cwd = exe.substr(0, exe.rfind('/'));
  std::string command = "cd " + quote(cwd) + " && " + shellPrefix();
  for (const auto& var : options.env)
    command += var.first + "=" + quote(var.second) + " ";
  command += "timeout " + std::to_string(options.timeoutMs / 1000 + 30) +
             " wine " + quote(testTool("tvharness.exe")) + " --report " +
             quote(windowsPath(report)) + " --timeout-ms " +
             std::to_string(options.timeoutMs);
  for (const std::string& answer : options.answers)
    command += " --answer " + answer;
  if (options.console) command += " --console";
  if (!options.interruptWhen.empty())
    command += " --interrupt-when " + quote(windowsPath(options.interruptWhen));
  if (!options.endWhen.empty())
    command += " --end-when " + quote(windowsPath(options.endWhen));
  command += " -- " + quote(options.program.empty() ? windowsPath(exe) : options.program);
  for (const std::string& arg : options.args) command += " " + quote(arg);
  if (options.pipes) {
    writeFile(dir + "/in", options.input);
    command = "cat " + quote(dir + "/in") + " | { " + command + " 2>" +
              quote(errPath) + "; } | cat >" + quote(outPath);
  } else {
    command += " >" + quote(outPath) + " 2>" + quote(errPath) + " </dev/null";
  }
  runShell(command);

  RunResult run;
  run.out = readFile(outPath);
  run.err = readFile(errPath);
  bool sawExit = false;
  std::istringstream lines(readFile(report));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields = splitTabs(line);
    if (fields[0] == "box" && fields.size() >= 5) {
      run.boxes.push_back({unescape(fields[1]), unescape(fields[2]),
                           fields[3], fields[4] == "icon"});
    } else if (fields[0] == "timeout" ||
               (fields[0] == "exit" && fields.size() > 1 &&
                fields[1] == "timeout")) {
      run.timedOut = true;
      sawExit = true;
    } else if (fields[0] == "exit" && fields.size() > 1) {
      run.exitCode = static_cast<uint32_t>(std::stoul(fields[1]));
      sawExit = true;
    } else if (!line.empty()) {
      run.records.push_back(line);
    }
  }
  if (!sawExit && !(mayTryAgain && wineFailedToStartAProcess(run))) {
    throw std::runtime_error("harness gave no exit record; stderr: " +
                             run.err);
  }
  return run;
}

void WineEnvironment::keepServer() { runShell(shellPrefix() + "wineserver -p"); }

int WineEnvironment::wine(const std::vector<std::string>& args) {
  // RunResult from a folder without a reg.exe of its own.
  std::string command = "cd " + quote(rootDir()) + " && " + shellPrefix() + "wine";
  for (const std::string& arg : args) command += " " + quote(arg);
  return runShell(command + " >/dev/null 2>&1 </dev/null");
}

RunResult WineEnvironment::runWine(const std::vector<std::string>& args,
                                   const std::string& cwd) {
  std::string dir = newCaseDir("wine");
  std::string command = "cd " + quote(cwd.empty() ? rootDir() : cwd) + " && LANG=C.UTF-8 " +
                        shellPrefix() + "wine";
  for (const std::string& arg : args) command += " " + quote(arg);
  RunResult run;
  int code = runShell(command + " >" + quote(dir + "/out") + " 2>" + quote(dir + "/err") +
                      " </dev/null");
  run.exitCode = static_cast<uint32_t>(code);
  run.out = readFile(dir + "/out");
  run.err = readFile(dir + "/err");
  return run;
}

void WineEnvironment::registryAdd(const std::string& key,
                                  const std::string& valueName,
                                  const std::string& data) {
  std::string root = key.rfind("HK", 0) == 0 ? key : "HKLM\\" + key;
  std::vector<std::string> args = {"reg", "add", root};
  if (valueName.empty())
    args.push_back("/ve");
  else
    args.insert(args.end(), {"/v", valueName});
  args.insert(args.end(), {"/t", "REG_SZ", "/d", data, "/f"});
  wine(args);
}

void WineEnvironment::registryDeleteTree(const std::string& key) {
  std::string root = key.rfind("HK", 0) == 0 ? key : "HKLM\\" + key;
  wine({"reg", "delete", root, "/f"});
}

}  // namespace e2e
}  // namespace tarvik
