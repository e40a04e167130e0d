#include "desfire/channel.h"

#include <algorithm>
#include <memory>

#include "core/failure.h"
#include "crypto/block_modes.h"
#include "crypto/crc.h"
#include "crypto/des_cipher.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

constexpr size_t kFirstFrame = 52;
constexpr size_t kFurtherFrame = 59;

void Append(ByteVector& to, std::span<const uint8_t> bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

std::unique_ptr<BlockCipher> SessionCipher(const DesfireSession& session) {
  if (session.SessionKey.empty()) throw Failure(errors::kOperationFailed, "DESFireChannel");
  return std::make_unique<DesCipher>(session.SessionKey);
}

// The header, then the data as the session sends it.
ByteVector Wrap(EncoderState& state, const NativeCommand& command) {
  ByteVector payload = command.header;
  if (command.communication == Communication::Plain) {
    Append(payload, command.data);
    return payload;
  }
  DesfireSession& session = state.Desfire;
  const std::unique_ptr<BlockCipher> cipher = SessionCipher(session);
  ByteVector block = command.data;
  Append(block, Crc16Bytes(command.data));
  Append(block, command.afterCrc);
  const size_t size = cipher->BlockSize();
  block.resize((block.size() + size - 1) / size * size, 0);
  // Legacy sessions restart the chaining at zero for every command.
  session.InitVector.assign(size, 0);
  SendModeDecipher(*cipher, session.InitVector, block);
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

}  // namespace

NativeAnswer Transceive(EncoderState& state, const NativeCommand& command) noexcept {
  try {
    const ByteVector payload = Wrap(state, command);
    if (command.inFrames) return SendInFrames(state, command, payload);
    return Send(state, command.code, ErrorName(FindCommand(command.code), {}), payload,
                command.joinAnswers);
  } catch (...) {
    return {};
  }
}

}  // namespace tarsin::desfire
