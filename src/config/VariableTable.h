// `var` definitions and their `%name%` substitution.
#ifndef TARVIK_CONFIG_VARIABLETABLE_H
#define TARVIK_CONFIG_VARIABLETABLE_H

#include <map>
#include <string>

namespace tarvik {

// The process-wide map of `var` definitions (the settings hold it):
// byte-wise, case-sensitive names; later definitions replace earlier ones;
// nothing is ever removed.
using VariableTable = std::map<std::string, std::string>;
VariableTable& variables();

// Applies the argument of a `var` line ("name=value").
void defineVariable(const std::string& argument);

// A copy of `text` with every defined `%name%` replaced by its value and
// every `%%` turned into one '%'. With `fromValue`, it is set to a '1' for
// each character of the result that a value brought and a '0' for the
// others.
std::string substituteVariables(const std::string& text,
                                std::string* fromValue = nullptr);
// The same over any table: the packer's description has one of its own.
std::string substituteVariables(const VariableTable& table,
                                const std::string& text,
                                std::string* fromValue = nullptr);

}  // namespace tarvik

#endif  // TARVIK_CONFIG_VARIABLETABLE_H
