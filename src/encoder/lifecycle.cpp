// SPDX-License-Identifier: Apache-2.0
// Construction, destruction and the members of the core that only forward.
#include <fmt/format.h>

#include "core/error.h"
#include "core/failure.h"
#include "core/log.h"
#include "core/state.h"
#include "pcsc/card_identification.h"
#include "pcsc/session.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

// The parameter text a new encoder starts from; the last two lines carry the fields' current
// values, so the log shows what the object really starts with.
std::string DefaultParameterText(const EncoderState& state) {
  return fmt::format(
      "Encoding capabilities=Mifare Classic, Mifare Ultralight\r\n"
      "Device=<unknown>\r\nProtocol=1\r\nForce_Reconnect={}\r\nOpen_Mode={}",
      state.ForceReconnect ? "True" : "False", state.OpenMode);
}

}  // namespace

Encoder::Encoder() : state_(std::make_unique<tarsin::EncoderState>()) {
  WriteLog("--> Constructor");
  state_->OpenMode = 1;
  state_->ForceReconnect = false;
  std::string defaults;
  RunStepOrGoOn([&] { defaults = DefaultParameterText(*state_); });
  Parameters(defaults);
  state_->hContext = 0;
  state_->hCard = 0;
  LetATRString(*state_, "");  // no card yet
  ClearError(*state_);
  WriteLog("<-- Constructor");
}

Encoder::~Encoder() {
  WriteLog("--> Destructor");
  CloseEncoderQuietly(*state_);
  WriteLog("<-- Destructor");
}

std::shared_ptr<CError> Encoder::LastError() noexcept {
  const std::lock_guard call(*state_->calls);
  RunStepOrGoOn([&] { LastErrorOf(*state_); });
  return state_->lastError;
}

void Encoder::WriteLog(const std::string& sMessage) noexcept {
  const std::lock_guard call(*state_->calls);
  tarsin::WriteLog(*state_, sMessage);
}

}  // namespace tarsin
