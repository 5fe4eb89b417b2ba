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
  "what a launch uses: a file the configuration names, read as written | [^A-Za-z0-9_]s\\.classPath\\b | LaunchSettings.* config/* runtime/* launch/ResolvedLaunch.cpp Tarvik.cpp"
  "what a launch uses: a file the configuration names, read as written | [^A-Za-z0-9_]s\\.javaPath\\b | LaunchSettings.* config/* runtime/* launch/ResolvedLaunch.cpp Tarvik.cpp"
  "what a launch uses: a file the configuration names, read as written | [^A-Za-z0-9_]s\\.javaLib\\b | LaunchSettings.* config/* runtime/* launch/ResolvedLaunch.cpp Tarvik.cpp"
  "what a launch uses: a file the configuration names, read as written | [^A-Za-z0-9_]s\\.runtimeHomes\\b | LaunchSettings.* config/* runtime/* launch/ResolvedLaunch.cpp Tarvik.cpp"
  "what a launch uses: a file looked up or followed | [.>]findProgram\\( | os/* launch/ResolvedLaunch.cpp service/InstallChecks.cpp"
  "what a launch uses: a file looked up or followed | [.>]finalPath\\( | os/* launch/ResolvedLaunch.cpp service/InstallChecks.cpp"
  "what a launch uses: a file looked up or followed | [.>]folderEntries\\( | os/* launch/ResolvedLaunch.cpp service/InstallChecks.cpp"
)

found=0
for road in "${roads[@]}"; do
  IFS='|' read -r rule pattern places <<<"$road"
  rule=$(echo "$rule" | xargs)
  pattern=$(echo "$pattern" | sed 's/^ *//; s/ *$//')
  while IFS= read -r file; do
    allowed=0
    for place in $places; do
      # shellcheck disable=SC2053
      [[ $file == $place ]] && allowed=1
    done
    [ $allowed -eq 1 ] && continue
    # Lines without their // comments.
    while IFS=: read -r lineno text; do
      echo "src/$file:$lineno: $rule: ${text#"${text%%[![:space:]]*}"}"
      found=1
    done < <(sed 's|//.*$||' "$file" | grep -nE -- "$pattern" || true)
  done < <(find . -type f \( -name '*.h' -o -name '*.cpp' \) | sed 's|^\./||' | LC_ALL=C sort)
done

if [ $found -ne 0 ]; then
  echo "check-roads: the calls above open a second road for their rule" >&2
  exit 1
fi
echo "check-roads: each rule keeps its one road"
