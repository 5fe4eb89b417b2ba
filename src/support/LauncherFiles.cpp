#include "support/LauncherFiles.h"

#include "LaunchSettings.h"

#include "support/Message.h"
#include "support/RandomName.h"

namespace tarvik {

namespace {

// What the launcher does when a name it wants is taken.
enum class WhenTaken {
  // Nothing more: the kind's caller reports it.
  GiveUp,
  // Removes what stands there (a link, not its target) and tries again once.
  Remove,
  // Tries drawn names.
  DrawName,
};

struct KindRule {
  LauncherFileKind kind;
  // The file becomes the process's standard output and error.
  bool standardStreams;
  FileCreation creation;
  WhenTaken whenTaken;
  // Even the first name is drawn.
  bool drawnFirst;
  // For a refusal: what the file is, what to do instead, and the exit code.
  // (Arrays, not pointers: a table of pointers is relocated at every start.)
  char what[16];
  char advice[48];
  int refusedExitCode;
  FileContent content = FileContent::Text;
};

constexpr const char REFUSED_CAPTION[] = "File Not Replaced";

const KindRule KINDS[] = {
    {LauncherFileKind::CommandFile, false, FileCreation::Replace, WhenTaken::GiveUp,
     false, "command file", "remove it, or run -o in another folder.",
     -3},  // as "Error opening .out files"
    {LauncherFileKind::CommandFileInTemp, false, FileCreation::NewPrivate,
     WhenTaken::Remove, false, "command file", "", -3},
    {LauncherFileKind::SampleConfig, false, FileCreation::Replace, WhenTaken::GiveUp,
     false, "sample file", "remove it, or run -sample in another folder.", 1},
    {LauncherFileKind::ArgumentFile, false, FileCreation::NewPrivate,
     WhenTaken::DrawName, true, "argument file", "", 4},
    {LauncherFileKind::DefaultLog, true, FileCreation::NewPrivate,
     WhenTaken::DrawName, false, "log file", "", 1},
    {LauncherFileKind::NamedLog, true, FileCreation::Replace, WhenTaken::GiveUp,
     false, "log file", "name another log file.", 1},
    {LauncherFileKind::ServiceLog, false, FileCreation::Replace, WhenTaken::GiveUp,
     false, "service log", "remove it, or name another serviceLogFolder.", 1,
     FileContent::Bytes},
    {LauncherFileKind::ServiceLogGoingOn, false, FileCreation::Append, WhenTaken::GiveUp,
     false, "service log", "remove it, or name another serviceLogFolder.", 1,
     FileContent::Bytes},
    {LauncherFileKind::ServiceLogElsewhere, false, FileCreation::Append, WhenTaken::GiveUp,
     true, "service log", "remove it, or name another serviceLogFolder.", 1,
     FileContent::Bytes},
    {LauncherFileKind::ServiceUnit, false, FileCreation::Replace, WhenTaken::GiveUp,
     false, "service unit", "remove it, or name another serviceName.",
     21},  // as the service launcher's refused install
    {LauncherFileKind::CacheKeyParts, false, FileCreation::NewPrivate, WhenTaken::GiveUp,
     false, "key file", "", 0, FileContent::Bytes},
};

const KindRule& ruleFor(LauncherFileKind kind) {
  for (const KindRule& rule : KINDS)
    if (rule.kind == kind) return rule;
  return KINDS[0];
}

// `path` with "-<drawn name>" before its ending (the last '.' of its
// last component), or nothing without a random number.
std::optional<std::string> withDrawnName(const std::string& path) {
  std::optional<std::string> name = randomName();
  if (!name) return std::nullopt;
  const size_t dot = path.rfind('.');
  const size_t folder = path.find_last_of(platform().conventions().folderSeparators);
  const size_t cut =
      dot == std::string::npos || (folder != std::string::npos && dot < folder)
          ? path.size()
          : dot;
  return path.substr(0, cut) + "-" + *name + path.substr(cut);
}

void create(const KindRule& rule, LauncherFile& made) {
  Platform& os = platform();
  if (rule.standardStreams) {
    made.result = os.redirectStdStreams(made.path, rule.creation);
    return;
  }
  CreatedFile created = os.createTextFile(made.path, rule.creation, rule.content);
  made.file = std::move(created.file);
  made.result = created.result;
  made.errorText = created.errorText;
}

std::string refusalReason(CreateResult result) {
  switch (result) {
    case CreateResult::IsLink: return "is a link to another file";
    case CreateResult::HasOtherLinks:
      return "has other names too (a hard link)";
    default: return "is no regular file";
  }
}

bool isRefusal(CreateResult result) {
  return result == CreateResult::IsLink || result == CreateResult::HasOtherLinks ||
         result == CreateResult::NotRegularFile;
}

}  // namespace

LauncherFile createLauncherFile(LauncherFileKind kind, const std::string& path,
                                std::string* refusal) {
  const KindRule& rule = ruleFor(kind);
  LauncherFile made;
  made.path = path;
  if (rule.drawnFirst) {
    std::optional<std::string> drawn = withDrawnName(path);
    if (!drawn) {
      made.noRandomNumber = true;
      return made;
    }
    made.path = *drawn;
  }
  if (rule.whenTaken == WhenTaken::Remove) platform().removeFile(made.path);
  create(rule, made);
  for (int tries = 1; made.result == CreateResult::NameTaken &&
                      rule.whenTaken == WhenTaken::DrawName && tries < NEW_NAME_TRIES;
       ++tries) {
    std::optional<std::string> drawn = withDrawnName(path);
    if (!drawn) {
      made.noRandomNumber = true;
      return made;
    }
    made.path = *drawn;
    create(rule, made);
  }
  if (isRefusal(made.result)) {
    const std::string text = "The " + std::string(rule.what) + " " + made.path +
                             " " + refusalReason(made.result) +
                             ". It is left untouched: " + rule.advice;
    if (refusal) {
      *refusal = text;
      return made;
    }
    // The service launcher's message is its line of the log already; the
    // other launchers have always written both.
    if (!options().serviceLauncher) platform().writeStderr(text + "\n");
    showMessage(REFUSED_CAPTION, text, true);
    exitLauncher(rule.refusedExitCode);
  }
  return made;
}

}  // namespace tarvik
