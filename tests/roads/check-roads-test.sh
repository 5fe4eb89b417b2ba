#!/usr/bin/env bash
# The road check's table: each row a file and one line it holds, and whether
# the check must refuse it as a second road.
set -euo pipefail
check=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvik-roads.XXXXXX")
trap 'rm -rf "$work"' EXIT

rows=(
  # file | line | refused
  "Tarvik.cpp | std::string here = platform().currentDirectory(); | yes"
  "support/LauncherFolder.cpp | std::string here = platform().currentDirectory(); | no"
  "cache/StartupCache.cpp | os.changeDirectory(folder); | yes"
  "launch/EmbeddedVmLauncher.cpp | os.changeDirectory(folder); | no"
  "config/ConfigReader.cpp | bool full = path.size() > 1 && path[1] == ':'; | yes"
  "support/LauncherFolder.cpp | bool full = path.size() > 1 && path[1] == ':'; | no"
  "runtime/JavaDownload.cpp | os.messageBox(text, caption, style); | yes"
  "launch/ChildLauncher.cpp | if (platform().messageBox(text, \"Error\", 0) == 6) | yes"
  "support/Message.cpp | return os.messageBox(text, caption, style); | no"
  "os/PosixMessageBox.cpp | int PosixPlatform::messageBox(const std::string& text, | no"
  "launch/ChildLauncher.cpp | os.openWithAssociatedProgram(withoutQuotes(log)); | yes"
  "support/Message.cpp | return platform().openWithAssociatedProgram(file); | no"
  "launch/ChildLauncher.cpp | auto file = os.createTextFile(name, FileCreation::Replace); | yes"
  "config/SampleConfig.cpp | auto file = platform().createNewPrivateTextFile(SAMPLE_CONFIG_NAME); | yes"
  "support/LogRedirector.cpp | result = os.redirectStdStreams(path, FileCreation::Replace); | yes"
  "support/LauncherFiles.cpp | CreatedFile created = os.createTextFile(made.path, rule.creation); | no"
  "config/SampleConfig.cpp | createLauncherFile(LauncherFileKind::SampleConfig, SAMPLE_CONFIG_NAME); | no"
  "Tarvik.cpp | const FileRead read = platform().readRegularFile(path, 1 << 20); | yes"
  "config/ConfigReader.cpp | return platform().readRegularFile(path, MAX_CONFIGURATION_BYTES); | no"
  "launch/ChildLauncher.cpp | if (platform().fileOwnership(path)) return; | yes"
  "cache/CacheTrust.cpp | if (platform().fileOwnership(path)) return; | no"
  "support/FileSystem.cpp | platform().makePrivateDirectory(folder); | yes"
  "config/ConfigReader.cpp | for (auto& place : conv.cacheFolders) {} | yes"
  "os/Platform.cpp | conv.cacheFolders = {}; | no"
  "launch/ChildLauncher.cpp | args.push_back(\"-XX:SharedArchiveFile=\" + a); | yes"
  "cache/CacheTrust.cpp | args.push_back(\"-XX:ArchiveClassesAtExit=\" + a); | yes"
  "cache/StartupCache.cpp | args.push_back(\"-XX:SharedArchiveFile=\" + a); | no"
  "cache/CacheKey.cpp | const char* away = \"-XX:SharedArchiveFile\"; | no"
  "launch/EmbeddedVmLauncher.cpp | texts.push_back(\"-XX:AOTCache=\" + a); | yes"
  "cache/StartupCache.cpp | words.push_back(\"-XX:AOTConfiguration=\" + a); | no"
  "cache/CacheKey.cpp | const char* away = \"-XX:AOTCache\"; | no"
  "cache/StartupCache.cpp | auto value = s.vmParamValues.find(name); | yes"
  "launch/CommandLineBuilder.cpp | auto value = s.vmParamValues.find(name); | no"
  "launch/ArgumentFile.cpp | std::string t = quoteArgument(word); | yes"
  "launch/EmbeddedVmLauncher.cpp | auto w = splitWindowsArguments(text); | yes"
  "launch/ChildLauncher.cpp | auto l = commandLineText(words); | yes"
  "launch/EmbeddedVmLauncher.cpp | auto t = vmOptionText(s, name); | yes"
  "launch/CommandLineBuilder.cpp | command.addWord(word, true); line += quoteArgument(word); | no"
  "config/ConfigReader.cpp | storeVmParam(textOfWords(param, splitWindowsArguments(param, marks))); | no"
  "service/InstallChecks.cpp | const std::string java = withoutQuotes(*s.javaPath); | yes"
  "cache/StartupCache.cpp | for (const std::string& e : s.classPath) {} | yes"
  "launch/EmbeddedVmLauncher.cpp | load(fromLauncherFolder(s.javaLib)); | yes"
  "launch/ResolvedLaunch.cpp | for (const std::string& written : s.classPath) {} | no"
  "service/InstallChecks.cpp | for (const std::string& e : launch.classPath) {} | no"
  "service/ServiceWords.cpp | auto java = platform().findProgram(\"java\"); | yes"
  "launch/ResolvedLaunch.cpp | return platform().findProgram(bare).value_or(given); | no"
  "cache/StartupCache.cpp | auto value = platform().getEnv(\"JAVA_TOOL_OPTIONS\"); | yes"
  "launch/ResolvedLaunch.cpp | const char V[][18] = {\"JAVA_TOOL_OPTIONS\", \"_JAVA_OPTIONS\"}; | no"
  "cache/StartupCache.cpp | if (auto p = commandLineTooLong(child.commandLine)) {} | yes"
  "launch/ChildLauncher.cpp | file = passThroughArgumentFile(start, why, java); | yes"
  "launch/ArgumentFile.cpp | route.file = passThroughArgumentFile(start, why, javaPath); | no"
)
failed=0
passed=0
for row in "${rows[@]}"; do
  IFS='|' read -r file line refused <<<"$row"
  file=$(echo "$file" | xargs)
  refused=$(echo "$refused" | xargs)
  line=$(echo "$line" | sed 's/^ *//; s/ *$//')
  rm -rf "$work/src" && mkdir -p "$work/src/$(dirname "$file")"
  printf '#include <string>\n%s\n' "$line" >"$work/src/$file"
  status=0
  output=$("$check" "$work/src" 2>&1) || status=$?
  if [ "$refused" = yes ]; then
    if [ $status -eq 0 ] || ! grep -qF "src/$file:2:" <<<"$output"; then
      echo "FAIL: $file holding '$line' was not refused: $output"
      failed=$((failed + 1))
    else
      passed=$((passed + 1))
    fi
  elif [ $status -ne 0 ]; then
    echo "FAIL: $file holding '$line' was refused: $output"
    failed=$((failed + 1))
    continue
  else
    passed=$((passed + 1))
    continue
  fi
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
