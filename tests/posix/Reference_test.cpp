// The manual's reference against the code: every directive of the reader's
// table, every switch of the launcher's table, every command word of the
// service launcher and every exit code the code ends with has its entry in
// docs/, and docs/ names none the code lacks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "Tarvik.h"
#include "config/ConfigReader.h"
#include "launch/JavaLauncherOptions.h"
#include "service/ServiceWords.h"

namespace tarvik {
namespace {

using Names = std::set<std::string>;

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string manualPage(const std::string& name) {
  return readText(std::string(TARVIK_SOURCE_DIR) + "/docs/" + name);
}

// The first group of every match of `pattern` in `text`.
Names matches(const std::string& text, const std::string& pattern) {
  Names found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re);
       it != std::sregex_iterator(); ++it)
    found.insert((*it)[1].str());
  return found;
}

Names asNames(const std::vector<std::string_view>& list) {
  return Names(list.begin(), list.end());
}

// The text between a page's heading and the next heading of its level.
std::string section(const std::string& page, const std::string& heading) {
  const size_t start = page.find(heading);
  if (start == std::string::npos) return std::string();
  const size_t end = page.find("\n## ", start + heading.size());
  return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Exit codes as the manual writes them ("−3" with a minus sign).
Names documentedCodes(const std::string& table) {
  Names codes;
  for (std::string code : matches(table, R"(\n\| ((?:−)?-?[0-9]+) \|)")) {
    if (code.rfind("−", 0) == 0) code = "-" + code.substr(std::string("−").size());
    codes.insert(code);
  }
  return codes;
}

// Every code the sources end with: named exit codes and results, and the
// numbers handed to exitLauncher; a tool's folder ("brand", "pack"), or
// all the rest ("").
Names codesInSources(const std::string& tool) {
  namespace fs = std::filesystem;
  const fs::path src = fs::path(TARVIK_SOURCE_DIR) / "src";
  Names codes;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string folder = entry.path().parent_path().filename().string();
    const bool inTool = folder == "brand" || folder == "pack";
    if (tool.empty() ? inTool : folder != tool) continue;
    const std::string text = readText(entry.path().string());
    for (const char* pattern :
         {R"(constexpr int [A-Z_]*(?:EXIT_CODE|RESULT[A-Z_]*) = (-?[0-9]+))",
          R"(exitLauncher\((-?[0-9]+)\))", R"((?:BRAND|PACK)_[A-Z_]+ = (-?[0-9]+))"})
      for (const std::string& code : matches(text, pattern)) codes.insert(code);
  }
  return codes;
}

TEST(ReferenceTest, EveryDirectiveHasItsSectionAndNoneMore) {
  EXPECT_EQ(asNames(directiveKeywords()),
            matches(manualPage("directives.md"), "\n### `([A-Za-z]+)`\n"));
}

TEST(ReferenceTest, EverySwitchHasItsRowAndNoneMore) {
  const std::string table = section(manualPage("switches.md"), "## `tarvik` and");
  EXPECT_EQ(asNames(launcherSwitchNames()), matches(table, "\n\\| `(-[A-Za-z]+)"));
}

TEST(ReferenceTest, EveryServiceWordHasItsRowAndNoneMore) {
  const std::string table = section(manualPage("services.md"), "## The command words");
  EXPECT_EQ(asNames(serviceWordNames()), matches(table, "\n\\| `([a-z]+)` \\|"));
}

TEST(ReferenceTest, EveryOptionVmparamsFromLeavesOutIsListedAndNoneMore) {
  const std::string page = manualPage("directives.md");
  Names listed;
  for (const char* list : {"- **Options that end the launch**", "- **Options that print"}) {
    const size_t start = page.find(list);
    ASSERT_NE(start, std::string::npos) << list;
    const Names names =
        matches(page.substr(start, page.find("\n- ", start + 1) - start), "`([^`]+)`");
    listed.insert(names.begin(), names.end());
  }
  const std::vector<std::string> words = endingOptionWords();
  EXPECT_EQ(Names(words.begin(), words.end()), listed);
}

TEST(ReferenceTest, EveryExitCodeHasItsRowAndNoneMore) {
  const std::string page = manualPage("switches.md");
  const struct {
    const char* table;
    const char* tool;
  } programs[] = {
      {"## Exit codes of `tarvik` and `tarvikc`", ""},
      {"## `tarvik-brand`", "brand"},
      {"## `tarvik-pack`", "pack"},
  };
  for (const auto& program : programs) {
    SCOPED_TRACE(program.table);
    EXPECT_EQ(codesInSources(program.tool),
              documentedCodes(section(page, program.table)));
  }
}

}  // namespace
}  // namespace tarvik
