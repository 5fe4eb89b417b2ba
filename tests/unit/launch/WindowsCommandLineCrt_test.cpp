// The Windows build checks the splitter and the quoting against the real C
// runtime: this test binary starts itself with a command line and reads
// back the argv its C runtime parsed.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "launch/WindowsCommandLine.h"
#include "unit/launch/WindowsCommandLineCases.h"

namespace tarvik {
namespace {

const char ECHO_VARIABLE[] = "TARVIK_TEST_ARGV_ECHO";

// Started by crtParse, the binary writes its argv (each word ended by a NUL
// byte) to the file the variable names and ends before any test runs.
const bool echoedArgv = [] {
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA(ECHO_VARIABLE, path, sizeof path);
  if (length == 0 || length >= sizeof path) return false;
  FILE* file = fopen(path, "wb");
  if (!file) ExitProcess(3);
  for (int i = 0; i < __argc; ++i) {
    fputs(__argv[i], file);
    fputc('\0', file);
  }
  fclose(file);
  ExitProcess(0);
}();

std::vector<std::string> crtParse(const std::string& commandLine) {
  char exe[MAX_PATH];
  char dir[MAX_PATH];
  char file[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  GetTempPathA(sizeof dir, dir);
  GetTempFileNameA(dir, "tva", 0, file);
  SetEnvironmentVariableA(ECHO_VARIABLE, file);
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info;
  std::string buffer = commandLine;
  buffer.push_back('\0');
  BOOL created = CreateProcessA(exe, &buffer[0], nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, &startup, &info);
  SetEnvironmentVariableA(ECHO_VARIABLE, nullptr);
  std::vector<std::string> words;
  if (!created) {
    ADD_FAILURE() << "cannot start " << exe << ": " << GetLastError();
    return words;
  }
  WaitForSingleObject(info.hProcess, 60000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  FILE* in = fopen(file, "rb");
  if (!in) {
    ADD_FAILURE() << "no argv from the child";
    return words;
  }
  std::string word;
  for (int c; (c = fgetc(in)) != EOF;) {
    if (c == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(c);
    }
  }
  fclose(in);
  DeleteFileA(file);
  return words;
}

TEST(WindowsCommandLineCrtTest, SplitterAgreesWithTheCRuntime) {
  for (const SplitCase& c : splitCases()) {
    EXPECT_EQ(crtParse(c.commandLine), c.words) << "[" << c.commandLine << "]";
    EXPECT_EQ(splitWindowsCommandLine(c.commandLine), c.words);
  }
}

TEST(WindowsCommandLineCrtTest, QuotedArgumentsReachAChildUnchanged) {
  const std::vector<std::string>& arguments = roundTripArguments();
  std::string line = "prog";
  for (const std::string& argument : arguments)
    line += " " + quoteArgument(argument);
  std::vector<std::string> expected = {"prog"};
  expected.insert(expected.end(), arguments.begin(), arguments.end());
  std::vector<std::string> parsed = crtParse(line);
  ASSERT_EQ(parsed.size(), expected.size()) << line;
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(parsed[i], expected[i]) << "argument " << i;
}

}  // namespace
}  // namespace tarvik

#endif  // _WIN32
