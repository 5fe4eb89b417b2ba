// Windows command lines: how the launcher quotes an argument so that the
// child's C runtime gives it back unchanged, and how that C runtime splits a
// command line into argv (so that the words a Linux child is given are the
// ones a Windows child would see).
#ifndef TARVIK_LAUNCH_WINDOWSCOMMANDLINE_H
#define TARVIK_LAUNCH_WINDOWSCOMMANDLINE_H

#include <string>
#include <vector>

namespace tarvik {

// True when `argument` cannot stand bare on a command line: it is empty or
// holds a blank, a tab or a double quote.
bool argumentNeedsQuotes(const std::string& argument);

// `argument` between double quotes, escaped for the C runtime's parse: each
// run of backslashes before a double quote or before the closing quote is
// doubled, and a double quote inside becomes backslash + quote.
std::string quoteArgument(const std::string& argument);

// The C runtime's argv for a command line. The first word (the program)
// follows the runtime's rule for argv[0]: double quotes only group and are
// dropped, backslashes are plain characters. The others follow the rule for
// arguments: 2n backslashes + quote give n backslashes and open or close a
// quoted run, 2n+1 give n backslashes and a literal quote, other
// backslashes are literal, and "" inside a quoted run is a literal quote.
// Blanks and tabs outside quoted runs separate words.
std::vector<std::string> splitWindowsCommandLine(
    const std::string& commandLine);

// The words of a piece of command line that stands after the program, by the
// rule for arguments above.
std::vector<std::string> splitWindowsArguments(const std::string& text);
// The same words, appended to `words`.
void splitWindowsArgumentsInto(const std::string& text,
                               std::vector<std::string>& words);

// The same, where the characters that `literal` marks with '1' (those that
// the value of a reference brought) are plain characters of the word they
// stand in: never a separator, a quote or an escaping backslash.
std::vector<std::string> splitWindowsArguments(const std::string& text,
                                               const std::string& literal);

// One word as an option is written on a command line: bare when it can
// stand so, else its name up to the first '=' bare and the value quoted
// (-Dx="a b"), or all of it quoted when the name holds a blank or a quote.
// splitWindowsArguments gives the word back.
std::string optionArgumentText(const std::string& word);

// The words as optionArgumentText writes them, separated by blanks.
std::string commandLineText(const std::vector<std::string>& words);

// `text` when the words a child reads in it are `meant`, else `meant`
// written anew (commandLineText): a text that says what is meant stays as
// it has always been written.
std::string textOfWords(const std::string& text,
                        const std::vector<std::string>& meant);

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_WINDOWSCOMMANDLINE_H
