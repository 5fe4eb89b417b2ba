#include "fakes/FakePlatform.h"

#include "support/TextUtil.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "support/Utf8.h"

namespace tarvik {

namespace {

class FakeKey : public RegistryKey {
 public:
  explicit FakeKey(const FakeRegistryKey& key) : key_(key) {}
  std::optional<std::string> readString(const std::string& name,
                                        size_t capacity) override {
    auto it = key_.values.find(name);
    if (it == key_.values.end()) return std::nullopt;
    // Like the registry: a value and its terminator must fit the buffer.
    if (it->second.size() + 1 > capacity) return std::nullopt;
    return it->second;
  }
  std::optional<uint32_t> subkeyCount() override {
    if (key_.failCount) return std::nullopt;
    return static_cast<uint32_t>(key_.subkeys.size());
  }
  std::optional<std::string> subkeyName(uint32_t index) override {
    if (key_.failEnumAt.count(index) || index >= key_.subkeys.size())
      return std::nullopt;
    return key_.subkeys[index];
  }

 private:
  FakeRegistryKey key_;
};

class FakeChild : public ChildProcess {
 public:
  FakeChild(FakePlatform* os, FakeChildScript script)
      : os_(os), script_(script) {}
  void waitForInputIdle(uint32_t millis) override {
    os_->idleWaits.push_back(millis);
  }
  WaitResult waitForExit(int64_t millis) override {
    os_->exitWaits.push_back(millis);
    if (script_.waitFails) return WaitResult::Failed;
    if (ended_) return WaitResult::Ended;
    int64_t left = script_.runSeconds - ran_;
    if (!script_.runsForever && (millis < 0 || left * 1000 <= millis)) {
      os_->clock += left;
      ran_ += left;
      ended_ = true;
      if (script_.whileRunning) script_.whileRunning();
      return WaitResult::Ended;
    }
    int64_t seconds = millis < 0 ? 0 : millis / 1000;
    os_->clock += seconds;
    ran_ += seconds;
    return WaitResult::Running;
  }
  std::string waitErrorText() override { return "Access is denied."; }
  uint32_t exitCode() override { return script_.exitCode; }
  bool interrupt() override {
    os_->childSignals.push_back("interrupt");
    if (ended_ || script_.secondsAfterInterrupt < 0) return true;
    script_.runsForever = false;
    script_.runSeconds = ran_ + script_.secondsAfterInterrupt;
    script_.exitCode = script_.interruptedExitCode;
    return true;
  }
  void terminate() override {
    os_->childSignals.push_back("terminate");
    if (ended_) return;
    script_.runsForever = false;
    script_.runSeconds = ran_;
    script_.exitCode = 1;
  }

 private:
  FakePlatform* os_;
  FakeChildScript script_;
  int64_t ran_ = 0;
  bool ended_ = false;
};

class FakeFile : public OutputFile {
 public:
  FakeFile(FakePlatform* os, std::string path, bool text = true, bool append = false)
      : os_(os), path_(std::move(path)), text_(text) {
    std::string& bytes = os_->files[path_];
    if (!append) bytes.clear();
  }
  // On a full disk, as a real one, the bytes that fit are written.
  void write(const std::string& text) override {
    if (closed_) return;
    if (os_->failingWrites.count(path_)) {
      failed_ = true;
      return;
    }
    size_t room = roomLeft();
    std::string& disk = os_->files[path_];
    for (char c : text) {
      const bool crLf = c == '\n' && text_ && os_->conv.textModeCrLf;
      if (room < (crLf ? 2u : 1u)) {
        failed_ = true;
        return;
      }
      if (crLf) disk += '\r';
      disk += c;
      room -= crLf ? 2 : 1;
    }
  }
  bool close() override {
    closed_ = true;
    return !failed_;
  }
  bool good() const override { return !failed_; }
  std::string errorText() const override {
    return failed_ ? "No space left on device" : "";
  }
  std::optional<uint64_t> length() override { return os_->files[path_].size(); }
  bool cutBack(uint64_t length) override {
    std::string& disk = os_->files[path_];
    if (closed_ || length > disk.size()) return false;
    disk.resize(static_cast<size_t>(length));
    failed_ = false;
    return true;
  }

 private:
  size_t roomLeft() const {
    if (os_->diskBytes < 0) return SIZE_MAX;
    size_t used = 0;
    for (const auto& file : os_->files) used += file.second.size();
    const size_t disk = static_cast<size_t>(os_->diskBytes);
    return used < disk ? disk - used : 0;
  }

  FakePlatform* os_;
  std::string path_;
  bool text_ = true;
  bool closed_ = false;
  bool failed_ = false;
};

}  // namespace

FakePlatform::FakePlatform() : conv(PlatformConventions::windows()) {}

int FakePlatform::messageBox(const std::string& text,
                             const std::string& caption, unsigned style) {
  boxes.push_back({caption, text, style});
  if ((style & 0xF) == MB_STYLE_YESNO) {
    if (answers.empty()) return ANSWER_NO;
    int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return ANSWER_OK;
}

bool FakePlatform::changeDirectory(const std::string& path) {
  chdirs.push_back(path);
  cwd = path;
  return true;
}

std::optional<std::string> FakePlatform::getEnv(const std::string& name) {
  auto it = env.find(name);
  if (it == env.end()) return std::nullopt;
  return it->second;
}

bool FakePlatform::setEnv(const std::string& name, const std::string& value) {
  env[name] = value;
  return true;
}

std::unique_ptr<RegistryKey> FakePlatform::openRegistryKey(
    const RegistryPlace& place, const std::string& path) {
  const bool user = place.root() == RegistryRoot::CurrentUser;
  const bool bits32 = place.view() == RegistryView::Bits32;
  registryOpens.push_back(
      place.label() +
      (place.view() == RegistryView::Default ? " default " : " ") + path);
  std::map<std::string, FakeRegistryKey>& tree =
      user ? (bits32 ? userRegistry32 : userRegistry)
           : (bits32 ? registry32 : registry);
  auto it = tree.find(path);
  if (it == tree.end()) return nullptr;
  return std::make_unique<FakeKey>(it->second);
}

ChildStartResult FakePlatform::startChild(const ChildStart& start) {
  started.push_back(start);
  FakeChildScript script;
  if (!children.empty()) {
    script = children.front();
    children.pop_front();
  }
  ChildStartResult result;
  if (!script.startError.empty()) {
    result.errorText = script.startError;
    return result;
  }
  for (const auto& written : script.writes) {
    files[resolve(written.first)] = written.second;
    fileTimes[resolve(written.first)] = clock;
  }
  result.child = std::make_unique<FakeChild>(this, script);
  return result;
}

bool FakePlatform::openWithAssociatedProgram(const std::string& file) {
  opened.push_back(file);
  return true;
}

InstanceClaimResult FakePlatform::claimInstance(const std::string& name) {
  claims.push_back(name);
  InstanceClaimResult result;
  if (!instanceClaimError.empty()) {
    result.errorText = instanceClaimError;
  } else {
    result.outcome = runningInstances.count(name) ? InstanceClaim::Running
                                                  : InstanceClaim::Claimed;
    if (result.outcome == InstanceClaim::Running) result.heldMillis = instanceHeldMillis;
  }
  return result;
}

bool FakePlatform::bringInstanceForward(const std::string& name) {
  broughtForward.push_back(name);
  return instanceHasWindow;
}

InstanceFolder FakePlatform::instanceFolder(bool create) {
  if (!instanceFolderError.empty()) return {std::nullopt, instanceFolderError};
  if (create) instanceFolderMade = true;
  int64_t slept = 0;
  for (const int64_t millis : sleeps) slept += millis;
  if (instanceFolderMadeAfterMillis >= 0 && slept >= instanceFolderMadeAfterMillis)
    instanceFolderMade = true;
  if (!instanceFolderMade) return {};
  return {instanceFolderPath, std::string()};
}

InstanceHandOverResult FakePlatform::handToInstance(const std::string& endpoint,
                                                    const std::string& message,
                                                    int) {
  handedOver.emplace_back(endpoint, message);
  if (!handOverError.empty()) return {InstanceHandOver::Failed, handOverError};
  if (noLocalSockets) return {InstanceHandOver::NoLocalSockets, ""};
  int64_t slept = 0;
  for (const int64_t millis : sleeps) slept += millis;
  const bool listensNow = listensAfterMillis >= 0 && slept >= listensAfterMillis;
  if (!listeningEndpoints.count(endpoint) && !listensNow)
    return {InstanceHandOver::NobodyListens, ""};
  return {InstanceHandOver::Delivered, ""};
}

CreateResult FakePlatform::creationRefusal(const std::string& full,
                                          FileCreation creation) const {
  if (creation == FileCreation::NewPrivate)
    return files.count(full) || planted.count(full) || directories.count(full)
               ? CreateResult::NameTaken
               : CreateResult::Done;
  if (planted.count(full)) return CreateResult::IsLink;
  if (hardLinked.count(full)) return CreateResult::HasOtherLinks;
  if (notRegular.count(full)) return CreateResult::NotRegularFile;
  return CreateResult::Done;
}

CreateResult FakePlatform::redirectStdStreams(const std::string& path,
                                              FileCreation creation) {
  events.push_back("redirect " + path);
  const CreateResult refusal = creationRefusal(resolve(path), creation);
  if (refusal != CreateResult::Done) return refusal;
  if (creation == FileCreation::NewPrivate) privateFiles.push_back(path);
  if (redirectResult != CreateResult::CannotCreateFile)
    files[resolve(path)] = "";
  if (redirectResult == CreateResult::Done) handles = {10, 11};
  return redirectResult;
}

int FakePlatform::makeDirectory(const std::string& path) {
  events.push_back("mkdir " + path);
  auto failure = mkdirErrors.find(path);
  if (failure != mkdirErrors.end()) return failure->second;
  if (!directories.insert(path).second) return EEXIST_CODE;
  return 0;
}

int FakePlatform::makePrivateDirectory(const std::string& path) {
  const int error = makeDirectory(path);
  if (error == 0) privateDirectories.insert(path);
  return error;
}

std::string FakePlatform::errorText(int errorNumber) {
  switch (errorNumber) {
    case 2: return "No such file or directory";
    case 13: return "Permission denied";
    case 17: return "File exists";
    default: return "Unknown error";
  }
}

namespace {

// '*' matches any run of characters, '?' any one.
bool globMatches(const std::string& mask, const std::string& name) {
  if (mask.empty()) return name.empty();
  if (mask[0] == '*')
    for (size_t skip = 0; skip <= name.size(); ++skip)
      if (globMatches(mask.substr(1), name.substr(skip))) return true;
  if (name.empty() || mask[0] == '*') return false;
  if (mask[0] != '?' && mask[0] != name[0]) return false;
  return globMatches(mask.substr(1), name.substr(1));
}

}  // namespace

std::vector<std::string> FakePlatform::findFiles(const std::string& pattern) {
  auto it = findResults.find(pattern);
  if (it != findResults.end()) return it->second;
  // A pattern without wildcards finds the file of that name, if any.
  if (pattern.find_first_of("*?") == std::string::npos && files.count(pattern))
    return {pattern.substr(pattern.find_last_of("/\\") + 1)};
  // Otherwise the files of that folder whose names match.
  const size_t cut = pattern.find_last_of("/\\");
  if (cut == std::string::npos) return {};
  const std::string folder = pattern.substr(0, cut + 1);
  const std::string mask = pattern.substr(cut + 1);
  std::vector<std::string> names;
  for (const auto& file : files) {
    if (file.first.compare(0, folder.size(), folder) != 0) continue;
    const std::string name = file.first.substr(folder.size());
    if (name.find_first_of("/\\") == std::string::npos &&
        globMatches(mask, name))
      names.push_back(name);
  }
  // The folders in it too, as the systems list them.
  for (const std::string& directory : directories) {
    if (directory.size() <= folder.size() ||
        directory.compare(0, folder.size(), folder) != 0)
      continue;
    const std::string name = directory.substr(folder.size());
    if (name.find_first_of("/\\") == std::string::npos && globMatches(mask, name))
      names.push_back(name);
  }
  return names;
}

std::string FakePlatform::resolve(const std::string& path) const {
  bool absolute = conv.driveLetterPaths
                      ? (path.size() > 1 && path[1] == ':') ||
                            (!path.empty() && path[0] == '\\')
                      : (!path.empty() && path[0] == '/');
  if (absolute || path.empty()) return path;
  return cwd + conv.separator + path;
}

std::optional<std::string> FakePlatform::readFile(const std::string& path) const {
  auto it = files.find(resolve(path));
  if (it == files.end()) return std::nullopt;
  return it->second;
}

FileRead FakePlatform::readRegularFile(const std::string& path,
                                       uint64_t maxBytes) {
  readWhole.push_back(path);
  FileRead read;
  read.content = readFile(path);
  read.refusal = notRegular.count(resolve(path)) ? ReadRefusal::NotRegularFile
                 : !read.content                 ? ReadRefusal::CannotRead
                 : read.content->size() > maxBytes ? ReadRefusal::TooLarge
                                                   : ReadRefusal::None;
  if (read.refusal != ReadRefusal::None) read.content.reset();
  return read;
}

CreatedFile FakePlatform::createTextFile(const std::string& path,
                                         FileCreation creation,
                                         FileContent content) {
  CreatedFile created;
  const std::string full = resolve(path);
  created.result = creationRefusal(full, creation);
  if (created.result != CreateResult::Done) return created;
  if (unwritable.count(full) || directories.count(full)) {
    created.result = CreateResult::CannotCreateFile;
    created.errorText = "Access is denied.";
    return created;
  }
  if (creation == FileCreation::NewPrivate) privateFiles.push_back(path);
  if (content == FileContent::Program) programs.insert(full);
  created.file = std::make_unique<FakeFile>(this, full, content == FileContent::Text,
                                            creation == FileCreation::Append);
  return created;
}

std::optional<uint64_t> FakePlatform::randomNumber() {
  ++randomCalls;
  if (randomFails) return std::nullopt;
  if (randomNumbers.empty()) return 0x0123456789abcdefull + randomCalls;
  const uint64_t number = randomNumbers.front();
  randomNumbers.pop_front();
  return number;
}

bool FakePlatform::removeFile(const std::string& path) {
  removed.push_back(path);
  const std::string full = resolve(path);
  if (heldOpen.count(full)) return false;
  // A link goes as a name of its own, a link to a folder too; what it
  // leads to stays.
  if (links.erase(full) > 0) {
    files.erase(full);
    directories.erase(full);
    return true;
  }
  return files.erase(full) > 0;
}

bool FakePlatform::removeDirectory(const std::string& path) {
  const std::string full = resolve(path);
  for (const auto& file : files)
    if (file.first.size() > full.size() && file.first.compare(0, full.size(), full) == 0 &&
        (file.first[full.size()] == '/' || file.first[full.size()] == '\\'))
      return false;
  removed.push_back(path);
  return directories.erase(full) > 0;
}

bool FakePlatform::setModifiedTime(const std::string& path, int64_t seconds) {
  const std::string full = resolve(path);
  if (!files.count(full) && !directories.count(full)) return false;
  fileTimes[full] = seconds;
  return true;
}

bool FakePlatform::makeSymbolicLink(const std::string& target, const std::string& path) {
  return symbolicLinks.emplace(resolve(path), target).second;
}

std::optional<FileFacts> FakePlatform::fileFacts(const std::string& path) {
  const std::string full = resolve(path);
  FileFacts facts;
  if (directories.count(full)) {
    facts.isDirectory = true;
    return facts;
  }
  auto file = files.find(full);
  if (file == files.end()) return std::nullopt;
  facts.size = file->second.size();
  auto time = fileTimes.find(full);
  facts.modifiedSeconds = time == fileTimes.end() ? clock : time->second;
  return facts;
}

std::optional<FileOwnership> FakePlatform::fileOwnership(
    const std::string& path) {
  if (!fileFacts(path)) return std::nullopt;
  const std::string full = resolve(path);
  FileOwnership ownership;
  ownership.isLink = links.count(full) > 0;
  ownership.ownedByUser = foreignOwned.count(full) == 0;
  ownership.othersMayWrite = othersMayWrite.count(full) > 0;
  return ownership;
}

std::optional<std::string> FakePlatform::readFileStart(const std::string& path,
                                                       size_t count) {
  std::optional<std::string> content = readFile(path);
  if (content && content->size() > count) content->resize(count);
  return content;
}

bool FakePlatform::createNewFile(const std::string& path) {
  const std::string full = resolve(path);
  const std::string folder = full.substr(0, full.find_last_of("/\\"));
  if (files.count(full) || directories.count(full) ||
      readOnlyFolders.count(folder) || unwritable.count(full))
    return false;
  files[full] = "";
  fileTimes[full] = clock;
  return true;
}

bool FakePlatform::renameFile(const std::string& from, const std::string& to) {
  auto file = files.find(resolve(from));
  // No file takes the name of a folder, nor replaces one held open.
  if (file == files.end() || heldOpen.count(resolve(from)) || heldOpen.count(resolve(to)) ||
      directories.count(resolve(to)))
    return false;
  const std::string content = file->second;
  files.erase(file);
  files[resolve(to)] = content;
  auto time = fileTimes.find(resolve(from));
  if (time != fileTimes.end()) fileTimes[resolve(to)] = time->second;
  return true;
}

std::optional<std::string> FakePlatform::findProgram(const std::string& name) {
  auto found = programsFound.find(name);
  if (found != programsFound.end()) return found->second;
  // Else the folders of PATH, in order, as the system searches them.
  auto path = env.find("PATH");
  if (path == env.end()) return std::nullopt;
  const std::string suffix = conv.driveLetterPaths && name.find('.') == std::string::npos
                                 ? ".exe" : "";
  for (const std::string& folder : splitOn(path->second, conv.classPathSeparator)) {
    const std::string candidate = folder + conv.separator + name + suffix;
    if (!folder.empty() && files.count(candidate)) return candidate;
  }
  return std::nullopt;
}

std::optional<std::string> FakePlatform::finalPath(const std::string& path) {
  std::string at = resolve(path);
  for (int hops = 0; hops < 40; ++hops) {
    auto link = linkTargets.find(at);
    if (link == linkTargets.end()) break;
    at = link->second;
  }
  if (!files.count(at) && !directories.count(at)) return std::nullopt;
  return at;
}

std::optional<std::vector<std::string>> FakePlatform::folderEntries(
    const std::string& folder) {
  const std::string full = resolve(folder);
  if (unlistable.count(full) || !directories.count(full)) return std::nullopt;
  const std::string prefix = full + conv.separator;
  std::set<std::string> names;
  const auto add = [&](const std::string& path) {
    if (path.compare(0, prefix.size(), prefix) != 0) return;
    const std::string name = path.substr(prefix.size());
    if (!name.empty() && name.find(conv.separator) == std::string::npos)
      names.insert(name);
  };
  for (const auto& file : files) add(file.first);
  for (const std::string& directory : directories) add(directory);
  for (const auto& link : linkTargets) add(link.first);
  return std::vector<std::string>(names.begin(), names.end());
}

Platform::Environment FakePlatform::environment() {
  return Environment(env.begin(), env.end());
}

void FakePlatform::replaceEnvironment(const Environment& variables) {
  env.clear();
  for (const auto& variable : variables) env[variable.first] = variable.second;
}

bool FakePlatform::sameFile(const std::string& a, const std::string& b) {
  // Windows paths ignore letter case.
  auto key = [this](const std::string& path) {
    std::string full = resolve(path);
    if (conv.driveLetterPaths)
      for (char& c : full) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return full;
  };
  bool exists = false;
  for (const auto& file : files) exists |= key(file.first) == key(a);
  return exists && key(a) == key(b);
}

void* FakePlatform::loadLibraryWithDependenciesIn(
    const std::string& path, const std::vector<std::string>& dependencyFolders) {
  libraryFolders.push_back(dependencyFolders);
  return loadLibrary(path);
}

std::optional<std::string> FakePlatform::toAnsiCodePage(
    const std::string& text) {
  std::string bytes;
  size_t pos = 0;
  uint32_t codePoint;
  while (pos < text.size()) {
    if (!nextCodePoint(text, pos, codePoint) || codePoint > 0xFF)
      return std::nullopt;
    bytes += static_cast<char>(codePoint);
  }
  return bytes;
}

std::string FakePlatform::fromAnsiCodePage(const std::string& bytes) {
  std::string text;
  for (char c : bytes) appendUtf8(text, static_cast<unsigned char>(c));
  return text;
}

std::optional<std::string> FakePlatform::shortPathForm(
    const std::string& path) {
  auto it = shortPaths.find(path);
  if (it == shortPaths.end()) return std::nullopt;
  return it->second;
}

void* FakePlatform::loadLibrary(const std::string& path) {
  auto it = libraries.find(path);
  if (it == libraries.end()) return nullptr;
  return &it->second;
}

void* FakePlatform::findSymbol(void* library, const std::string& name) {
  auto* symbols = static_cast<std::map<std::string, void*>*>(library);
  auto it = symbols->find(name);
  return it == symbols->end() ? nullptr : it->second;
}

std::string FakePlatform::restartLauncher(const std::string& workingDir) {
  restarts.push_back({workingDir, env});
  if (!restartError.empty()) return restartError;
  throw ProcessExit{restartExitCode};
}

void FakePlatform::exitProcess(int code) { throw ProcessExit{code}; }

namespace {

class FakeSession : public ServiceSession {
 public:
  explicit FakeSession(FakePlatform* os) : os_(os) {}
  void report(ServiceState state, uint32_t exitCode,
              uint32_t waitHintMillis) override {
    os_->serviceReports.push_back({state, exitCode, waitHintMillis});
  }
  bool waitForStopRequest(int64_t millis) override {
    const int64_t at = os_->stopRequestAt;
    if (at >= 0 && os_->clock >= at) return true;
    // A wait without bound for a request that never comes would block.
    if (millis < 0) {
      if (at >= 0) os_->clock = at;
      return at >= 0;
    }
    const int64_t until = os_->clock + millis / 1000;
    if (at >= 0 && at <= until) {
      os_->clock = at;
      return true;
    }
    os_->clock = until;
    return false;
  }

 private:
  FakePlatform* os_;
};

class FakeCapture : public StreamCapture {
 public:
  explicit FakeCapture(FakePlatform* os) : os_(os) {}
  std::string read() override {
    if (next_ < os_->capturedChunks.size()) return os_->capturedChunks[next_++];
    return std::string();
  }

 private:
  FakePlatform* os_;
  size_t next_ = 0;
};

}  // namespace

void FakePlatform::sleepMillis(int64_t millis) {
  sleeps.push_back(millis);
  clock += millis / 1000;
}

bool FakePlatform::runAsService(
    const std::function<int(ServiceSession&)>& body) {
  if (!startedAsService) return false;
  FakeSession session(this);
  const int code = body(session);
  session.report(ServiceState::Stopped, static_cast<uint32_t>(code), 0);
  return true;
}

namespace {
ServiceAnswer fakeAnswer(FakePlatform& os, const std::string& call) {
  os.serviceCalls.push_back(call);
  ServiceAnswer answer;
  answer.outcome = os.serviceOutcome;
  if (answer.outcome != ServiceOutcome::Done) answer.errorText = "Access is denied.";
  answer.status = os.serviceStatus;
  return answer;
}
}  // namespace

ServiceAnswer FakePlatform::installService(const ServiceDefinition& definition) {
  ServiceAnswer answer = fakeAnswer(*this, "install " + definition.name);
  if (answer.outcome == ServiceOutcome::Done) {
    installedServices.push_back(definition);
    serviceOrigins[definition.name].commandLine = definition.commandLine;
    serviceOrigins[definition.name].madeBy = definition.madeBy;
  }
  return answer;
}
ServiceAnswer FakePlatform::uninstallService(const std::string& name) {
  return fakeAnswer(*this, "uninstall " + name);
}
ServiceAnswer FakePlatform::startService(const std::string& name) {
  return fakeAnswer(*this, "start " + name);
}
ServiceAnswer FakePlatform::stopService(const std::string& name) {
  return fakeAnswer(*this, "stop " + name);
}
ServiceAnswer FakePlatform::queryService(const std::string& name) {
  return fakeAnswer(*this, "query " + name);
}
ServiceAnswer FakePlatform::queryServiceOrigin(const std::string& name) {
  ServiceAnswer answer = fakeAnswer(*this, "origin " + name);
  if (answer.outcome != ServiceOutcome::Done) return answer;
  auto found = serviceOrigins.find(name);
  if (found == serviceOrigins.end()) {
    answer.outcome = ServiceOutcome::NotInstalled;
    return answer;
  }
  answer.commandLine = found->second.commandLine;
  answer.madeBy = found->second.madeBy;
  return answer;
}
void FakePlatform::writeSystemLog(const std::string& source,
                                  const std::string& text, bool isError) {
  systemLog.push_back(source + (isError ? " error: " : ": ") + text);
}
std::unique_ptr<StreamCapture> FakePlatform::captureStdStreams() {
  streamsCaptured = true;
  return std::make_unique<FakeCapture>(this);
}
void FakePlatform::releaseStdStreams() { streamsReleased = true; }
std::string FakePlatform::othersWhoMayChange(const std::string& path) {
  auto found = othersMayChange.find(path);
  return found == othersMayChange.end() ? std::string() : found->second;
}
bool FakePlatform::hasAdministratorRights() { return administrator; }

}  // namespace tarvik
