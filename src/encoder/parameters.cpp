// SPDX-License-Identifier: Apache-2.0
// The Parameters property.
#include "core/error.h"
#include "core/failure.h"
#include "core/log.h"
#include "core/parameter_text.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

// A multi-line text is logged line by line under one entry line, the closing quote after the
// last line, so that the log shows it as it was given.
void LogParameterText(EncoderState& state, std::string_view text) {
  constexpr std::string_view kEntry = "--> Set Parameters = \"";
  constexpr size_t kContinuationIndent = 18;
  if (text.find("\r\n") == std::string_view::npos) {
    WriteLog(state, std::string(kEntry).append(text).append("\""));
    return;
  }
  std::vector<std::string_view> lines = SplitAt(text, "\r\n");
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = i == 0 ? std::string(kEntry) : std::string(kContinuationIndent, ' ');
    line.append(lines[i]);
    if (i + 1 == lines.size()) line.append("\"");
    WriteLog(state, line);
  }
}

}  // namespace

void Encoder::Parameters(const std::string& text) noexcept {
  const std::lock_guard call(*state_->calls);
  RunStepOrGoOn([&] { LogParameterText(*state_, text); });
  ClearError(*state_);
  RunStepOrGoOn([&] { ApplyParameterText(*state_, text); });
  TagError(*state_, "Parameters");
  tarsin::WriteLog(*state_, "<-- Set Parameters");
}

std::string Encoder::Parameters() noexcept {
  const std::lock_guard call(*state_->calls);
  std::string text;
  tarsin::WriteLog(*state_, "--> Get Parameters");
  ClearError(*state_);
  RunStepOrGoOn([&] { text = ParameterText(*state_); });
  ClearError(*state_, "Parameters");
  tarsin::WriteLog(*state_, "<-- Get Parameters");
  return text;
}

}  // namespace tarsin
