#include "host/cli/report.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/parameter_text.h"

namespace tarsin::cli {
namespace {

constexpr int kLabelWidth = 13;

}  // namespace

void PrintField(std::string_view label, std::string_view text) {
  std::vector<std::string_view> lines = SplitAt(text, "\r\n");
  fmt::print("  {:<{}}{}\n", label, kLabelWidth, lines.front());
  for (size_t i = 1; i < lines.size(); ++i) fmt::print("  {:<{}}{}\n", "", kLabelWidth, lines[i]);
}

uintmax_t FileSize(const std::string& path) {
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

std::pair<std::deque<std::string>, size_t> LinesAfter(const std::string& path, uintmax_t offset,
                                                      size_t count) {
  std::deque<std::string> lines;
  size_t total = 0;
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  for (std::string line; std::getline(in, line); ++total) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (lines.size() > count) lines.pop_front();
  }
  return {std::move(lines), total};
}

void PrintLogTail(const std::string& path, uintmax_t offset, size_t count) {
  PrintField("Log", path);
  auto [lines, total] = LinesAfter(path, offset, count);
  if (total == 0) {
    PrintField("", "nothing written: the log folder must exist (the component never creates it)");
    return;
  }
  PrintField("", lines.size() < total
                     ? fmt::format("last {} of the {} lines of this run:", lines.size(), total)
                     : fmt::format("the {} lines of this run:", total));
  for (const std::string& line : lines) fmt::print("    {}\n", line);
}

}  // namespace tarsin::cli
