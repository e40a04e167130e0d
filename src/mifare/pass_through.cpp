// SPDX-License-Identifier: Apache-2.0
// Escape and EscapeExt: the host's own APDUs through the same session, log and error handling.
#include "core/error.h"
#include "core/failure.h"
#include "core/operation.h"
#include "crypto/encoder_cipher.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"
#include "pcsc/session.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

std::string SpacedHex(EncoderState& state, const std::string& hex) {
  return CipherOf(state).ConvertData(Variant(hex), cnvInHex + cnvOutSpacedHex, false).asString();
}

struct Answer {
  bool selected = false;  // a card was found; nothing was sent otherwise
  sceReturnCode result = sceError;
  std::string data;
  std::string statusCode;
};

Answer SendRequest(EncoderState& state, int32_t code, const std::string& request) {
  Answer answer;
  if (SelectCardInRange(state) != scesuccess) return answer;
  answer.selected = true;
  answer.result = EncoderCommand(state, code, Variant::Array{Variant(request)}, answer.data,
                                 answer.statusCode, 1);
  return answer;
}

}  // namespace

sceReturnCode Encoder::Escape(const std::string& Request, std::string& Response) noexcept {
  const std::lock_guard call(*state_->calls);
  Operation operation(*state_, "Escape");
  Answer answer = SendRequest(*state_, ec_Escape, Request);
  Response = std::move(answer.data);
  return operation.Tag(answer.result);
}

sceReturnCode Encoder::EscapeExt(const std::string& Request, std::string& Response,
                                 std::string& RetCode) noexcept {
  const std::lock_guard call(*state_->calls);
  auto& state = *state_;
  Operation operation(state, "EscapeExt");
  Answer answer = SendRequest(state, ec_EscapeExt, Request);
  Response.clear();
  if (!answer.selected) {
    // RetCode is left as the host gave it.
  } else if (answer.result != scesuccess) {
    RetCode = answer.statusCode;
  } else if (!RunStep([&] {
               Response = SpacedHex(state, answer.data);
               RetCode = SpacedHex(state, answer.statusCode);
             })) {
    Response = RetCode = answer.statusCode;
    answer.result = sceError;
  }
  return operation.Tag(answer.result);
}

}  // namespace tarsin
