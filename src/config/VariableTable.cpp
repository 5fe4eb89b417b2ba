#include "config/VariableTable.h"

#include "LaunchSettings.h"
#include "support/Message.h"
#include "os/Platform.h"

namespace tarvik {

VariableTable& variables() { return settings().variables; }

void defineVariable(const std::string& argument) {
  const size_t equals = argument.find('=');
  if (equals == std::string::npos) {
    writeNotice("Attempted to parse invalid var line: " + argument + "\n");
    if (options().debugMode)
      showMessage("Attempted to parse var without =", argument, true);
    return;
  }
  const std::string name = argument.substr(0, equals);
  if (name.find('%') != std::string::npos) {
    // Stored all the same: "%%" is always the escape, so it cannot be used.
    writeNotice("Defined unusable variable name: " + name + "\n");
    if (options().debugMode)
      showMessage("Defined unusuable variable name", name, true);
  }
  variables()[name] = argument.substr(equals + 1);
}

std::optional<std::string> substituteVariables(const std::string& text,
                                               std::string* fromValue,
                                               std::string* overgrowing) {
  std::optional<std::string> result =
      substituteVariables(variables(), text, fromValue, overgrowing);
  if (result && *result != text && options().debugMode)
    showMessage("Substituted variables", text + "\nto\n" + *result, false);
  return result;
}

std::optional<std::string> substituteVariables(const VariableTable& table,
                                               const std::string& text,
                                               std::string* fromValue,
                                               std::string* overgrowing) {
  std::string marks;  // fromValue's text, while the result is made
  auto keep = [&](size_t count) {
    if (fromValue) marks.append(count, '0');
  };
  // One left-to-right scan that appends to the result, so an inserted value
  // is never scanned again and a long line costs linear time.
  std::string result;
  size_t done = 0;  // input before this position is in `result`
  for (;;) {
    const size_t open = text.find('%', done);
    if (open == std::string::npos) break;
    const size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;  // a '%' without partner stays
    if (close == open + 1) {
      result.append(text, done, open + 1 - done);  // "%%" becomes one '%'
      keep(open + 1 - done);
    } else {
      auto entry = table.find(text.substr(open + 1, close - open - 1));
      if (entry != table.end()) {
        // Nothing after it makes the result shorter than it is then.
        if (result.size() + (open - done) + entry->second.size() >
            text.size() + MAX_EXPANSION_GROWTH) {
          if (overgrowing) *overgrowing = entry->first;
          return std::nullopt;
        }
        result.append(text, done, open - done);
        result += entry->second;
        keep(open - done);
        if (fromValue) marks.append(entry->second.size(), '1');
      } else {
        // The closing mark is used up with the undefined name.
        result.append(text, done, close + 1 - done);
        keep(close + 1 - done);
      }
    }
    done = close + 1;
  }
  if (done == 0) {
    if (fromValue) fromValue->assign(text.size(), '0');
    return text;
  }
  result.append(text, done, std::string::npos);
  keep(text.size() - done);
  if (fromValue) *fromValue = marks;
  return result;
}

}  // namespace tarvik
