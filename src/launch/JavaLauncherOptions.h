// What Java's own launcher makes of its options before the VM sees them,
// for a VM run inside this launcher: options written as two words, the
// splash screen, the main thread's stack and JDK_JAVA_OPTIONS.
#ifndef TARVIK_LAUNCH_JAVALAUNCHEROPTIONS_H
#define TARVIK_LAUNCH_JAVALAUNCHEROPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvik {

struct LauncherOptionResult {
  // The options in the form the VM takes, in order.
  std::vector<std::string> vmOptions;
  // The image of the last -splash:<image>, which no VM takes.
  std::optional<std::string> splashImage;
  // The last valid -Xss size in bytes; 0 when none was given.
  uint64_t mainStackBytes = 0;
};

// Translates option texts as Java's launcher would: "--add-opens X" (one
// text, or two in a row) becomes "--add-opens=X" and "-p X"
// "--module-path=X"; -splash: is taken out; -Xss also sizes the main
// thread. Every other text stays as it is.
void translateLauncherOptions(const std::vector<std::string>& texts,
                              LauncherOptionResult& result);

// The size of an -Xss value ("64m", "512k", "1048576"), or nothing when it
// is no size.
std::optional<uint64_t> parseMemorySize(const std::string& text);

// The words of JDK_JAVA_OPTIONS as Java splits them: at white space, with
// single or double quotes grouping (and removed). Nothing when a quote is
// not closed.
std::optional<std::vector<std::string>> splitJavaOptionsVariable(
    const std::string& value);

// Why a word of JDK_JAVA_OPTIONS may not stand there (it names the main
// class or ends the launch without running it), or nothing when it may.
std::optional<std::string> refusedInJavaOptionsVariable(const std::string& word);

// The JVM options that the variable `name` holds as `value` (MAVEN_OPTS,
// ANT_OPTS), split as JDK_JAVA_OPTIONS is: each option's words, an option
// that Java takes with its value as the next word (--add-opens X) with that
// word. A word that is no option (it does not start with '-'), an argument
// file (@file), -jar, -m/--module, a class path option (-cp, -classpath,
// --class-path), --source, and the options after which Java runs no
// application or prints its own text first (endingOptionWords, also with a
// value after '=' or ':', or as the next word) are left out, with a line
// for each in `refused`; so is the whole value when a quote is not closed.
std::vector<std::vector<std::string>> optionsOfVariable(
    const std::string& name, const std::string& value,
    std::vector<std::string>& refused);

// The options of Java that a vmparamsFrom variable may not hold because
// Java would run no application after them (-version, -Xshare:dump...) or
// print its own text before it (-showversion): the list the manual gives.
std::vector<std::string> endingOptionWords();

}  // namespace tarvik

#endif  // TARVIK_LAUNCH_JAVALAUNCHEROPTIONS_H
