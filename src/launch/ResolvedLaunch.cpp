#include "launch/ResolvedLaunch.h"

#include <set>

#include "LaunchSettings.h"
#include "config/ConfigReader.h"
#include "launch/TaskbarIdentity.h"
#include "launch/VmOptionFiles.h"
#include "os/Platform.h"
#include "runtime/JreLocator.h"
#include "runtime/RuntimeRelease.h"
#include "support/AnsiCodePage.h"
#include "support/LauncherFolder.h"
#include "support/Message.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// The variables whose options the VM or Java's launcher adds to its own
// (arrays, not pointers: a table of pointers is relocated at every start).
const char OPTION_VARIABLES[][18] = {"JAVA_TOOL_OPTIONS", "JDK_JAVA_OPTIONS", "_JAVA_OPTIONS"};

// The path with the system's own separator throughout ("lib/*" in a
// Windows configuration names C:\app\lib\x.jar).
std::string withSystemSeparators(std::string path) {
  const PlatformConventions& conv = platform().conventions();
  for (size_t at = path.find_first_of(conv.folderSeparators); at != std::string::npos;
       at = path.find_first_of(conv.folderSeparators, at + 1))
    path[at] = conv.separator;
  return path;
}

void addFile(std::vector<LaunchFile>& files, const std::string& given,
             const std::string& what, bool wholeFolder = false) {
  if (given.empty()) return;
  const std::string path = withSystemSeparators(given);
  for (LaunchFile& file : files) {
    if (file.path != path) continue;
    file.wholeFolder = file.wholeFolder || wholeFolder;
    return;
  }
  files.push_back({path, what, wholeFolder});
}

// A file, and where links lead from it.
void addFileAndTarget(std::vector<LaunchFile>& files, const std::string& path,
                      const std::string& what) {
  addFile(files, path, what);
  if (const std::optional<std::string> real = platform().finalPath(path))
    addFile(files, *real, what);
}

// A path that may be a folder: a folder is read to its whole depth.
void addFileOrFolder(std::vector<LaunchFile>& files, const std::string& path,
                     const std::string& what) {
  const std::optional<FileFacts> facts = platform().fileFacts(path);
  addFile(files, path, what, facts && facts->isDirectory);
}

// The Java executable the child starts, and the program its command line
// names: a path with a folder is the launcher's folder's where relative; a
// bare name is looked up as the system's start of the child would look it
// up.
void resolveJava(ResolvedLaunch& launch, const std::string& given) {
  const PlatformConventions& conv = platform().conventions();
  const std::string bare = withoutQuotes(given);
  launch.java = launch.program = given;
  // Quotes alone name no file: the start fails and says so.
  launch.javaNotFound = bare.empty();
  if (bare.empty()) return;
  if (bare.find_first_of(conv.folderSeparators) == std::string::npos &&
      !(conv.driveLetterPaths && bare.find(':') != std::string::npos)) {
    const std::optional<std::string> found = platform().findProgram(bare);
    launch.javaNotFound = !found;
    if (!found) return;
    launch.java = *found;
    // The service runs the Java its check judged, found by the search path
    // of the service's own environment.
    if (options().serviceLauncher) launch.program = *found;
    return;
  }
  launch.java = fullPathInLauncherFolder(bare);
  // Read from the folder the child starts in, a relative path would name
  // another file.
  if (launch.applicationFolder && launch.java != bare) launch.program = launch.java;
}

std::string homeOf(const std::string& file, bool library) {
  const std::string real = platform().finalPath(file).value_or(file);
  const std::optional<std::string> home =
      library ? runtimeHomeOfLibrary(real) : runtimeHomeOfExecutable(real);
  return home.value_or(std::string());
}

// The folder a class path entry's wildcard stands in ("C:\app\lib" of
// "C:\app\lib\*").
std::string wildcardFolder(const std::string& entry) {
  const size_t star = entry.find('*');
  const PlatformConventions& conv = platform().conventions();
  const size_t cut = entry.find_last_of(conv.folderSeparators, star);
  if (cut == std::string::npos) return launcherFolder();
  // A root keeps its separator: "D:\*" is the folder D:\, "/*" is /, and
  // "\\*" the root of the launcher's drive.
  const std::string folder = entry.substr(0, cut);
  return isFullyQualifiedPath(folder, conv) ? folder
                                            : fullPathInLauncherFolder(entry.substr(0, cut + 1));
}

// The files or folders a loader variable names, relative ones read from
// the folder the application runs in; a file without a folder is looked
// for in the loader's folders, which are judged on their own.
void addLoadedFiles(std::vector<NamedFile>& named, const LoaderVariable& variable,
                    const std::string& value, const std::string& runsIn) {
  const PlatformConventions& conv = platform().conventions();
  const std::string what =
      (variable.folders ? "the folder " : "the file ") + variable.name + " names";
  size_t start = 0;
  for (;;) {
    const size_t end = value.find_first_of(variable.separators, start);
    const std::string item = value.substr(start, end - start);
    if (variable.folders || item.find_first_of(conv.folderSeparators) != std::string::npos) {
      const std::string full = item.empty() ? runsIn : fullPathIn(runsIn, item);
      named.push_back({full, what, variable.folders});
    }
    if (end == std::string::npos) return;
    start = end + 1;
  }
}

// Every file and folder the launch opens, into `launch.files`; `named` has
// the files the configured options name.
void listFiles(ResolvedLaunch& launch, std::vector<NamedFile>& named,
               const std::string& runtimeFile) {
  const StartupState& start = startup();
  const bool library = launch.inProcess;
  std::vector<LaunchFile>& files = launch.files;
  addFile(files, start.exePath, "the launcher");
  for (const std::string& config : start.configurationFiles)
    addFile(files, config, "the configuration");
  if (!launch.javaNotFound)
    addFileAndTarget(files, runtimeFile, library ? "the JVM library" : "the Java executable");
  addFile(files, launch.taskbarAgent, "the taskbar identity agent");
  if (const std::optional<FileFacts> home = platform().fileFacts(launch.runtimeHome))
    addFile(files, launch.runtimeHome, "the runtime", home->isDirectory);
  // Java reads an empty class path, or an empty entry of one, as the folder
  // it runs in.
  bool readsItsFolder = launch.classPath.empty();
  for (const std::string& entry : launch.classPath) {
    if (entry.empty()) {
      readsItsFolder = true;
      continue;
    }
    if (entry.find('*') != std::string::npos)
      addFile(files, wildcardFolder(entry), "the class path folder", true);
    else
      addFileOrFolder(files, entry, "the class path entry");
  }
  const std::string runsIn = launch.applicationFolder.value_or(launcherFolder());
  if (readsItsFolder) addFile(files, runsIn, "the folder an empty class path names", true);
  // Options the VM reads from the folder it runs in: the files they name
  // are the launch's too.
  const auto addNamedIn = [&](const std::string& options) {
    OptionPathWalk walk;
    walk.folder = runsIn;
    withFullOptionPaths(optionFileWords(options), walk);
    named.insert(named.end(), walk.named.begin(), walk.named.end());
  };
  // Those the VM, or Java's launcher, takes from the environment.
  for (const std::string& value : optionVariableValues()) addNamedIn(value);
  // Those a file of options holds.
  std::set<std::string> optionFilesRead;
  for (size_t i = 0; i < named.size(); ++i) {
    if (!named[i].holdsOptions || !optionFilesRead.insert(named[i].path).second) continue;
    const FileRead read = readConfigurationBytes(named[i].path);
    if (read.content) addNamedIn(*read.content);
  }
  // Those the program loader loads into Java because the environment says
  // so.
  for (const LoaderVariable& variable : platform().conventions().loaderVariables)
    if (const std::optional<std::string> value = platform().getEnv(variable.name))
      addLoadedFiles(named, variable, *value, runsIn);
  for (NamedFile& file : named) {
    if (file.inRunFolder)
      file.path = fullPathIn(runsIn, file.path);
    if (file.folder)
      addFile(files, file.path, file.what, true);
    else
      addFileOrFolder(files, file.path, file.what);
  }
  if (launch.applicationFolder)
    addFile(files, *launch.applicationFolder, "the folder the application runs in");
}

}  // namespace

std::optional<ResolvedLaunch> resolveLaunch(FileList list) {
  LaunchSettings& s = settings();
  ResolvedLaunch launch;
  launch.inProcess = s.inProcess();

  // The runtime first: its discovery may ask the user, and without one
  // there is no launch.
  if (s.javaLibAuto) {
    const OptionalText library = locateJvmLibrary();
    if (!library) return std::nullopt;
    launch.jvmLibrary = *library;
  } else if (!s.javaLib.empty()) {
    launch.jvmLibrary = fullPathInLauncherFolder(withoutQuotes(s.javaLib));
  } else {
    if (!s.javaPath) s.javaPath = locateDefaultRuntime();
    if (!s.javaPath) return std::nullopt;
    debugBox("Javapath is", *s.javaPath);
    launch.javaAsGiven = *s.javaPath;
  }
  if (const OptionalText folder = applicationFolder())
    launch.applicationFolder = fullPathInLauncherFolder(*folder);
  if (!launch.inProcess) resolveJava(launch, launch.javaAsGiven);
  const bool library = launch.inProcess;
  const std::string& runtimeFile = library ? launch.jvmLibrary : launch.java;
  // Only the cache and the list of files read the runtime's home: finding
  // it follows links, which a plain launch need not pay for.
  if (s.startupCache || list == FileList::Made)
    launch.runtimeHome = homeOf(runtimeFile, library);

  for (const std::string& written : s.classPath) {
    const std::string bare = withoutQuotes(written);
    launch.classPath.push_back(bare.empty() ? bare : fullPathInLauncherFolder(bare));
    launch.classPathAsWritten.push_back(written);
  }

  std::vector<NamedFile> named;
  launch.vmOptions =
      configuredVmOptions(s, launch.heapGiven, &named, launch.inProcess || s.startupCache);
  launch.taskbarAgent = taskbarIdentityAgent(launch.inProcess);

  if (list == FileList::Made) listFiles(launch, named, runtimeFile);
  return launch;
}

std::vector<std::string> optionVariableValues() {
  std::vector<std::string> values;
  for (const char* variable : OPTION_VARIABLES)
    if (std::optional<std::string> value = platform().getEnv(variable))
      values.push_back(std::move(*value));
  return values;
}

std::vector<std::string> classPathAsHanded(const ResolvedLaunch& launch) {
  if (launch.applicationFolder) return launch.classPath;
  // The quotes only grouped a spaced `$` value.
  std::vector<std::string> entries;
  for (const std::string& written : launch.classPathAsWritten)
    entries.push_back(withoutQuotes(written));
  return entries;
}

std::vector<std::string> handedClassPathEntries(const ResolvedLaunch& launch) {
  std::vector<std::string> entries;
  for (const std::string& entry : classPathAsHanded(launch))
    entries.push_back(ansiReadableClassPathEntry(entry));
  return entries;
}

std::vector<std::string> vmOptionsInProcess(const ResolvedLaunch& launch) {
  std::vector<std::string> texts;
  for (const VmOptionText& option : launch.vmOptions)
    texts.insert(texts.end(), option.inProcess.begin(), option.inProcess.end());
  return texts;
}

}  // namespace tarvik
