// Escape and EscapeExt: the host's own APDUs through the same session, log and error handling.
#include "core/error.h"
#include "core/failure.h"
#include "crypto/des.h"
#include "pcsc/command_table.h"
#include "pcsc/exchange.h"
#include "pcsc/session.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

std::string SpacedHex(EncoderState& state, const std::string& hex) {
  if (!state.Cipher) state.Cipher = std::make_unique<DES>();
  return state.Cipher->ConvertData(Variant(hex), cnvInHex + cnvOutSpacedHex, false).asString();
}

}  // namespace

sceReturnCode Encoder::Escape(const std::string& Request, std::string& Response) noexcept {
  auto& state = *state_;
  ClearError(state);
  sceReturnCode result = sceError;
  if (SelectCardInRange(state) != scesuccess) {
    Response.clear();
  } else {
    std::string statusCode;
    result = EncoderCommand(state, ec_Escape, Variant::Array{Variant(Request)}, Response,
                            statusCode, 1);
  }
  TagError(state, "Escape");
  return result;
}

sceReturnCode Encoder::EscapeExt(const std::string& Request, std::string& Response,
                                 std::string& RetCode) noexcept {
  auto& state = *state_;
  ClearError(state);
  sceReturnCode result = sceError;
  if (SelectCardInRange(state) != scesuccess) {
    Response.clear();
  } else {
    std::string data;
    std::string statusCode;
    result = EncoderCommand(state, ec_EscapeExt, Variant::Array{Variant(Request)}, data,
                            statusCode, 1);
    if (result != scesuccess) {
      Response.clear();
      RetCode = statusCode;
    } else if (!RunStep([&] {
                 Response = SpacedHex(state, data);
                 RetCode = SpacedHex(state, statusCode);
               })) {
      Response = RetCode = statusCode;
      result = sceError;
    }
  }
  TagError(state, "EscapeExt");
  return result;
}

}  // namespace tarsin
