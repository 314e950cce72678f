#include "web/canvas.h"

namespace vantorel::web {

std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    const size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}

}  // namespace vantorel::web
