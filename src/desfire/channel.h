// The one road of every DESFire command: a native command is wrapped for the session, cut into
// frames, sent through the exchange, its 91AF answers joined, then unwrapped.
#pragma once

#include <cstdint>

#include "core/hex_text.h"
#include "core/state.h"
#include "pcsc/exchange.h"

namespace tarsin::desfire {

enum class Communication {
  Plain,
  // The data, its CRC and `afterCrc` enciphered with the session key in whole blocks; the header
  // stays in clear.
  Enciphered,
};

struct NativeCommand {
  int32_t code = 0;  // the command's row: its instruction and its names
  ByteVector header;
  ByteVector data;
  Communication communication = Communication::Plain;
  ByteVector afterCrc;
  // The card's 91AF answers are fetched and joined; otherwise a 91AF ends the command.
  bool joinAnswers = true;
  // Sent in frames of at most 52 bytes, then 59, each its own exchange, for as long as the card
  // asks for more; otherwise in one frame.
  bool inFrames = false;
};

struct NativeAnswer {
  sceReturnCode result = sceError;  // the exchange of the last frame sent
  ByteVector data;
  StatusWord status;
  bool Is(uint16_t word) const noexcept { return result == scesuccess && status.Is(word); }
};

NativeAnswer Transceive(EncoderState& state, const NativeCommand& command) noexcept;

}  // namespace tarsin::desfire
