// SPDX-License-Identifier: Apache-2.0
#include "desfire/channel.h"

#include <algorithm>

#include "core/error.h"
#include "core/failure.h"
#include "crypto/block_modes.h"
#include "crypto/crc.h"
#include "desfire/channel_cipher.h"
#include "desfire/channel_messaging.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

constexpr size_t kFirstFrame = 52;
constexpr size_t kFurtherFrame = 59;

bool InEv1Session(const EncoderState& state, const NativeCommand& command) {
  return command.secured && state.Desfire.Ev1 && state.Desfire.AuthenticatedKeyNumber;
}

// The header, then the data as the session sends it.
ByteVector Wrap(EncoderState& state, const NativeCommand& command) {
  DesfireSession& session = state.Desfire;
  if (InEv1Session(state, command)) {
    return Ev1Wrap(session, NativeFrame(FindCommand(command.code), {})[1], command);
  }
  ByteVector payload = command.header;
  if (command.communication == Communication::Plain) {
    Append(payload, command.data);
    return payload;
  }
  if (session.SessionKey.empty()) throw Failure(errors::kOperationFailed, "DESFireChannel");
  if (command.communication == Communication::Maced) {
    Append(payload, command.data);
    Append(payload, LegacyMac(session, command.data));
    return payload;
  }
  const BlockCipher& cipher = SessionCipher(session);
  ByteVector block = command.data;
  Append(block, Crc16Bytes(command.data));
  Append(block, command.afterCrc);
  const size_t size = cipher.BlockSize();
  block.resize((block.size() + size - 1) / size * size, 0);
  // Legacy sessions restart the chaining at zero for every command.
  session.InitVector.assign(size, 0);
  SendModeDecipher(cipher, session.InitVector, block);
  Append(payload, block);
  return payload;
}

NativeAnswer Send(EncoderState& state, int32_t code, std::string_view errorName,
                  std::span<const uint8_t> data, bool joinAnswers) {
  NativeAnswer answer;
  CardAnswer card;
  answer.result = ExchangeFrame(state, code, errorName, NativeFrame(FindCommand(code), data),
                                joinAnswers, card);
  answer.data = std::move(card.data);
  answer.status = card.status;
  return answer;
}

// The card takes 52 bytes in the first frame and 59 in each further one, and says 91AF while it
// wants more; when everything went and it still does, one empty frame follows.
NativeAnswer SendInFrames(EncoderState& state, const NativeCommand& command,
                          std::span<const uint8_t> payload) {
  // Every frame is named in LastError by the command's own name, the further ones too.
  const std::string name = ErrorName(FindCommand(command.code), {});
  for (bool firstFrame = true;; firstFrame = false) {
    const size_t take = std::min(payload.size(), firstFrame ? kFirstFrame : kFurtherFrame);
    const bool last = payload.empty();
    NativeAnswer answer = Send(state, firstFrame ? command.code : ec_DesfireSendNextData, name,
                               payload.first(take), false);
    payload = payload.subspan(take);
    if (answer.result != scesuccess || !answer.status.Is(0x91AF) || last) return answer;
  }
}

// A successful answer verified and its CMAC or CRC taken off; one that does not verify is no data.
void Unwrap(EncoderState& state, const NativeCommand& command, NativeAnswer& answer) {
  if (!answer.Is(0x9100)) return;
  if (command.encipheredAnswer != 0) {
    if (OpenEncipheredAnswer(state.Desfire, answer.data, command.encipheredAnswer)) return;
  } else if (command.macedAnswer && !InEv1Session(state, command)) {
    if (TakeLegacyMac(state.Desfire, answer.data)) return;
  } else if (!InEv1Session(state, command) || command.answerUnsigned ||
             Ev1Unwrap(state.Desfire, answer.data)) {
    return;
  }
  SetError(state, errors::kForgedAnswer,
           {.comFunction = ErrorName(FindCommand(command.code), {}),
            .rdrCommand = "",
            .rdrRetCode = answer.status.Text()});
  answer = {.forged = true};
}

}  // namespace

NativeAnswer Transceive(EncoderState& state, const NativeCommand& command) noexcept {
  try {
    const ByteVector payload = Wrap(state, command);
    NativeAnswer answer = command.inFrames
                              ? SendInFrames(state, command, payload)
                              : Send(state, command.code, ErrorName(FindCommand(command.code), {}),
                                     payload, command.joinAnswers);
    Unwrap(state, command, answer);
    return answer;
  } catch (...) {
    return {};
  }
}

}  // namespace tarsin::desfire
