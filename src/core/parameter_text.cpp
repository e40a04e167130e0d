// SPDX-License-Identifier: Apache-2.0
#include "core/parameter_text.h"

#include <fmt/format.h>

#include <algorithm>

#include "core/numeric_text.h"

namespace tarsin {
namespace {

constexpr std::string_view kCrlf = "\r\n";

std::string_view TrimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool SameKey(std::string_view key, std::string_view expected) {
  return std::ranges::equal(key, expected, [](char a, char b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(a) == lower(b);
  });
}

void ApplyEntry(EncoderState& state, std::string_view entry) {
  size_t equals = entry.find('=');
  std::string_view key = TrimBlanks(entry.substr(0, equals));
  std::string_view value = equals == std::string_view::npos ? "" : entry.substr(equals + 1);
  if (SameKey(key, "device")) {
    state.Device = std::string(value);
  } else if (SameKey(key, "protocol")) {
    // A number beyond 32 bits cannot be converted: the assignment is skipped.
    if (auto protocol = RoundToInt32(NumericValue(value))) state.Protocol = *protocol;
  } else if (SameKey(key, "force_reconnect")) {
    state.ForceReconnect = NumericValue(value) != 0;
  } else if (SameKey(key, "open_mode")) {
    double mode = NumericValue(value);
    state.OpenMode = mode == 3 ? 3 : mode == 2 ? 2 : 1;
  }
}

}  // namespace

std::vector<std::string_view> SplitAt(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> pieces;
  for (size_t at; (at = text.find(separator)) != std::string_view::npos;) {
    pieces.push_back(text.substr(0, at));
    text.remove_prefix(at + separator.size());
  }
  pieces.push_back(text);
  return pieces;
}

std::vector<std::string_view> SplitParameterEntries(std::string_view text) {
  return SplitAt(text, text.find(kCrlf) != std::string_view::npos ? kCrlf : ";");
}

void ApplyParameterText(EncoderState& state, std::string_view text) {
  for (std::string_view entry : SplitParameterEntries(text)) ApplyEntry(state, entry);
}

std::string ParameterText(const EncoderState& state) {
  return fmt::format(
      "Encoding capabilities=Mifare Classic, Mifare Ultralight, Mifare DESFire\r\n"
      "Device={}\r\nProtocol={}\r\nForce_Reconnect={}\r\nOpen_Mode={}",
      state.Device, state.Protocol, state.ForceReconnect ? 1 : 0, state.OpenMode);
}

}  // namespace tarsin
