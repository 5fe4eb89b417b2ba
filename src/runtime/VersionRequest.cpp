#include "runtime/VersionRequest.h"

#include <algorithm>
#include <climits>

#include "runtime/RuntimeRelease.h"

namespace tarvik {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The numbers of `text` and how many of its characters they take.
std::vector<int> readNumbers(const std::string& text, size_t* used) {
  std::vector<int> numbers;
  size_t i = 0;
  size_t end = 0;
  while (i < text.size() && isDigit(text[i])) {
    long long value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
      value = std::min<long long>(value * 10 + (text[i] - '0'), INT_MAX);
    numbers.push_back(static_cast<int>(value));
    end = i;
    if (i + 1 < text.size() && (text[i] == '.' || text[i] == '_') &&
        isDigit(text[i + 1]))
      ++i;
    else
      break;
  }
  if (used) *used = end;
  return numbers;
}

// The numbers of a text that is a version and nothing else; empty when it
// is not one.
std::vector<int> wholeVersion(const std::string& text) {
  size_t used = 0;
  std::vector<int> numbers = readNumbers(text, &used);
  if (used != text.size()) return {};
  return numbers;
}

// The numbers in version order: the old scheme's 1.8.0_392 reads 8 0 392.
std::vector<int> ordered(std::vector<int> numbers) {
  if (numbers.size() >= 2 && numbers[0] == 1) numbers.erase(numbers.begin());
  return numbers;
}

int compareNumbers(const std::vector<int>& a, const std::vector<int>& b) {
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const int x = i < a.size() ? a[i] : 0;
    const int y = i < b.size() ? b[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// Whether `family` is `numbers`' start, on whole numbers.
bool startsWithFamily(const std::vector<int>& numbers,
                      const std::vector<int>& family) {
  return family.size() <= numbers.size() &&
         std::equal(family.begin(), family.end(), numbers.begin());
}

}  // namespace

std::vector<int> versionNumbers(const std::string& version) {
  return readNumbers(version, nullptr);
}

std::optional<std::string> versionOfName(const std::string& name) {
  const size_t digit = name.find_first_of("0123456789");
  if (digit == std::string::npos) return std::nullopt;
  return name.substr(digit);
}

int compareVersions(const std::string& a, const std::string& b) {
  return compareNumbers(ordered(versionNumbers(a)), ordered(versionNumbers(b)));
}

std::optional<VersionRequest> VersionRequest::parse(const std::string& text) {
  VersionRequest request;
  const size_t dots = text.find("..");
  const size_t underscore = text.find('_');
  if (dots != std::string::npos) {
    const std::string low = text.substr(0, dots);
    const std::string high = text.substr(dots + 2);
    if (wholeVersion(low).empty() || wholeVersion(high).empty())
      return std::nullopt;
    request.form_ = Form::Range;
    request.low_ = *featureVersion(low);
    request.high_ = *featureVersion(high);
  } else if (underscore != std::string::npos &&
             text.find('+') != std::string::npos) {
    // As the registry road reads it: the update is the leading number
    // after the '_' ("45+" gives 45).
    request.form_ = Form::FamilyUpdate;
    request.numbers_ = wholeVersion(text.substr(0, underscore));
    const std::vector<int> after = versionNumbers(text.substr(underscore + 1));
    request.update_ = after.empty() ? 0 : after[0];
  } else if (underscore != std::string::npos) {
    request.form_ = Form::Exact;
    request.numbers_ = wholeVersion(text);
  } else if (!text.empty() && text.back() == '+') {
    request.form_ = Form::AtLeast;
    request.numbers_ = wholeVersion(text.substr(0, text.size() - 1));
  } else {
    request.form_ = Form::Family;
    request.numbers_ = wholeVersion(text);
  }
  if (request.form_ != Form::Range && request.numbers_.empty())
    return std::nullopt;
  return request;
}

bool VersionRequest::matches(const std::optional<std::string>& version) const {
  if (!version) return false;
  const std::vector<int> numbers = versionNumbers(*version);
  if (numbers.empty()) return false;
  switch (form_) {
    case Form::Family:
      return startsWithFamily(numbers, numbers_);
    case Form::Exact:
      return numbers == numbers_;
    case Form::FamilyUpdate: {
      // The update is the third number in version order: 392 of 1.8.0_392,
      // 15 of 17.0.15.
      const std::vector<int> inOrder = ordered(numbers);
      const int update = inOrder.size() > 2 ? inOrder[2] : 0;
      return startsWithFamily(numbers, numbers_) && update >= update_;
    }
    case Form::AtLeast:
      return compareNumbers(ordered(numbers), ordered(numbers_)) >= 0;
    case Form::Range: {
      const int feature = ordered(numbers)[0];
      return feature >= low_ && feature <= high_;
    }
  }
  return false;
}

}  // namespace tarvik
