// The argument-file writer against the real `java` of OpenJDK 17: what it
// writes reaches `main` byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "launch/ArgumentFile.h"

namespace tarvik {
namespace {

std::string javaHome() {
  const char* home = std::getenv("TARVIK_TEST_JAVA_HOME");
  return home && *home ? home : "/usr/lib/jvm/java-17-openjdk-amd64";
}

std::string hex(const std::string& bytes) {
  std::string out;
  char digits[3];
  for (unsigned char c : bytes) {
    std::snprintf(digits, sizeof digits, "%02x", c);
    out += digits;
  }
  return out;
}

TEST(ArgumentFileJava, BringsEveryArgumentToMainUnchanged) {
  if (access((javaHome() + "/bin/javac").c_str(), X_OK) != 0)
    GTEST_SKIP() << "no JDK at " << javaHome();
  char pattern[] = "/tmp/tarvik-argfile.XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  // main prints each argument's UTF-8 bytes in hex, one line each.
  std::ofstream(dir + "/ArgEcho.java")
      << "public class ArgEcho { public static void main(String[] a) throws "
         "Exception { StringBuilder b = new StringBuilder(); for (String s : "
         "a) { for (byte x : s.getBytes(\"UTF-8\")) b.append(String.format("
         "\"%02x\", x & 0xff)); b.append('\\n'); } System.out.print(b); } }\n";
  const std::string quotedDir = "'" + dir + "'";
  ASSERT_EQ(std::system(("'" + javaHome() + "/bin/javac' -d " + quotedDir +
                         " " + quotedDir + "/ArgEcho.java")
                            .c_str()),
            0);

  const std::vector<std::string> arguments = {
      "", "a b", "say \"hi\"", "\"", "C:\\dir\\sub", "trailing\\", "\\\\",
      "h\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "", "#not a comment",
      "@not-a-file", "tab\there", "two\nlines", "cr\rff\f", "'single'", "  "};
  std::vector<std::string> words = {"-cp", dir, "ArgEcho"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::ofstream(dir + "/echo.args", std::ios::binary) << argumentFileText(words);

  const std::string command = "cd " + quotedDir + " && LC_ALL=C.UTF-8 '" +
                              javaHome() + "/bin/java' @echo.args > out.txt";
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(dir + "/out.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::vector<std::string> expected;
  for (const std::string& argument : arguments) expected.push_back(hex(argument));
  EXPECT_EQ(lines, expected);
  std::system(("rm -rf " + quotedDir).c_str());
}

}  // namespace
}  // namespace tarvik
