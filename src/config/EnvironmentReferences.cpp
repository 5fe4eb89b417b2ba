#include "config/EnvironmentReferences.h"

#include <algorithm>
#include <map>

#include "LaunchSettings.h"
#include "config/VariableTable.h"
#include "support/Message.h"
#include "os/Platform.h"

namespace tarvik {

namespace {

// A reference whose value keeps bringing in new references (a value that
// refers back to itself) is followed at most this many levels deep.
constexpr int MAX_NESTED_REFERENCES = 64;
constexpr size_t DEBUG_TEXT_LIMIT = 3035;

// The text between passes. Each pass expands the first '$' of the text, so
// everything before it is settled for good; keeping the settled prefix
// apart from the tail (stored reversed, so that the front of the tail can
// be taken off and put on cheaply) makes a pass cost only what it changes.
// Quotes that passes put at the very start and end are kept as counts.
struct PassText {
  size_t leadQuotes = 0;
  std::string prefix;
  bool prefixHasEquals = false;
  std::string tail;        // reversed; its logical front is tail.back()
  size_t tailEquals = 0;   // '=' characters in the tail
  size_t originalEnd = 0;  // this many of the tail's last characters are
                           // still the caller's text
  size_t trailQuotes = 0;
  // Beside the prefix and the tail (reversed too), '1' for each character
  // that came from a value, else '0'.
  std::string prefixFromValue;
  std::string tailFromValue;

  // The character at logical position `i` of the tail.
  char at(size_t i) const { return tail[tail.size() - 1 - i]; }

  // Takes `count` characters off the front of the tail.
  void dropFront(size_t count) {
    for (size_t i = 0; i < count; ++i)
      if (at(i) == '=') --tailEquals;
    tail.resize(tail.size() - count);
    tailFromValue.resize(tail.size());
    originalEnd = std::min(originalEnd, tail.size());
  }

  void putFront(const std::string& text, char fromValue) {
    tail.append(text.rbegin(), text.rend());
    tailFromValue.append(text.size(), fromValue);
    tailEquals += static_cast<size_t>(std::count(text.begin(), text.end(), '='));
  }

  // Moves what stands before the tail's first '$' into the prefix. False
  // when no '$' is left.
  bool advanceToDollar() {
    while (!tail.empty() && tail.back() != '$') {
      const char c = tail.back();
      if (c == '=') {
        prefixHasEquals = true;
        --tailEquals;
      }
      prefix += c;
      prefixFromValue += tailFromValue.back();
      tail.pop_back();
      tailFromValue.pop_back();
    }
    originalEnd = std::min(originalEnd, tail.size());
    return !tail.empty();
  }

  // The first `limit` characters of the whole text (for the debug box).
  std::string head(size_t limit) const {
    std::string out(std::min(leadQuotes, limit), '"');
    out.append(prefix, 0, limit - out.size());
    for (size_t i = 0; i < tail.size() && out.size() < limit; ++i)
      out += at(i);
    out.append(std::min(trailQuotes, limit - out.size()), '"');
    return out;
  }

  size_t size() const {
    return leadQuotes + prefix.size() + tail.size() + trailQuotes;
  }

  std::string whole() const {
    std::string out(leadQuotes, '"');
    out += prefix;
    out.append(tail.rbegin(), tail.rend());
    out.append(trailQuotes, '"');
    return out;
  }

  // whole()'s '1' and '0' for the characters from values and the others.
  std::string wholeFromValue() const {
    std::string out(leadQuotes, '0');
    out += prefixFromValue;
    out.append(tailFromValue.rbegin(), tailFromValue.rend());
    out.append(trailQuotes, '0');
    return out;
  }
};

void slashesForward(std::string& text, size_t from) {
  std::replace(text.begin() + static_cast<long>(from), text.end(), '\\', '/');
}

}  // namespace

namespace {

// The values `setenv` lines gave during a look; null when none is taken.
std::map<std::string, std::string>* gLookValues = nullptr;

}  // namespace

EnvironmentLook::EnvironmentLook() {
  gLookValues = new std::map<std::string, std::string>();
}

EnvironmentLook::~EnvironmentLook() {
  delete gLookValues;
  gLookValues = nullptr;
}

std::optional<std::string> environmentValue(const std::string& name) {
  if (gLookValues) {
    auto given = gLookValues->find(name);
    if (given != gLookValues->end()) return given->second;
  }
  return platform().getEnv(name);
}

void setEnvironmentValue(const std::string& name, const std::string& value) {
  if (gLookValues)
    (*gLookValues)[name] = value;
  else
    platform().setEnv(name, value);
}

std::string expandEnvironmentReferences(const std::string& text,
                                        bool quoteSpacedValue,
                                        std::string* fromValue) {
  std::string given;
  if (fromValue) {
    given = *fromValue;
    given.resize(text.size(), '0');
    *fromValue = given;
  }
  if (text.empty()) return std::string();
  const size_t dollar = text.find('$');
  if (dollar == std::string::npos) return text;

  Platform& os = platform();
  PassText t;
  t.prefix = text.substr(0, dollar);
  if (fromValue) {
    t.prefixFromValue = given.substr(0, dollar);
    t.tailFromValue.assign(given.rbegin(),
                           given.rend() - static_cast<long>(dollar));
  } else {
    t.prefixFromValue.assign(dollar, '0');
    t.tailFromValue.assign(text.size() - dollar, '0');
  }
  t.prefixHasEquals = t.prefix.find('=') != std::string::npos;
  t.tail.assign(text.rbegin(), text.rend() - static_cast<long>(dollar));
  t.tailEquals =
      static_cast<size_t>(std::count(text.begin() + static_cast<long>(dollar),
                                     text.end(), '='));
  t.originalEnd = t.tail.size();

  // Every pass that expands something turns all backslashes into slashes,
  // so only the first pass can meet a backslash terminator.
  bool slashesConverted = false;
  int nested = 0;
  bool quote = quoteSpacedValue;

  for (;;) {
    const size_t n = t.tail.size();  // t.at(0) is the '$'
    size_t terminator = n;
    if (!slashesConverted) {
      for (size_t i = 1; i < n; ++i) {
        if (t.at(i) == '\\') {
          terminator = i;
          break;
        }
      }
    }
    if (terminator == n) {
      for (size_t i = 1; i < n; ++i) {
        if (t.at(i) == '/') {
          terminator = i;
          break;
        }
      }
    }
    size_t nameEnd = 1;
    while (nameEnd < terminator && t.at(nameEnd) != '"') ++nameEnd;
    const bool cutAtQuote = nameEnd < terminator;
    std::string name;
    name.reserve(nameEnd - 1);
    for (size_t i = 1; i < nameEnd; ++i) name += t.at(i);

    if (n - 1 < t.originalEnd) {
      nested = 0;
    } else if (++nested > MAX_NESTED_REFERENCES) {
      if (!gLookValues)
        os.writeStderr("Stopped expanding $" + name + ": references nested " +
                       "more than " + std::to_string(MAX_NESTED_REFERENCES) +
                       " deep (does a value refer back to itself?)\n");
      break;
    }

    if (t.prefixHasEquals) quote = true;
    debugBox("Found variable", name);
    std::optional<std::string> value = environmentValue(name);
    if (!value) {
      if (name != "pid") {
        debugBox("Can't find variable", name);
        break;
      }
      value = std::to_string(os.processId());
    }

    const bool hasEquals = t.prefixHasEquals || t.tailEquals > 0;
    const bool spaced = quote && value->find(' ') != std::string::npos;
    std::string inputHead;
    if (options().debugMode) inputHead = t.head(DEBUG_TEXT_LIMIT);

    // A name cut at a double quote keeps the text from that quote on, so
    // "$pid" and "$HOME" both keep their closing quote.
    size_t restStart = cutAtQuote ? nameEnd : terminator;
    if (!cutAtQuote && terminator < n && !value->empty() &&
        (value->back() == '/' || value->back() == '\\'))
      restStart = terminator + 1;  // the separator is not doubled
    const size_t grownSize =
        t.size() - restStart + value->size() + (spaced ? 2 : 0);
    if (grownSize > text.size() + MAX_EXPANSION_GROWTH) {
      if (!gLookValues)
        os.writeStderr("Stopped expanding $" + name + ": the text would grow " +
                       "by more than " + std::to_string(MAX_EXPANSION_GROWTH) +
                       " characters (does a value refer back to itself?)\n");
      break;
    }
    t.dropFront(restStart);
    if (spaced && !hasEquals) ++t.leadQuotes;
    if (spaced && hasEquals) {
      t.prefix += '"';
      t.prefixFromValue += '0';
    }
    t.putFront(*value, '1');
    if (spaced) ++t.trailQuotes;

    if (options().debugMode) {
      std::string message = "arg [" + inputHead + "] expanded to [" +
                            t.head(DEBUG_TEXT_LIMIT) + "]\n";
      if (message.size() > DEBUG_TEXT_LIMIT) message.resize(DEBUG_TEXT_LIMIT);
      showBox("Parse Path", message);
    }

    if (!slashesConverted) {
      slashesForward(t.prefix, 0);
      slashesForward(t.tail, 0);
      slashesConverted = true;
    } else {
      slashesForward(t.tail, t.tail.size() - value->size());
    }

    if (!t.advanceToDollar()) break;
  }
  if (fromValue) *fromValue = t.wholeFromValue();
  return t.whole();
}

}  // namespace tarvik
