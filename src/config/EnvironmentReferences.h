// `$NAME` references to the environment (and the built-in `$pid`).
#ifndef TARVIK_CONFIG_ENVIRONMENTREFERENCES_H
#define TARVIK_CONFIG_ENVIRONMENTREFERENCES_H

#include <string>

namespace tarvik {

// Expands `$NAME` references pass after pass; with `quoteSpacedValue` a
// value holding a blank is put between double quotes.
std::string expandEnvironmentReferences(const std::string& text,
                                        bool quoteSpacedValue);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_ENVIRONMENTREFERENCES_H
