#include "cache/VmOutputLog.h"

#include "support/TextUtil.h"

namespace tarvik {

namespace {

// The line a training run writes when it has recorded its configuration.
const char RECORDED_LINE[] = "AOTConfiguration recorded: ";

// (The entities are arrays, not pointers: a table of pointers is relocated
// at every start.)
const struct {
  char entity[8];
  char character;
} ENTITIES[] = {
    {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'},
};

std::string decoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& row : ENTITIES) {
        if (text.compare(i, std::string(row.entity).size(), row.entity) != 0) continue;
        out += row.character;
        i += std::string(row.entity).size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

}  // namespace

std::string textTheVmShowed(const std::string& log) {
  const size_t open = log.find("<tty>");
  if (open == std::string::npos) return std::string();
  const size_t close = log.find("</tty>", open);
  const std::string body =
      log.substr(open + 5, close == std::string::npos ? std::string::npos
                                                      : close - open - 5);
  // Element lines change the depth; text at depth 0 is what was shown.
  std::string shown;
  int depth = 0;
  size_t at = body.empty() || body[0] != '\n' ? 0 : 1;
  while (at < body.size()) {
    size_t end = body.find('\n', at);
    const bool lastLine = end == std::string::npos;
    if (lastLine) end = body.size();
    const std::string line = body.substr(at, end - at);
    at = end + 1;
    if (startsWith(line, "</")) {
      if (depth > 0) --depth;
      continue;
    }
    if (startsWith(line, "<")) {
      const bool closed = line.size() >= 2 && line.compare(line.size() - 2, 2, "/>") == 0;
      if (!closed && line.find("</") == std::string::npos) ++depth;
      continue;
    }
    if (depth > 0) continue;
    const std::string text = decoded(line);
    if (text.find(RECORDED_LINE) != std::string::npos) continue;
    shown += text;
    if (!lastLine) shown += '\n';
  }
  return shown;
}

bool vmLogEnded(const std::string& log) {
  return log.find("</hotspot_log>") != std::string::npos;
}

}  // namespace tarvik
