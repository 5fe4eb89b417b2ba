#include "launch/WindowsCommandLine.h"

namespace tarvik {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool argumentNeedsQuotes(const std::string& argument) {
  return argument.empty() ||
         argument.find_first_of(" \t\"") != std::string::npos;
}

std::string quoteArgument(const std::string& argument) {
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      // The backslashes before a quote escape each other, then one more
      // escapes the quote itself.
      quoted.append(backslashes * 2 + 1, '\\');
    } else {
      quoted.append(backslashes, '\\');
    }
    backslashes = 0;
    quoted += c;
  }
  // Before the closing quote the backslashes must not escape it.
  quoted.append(backslashes * 2, '\\');
  quoted += '"';
  return quoted;
}

namespace {

// Appends the words of `commandLine` from `i` on, as the C runtime splits
// arguments.
void splitArgumentsFrom(const std::string& commandLine, size_t i,
                        std::vector<std::string>& words) {
  const size_t n = commandLine.size();
  for (;;) {
    while (i < n && isSeparator(commandLine[i])) ++i;
    if (i >= n) break;
    std::string word;
    bool inQuotes = false;
    for (;;) {
      size_t backslashes = 0;
      while (i < n && commandLine[i] == '\\') {
        ++backslashes;
        ++i;
      }
      bool copy = true;
      if (i < n && commandLine[i] == '"') {
        if (backslashes % 2 == 0) {
          if (inQuotes && i + 1 < n && commandLine[i + 1] == '"') {
            ++i;  // "" inside a quoted run: one literal quote
          } else {
            copy = false;
            inQuotes = !inQuotes;
          }
        }
        backslashes /= 2;
      }
      word.append(backslashes, '\\');
      if (i >= n || (!inQuotes && isSeparator(commandLine[i]))) break;
      if (copy) word += commandLine[i];
      ++i;
    }
    words.push_back(word);
  }
}

}  // namespace

std::vector<std::string> splitWindowsCommandLine(
    const std::string& commandLine) {
  std::vector<std::string> words;
  const size_t n = commandLine.size();
  size_t i = 0;

  // The program name: quotes group, nothing is escaped.
  {
    std::string program;
    bool inQuotes = false;
    while (i < n && (inQuotes || !isSeparator(commandLine[i]))) {
      if (commandLine[i] == '"')
        inQuotes = !inQuotes;
      else
        program += commandLine[i];
      ++i;
    }
    words.push_back(program);
  }
  splitArgumentsFrom(commandLine, i, words);
  return words;
}

std::vector<std::string> splitWindowsArguments(const std::string& text) {
  std::vector<std::string> words;
  splitArgumentsFrom(text, 0, words);
  return words;
}

}  // namespace tarvik
