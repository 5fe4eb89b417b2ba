#include "launch/JavaLauncherOptions.h"

#include <cctype>
#include <cstddef>
#include <string>

#include "support/TextUtil.h"

namespace tarvik {

namespace {

// Options Java's launcher takes with their value as the next word; the VM
// takes them only as one word, joined by '='. A new one is one row.
// (The texts are arrays, not pointers: a table of pointers is relocated at
// every start.)
struct TwoWordOption {
  char word[24];
  char vmForm[24];
};

const TwoWordOption TWO_WORD_OPTIONS[] = {
    {"--add-opens", "--add-opens="},
    {"--add-exports", "--add-exports="},
    {"--add-reads", "--add-reads="},
    {"--add-modules", "--add-modules="},
    {"--limit-modules", "--limit-modules="},
    {"--module-path", "--module-path="},
    {"-p", "--module-path="},
    {"--upgrade-module-path", "--upgrade-module-path="},
    {"--patch-module", "--patch-module="},
    {"--enable-native-access", "--enable-native-access="},
};

const char SPLASH_PREFIX[] = "-splash:";
const char STACK_PREFIX[] = "-Xss";
// No thread runs the VM's start on less.
constexpr uint64_t MINIMUM_STACK_BYTES = 64 * 1024;

// Words of JDK_JAVA_OPTIONS and of a vmparamsFrom variable that name the
// main class.
const char MAIN_CLASS_WORDS[][10] = {"-jar", "-m", "--module", "--source"};

constexpr const char ENDS_THE_LAUNCH[] = "it names the main class or ends the launch";

// Options after which Java runs no application (it prints or dumps, and
// exits), or runs it after text of its own on the application's output.
struct EndingOption {
  char word[32];
  // Java refuses it in JDK_JAVA_OPTIONS too.
  bool refusedInJavaOptions;
  // Java prints its text, then runs the application.
  bool printsAndGoesOn;
  // Its value may be the next word (-d java.base).
  bool takesNextWord;
  // The one value after '=' that ends the launch, where the option's other
  // values run the application (-XX:AOTMode=create, not =record); empty
  // where every value ends it.
  char onlyValue[8] = "";
};

const EndingOption ENDING_OPTIONS[] = {
    {"-h", true, false, false},
    {"-?", true, false, false},
    {"-help", true, false, false},
    {"--help", true, false, false},
    {"-X", true, false, false},
    {"--help-extra", true, false, false},
    {"-version", true, false, false},
    {"--version", true, false, false},
    {"-fullversion", true, false, false},
    {"--full-version", true, false, false},
    {"--list-modules", true, false, false},
    {"-d", true, false, true},
    {"--describe-module", true, false, true},
    {"--validate-modules", true, false, false},
    {"--dry-run", true, false, false},
    {"-Xinternalversion", false, false, false},
    {"-Xshare:dump", false, false, false},
    {"-XX:+DumpSharedSpaces", false, false, false},
    {"-XX:AOTMode", false, false, false, "create"},
    {"-XX:+PrintFlagsInitial", false, false, false},
    {"-XX:+PrintSharedArchiveAndExit", false, false, false},
    {"-Xlog:help", false, false, false},
    {"-showversion", false, true, false},
    {"--show-version", false, true, false},
    {"-XshowSettings", false, true, false},
};

// The row of `word`: the option itself, or with a value after '=' or ':'
// (--describe-module=java.base, -XshowSettings:all).
const EndingOption* endingOption(const std::string& word) {
  for (const EndingOption& option : ENDING_OPTIONS) {
    if (option.onlyValue[0]) {
      if (word == std::string(option.word) + '=' + option.onlyValue) return &option;
      continue;
    }
    const size_t length = std::char_traits<char>::length(option.word);
    if (word.compare(0, length, option.word) == 0 &&
        (word.size() == length || word[length] == '=' || word[length] == ':'))
      return &option;
  }
  return nullptr;
}

const TwoWordOption* twoWordOption(const std::string& word) {
  for (const TwoWordOption& option : TWO_WORD_OPTIONS)
    if (word == option.word) return &option;
  return nullptr;
}

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::optional<uint64_t> parseMemorySize(const std::string& text) {
  size_t i = 0;
  uint64_t number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (number > (UINT64_MAX - 9) / 10) return std::nullopt;
    number = number * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (i == 0) return std::nullopt;
  if (i == text.size()) return number;
  if (i + 1 != text.size()) return std::nullopt;
  int shift = 0;
  switch (text[i]) {
    case 'k': case 'K': shift = 10; break;
    case 'm': case 'M': shift = 20; break;
    case 'g': case 'G': shift = 30; break;
    case 't': case 'T': shift = 40; break;
    default: return std::nullopt;
  }
  if (number > (UINT64_MAX >> shift)) return std::nullopt;
  return number << shift;
}

void translateLauncherOptions(const std::vector<std::string>& texts,
                              LauncherOptionResult& result) {
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string& text = texts[i];
    if (startsWith(text, SPLASH_PREFIX)) {
      result.splashImage = text.substr(sizeof SPLASH_PREFIX - 1);
      continue;
    }
    if (startsWith(text, STACK_PREFIX)) {
      if (std::optional<uint64_t> size =
              parseMemorySize(text.substr(sizeof STACK_PREFIX - 1)))
        result.mainStackBytes =
            *size < MINIMUM_STACK_BYTES ? MINIMUM_STACK_BYTES : *size;
    }
    if (const TwoWordOption* option = twoWordOption(text)) {
      // The value is the next text; without one the VM gets the word and
      // says what it makes of it.
      if (i + 1 < texts.size()) {
        result.vmOptions.push_back(option->vmForm + texts[++i]);
        continue;
      }
    }
    // One text holding both words, as a vmparam line writes them.
    const size_t blank = text.find(' ');
    if (blank != std::string::npos) {
      if (const TwoWordOption* option = twoWordOption(text.substr(0, blank))) {
        size_t value = blank;
        while (value < text.size() && text[value] == ' ') ++value;
        result.vmOptions.push_back(option->vmForm + text.substr(value));
        continue;
      }
    }
    result.vmOptions.push_back(text);
  }
}

std::optional<std::vector<std::string>> splitJavaOptionsVariable(
    const std::string& value) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && isBlank(value[i])) ++i;
    if (i == value.size()) break;
    std::string word;
    while (i < value.size() && !isBlank(value[i])) {
      const char c = value[i++];
      if (c != '"' && c != '\'') {
        word += c;
        continue;
      }
      const size_t close = value.find(c, i);
      if (close == std::string::npos) return std::nullopt;
      word += value.substr(i, close - i);
      i = close + 1;
    }
    words.push_back(word);
  }
  return words;
}

std::optional<std::string> refusedInJavaOptionsVariable(const std::string& word) {
  if (word.empty() || (word[0] != '-' && word[0] != '@'))
    return "it would name the main class";
  for (const char* refused : MAIN_CLASS_WORDS)
    if (word == refused) return std::string(ENDS_THE_LAUNCH);
  for (const EndingOption& option : ENDING_OPTIONS)
    if (option.refusedInJavaOptions && word == option.word)
      return std::string(ENDS_THE_LAUNCH);
  return std::nullopt;
}

namespace {

// Words of a vmparamsFrom variable that would set what the configuration
// sets: the class path, or the module that runs.
const char CLASS_PATH_WORDS[][16] = {"-cp", "-classpath", "--class-path"};
const char REFUSED_PREFIXES[][16] = {"--class-path=", "--module=", "--source="};

std::optional<std::string> refusedFromVariable(const std::string& word) {
  if (!word.empty() && word[0] == '@')
    return "an argument file may hold a main class";
  if (std::optional<std::string> why = refusedInJavaOptionsVariable(word))
    return why;
  for (const char* refused : CLASS_PATH_WORDS)
    if (word == refused) return "the class path is the configuration's";
  for (const char* refused : REFUSED_PREFIXES)
    if (startsWith(word, refused))
      return "it names the main class or sets the class path";
  return std::nullopt;
}

}  // namespace

std::vector<std::vector<std::string>> optionsOfVariable(
    const std::string& name, const std::string& value,
    std::vector<std::string>& refused) {
  std::vector<std::vector<std::string>> options;
  std::optional<std::vector<std::string>> words = splitJavaOptionsVariable(value);
  if (!words) {
    refused.push_back(name + " holds a quote that is not closed: none of its "
                      "options is used");
    return options;
  }
  for (size_t i = 0; i < words->size(); ++i) {
    const std::string& word = (*words)[i];
    if (const EndingOption* ending = endingOption(word)) {
      std::string option = word;
      if (ending->takesNextWord && word == ending->word && i + 1 < words->size())
        option += " " + (*words)[++i];
      refused.push_back(name + " holds " + option + ", which is left out: " +
                        (ending->printsAndGoesOn
                             ? "it prints Java's own text before the application's"
                             : ENDS_THE_LAUNCH));
      continue;
    }
    if (std::optional<std::string> why = refusedFromVariable(word)) {
      refused.push_back(name + " holds " + word + ", which is left out: " + *why);
      continue;
    }
    if (twoWordOption(word)) {
      if (i + 1 == words->size()) {
        refused.push_back(name + " holds " + word + ", which is left out: " +
                          "its value is missing");
        continue;
      }
      options.push_back({word, (*words)[++i]});
      continue;
    }
    options.push_back({word});
  }
  return options;
}

std::vector<std::string> endingOptionWords() {
  std::vector<std::string> words;
  for (const EndingOption& option : ENDING_OPTIONS)
    words.push_back(option.onlyValue[0] ? std::string(option.word) + '=' + option.onlyValue
                                     : option.word);
  return words;
}

}  // namespace tarvik
