// SPDX-License-Identifier: Apache-2.0
// Escape and EscapeExt: the host's own APDUs through the same session, log and error handling.
#include "core/error.h"
#include "core/failure.h"
#include "core/operation.h"
#include "crypto/convert_data.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"
#include "pcsc/session.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

struct Answer {
  bool selected = false;  // a card was found; nothing was sent otherwise
  sceReturnCode result = sceError;
  CardAnswer card;
};

Answer SendRequest(EncoderState& state, int32_t code, const std::string& request) {
  Answer answer;
  if (SelectCardInRange(state) != scesuccess) return answer;
  answer.selected = true;
  answer.result = EncoderCommand(state, code, Variant::Array{Variant(request)}, true, answer.card);
  return answer;
}

}  // namespace

sceReturnCode Encoder::Escape(const std::string& Request, std::string& Response) noexcept {
  const std::lock_guard call(*state_->calls);
  Operation operation(*state_, "Escape");
  const Answer answer = SendRequest(*state_, ec_Escape, Request);
  if (!RunStep([&] { Response = BytesToHex(answer.card.data); })) Response.clear();
  return operation.Tag(answer.result);
}

sceReturnCode Encoder::EscapeExt(const std::string& Request, std::string& Response,
                                 std::string& RetCode) noexcept {
  const std::lock_guard call(*state_->calls);
  Operation operation(*state_, "EscapeExt");
  Answer answer = SendRequest(*state_, ec_EscapeExt, Request);
  Response.clear();
  if (!answer.selected) {
    // RetCode is left as the host gave it.
  } else if (answer.result != scesuccess) {
    RetCode = answer.card.status.Text();
  } else if (!RunStep([&] {
               Response = conversion::ToSpacedHex(answer.card.data);
               RetCode = conversion::ToSpacedHex(HexToBytes(answer.card.status.Text()));
             })) {
    Response = RetCode = answer.card.status.Text();
    answer.result = sceError;
  }
  return operation.Tag(answer.result);
}

}  // namespace tarsin
