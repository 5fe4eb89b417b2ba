#include "support/AppUserModelId.h"

namespace tarvik {

std::optional<std::string> appUserModelIdProblem(const std::string& id) {
  if (id.empty()) return std::string("the ID is empty");
  if (id.size() > MAX_APP_USER_MODEL_ID)
    return "the ID is longer than " + std::to_string(MAX_APP_USER_MODEL_ID) + " characters";
  size_t parts = 1;
  char previous = '.';
  for (const char c : id) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F)
      return std::string("the ID must not hold blanks or control characters");
    if (byte > 0x7F || c == '"')
      return std::string("the ID must hold only ASCII characters other than \"");
    if (c == '.') {
      if (previous == '.') break;
      ++parts;
    }
    previous = c;
  }
  if (previous == '.' || parts < 2 || parts > 4)
    return std::string(
        "the ID must be Company.Product[.SubProduct[.Version]]: 2 to 4 non-empty parts "
        "between dots");
  return std::nullopt;
}

}  // namespace tarvik
