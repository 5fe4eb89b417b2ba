#!/usr/bin/env bash
# Checks that each rule of the launcher keeps its one road: the calls that
# do a rule's work stand only in the files that keep the rule. A second
# place that makes such a call is a second road, which a later change would
# keep apart from the first.
#
# Each row: the rule, an extended regular expression of the call, and the
# files (below src/, shell patterns) where it may stand. Comments are not
# read.
# Prints each call outside its road, and fails when there is one.
set -euo pipefail
src=${1:-"$(cd "$(dirname "$0")/.." && pwd)/src"}
cd "$src"

roads=(
  # rule | call | where it may stand
  "the folder of the launcher | currentDirectory\( | os/* support/LauncherFolder.cpp"
  "the folder of the launcher | changeDirectory\( | os/* support/LauncherFolder.cpp launch/EmbeddedVmLauncher.cpp"
  "the folder of the launcher | \[1\] *== *':' | os/* support/LauncherFolder.cpp"
  "what the user is told: a box | [.>]messageBox\( | support/Message.cpp"
  "what the user is told: a file or page opened for the user | [.>]openWithAssociatedProgram\( | support/Message.cpp"
  # tarvik-pack, a program of its own, writes only into its private work
  # folder (src/pack/OutputFolder), and reads through one function.
  "files the launcher creates | createTextFile\( | os/* support/LauncherFiles.cpp pack/OutputFolder.cpp"
  "files the launcher creates | createNewPrivateTextFile\( | os/*"
  "files the launcher creates | redirectStdStreams\( | os/* support/LauncherFiles.cpp"
  "files read whole | readRegularFile\( | os/* config/ConfigReader.cpp runtime/RuntimeRelease.cpp pack/AppImage.cpp"
  "cache trust: who owns a path | fileOwnership\( | cache/CacheTrust.cpp os/Platform.h os/Posix* os/Win32*"
  "cache trust: folders made private | makePrivateDirectory\( | cache/CacheTrust.cpp os/Platform.h os/Posix* os/Win32* pack/OutputFolder.cpp"
  "cache trust: where the cache folder is | cacheFolders | cache/CacheTrust.cpp os/Platform.cpp os/Platform.h"
  "cache trust: an archive named to the VM | -XX:[A-Za-z]*Archive[A-Za-z]*= | cache/StartupCache.cpp launch/VmOptionFiles.cpp"
  "cache trust: an ahead-of-time cache named to the VM | -XX:AOT[A-Za-z]*= | cache/StartupCache.cpp launch/VmOptionFiles.cpp"
  "words the child is handed: quoting for a command line | quoteArgument\( | launch/WindowsCommandLine.* launch/CommandLineBuilder.cpp config/ConfigLocation.cpp service/ServiceIdentity.cpp"
  "service trust: who else may change a path | othersWhoMayChange\( | service/InstallChecks.cpp os/Platform.h os/Posix* os/Win32*"
  "words the child is handed: reading a command line | splitWindows[A-Za-z]*\( | launch/WindowsCommandLine.* launch/CommandLineBuilder.cpp config/ConfigReader.cpp Tarvik.cpp"
  "words the child is handed: writing words anew | commandLineText\( | launch/WindowsCommandLine.* config/ConfigReader.cpp pack/PackTool.cpp"
  "words the child is handed: writing one option anew | optionArgumentText\( | launch/WindowsCommandLine.*"
  "words the child is handed: keeping a text or writing it anew | textOfWords\( | launch/WindowsCommandLine.* launch/CommandLineBuilder.cpp config/ConfigReader.cpp"
  "words the child is handed: the configured VM options | vmOptionText\( | launch/CommandLineBuilder.cpp"
  "words the child is handed: the configured VM options read | vmParamValues | LaunchSettings.* config/ConfigReader.cpp launch/CommandLineBuilder.cpp"
  "what a launch uses: a file the configuration names, read as written | [^A-Za-z0-9_]s\\.classPath[^A-Za-z0-9_] | LaunchSettings.* config/* runtime/* launch/ResolvedLaunch.cpp Tarvik.cpp"
  "what a launch uses: a file the configuration names, read as written | [^A-Za-z0-9_]s\\.javaPath[^A-Za-z0-9_] | LaunchSettings.* config/* runtime/* launch/ResolvedLaunch.cpp Tarvik.cpp"
  "what a launch uses: a file the configuration names, read as written | [^A-Za-z0-9_]s\\.javaLib[^A-Za-z0-9_] | LaunchSettings.* config/* runtime/* launch/ResolvedLaunch.cpp Tarvik.cpp"
  "what a launch uses: a file the configuration names, read as written | [^A-Za-z0-9_]s\\.runtimeHomes[^A-Za-z0-9_] | LaunchSettings.* config/* runtime/* launch/ResolvedLaunch.cpp Tarvik.cpp"
  "what a launch uses: a file looked up or followed | [.>]findProgram\\( | os/* launch/ResolvedLaunch.cpp service/InstallChecks.cpp"
  "what a launch uses: a file looked up or followed | [.>]finalPath\\( | os/* launch/ResolvedLaunch.cpp service/InstallChecks.cpp"
  "what a launch uses: a file looked up or followed | [.>]folderEntries\\( | os/* launch/ResolvedLaunch.cpp service/InstallChecks.cpp"
  "what a launch uses: the VM's option variables read | \"[A-Z_]*JAVA[A-Z_]*_OPTIONS\" | launch/ResolvedLaunch.cpp launch/EmbeddedVmLauncher.cpp"
  "words the child is handed: past the system's bounds | commandLineTooLong\\( | launch/ArgumentFile.*"
  "words the child is handed: past the system's bounds | passThroughArgumentFile\\( | launch/ArgumentFile.*"
)

# The rows as the fields of one awk pass over every source: the rule, the
# call and the places, each trimmed, between tabs.
rows=""
for road in "${roads[@]}"; do
  IFS='|' read -r rule pattern places <<<"$road"
  rule=${rule#"${rule%%[![:space:]]*}"}
  rule=${rule%"${rule##*[![:space:]]}"}
  pattern=${pattern#"${pattern%%[! ]*}"}
  pattern=${pattern%"${pattern##*[! ]}"}
  rows+="$rule"$'\t'"$pattern"$'\t'"$places"$'\n'
done

files=()
while IFS= read -r file; do files+=("$file"); done \
  < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | LC_ALL=C sort)

# Each call outside its road, by rule in the table's order, then by file and
# line. A place is a shell pattern, whose '*' crosses a '/' too.
report=""
if [ ${#files[@]} -gt 0 ]; then
  report=$(ROADS="$rows" awk '
    function regexOfPlace(glob,    re, i, c) {
      re = "^"
      for (i = 1; i <= length(glob); i++) {
        c = substr(glob, i, 1)
        if (c == "*") re = re ".*"
        else if (c == "?") re = re "."
        else if (index("\\^$.[]|()+{}", c)) re = re "\\" c
        else re = re c
      }
      return re "$"
    }
    BEGIN {
      count = split(ENVIRON["ROADS"], lines, "\n")
      for (i = 1; i <= count; i++) {
        if (lines[i] == "") continue
        split(lines[i], field, "\t")
        n++
        rule[n] = field[1]
        call[n] = field[2]
        places[n] = split(field[3], glob, " ")
        for (j = 1; j <= places[n]; j++) place[n, j] = regexOfPlace(glob[j])
      }
    }
    FNR == 1 {
      for (r = 1; r <= n; r++) {
        outside[r] = 1
        for (j = 1; j <= places[r]; j++)
          if (FILENAME ~ place[r, j]) outside[r] = 0
      }
    }
    {
      text = $0
      sub(/\/\/.*$/, "", text)
      for (r = 1; r <= n; r++) {
        if (!outside[r] || text !~ call[r]) continue
        shown = text
        sub(/^[[:space:]]+/, "", shown)
        found[r] = found[r] "src/" FILENAME ":" FNR ": " rule[r] ": " shown "\n"
      }
    }
    END { for (r = 1; r <= n; r++) printf "%s", found[r] }' "${files[@]}")
fi

if [ -n "$report" ]; then
  printf '%s\n' "$report"
  echo "check-roads: the calls above open a second road for their rule" >&2
  exit 1
fi
echo "check-roads: each rule keeps its one road"
