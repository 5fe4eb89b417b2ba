// `$NAME` references to the environment (and the built-in `$pid`).
#ifndef TARVIK_CONFIG_ENVIRONMENTREFERENCES_H
#define TARVIK_CONFIG_ENVIRONMENTREFERENCES_H

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

}  // namespace tarvik

#endif  // TARVIK_CONFIG_ENVIRONMENTREFERENCES_H
