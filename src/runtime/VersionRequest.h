// Java version texts and the `javaVersion` forms that ask for them.
//
//   17, 1.8          the family: 17.0.9 and 17 but not 170
//   1.8.0_392        exactly that version
//   1.8.0_45+        family 1.8.0 with update 45 or later
//   17+, 17.0.9+     that version or any later one; 1.8+ means 8 or later
//   11..21           feature versions 11 to 21, both included
#ifndef TARVIK_RUNTIME_VERSIONREQUEST_H
#define TARVIK_RUNTIME_VERSIONREQUEST_H

#include <optional>
#include <string>
#include <vector>

namespace tarvik {

// The numbers of a version text, read from its start while they are
// separated by '.' or '_' ("1.8.0_392-b08" gives 1 8 0 392); empty when it
// does not start with a digit.
std::vector<int> versionNumbers(const std::string& version);

// The version a registry key or folder name carries: its text from the
// first digit ("zulu-17" gives "17"); nothing without a digit.
std::optional<std::string> versionOfName(const std::string& name);

// Orders two versions that have numbers, reading the old 1.N as N and
// missing numbers as 0: negative, 0 or positive.
int compareVersions(const std::string& a, const std::string& b);

class VersionRequest {
 public:
  // The request a `javaVersion` text makes, or nothing when it has none of
  // the forms above.
  static std::optional<VersionRequest> parse(const std::string& text);

  // Whether a runtime of `version` fits; an unknown version never does.
  bool matches(const std::optional<std::string>& version) const;

 private:
  enum class Form { Family, Exact, FamilyUpdate, AtLeast, Range };
  Form form_ = Form::Family;
  std::vector<int> numbers_;
  int update_ = 0;
  int low_ = 0;
  int high_ = 0;
};

}  // namespace tarvik

#endif  // TARVIK_RUNTIME_VERSIONREQUEST_H
