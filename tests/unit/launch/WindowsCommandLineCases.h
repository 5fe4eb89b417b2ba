// Command lines and arguments whose C runtime parse the tests check, both
// against the launcher's own splitter and, in the Windows build, against the
// real C runtime of a child process.
#ifndef TARVIK_TESTS_WINDOWSCOMMANDLINECASES_H
#define TARVIK_TESTS_WINDOWSCOMMANDLINECASES_H

#include <string>
#include <vector>

namespace tarvik {

struct SplitCase {
  std::string commandLine;
  std::vector<std::string> words;
};

// Each line starts with a plain program name, so only the rules for the
// arguments are at stake.
inline const std::vector<SplitCase>& splitCases() {
  static const std::vector<SplitCase> cases = {
      {"prog a b", {"prog", "a", "b"}},
      {"prog   a   ", {"prog", "a"}},
      {"prog a\tb", {"prog", "a", "b"}},
      {"prog \"a b\" c", {"prog", "a b", "c"}},
      {"prog a\"b c\"d e", {"prog", "ab cd", "e"}},
      {"prog \"\" x", {"prog", "", "x"}},
      {"prog \"\" \"\"", {"prog", "", ""}},
      {"prog \"", {"prog", ""}},
      {"prog \"a", {"prog", "a"}},
      {"prog a\"\"b c", {"prog", "ab", "c"}},
      // "" inside a quoted run is one literal quote and the run goes on.
      {"prog \"a\"\"b\" c", {"prog", "a\"b", "c"}},
      {"prog \"a\"\"b c\" d", {"prog", "a\"b c", "d"}},
      {"prog \"\"\"a b\"\"\" c", {"prog", "\"a b\"", "c"}},
      {"prog \"a b\"\"\"c d", {"prog", "a b\"c", "d"}},
      {"prog \"a\"\"\"b", {"prog", "a\"b"}},
      {"prog \"\"\"\"\"\"", {"prog", "\"\""}},
      // Backslashes: literal unless a quote follows them.
      {"prog a\\\\b c", {"prog", "a\\\\b", "c"}},
      {"prog a\\\\\"b c", {"prog", "a\\b c"}},
      {"prog a\\\\\\\"b c", {"prog", "a\\\"b", "c"}},
      {"prog a\\\\\\\\\\\"b", {"prog", "a\\\\\"b"}},
      {"prog \"a\\\\\" b", {"prog", "a\\", "b"}},
      {"prog a\\\" b", {"prog", "a\"", "b"}},
      {"prog \\", {"prog", "\\"}},
      {"prog \\\\\\\\\"", {"prog", "\\\\"}},
      {"prog C:\\dir\\ x", {"prog", "C:\\dir\\", "x"}},
  };
  return cases;
}

// Arguments that must come back unchanged through quoteArgument.
inline const std::vector<std::string>& roundTripArguments() {
  static const std::vector<std::string> arguments = {
      "",
      "a",
      "a b",
      " ",
      "  two  blanks  ",
      "trailing space ",
      "\t",
      "tab\there",
      "C:\\",
      "C:\\dir\\",
      "C:\\My Dir\\",
      "D:\\data\\",
      "\\\\server\\share\\",
      "\\",
      "\\\\",
      "\\\\\\",
      "x\\\\",
      "\\\"",
      "\"",
      "\"\"",
      "a\"b",
      "a\\\"b",
      "a\\\\\"b",
      "say \"hi\"",
      "ends with quote\"",
      "\"starts",
      "\"\\\\\"",
      "-Dx=\"y z\"",
      "%PATH%",
      "a&b|c<d>e^f",
  };
  return arguments;
}

}  // namespace tarvik

#endif  // TARVIK_TESTS_WINDOWSCOMMANDLINECASES_H
