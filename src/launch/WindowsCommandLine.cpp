#include "launch/WindowsCommandLine.h"

#include <utility>

#include "support/TextUtil.h"

namespace tarvik {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool argumentNeedsQuotes(const std::string& argument) {
  return argument.empty() || findFirstOf(argument, " \t\"") != std::string::npos;
}

std::string quoteArgument(const std::string& argument) {
  std::string quoted = "\"";
  quoted.reserve(argument.size() + 2);
  size_t backslashes = 0;
  for (size_t i = 0; i < argument.size(); ++i) {
    const char c = argument[i];
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c != '"' && backslashes == 0) {
      // A run without backslashes or quotes stays as it is.
      const size_t end = findFirstOf(argument, "\\\"", i);
      const size_t stop = end == std::string::npos ? argument.size() : end;
      quoted.append(argument, i, stop - i);
      i = stop - 1;
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
// arguments. The characters `literal` marks with '1' are plain characters
// of their word, whatever they are.
void splitArgumentsFrom(const std::string& commandLine, size_t i,
                        std::vector<std::string>& words,
                        const std::string* literal = nullptr) {
  const size_t n = commandLine.size();
  auto plain = [&](size_t at) {
    return literal && at < literal->size() && (*literal)[at] == '1';
  };
  for (;;) {
    while (i < n && isSeparator(commandLine[i]) && !plain(i)) ++i;
    if (i >= n) break;
    std::string word;
    bool inQuotes = false;
    for (;;) {
      // A run of characters that are neither quotes nor backslashes (nor,
      // outside a quoted run, separators) joins the word as it is.
      size_t run = i;
      while (run < n && (plain(run) || (commandLine[run] != '\\' &&
                                        commandLine[run] != '"' &&
                                        (inQuotes || !isSeparator(commandLine[run])))))
        ++run;
      if (run > i) {
        word.append(commandLine, i, run - i);
        i = run;
        continue;
      }
      size_t backslashes = 0;
      while (i < n && commandLine[i] == '\\' && !plain(i)) {
        ++backslashes;
        ++i;
      }
      bool copy = true;
      if (i < n && commandLine[i] == '"' && !plain(i)) {
        if (backslashes % 2 == 0) {
          if (inQuotes && i + 1 < n && commandLine[i + 1] == '"' &&
              !plain(i + 1)) {
            ++i;  // "" inside a quoted run: one literal quote
          } else {
            copy = false;
            inQuotes = !inQuotes;
          }
        }
        backslashes /= 2;
      }
      word.append(backslashes, '\\');
      if (i >= n || (!inQuotes && isSeparator(commandLine[i]) && !plain(i)))
        break;
      if (copy) word += commandLine[i];
      ++i;
    }
    words.push_back(std::move(word));
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
      size_t run = i;
      while (run < n && commandLine[run] != '"' &&
             (inQuotes || !isSeparator(commandLine[run])))
        ++run;
      program.append(commandLine, i, run - i);
      i = run;
      if (i < n && commandLine[i] == '"') {
        inQuotes = !inQuotes;
        ++i;
      }
    }
    words.push_back(std::move(program));
  }
  splitArgumentsFrom(commandLine, i, words);
  return words;
}

std::vector<std::string> splitWindowsArguments(const std::string& text) {
  std::vector<std::string> words;
  splitArgumentsFrom(text, 0, words);
  return words;
}

void splitWindowsArgumentsInto(const std::string& text,
                               std::vector<std::string>& words) {
  splitArgumentsFrom(text, 0, words);
}

std::vector<std::string> splitWindowsArguments(const std::string& text,
                                               const std::string& literal) {
  std::vector<std::string> words;
  splitArgumentsFrom(text, 0, words, &literal);
  return words;
}

std::string optionArgumentText(const std::string& word) {
  if (!argumentNeedsQuotes(word)) return word;
  // The name stays bare, as an option is written by hand: -Dx="a b".
  const size_t equals = word.find('=');
  if (equals == std::string::npos ||
      word.find_first_of(" \t\"", 0) < equals)
    return quoteArgument(word);
  return word.substr(0, equals + 1) + quoteArgument(word.substr(equals + 1));
}

std::string commandLineText(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) {
    if (!text.empty()) text += ' ';
    text += optionArgumentText(word);
  }
  return text;
}

std::string textOfWords(const std::string& text,
                        const std::vector<std::string>& meant) {
  return splitWindowsArguments(text) == meant ? text : commandLineText(meant);
}

}  // namespace tarvik
