// SPDX-License-Identifier: Apache-2.0
#include "host/cli/report.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "core/ansi_code_page.h"
#include "core/error_catalogue.h"
#include "core/parameter_text.h"
#include "tarsin/encoder.h"
#include "tarsin/types.h"

namespace tarsin::cli {
namespace {

constexpr int kLabelWidth = 13;
constexpr uint32_t kUnknownReader = 0x80100009;  // SCARD_E_UNKNOWN_READER

}  // namespace

std::string Shown(std::string_view text) {
  std::string out;
  for (const char32_t c : DecodeUtf8(WellFormedUtf8(text))) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      out += fmt::format("\\x{:02X}", static_cast<uint32_t>(c));
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

std::string OpenFailure(const CError& error, std::string_view reader) {
  if (static_cast<uint32_t>(error.LastDllError) == kUnknownReader) {
    return fmt::format("unknown reader \"{}\" (tarsin-rf readers lists them): {}", reader,
                       error.RdrRetCode);
  }
  if (static_cast<uint32_t>(error.Number) == errors::kNoCard.number) {
    return fmt::format("no card on reader \"{}\": {}", reader, error.RdrRetCode);
  }
  return fmt::format("{} ({}, {}): {}", error.Description, error.ComFunction, error.RdrCommand,
                     error.RdrRetCode);
}

std::string WithReader(std::string_view parameters, const std::optional<std::string>& reader) {
  if (!reader) return std::string(parameters);
  std::string text;
  for (std::string_view entry : SplitParameterEntries(parameters)) {
    if (!entry.empty()) text += std::string(entry) + "\r\n";
  }
  return text + "device=" + *reader;
}

std::vector<std::string> DescriptionLines(Encoder& encoder) {
  std::string description;
  try {
    description = encoder.ReaderType();
  } catch (const ComError&) {
    // closed: there is no reader to describe
  }
  // The description comes as lines ended by CR LF: one line each, without the ends.
  std::vector<std::string> lines;
  for (std::string_view line : SplitAt(description, "\r\n")) {
    if (!line.empty()) lines.push_back(WellFormedUtf8(line));
  }
  return lines;
}

std::string DeviceOf(std::string_view parameters) {
  // Read as the component reads it.
  EncoderState state;
  ApplyParameterText(state, parameters);
  return state.Device;
}

void PrintField(std::string_view label, std::string_view text) {
  std::vector<std::string_view> lines = SplitAt(text, "\r\n");
  fmt::print("  {:<{}}{}\n", label, kLabelWidth, Shown(lines.front()));
  for (size_t i = 1; i < lines.size(); ++i) {
    fmt::print("  {:<{}}{}\n", "", kLabelWidth, Shown(lines[i]));
  }
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
  for (const std::string& line : lines) fmt::print("    {}\n", Shown(line));
}

}  // namespace tarsin::cli
