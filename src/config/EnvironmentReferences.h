// `$NAME` references to the environment (and the built-in `$pid`).
#ifndef TARVIK_CONFIG_ENVIRONMENTREFERENCES_H
#define TARVIK_CONFIG_ENVIRONMENTREFERENCES_H

#include <optional>
#include <string>

namespace tarvik {

// Expands `$NAME` references pass after pass; with `quoteSpacedValue` a
// value holding a blank is put between double quotes.
//
// With `fromValue`, which holds a '1' for each character of `text` that came
// from a value already (a `%name%` variable's) and '0' for the others
// (missing ones count as '0'), it is set to the same for the result: what
// the values of references and variables brought, whose characters are no
// command-line syntax however they look.
std::string expandEnvironmentReferences(const std::string& text,
                                        bool quoteSpacedValue,
                                        std::string* fromValue = nullptr);

// A variable of the environment as the configuration sees it: the
// process's, or while a look is taken, the value a `setenv` line of the look
// gave it.
std::optional<std::string> environmentValue(const std::string& name);
// Sets a variable for the application (what a `setenv` line does); during
// a look only the look sees it.
void setEnvironmentValue(const std::string& name, const std::string& value);

// While one lives, the configuration is only looked through: `setenv`
// lines change the look's own view of the environment, never the
// process's, and expansion says nothing of values it stops at.
class EnvironmentLook {
 public:
  EnvironmentLook();
  ~EnvironmentLook();
  EnvironmentLook(const EnvironmentLook&) = delete;
  EnvironmentLook& operator=(const EnvironmentLook&) = delete;
};

}  // namespace tarvik

#endif  // TARVIK_CONFIG_ENVIRONMENTREFERENCES_H
