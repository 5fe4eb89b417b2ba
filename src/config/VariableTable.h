// `var` definitions and their `%name%` substitution.
#ifndef TARVIK_CONFIG_VARIABLETABLE_H
#define TARVIK_CONFIG_VARIABLETABLE_H

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace tarvik {

// The process-wide map of `var` definitions (the settings hold it):
// byte-wise, case-sensitive names; later definitions replace earlier ones;
// nothing is ever removed.
using VariableTable = std::map<std::string, std::string>;
VariableTable& variables();

// Applies the argument of a `var` line ("name=value").
void defineVariable(const std::string& argument);

// One expansion grows its text by at most this much, `%name%` variables and
// `$NAME` references alike. A value that refers to itself comes back larger
// from each line that sets it again, so without a bound a few such lines
// exhaust the memory.
constexpr size_t MAX_EXPANSION_GROWTH = 1 << 20;

// A copy of `text` with every defined `%name%` replaced by its value and
// every `%%` turned into one '%'. With `fromValue`, it is set to a '1' for
// each character of the result that a value brought and a '0' for the
// others. Nothing when the values would make the text longer by more than
// MAX_EXPANSION_GROWTH; `overgrowing` is then set to the name whose value
// would have.
std::optional<std::string> substituteVariables(const std::string& text,
                                               std::string* fromValue = nullptr,
                                               std::string* overgrowing = nullptr);
// The same over any table: the packer's description has one of its own.
std::optional<std::string> substituteVariables(const VariableTable& table,
                                               const std::string& text,
                                               std::string* fromValue = nullptr,
                                               std::string* overgrowing = nullptr);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_VARIABLETABLE_H
