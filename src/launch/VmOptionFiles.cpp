#include "launch/VmOptionFiles.h"

#include <string_view>

#include "os/Platform.h"
#include "support/AnsiCodePage.h"
#include "support/LauncherFolder.h"
#include "support/TextUtil.h"

namespace tarvik {

namespace {

// How an option's value names its files.
enum class Names {
  File,            // one file
  FileBeforeEquals,  // one file, then "=options"
  PathList,        // files and folders joined by the class path separator
  FolderList,      // folders joined by the class path separator
  ModulePaths,     // "module=" then a path list
  OptionsFile,     // one file of more options
  Commands,        // commands the VM has the system's shell run, ';' between
};

struct OptionForm {
  std::string_view prefix;
  Names names;
  // The value is the next word when the option is the prefix alone.
  bool separateValue;
};

// Every option of the VM and of Java's launcher that names a file the VM
// reads code or settings from.
const OptionForm FORMS[] = {
    {"-javaagent:", Names::FileBeforeEquals, false},
    {"-agentpath:", Names::FileBeforeEquals, false},
    {"-Xbootclasspath/a:", Names::PathList, false},
    {"-Xbootclasspath/p:", Names::PathList, false},
    {"-Xbootclasspath:", Names::PathList, false},
    {"--module-path=", Names::PathList, false},
    {"--module-path", Names::PathList, true},
    {"-p", Names::PathList, true},
    {"--upgrade-module-path=", Names::PathList, false},
    {"--upgrade-module-path", Names::PathList, true},
    {"--patch-module=", Names::ModulePaths, false},
    {"--patch-module", Names::ModulePaths, true},
    {"-splash:", Names::File, false},
    {"-XX:VMOptionsFile=", Names::OptionsFile, false},
    {"-XX:Flags=", Names::File, false},
    {"-Djava.security.policy=", Names::File, false},
    {"-Djava.security.properties=", Names::File, false},
    {"-Djava.library.path=", Names::FolderList, false},
    // Java 8's extension and endorsed folders: every jar in them is loaded.
    {"-Djava.ext.dirs=", Names::FolderList, false},
    {"-Djava.endorsed.dirs=", Names::FolderList, false},
    // The archives of classes the VM maps in place of loading them.
    {"-XX:SharedArchiveFile=", Names::PathList, false},
    {"-XX:AOTCache=", Names::File, false},
    {"@", Names::OptionsFile, false},
    // Programs the VM runs when it fails.
    {"-XX:OnOutOfMemoryError=", Names::Commands, false},
    {"-XX:OnError=", Names::Commands, false},
};

// A value that names no file on this system: a URL.
bool isUrl(const std::string& value) {
  const size_t colon = value.find(':');
  return colon != std::string::npos && colon > 1 &&
         (value.compare(colon, 3, "://") == 0 || startsWith(value, "file:"));
}

// `path` as a path of the walk's folder, readable by a VM that reads the
// ANSI code page; the walk records it.
std::string fullPath(const std::string& path, const std::string& what,
                     bool folder, OptionPathWalk& walk, bool holdsOptions = false) {
  if (path.empty() || isUrl(path)) return path;
  const std::string full =
      walk.folder.empty() ? fullPathInLauncherFolder(path) : fullPathIn(walk.folder, path);
  walk.named.push_back({full, what, folder, holdsOptions});
  if (full == path) return path;
  return ansiReadablePath(full);
}

std::string fullPathList(const std::string& list, const std::string& what,
                         bool folders, OptionPathWalk& walk) {
  const char separator = platform().conventions().classPathSeparator;
  std::string result;
  size_t start = 0;
  for (;;) {
    const size_t end = list.find(separator, start);
    result += fullPath(list.substr(start, end - start), what, folders, walk);
    if (end == std::string::npos) return result;
    result += separator;
    start = end + 1;
  }
}

// The programs of the shell commands in `commands`: the first word of each,
// where it is a path. The commands go to the VM as written, so a relative
// program is the folder's the VM runs in; a bare name is left to the
// shell's search.
void namedPrograms(const std::string& commands, const std::string& what,
                   OptionPathWalk& walk) {
  const PlatformConventions& conv = platform().conventions();
  for (const std::string& command : splitOn(commands, ';')) {
    const size_t begin = command.find_first_not_of(" \t");
    if (begin == std::string::npos) continue;
    std::string program;
    if (command[begin] == '"') {
      const size_t end = command.find('"', begin + 1);
      program = command.substr(begin + 1, end == std::string::npos ? end : end - begin - 1);
    } else {
      program = command.substr(begin, command.find_first_of(" \t", begin) - begin);
    }
    if (program.find_first_of(conv.folderSeparators) == std::string::npos) continue;
    NamedFile named{program, what, false, false};
    if (!walk.folder.empty())
      named.path = fullPathIn(walk.folder, program);
    else
      named.inRunFolder = true;
    walk.named.push_back(named);
  }
}

// The value of an option of `form` with its paths made full.
std::string fullValue(const OptionForm& form, const std::string& value,
                      OptionPathWalk& walk) {
  const std::string what = "the file " + std::string(form.prefix) + " names";
  switch (form.names) {
    case Names::File: {
      // "-Djava.security.policy==file" replaces the system's policy.
      const size_t lead = form.prefix != "@" && startsWith(value, "=") ? 1 : 0;
      return value.substr(0, lead) + fullPath(value.substr(lead), what, false, walk);
    }
    case Names::OptionsFile:
      return fullPath(value, what, false, walk, true);
    case Names::FileBeforeEquals: {
      const size_t equals = value.find('=');
      return fullPath(value.substr(0, equals), what, false, walk) +
             (equals == std::string::npos ? std::string() : value.substr(equals));
    }
    case Names::PathList:
      return fullPathList(value, what, false, walk);
    case Names::FolderList:
      return fullPathList(value, what, true, walk);
    case Names::ModulePaths: {
      const size_t equals = value.find('=');
      if (equals == std::string::npos) return value;
      return value.substr(0, equals + 1) +
             fullPathList(value.substr(equals + 1), what, false, walk);
    }
    case Names::Commands:
      namedPrograms(value, "the program " + std::string(form.prefix) + " runs", walk);
      return value;
  }
  return value;
}

int formOf(const std::string& word) {
  for (size_t i = 0; i < sizeof FORMS / sizeof FORMS[0]; ++i) {
    const OptionForm& form = FORMS[i];
    if (form.separateValue ? word == form.prefix
                           : word.size() > form.prefix.size() &&
                                 word.compare(0, form.prefix.size(), form.prefix) == 0)
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

std::vector<std::string> withFullOptionPaths(const std::vector<std::string>& words,
                                             OptionPathWalk& walk) {
  std::vector<std::string> result;
  result.reserve(words.size());
  for (const std::string& word : words) {
    if (walk.pendingForm >= 0) {
      result.push_back(fullValue(FORMS[walk.pendingForm], word, walk));
      walk.pendingForm = -1;
      continue;
    }
    const int row = formOf(word);
    if (row < 0) {
      result.push_back(word);
      continue;
    }
    const OptionForm& form = FORMS[row];
    if (form.separateValue) {
      walk.pendingForm = row;
      result.push_back(word);
    } else {
      result.push_back(word.substr(0, form.prefix.size()) +
                       fullValue(form, word.substr(form.prefix.size()), walk));
    }
  }
  return result;
}

std::vector<std::string> optionFileWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else if (c == '\\' && i + 1 < text.size()) {
        word += text[++i];
      } else {
        word += c;
      }
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else if (c == '#' && !inWord) {
      while (i + 1 < text.size() && text[i + 1] != '\n') ++i;
    } else {
      inWord = true;
      if (c == '"' || c == '\'')
        quote = c;
      else
        word += c;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace tarvik
