// What the launcher costs on top of running Java directly, printed as a
// table: start-up time against `java` itself, the waiting launcher's
// resident memory, the cost of reading large configurations, and the sizes
// of the built launchers. Run through bench/run.sh, which builds everything
// this needs; it is a measurement, not a test, and has no pass/fail exit.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "LaunchSettings.h"
#include "config/ConfigReader.h"
#include "launch/CommandLineBuilder.h"
#include "launch/WindowsCommandLine.h"
#include "os/PosixPlatform.h"

extern char** environ;

namespace {

struct Options {
  std::string launcher;  // the native tarvik binary
  std::string javaHome;
  std::string java25Home;       // the startup cache's second runtime, if any
  std::string consoleLauncher;  // tarvikc, for the console applications
  std::string classes;   // compiled bench/java
  std::string work;      // scratch folder
  int warmupPairs = 3;
  int pairs = 30;
  bool pairsGiven = false;  // --pairs also sets the startup cache's count
  // Sections to run ("startup", "cache", "memory", "config", "sizes");
  // empty: all.
  std::vector<std::string> only;
  std::vector<std::pair<std::string, std::string>> sizes;  // label, file
  std::string valgrind;  // counts instructions when set
  std::string self;      // this program, for valgrind to run
};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "tarvik_bench: %s\n", what.c_str());
  std::exit(2);
}

double nowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) fail("cannot write " + path);
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void copyFile(const std::string& from, const std::string& to) {
  writeText(to, readText(from));
  if (chmod(to.c_str(), 0755) != 0) fail("cannot chmod " + to);
}

std::string loadAverage() {
  std::string load = readText("/proc/loadavg");
  // The first three fields: the 1, 5 and 15 minute averages.
  size_t end = 0;
  for (int i = 0; i < 3 && end != std::string::npos; ++i) end = load.find(' ', end + 1);
  return load.substr(0, end);
}

// --- statistics ------------------------------------------------------------

double quantile(std::vector<double> values, double q) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double pos = q * static_cast<double>(values.size() - 1);
  const size_t low = static_cast<size_t>(pos);
  const size_t high = std::min(low + 1, values.size() - 1);
  const double frac = pos - static_cast<double>(low);
  return values[low] * (1 - frac) + values[high] * frac;
}

double median(const std::vector<double>& v) { return quantile(v, 0.5); }

// A 95% bootstrap interval of the median (fixed seed: the same data give
// the same interval).
std::pair<double, double> medianInterval(const std::vector<double>& values) {
  if (values.empty()) return {0, 0};
  unsigned long long state = 88172645463325252ull;
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  std::vector<double> medians, sample(values.size());
  for (int r = 0; r < 2000; ++r) {
    for (double& x : sample) x = values[next() % values.size()];
    medians.push_back(median(sample));
  }
  return {quantile(medians, 0.025), quantile(medians, 0.975)};
}
double iqr(const std::vector<double>& v) {
  return quantile(v, 0.75) - quantile(v, 0.25);
}

// --- processes -------------------------------------------------------------

// The environment the launcher and java both run with: no registry store
// (runtimes come from /usr/lib/jvm) and no desktop (no dialog can block).
std::vector<std::string> childEnvironment(const Options& o) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        entry.rfind("TARVIK_REGISTRY=", 0) == 0)
      continue;
    env.push_back(entry);
  }
  env.push_back("TARVIK_REGISTRY=" + o.work + "/no-registry");
  return env;
}

// Starts `argv` with its output thrown away; returns the pid.
pid_t spawn(const std::vector<std::string>& argv,
            const std::vector<std::string>& env,
            const std::string& stderrPath = "/dev/null") {
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) fail("cannot start " + argv[0] + ": " + std::strerror(rc));
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) fail("waitpid failed");
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Wall time of one run, start to reaped end.
double timeRun(const std::vector<std::string>& argv,
               const std::vector<std::string>& env) {
  const double start = nowMs();
  const int code = waitFor(spawn(argv, env));
  const double elapsed = nowMs() - start;
  if (code != 0) fail(argv[0] + " ended with " + std::to_string(code));
  return elapsed;
}

// The instructions the process started from `argv` executes until it ends
// or execs another program, counted by callgrind (the same on every run,
// whatever else the machine does), or -1 without valgrind.
double processInstructions(const Options& o, const std::vector<std::string>& command) {
  if (o.valgrind.empty()) return -1;
  std::vector<std::string> argv = {o.valgrind, "--tool=callgrind",
                                   "--callgrind-out-file=/dev/null"};
  argv.insert(argv.end(), command.begin(), command.end());
  const std::string log = o.work + "/callgrind.log";
  if (waitFor(spawn(argv, childEnvironment(o), log)) != 0)
    fail("valgrind failed; see " + log);
  const std::string text = readText(log);
  const size_t at = text.find("Collected : ");
  if (at == std::string::npos) fail("no instruction count in " + log);
  return std::atof(text.c_str() + at + 12);
}

// --- start-up --------------------------------------------------------------

struct PairedResult {
  std::string name;
  double target;  // the ratio to reach; 0 for rows that only explain
  std::vector<double> launcher, direct, ratios, added;
};

// Runs A (the launcher) and B (the program alone) alternately.
PairedResult pairedRuns(const Options& o, const std::string& name, double target,
                        const std::vector<std::string>& launcherArgv,
                        const std::vector<std::string>& directArgv) {
  const std::vector<std::string> env = childEnvironment(o);
  PairedResult r;
  r.name = name;
  r.target = target;
  for (int i = 0; i < o.warmupPairs + o.pairs; ++i) {
    const double a = timeRun(launcherArgv, env);
    const double b = timeRun(directArgv, env);
    if (i < o.warmupPairs) continue;
    r.launcher.push_back(a);
    r.direct.push_back(b);
    r.ratios.push_back(a / b);
    r.added.push_back(a - b);
  }
  return r;
}

// A copy of the launcher named `name` with its configuration beside it.
std::string installLauncher(const Options& o, const std::string& name,
                            const std::string& config) {
  const std::string exe = o.work + "/" + name;
  copyFile(o.launcher, exe);
  writeText(exe + ".config", config);
  return exe;
}

struct StartupResults {
  std::vector<PairedResult> pairs;
  // Instructions of single processes, counted by callgrind.
  std::vector<std::pair<std::string, double>> counts;
};

StartupResults startupBenchmarks(const Options& o) {
  const std::string java = o.javaHome + "/bin/java";
  const std::string app = "mainclass Hello\naddpath " + o.classes + "\n";
  const std::string child =
      installLauncher(o, "child", app + "javapath " + java + "\n");
  const std::string found = installLauncher(o, "found", app);
  const std::string inproc = installLauncher(
      o, "inproc", app + "javalib " + o.javaHome + "/lib/server/libjvm.so\n");
  const std::vector<std::string> direct = {java, "-cp", o.classes, "Hello"};

  // Where the time goes: the launcher around a program that does nothing,
  // and the smallest parent there is around the same java.
  const std::string nothing = installLauncher(o, "nothing", app + "javapath /bin/true\n");

  StartupResults all;
  std::vector<PairedResult>& results = all.pairs;
  results.push_back(
      pairedRuns(o, "child mode, javapath", 1.03, {child, "-passExitCode"}, direct));
  results.push_back(
      pairedRuns(o, "child mode, runtime found", 1.03, {found, "-passExitCode"}, direct));
  results.push_back(
      pairedRuns(o, "in-process mode (javalib)", 1.00, {inproc, "-passExitCode"}, direct));
  results.push_back(pairedRuns(o, "tarvik -o (starts nothing)", 0, {nothing, "-o"}, {"/bin/true"}));
  results.push_back(
      pairedRuns(o, "tarvik running /bin/true", 0, {nothing, "-passExitCode"}, {"/bin/true"}));
  if (access("/usr/bin/timeout", X_OK) == 0) {
    std::vector<std::string> wrapped = {"/usr/bin/timeout", "600"};
    wrapped.insert(wrapped.end(), direct.begin(), direct.end());
    results.push_back(pairedRuns(o, "/usr/bin/timeout running java", 0, wrapped, direct));
  }
  if (!o.valgrind.empty()) {
    all.counts.emplace_back("tarvik starting /bin/true (up to the exec in its child)",
                            processInstructions(o, {nothing, "-passExitCode"}));
    all.counts.emplace_back("/usr/bin/timeout starting /bin/true",
                            processInstructions(o, {"/usr/bin/timeout", "600", "/bin/true"}));
    all.counts.emplace_back("/bin/true", processInstructions(o, {"/bin/true"}));
  }
  return all;
}

// --- startup cache ---------------------------------------------------------

// A runtime the applications run on: the one of --java-home and, where
// found, a Java 25.
struct CacheRuntime {
  std::string home;
  std::string version;  // JAVA_VERSION of its release file
  int major = 0;
};

// A JVM option of an application's start script; some scripts add one
// only a range of runtimes accepts.
struct CacheVmOption {
  const char* text;
  int belowMajor = 0;  // passed only to runtimes older than this; 0: to all
};

// Real applications from Debian's packages, each doing one small piece of
// work, as their own start scripts run them. A console application runs
// through tarvikc with its words typed on the command line, as its users
// run it; the others through tarvik with the words in the configuration.
struct CacheApp {
  const char* name;
  bool console;
  std::vector<std::string> classPath;
  const char* mainClass;
  std::vector<CacheVmOption> vmOptions;  // "{cwd}" stands for the caller's folder
  std::vector<std::string> arguments;
};

const CacheApp CACHE_APPS[] = {
    {"Rhino", false, {"/usr/share/java/js.jar", "/usr/share/java/jline.jar"},
     "org.mozilla.javascript.tools.shell.Main", {}, {"-e", "print(1+1)"}},
    {"Jython", false, {"/usr/share/java/jython.jar"}, "org.python.util.jython",
     {{"-Dpython.home=/usr/share/jython"}}, {"-c", "print 1+1"}},
    {"Groovy", false, {"/usr/share/java/groovy-all.jar"}, "groovy.ui.GroovyMain", {},
     {"-e", "println 1+1"}},
    // /usr/bin/ant; its `-cp "$CLASSPATH"` is left out, CLASSPATH being empty.
    // It always adds -Djava.security.manager=allow, which Java 24 and later
    // refuse to start with, so that script fails there: the option goes to
    // older runtimes only.
    {"Ant", true, {"/usr/share/ant/lib/ant-launcher.jar"},
     "org.apache.tools.ant.launch.Launcher",
     {{"-Dant.home=/usr/share/ant"},
      {"-Dant.library.dir=/usr/share/ant/lib"},
      {"-Djava.security.manager=allow", 24}},
     {"-version"}},
    // /usr/bin/mvn, in a folder without .mvn (the project folder is then
    // the caller's).
    {"Maven", true, {"/usr/share/maven/boot/plexus-classworlds-2.x.jar"},
     "org.codehaus.plexus.classworlds.launcher.Launcher",
     {{"-Dclassworlds.conf=/usr/share/maven/bin/m2.conf"},
      {"-Dmaven.home=/usr/share/maven"},
      {"-Dlibrary.jansi.path=/usr/share/maven/lib/jansi-native"},
      {"-Dmaven.multiModuleProjectDirectory={cwd}"}},
     {"-v"}},
};

// The wall-time ratio each application is to reach, by runtime; 0 as the
// major stands for every runtime, "" as the name for every application.
// The first row that fits is the goal.
struct CacheGoal {
  int major;
  const char* app;
  double ratio;
};

const CacheGoal CACHE_GOALS[] = {
    {25, "Rhino", 0.55}, {25, "Groovy", 0.55}, {25, "Jython", 0.80},
    {17, "Rhino", 0.65}, {17, "Groovy", 0.65}, {17, "Jython", 0.85},
    {0, "", 1.00},
};

double cacheGoal(int major, const std::string& app) {
  for (const CacheGoal& g : CACHE_GOALS) {
    if ((g.major == 0 || g.major == major) && (!*g.app || app == g.app)) return g.ratio;
  }
  return 1.00;
}

// The protocol: one warm-up launch through the launcher (which makes the
// archive), then 21 interleaved pairs (launcher, java, launcher, java ...);
// --pairs changes the count.
constexpr int CACHE_PAIRS = 21;

// The processor time (user and system) of one run and of the processes it
// waited for, in ms: less moved by other work on the machine than wall time.
double cpuRun(const std::vector<std::string>& argv,
              const std::vector<std::string>& env) {
  const pid_t pid = spawn(argv, env);
  int status = 0;
  struct rusage usage;
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) fail("wait4 failed");
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    fail(argv[0] + " did not end with 0");
  const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct CacheRow {
  size_t runtimeIndex;  // in CacheResults::runtimes
  std::string runtime;
  std::string app;
  double goal;
  PairedResult wall, cpu;
  // The reference: the same java command with a cache made by hand, as the
  // runtime's documentation makes it; its ratios to java run directly.
  std::vector<double> handWallRatios, handCpuRatios, handCpu;
  bool archived;  // the warm-up launch left a file in the cache
};

struct CacheResults {
  std::string loadAtStart;
  int pairs = CACHE_PAIRS;
  std::vector<CacheRuntime> runtimes;
  std::vector<CacheRow> rows;
  std::vector<std::string> skipped;
};

// Wall time and processor time of the same interleaved pairs; with a
// hand-made cache's command, a third run in each.
void cachePairs(const std::vector<std::string>& env, int pairs,
                const std::vector<std::string>& launcherArgv,
                const std::vector<std::string>& directArgv,
                const std::vector<std::string>& handArgv, CacheRow& row) {
  for (int i = 0; i < pairs; ++i) {
    double times[3][2];
    const std::vector<std::string>* argvs[3] = {&launcherArgv, &directArgv, &handArgv};
    const int runs = handArgv.empty() ? 2 : 3;
    for (int k = 0; k < runs; ++k) {
      const double start = nowMs();
      times[k][1] = cpuRun(*argvs[k], env);
      times[k][0] = nowMs() - start;
    }
    if (runs == 3) {
      row.handWallRatios.push_back(times[2][0] / times[1][0]);
      row.handCpuRatios.push_back(times[2][1] / times[1][1]);
      row.handCpu.push_back(times[2][1]);
    }
    PairedResult* results[2] = {&row.wall, &row.cpu};
    for (int m = 0; m < 2; ++m) {
      results[m]->launcher.push_back(times[0][m]);
      results[m]->direct.push_back(times[1][m]);
      results[m]->ratios.push_back(times[0][m] / times[1][m]);
      results[m]->added.push_back(times[0][m] - times[1][m]);
    }
  }
}

CacheRuntime cacheRuntime(const std::string& home) {
  CacheRuntime r;
  r.home = home;
  std::istringstream release(readText(home + "/release"));
  for (std::string line; std::getline(release, line);) {
    if (line.rfind("JAVA_VERSION=", 0) != 0) continue;
    r.version = line.substr(13);
    r.version.erase(std::remove(r.version.begin(), r.version.end(), '"'), r.version.end());
  }
  r.major = std::atoi(r.version.c_str());
  if (r.version.empty()) r.version = "unknown";
  return r;
}

// The direct command with a cache made by hand, as the runtime's own
// documentation makes one: Java 25 on, an ahead-of-time cache from one
// training run (-XX:AOTCacheOutput); Java 13 to 24, a dynamic archive
// written at the exit of one run. Empty for older runtimes or when making
// it fails.
std::vector<std::string> handMadeCache(const std::vector<std::string>& env,
                                       const std::vector<std::string>& direct,
                                       int major, const std::string& file) {
  if (major < 13) return {};
  std::vector<std::string> making = direct;
  making.insert(making.begin() + 1, (major >= 25 ? "-XX:AOTCacheOutput="
                                                 : "-XX:ArchiveClassesAtExit=") + file);
  cpuRun(making, env);
  if (access(file.c_str(), R_OK) != 0) return {};
  std::vector<std::string> using_ = direct;
  using_.insert(using_.begin() + 1,
                (major >= 25 ? "-XX:AOTCache=" : "-XX:SharedArchiveFile=") + file);
  return using_;
}

// Whether the cache folder holds a file whose name starts with `name.`.
bool cacheHolds(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (dirent* entry = readdir(dir)) {
    if (std::string(entry->d_name).rfind(name + ".", 0) == 0) found = true;
  }
  closedir(dir);
  return found;
}

CacheResults cacheBenchmarks(const Options& o) {
  CacheResults all;
  all.loadAtStart = loadAverage();
  all.pairs = o.pairsGiven ? o.pairs : CACHE_PAIRS;
  all.runtimes.push_back(cacheRuntime(o.javaHome));
  if (!o.java25Home.empty() && o.java25Home != o.javaHome)
    all.runtimes.push_back(cacheRuntime(o.java25Home));
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) fail("cannot read the current folder");
  // The launcher finds its cache folder through XDG_CACHE_HOME, which the
  // runs inherit.
  setenv("XDG_CACHE_HOME", (o.work + "/cache").c_str(), 1);
  const std::vector<std::string> env = childEnvironment(o);
  for (const CacheApp& app : CACHE_APPS) {
    if (access(app.classPath.front().c_str(), R_OK) != 0) {
      all.skipped.push_back(std::string(app.name) + " (" + app.classPath.front() +
                            " is not installed)");
      continue;
    }
    if (app.console && o.consoleLauncher.empty()) {
      all.skipped.push_back(std::string(app.name) + " (no tarvikc given)");
      continue;
    }
    for (size_t r = 0; r < all.runtimes.size(); ++r) {
      const CacheRuntime& runtime = all.runtimes[r];
      const std::string java = runtime.home + "/bin/java";
      std::string config = "javapath " + java + "\nmainclass " + app.mainClass +
                           "\nstartupCache true\n";
      std::string classPath;
      for (const std::string& jar : app.classPath) {
        config += "addjar " + jar + "\n";
        classPath += (classPath.empty() ? "" : ":") + jar;
      }
      std::vector<std::string> direct = {java};
      for (const CacheVmOption& option : app.vmOptions) {
        if (option.belowMajor != 0 && runtime.major >= option.belowMajor) continue;
        std::string text = option.text;
        const size_t at = text.find("{cwd}");
        if (at != std::string::npos) text.replace(at, 5, cwd);
        config += "vmparam " + text + "\n";
        direct.push_back(text);
      }
      direct.insert(direct.end(), {"-cp", classPath, app.mainClass});
      direct.insert(direct.end(), app.arguments.begin(), app.arguments.end());

      const std::string name =
          std::string("cached-") + app.name + "-" + std::to_string(runtime.major);
      std::vector<std::string> launched;
      if (app.console) {
        const std::string exe = o.work + "/" + name;
        copyFile(o.consoleLauncher, exe);
        writeText(exe + ".config", config);
        launched = {exe};
        launched.insert(launched.end(), app.arguments.begin(), app.arguments.end());
      } else {
        for (const std::string& argument : app.arguments) config += "argument " + argument + "\n";
        launched = {installLauncher(o, name, config), "-passExitCode"};
      }

      CacheRow row;
      row.runtimeIndex = r;
      row.runtime = "Java " + runtime.version;
      row.app = app.name;
      row.goal = cacheGoal(runtime.major, app.name);
      row.wall.name = row.app;
      row.cpu.name = row.app + " (CPU)";
      cpuRun(launched, env);  // the warm-up, which makes the archive
      row.archived = cacheHolds(o.work + "/cache/tarvik", name);
      const std::vector<std::string> hand =
          handMadeCache(env, direct, runtime.major, o.work + "/" + name + ".hand");
      cachePairs(env, all.pairs, launched, direct, hand, row);
      all.rows.push_back(row);
    }
  }
  return all;
}

// --- memory ----------------------------------------------------------------

// A "VmHWM:"-style field of /proc/<pid>/status in KiB, or -1.
long statusKiB(pid_t pid, const std::string& field) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::atol(line.c_str() + field.size() + 1);
  }
  return -1;
}

std::string exeOf(pid_t pid) {
  char buffer[4096];
  ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), buffer,
                       sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

// The first child of `pid` once it runs `program`, or 0 after `timeoutMs`.
pid_t childRunning(pid_t pid, const std::string& program, double timeoutMs) {
  const double deadline = nowMs() + timeoutMs;
  const std::string path =
      "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
  while (nowMs() < deadline) {
    std::ifstream in(path);
    long child = 0;
    if (in >> child && exeOf(static_cast<pid_t>(child)) == program)
      return static_cast<pid_t>(child);
    usleep(2000);
  }
  return 0;
}

struct MemoryResult {
  std::string name;
  long hwmKiB = -1, rssKiB = -1, anonKiB = -1, fileKiB = -1, childHwmKiB = -1;
};

// Runs `argv` (a program that starts `program` as its child and waits for
// it) and reads its peak and current resident size while the child runs.
MemoryResult waitingMemory(const Options& o, const std::string& name,
                           const std::vector<std::string>& argv,
                           const std::string& program) {
  MemoryResult best;
  best.name = name;
  for (int i = 0; i < 3; ++i) {
    pid_t pid = spawn(argv, childEnvironment(o));
    pid_t child = childRunning(pid, program, 10000);
    if (child == 0) fail(name + ": the child never started");
    usleep(400 * 1000);  // the child sleeps 1.5 s; the parent is waiting
    const long hwm = statusKiB(pid, "VmHWM");
    const long rss = statusKiB(pid, "VmRSS");
    const long anon = statusKiB(pid, "RssAnon");
    const long file = statusKiB(pid, "RssFile");
    const long childHwm = statusKiB(child, "VmHWM");
    waitFor(pid);
    best.hwmKiB = std::max(best.hwmKiB, hwm);
    best.rssKiB = std::max(best.rssKiB, rss);
    best.anonKiB = std::max(best.anonKiB, anon);
    best.fileKiB = std::max(best.fileKiB, file);
    best.childHwmKiB = std::max(best.childHwmKiB, childHwm);
  }
  return best;
}

std::vector<MemoryResult> memoryBenchmarks(const Options& o) {
  const std::string java = o.javaHome + "/bin/java";
  const std::string sleeper = installLauncher(
      o, "sleeper",
      "mainclass Hello\naddpath " + o.classes + "\njavapath " + java +
          "\nargument 1500\n");
  std::vector<MemoryResult> results;
  results.push_back(waitingMemory(o, "tarvik waiting for its java child",
                                  {sleeper, "-passExitCode"}, java));
  // For scale: /usr/bin/timeout, a small C program that starts a command
  // and waits for it as the launcher does.
  const std::string timeoutProgram = "/usr/bin/timeout";
  if (access(timeoutProgram.c_str(), X_OK) == 0) {
    results.push_back(waitingMemory(
        o, "for scale: /usr/bin/timeout (C) waiting for java",
        {timeoutProgram, "60", java, "-cp", o.classes, "Hello", "1500"}, java));
  }
  return results;
}

// --- configuration ---------------------------------------------------------

// One realistic line of each kind, numbered so nothing repeats.
std::string directiveLine(size_t i) {
  const std::string n = std::to_string(i);
  switch (i % 12) {
    case 0: return "# comment " + n;
    case 1: return "vmparam -Dbench.p" + n + "=value-" + n;
    case 2: return "addjar lib/dep-" + n + ".jar";
    case 3: return "addpath classes/" + n;
    case 4: return "argument arg-" + n;
    case 5: return "var v" + n + "=x" + n;
    case 6: return "vmparam -Dbench.q" + n + "=%v" + std::to_string(i - 1) + "%/sub";
    case 7: return "mainclass com.acme.Main" + n;
    case 8: return "addjars lib/" + n;
    case 9: return "addpath $BENCH_HOME/lib/" + n;
    case 10: return "setenv BENCH_VALUE=" + n;
    default: return "";
  }
}

std::string directiveFile(size_t lines) {
  std::string text;
  for (size_t i = 0; i < lines; ++i) text += directiveLine(i) + "\n";
  return text;
}

// The median in-process time of `step` over fresh launch state, with at
// least `minRuns` runs and enough to fill about half a second.
double medianMs(const std::function<void()>& prepare,
                const std::function<void()>& step, int minRuns = 5) {
  std::vector<double> times;
  double total = 0;
  while (static_cast<int>(times.size()) < minRuns ||
         (total < 500 && times.size() < 1000)) {
    prepare();
    const double start = nowMs();
    step();
    const double t = nowMs() - start;
    times.push_back(t);
    total += t;
  }
  return median(times);
}

struct ScaleRow {
  std::string what;
  size_t count;  // lines or references
  double ms;
  double instructions;  // counted by callgrind; negative when not counted
};

// The instructions one run of this program in --read-once mode executes,
// counted by callgrind (the same on every run, whatever else the machine
// does), or -1 without valgrind.
double countInstructions(const Options& o, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {o.self, "--read-once"};
  argv.insert(argv.end(), args.begin(), args.end());
  return processInstructions(o, argv);
}

// What --read-once does: one reading of the file (and, with "build", the
// command line made of it) from fresh state, for callgrind to count.
int readOnce(const std::string& path, bool build) {
  tarvik::resetLaunchState();
  tarvik::options().vistaOrLater = true;
  if (!path.empty()) tarvik::readConfigFile(path);
  if (build) tarvik::splitWindowsCommandLine(*tarvik::buildCommandLine());
  return 0;
}

std::vector<ScaleRow> configBenchmarks(const Options& o) {
  std::vector<ScaleRow> rows;
  const auto fresh = [] {
    tarvik::resetLaunchState();
    tarvik::options().vistaOrLater = true;  // as on Linux
  };
  // What a run costs before and after the reading (process start, exit).
  const double baseline = countInstructions(o, {""});
  const auto counted = [&](const std::string& path) {
    const double n = countInstructions(o, {path});
    return n < 0 ? n : n - baseline;
  };

  for (size_t lines : {1000u, 10000u, 100000u}) {
    const std::string path = o.work + "/lines-" + std::to_string(lines) + ".config";
    writeText(path, directiveFile(lines));
    rows.push_back({"read N lines of directives", lines,
                    medianMs(fresh, [&] { tarvik::readConfigFile(path); }), counted(path)});
  }
  for (size_t lines : {1000u, 10000u, 100000u}) {
    const std::string path = o.work + "/lines-" + std::to_string(lines) + ".config";
    std::string line;
    const double built = countInstructions(o, {path, "build"});
    const double read = countInstructions(o, {path});
    rows.push_back({"build + split the command line of N lines", lines,
                    medianMs([&] { fresh(); tarvik::readConfigFile(path); }, [&] {
                      line = *tarvik::buildCommandLine();
                      tarvik::splitWindowsCommandLine(line);
                    }), built < 0 ? -1 : built - read});
  }
  for (size_t refs : {1000u, 10000u, 100000u}) {
    std::string text = "var name=value\nargument ";
    for (size_t i = 0; i < refs; ++i) text += "%name%";
    const std::string path = o.work + "/percent-" + std::to_string(refs) + ".config";
    writeText(path, text + "\n");
    rows.push_back({"one line of N %name% references", refs,
                    medianMs(fresh, [&] { tarvik::readConfigFile(path); }), counted(path)});
  }
  for (size_t refs : {100u, 1000u, 10000u}) {
    std::string text = "vmparam -Dbench.path=";
    for (size_t i = 0; i < refs; ++i) text += (i ? "/" : "") + std::string("$BENCH_HOME");
    const std::string path = o.work + "/dollar-" + std::to_string(refs) + ".config";
    writeText(path, text + "\n");
    rows.push_back({"one line of N $NAME references", refs,
                    medianMs(fresh, [&] { tarvik::readConfigFile(path); }), counted(path)});
  }
  return rows;
}

// --- output ----------------------------------------------------------------

std::string fmt(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string verdict(bool met) { return met ? "met" : "MISSED"; }

// The table of paired runs: medians, spreads and ratios.
void printPairedTable(const std::vector<PairedResult>& results) {
  std::printf("| %-29s | %-16s | %-16s | %-15s | %-17s | %-13s | %-6s | %-6s |\n", "case",
              "with launcher ms", "program alone ms", "added ms", "ratio", "ratio 95% CI",
              "target", "");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(31, '-').c_str(),
              std::string(18, '-').c_str(), std::string(18, '-').c_str(),
              std::string(17, '-').c_str(), std::string(19, '-').c_str(),
              std::string(15, '-').c_str(), std::string(8, '-').c_str(),
              std::string(8, '-').c_str());
  for (const PairedResult& r : results) {
    const double ratio = median(r.ratios);
    const auto [low, high] = medianInterval(r.ratios);
    const std::string target = r.target > 0 ? fmt("<=%.2f", r.target) : "";
    const std::string met = r.target > 0 ? verdict(ratio <= r.target) : "";
    std::printf("| %-29s | %6.1f [%6.1f] | %6.1f [%6.1f] | %5.2f [%6.2f] | %6.3f [%7.3f] | %5.3f-%5.3f | %-6s | %-6s |\n",
                r.name.c_str(), median(r.launcher), iqr(r.launcher), median(r.direct),
                iqr(r.direct), median(r.added), iqr(r.added), ratio, iqr(r.ratios), low, high,
                target.c_str(), met.c_str());
  }
}

void printStartup(const Options& o, const StartupResults& all) {
  const std::vector<PairedResult>& results = all.pairs;
  std::printf("\nStart-up: %d interleaved pairs (with the launcher, program alone) after %d\n"
              "warm-up pairs; wall time from spawn to reaped exit; median [interquartile\n"
              "range]; \"added\" and \"ratio\" are medians of the per-pair difference and\n"
              "ratio, with a 95%% bootstrap interval of the latter. The program alone\n"
              "is `java -cp classes Hello` unless named.\n\n",
              o.pairs, o.warmupPairs);
  printPairedTable(results);
  if (!all.counts.empty()) std::printf("\nInstructions executed (callgrind, repeatable):\n");
  for (const auto& [what, count] : all.counts)
    std::printf("  %-56s %10.0f\n", what.c_str(), count);
}

void printCache(const CacheResults& all) {
  std::printf("\nStartup cache: applications of Debian's packages (apt-get install rhino\n"
              "jython groovy ant maven) through the launcher with `startupCache true`\n"
              "(Ant and Maven through tarvikc, their words typed after it) against the\n"
              "same java command run directly, on each runtime; one warm-up launch\n"
              "through the launcher, which makes the archive, then %d interleaved pairs.\n"
              "Ratios are medians of the per-pair ratio launcher / java [95%% bootstrap\n"
              "interval], of wall time and of processor time (user + system of the\n"
              "reaped process and those it waited for); the goal is the processor\n"
              "time's. Beside them, as the reference, the same java command with a\n"
              "cache made by hand as the runtime documents it (Java 25: one run with\n"
              "-XX:AOTCacheOutput, then -XX:AOTCache; Java 13 to 24: a dynamic archive,\n"
              "-XX:ArchiveClassesAtExit, then -XX:SharedArchiveFile), a third run in\n"
              "each pair.\n"
              "Load average at the start: %s\n",
              all.pairs, all.loadAtStart.c_str());
  for (const CacheRuntime& r : all.runtimes)
    std::printf("Runtime: Java %s, %s\n", r.version.c_str(), r.home.c_str());
  for (const std::string& s : all.skipped) std::printf("Skipped: %s\n", s.c_str());
  if (all.rows.empty()) return;
  // Measured application by application, both runtimes in turn, so a spell
  // of load falls on both; shown runtime by runtime.
  std::vector<CacheRow> rows = all.rows;
  std::stable_sort(rows.begin(), rows.end(), [](const CacheRow& a, const CacheRow& b) {
    return a.runtimeIndex < b.runtimeIndex;
  });
  std::printf("\n| %-13s | %-11s | %-21s | %-21s | %-21s | %-7s | %-10s |\n", "runtime",
              "application", "wall ratio", "cpu ratio", "hand-made cpu ratio", "goal",
              "met/missed");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(15, '-').c_str(),
              std::string(13, '-').c_str(), std::string(23, '-').c_str(),
              std::string(23, '-').c_str(), std::string(23, '-').c_str(),
              std::string(9, '-').c_str(), std::string(12, '-').c_str());
  const auto ratio = [](const std::vector<double>& ratios) {
    if (ratios.empty()) return std::string("-");
    const auto [low, high] = medianInterval(ratios);
    return fmt("%.3f", median(ratios)) + fmt(" [%.3f", low) + fmt("-%.3f]", high);
  };
  for (const CacheRow& row : rows) {
    std::printf("| %-13s | %-11s | %-21s | %-21s | %-21s | %-7s | %-10s |\n",
                row.runtime.c_str(), row.app.c_str(), ratio(row.wall.ratios).c_str(),
                ratio(row.cpu.ratios).c_str(), ratio(row.handCpuRatios).c_str(),
                fmt("<= %.2f", row.goal).c_str(),
                verdict(median(row.cpu.ratios) <= row.goal).c_str());
  }
  std::printf("\nMedian times, ms [interquartile range]:\n\n");
  std::printf("| %-13s | %-11s | %-16s | %-16s | %-16s | %-16s | %-16s |\n", "runtime",
              "application", "launcher wall", "java wall", "launcher cpu", "java cpu",
              "hand-made cpu");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(15, '-').c_str(),
              std::string(13, '-').c_str(), std::string(18, '-').c_str(),
              std::string(18, '-').c_str(), std::string(18, '-').c_str(),
              std::string(18, '-').c_str(), std::string(18, '-').c_str());
  const auto ms = [](const std::vector<double>& v) {
    if (v.empty()) return std::string("-");
    return fmt("%7.1f", median(v)) + fmt(" [%6.1f]", iqr(v));
  };
  for (const CacheRow& row : rows) {
    std::printf("| %-13s | %-11s | %-16s | %-16s | %-16s | %-16s | %-16s |\n",
                row.runtime.c_str(), row.app.c_str(), ms(row.wall.launcher).c_str(),
                ms(row.wall.direct).c_str(), ms(row.cpu.launcher).c_str(),
                ms(row.cpu.direct).c_str(), ms(row.handCpu).c_str());
  }
  for (const CacheRow& row : rows) {
    if (!row.archived)
      std::printf("Note: %s on %s: the warm-up launch left no file in the cache.\n",
                  row.app.c_str(), row.runtime.c_str());
  }
}

void printMemory(const std::vector<MemoryResult>& results) {
  std::printf("\nMemory of the waiting parent, read from /proc/<pid>/status while the\n"
              "java child sleeps (largest of 3 runs); RssFile is mapped program and\n"
              "library pages, RssAnon the process's own heap and stack\n\n");
  std::printf("| %-51s | %-9s | %-9s | %-11s | %-11s | %-10s | %-6s |\n", "parent process",
              "VmHWM MiB", "VmRSS MiB", "RssAnon MiB", "RssFile MiB", "java's MiB",
              "target");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(53, '-').c_str(),
              std::string(11, '-').c_str(), std::string(11, '-').c_str(),
              std::string(13, '-').c_str(), std::string(13, '-').c_str(),
              std::string(12, '-').c_str(), std::string(8, '-').c_str());
  const auto mib = [](long kib) { return static_cast<double>(kib) / 1024; };
  for (const MemoryResult& r : results) {
    const bool ours = r.name.rfind("tarvik", 0) == 0;
    std::printf("| %-51s | %9.2f | %9.2f | %11.2f | %11.2f | %10.1f | %-6s |\n",
                r.name.c_str(), mib(r.hwmKiB), mib(r.rssKiB), mib(r.anonKiB),
                mib(r.fileKiB), mib(r.childHwmKiB),
                ours ? (r.hwmKiB <= 4096 ? "met" : "MISSED") : "");
  }
}

void printConfig(const std::vector<ScaleRow>& rows) {
  std::printf("\nConfiguration, in-process over real files: time is the median of >= 5\n"
              "runs from fresh state; instructions are counted by callgrind (one run,\n"
              "start and exit subtracted). \"x prev\" is the ratio to the row above,\n"
              "for ten times the input: 10 is linear, 100 would be quadratic\n\n");
  std::printf("| %-42s | %7s | %8s | %8s | %6s | %12s | %9s | %6s |\n", "step", "N", "ms",
              "ns/item", "x prev", "instructions", "per item", "x prev");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(44, '-').c_str(),
              std::string(9, '-').c_str(), std::string(10, '-').c_str(),
              std::string(10, '-').c_str(), std::string(8, '-').c_str(),
              std::string(14, '-').c_str(), std::string(11, '-').c_str(),
              std::string(8, '-').c_str());
  for (size_t i = 0; i < rows.size(); ++i) {
    const ScaleRow& r = rows[i];
    const double n = static_cast<double>(r.count);
    std::string timeGrowth, instrGrowth;
    if (i > 0 && rows[i - 1].what == r.what) {
      timeGrowth = fmt("%.1f", r.ms / rows[i - 1].ms);
      if (r.instructions >= 0)
        instrGrowth = fmt("%.1f", r.instructions / rows[i - 1].instructions);
    }
    const std::string instr = r.instructions >= 0 ? fmt("%.0f", r.instructions) : "-";
    const std::string perItem = r.instructions >= 0 ? fmt("%.0f", r.instructions / n) : "-";
    std::printf("| %-42s | %7zu | %8.3f | %8.1f | %6s | %12s | %9s | %6s |\n", r.what.c_str(),
                r.count, r.ms, r.ms * 1e6 / n, timeGrowth.c_str(), instr.c_str(),
                perItem.c_str(), instrGrowth.c_str());
  }
  for (const ScaleRow& r : rows) {
    if (r.what == "read N lines of directives" && r.count == 100000)
      std::printf("\n100 000 lines read in %.1f ms (target <= 50 ms: %s)\n", r.ms,
                  verdict(r.ms <= 50).c_str());
  }
}

void printSizes(const Options& o) {
  std::printf("\nSizes\n\n| %-40s | %10s | %8s |\n|%s|%s|%s|\n", "file", "bytes", "KiB",
              std::string(42, '-').c_str(), std::string(12, '-').c_str(),
              std::string(10, '-').c_str());
  for (const auto& [label, path] : o.sizes) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
      std::printf("| %-40s | %10s | %8s |\n", label.c_str(), "not built", "");
      continue;
    }
    std::printf("| %-40s | %10lld | %8.1f |\n", label.c_str(),
                static_cast<long long>(info.st_size),
                static_cast<double>(info.st_size) / 1024);
  }
}

void printMachine() {
  std::string model = "unknown";
  std::ifstream cpu("/proc/cpuinfo");
  for (std::string line; std::getline(cpu, line);) {
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  long memKiB = 0;
  std::ifstream mem("/proc/meminfo");
  for (std::string line; std::getline(mem, line);) {
    if (line.rfind("MemTotal:", 0) == 0) memKiB = std::atol(line.c_str() + 9);
  }
  std::printf("Machine: %ld CPUs (%s), %.1f GiB memory; load average %s\n",
              sysconf(_SC_NPROCESSORS_ONLN), model.c_str(),
              static_cast<double>(memKiB) / 1024 / 1024, loadAverage().c_str());
}

Options parseArguments(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) fail("missing value after " + a);
      return argv[++i];
    };
    if (a == "--launcher") o.launcher = value();
    else if (a == "--java-home") o.javaHome = value();
    else if (a == "--classes") o.classes = value();
    else if (a == "--work") o.work = value();
    else if (a == "--pairs") {
      o.pairs = std::atoi(value().c_str());
      o.pairsGiven = true;
    } else if (a == "--java25-home") o.java25Home = value();
    else if (a == "--console-launcher") o.consoleLauncher = value();
    else if (a == "--warmup") o.warmupPairs = std::atoi(value().c_str());
    else if (a == "--only") o.only.push_back(value());
    else if (a == "--valgrind") o.valgrind = value();
    else if (a == "--size") {
      const std::string v = value();
      const size_t eq = v.find('=');
      if (eq == std::string::npos) fail("--size wants label=file");
      o.sizes.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else {
      fail("unknown argument " + a);
    }
  }
  if (o.launcher.empty() || o.javaHome.empty() || o.classes.empty() || o.work.empty())
    fail("usage: tarvik_bench --launcher FILE --java-home DIR --classes DIR --work DIR "
         "[--pairs N] [--warmup N] [--only SECTION]... [--valgrind FILE] "
         "[--java25-home DIR] [--console-launcher FILE] "
         "[--size label=file]...");
  if (o.pairs < 1 || o.warmupPairs < 0) fail("--pairs must be >= 1, --warmup >= 0");
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) fail("cannot find my own program");
  o.self.assign(self, static_cast<size_t>(n));
  // The launcher runs in its own folder: every path it is given is absolute.
  mkdir(o.work.c_str(), 0755);
  for (std::string* path :
       {&o.launcher, &o.javaHome, &o.classes, &o.work, &o.java25Home, &o.consoleLauncher}) {
    if (path->empty()) continue;
    char* full = realpath(path->c_str(), nullptr);
    if (!full) fail("no such file: " + *path);
    *path = full;
    std::free(full);
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  static tarvik::PosixPlatform platform;
  tarvik::setPlatform(&platform);
  setenv("BENCH_HOME", "/opt/bench-home", 1);
  if (argc >= 3 && std::string(argv[1]) == "--read-once")
    return readOnce(argv[2], argc >= 4 && std::string(argv[3]) == "build");
  Options o = parseArguments(argc, argv);

  const auto wanted = [&](const char* section) {
    return o.only.empty() ||
           std::find(o.only.begin(), o.only.end(), section) != o.only.end();
  };
  printMachine();
  std::printf("Java: %s\n", o.javaHome.c_str());
  std::fflush(stdout);
  if (wanted("startup")) printStartup(o, startupBenchmarks(o));
  std::fflush(stdout);
  if (wanted("cache")) printCache(cacheBenchmarks(o));
  std::fflush(stdout);
  if (wanted("memory")) printMemory(memoryBenchmarks(o));
  std::fflush(stdout);
  if (wanted("config")) printConfig(configBenchmarks(o));
  if (wanted("sizes")) printSizes(o);
  // Other work on the machine shows in every timing: say how busy it was.
  std::printf("\nLoad average at the end: %s (times are trustworthy near 0)\n",
              loadAverage().c_str());
  return 0;
}
