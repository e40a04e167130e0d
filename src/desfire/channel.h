// SPDX-License-Identifier: Apache-2.0
// The one road of every DESFire command: a native command is wrapped for the session, cut into
// frames, sent through the exchange, its 91AF answers joined, then unwrapped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/hex_text.h"
#include "core/state.h"
#include "pcsc/exchange.h"

namespace tarsin::desfire {

enum class Communication {
  Plain,
  // The data followed by their MAC: in legacy sessions the first 4 bytes of the DES/3DES CBC MAC
  // over the data alone, in EV1 sessions the first 8 bytes of the CMAC over instruction, header
  // and data.
  Maced,
  // The data, its CRC (CRC32 in EV1 sessions, over the instruction and header too) and `afterCrc`
  // enciphered with the session key in whole blocks; the header stays in clear.
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
  // In an EV1 session the command and its answer carry the secure messaging; selection and
  // authentication stand outside the session.
  bool secured = true;
  // The card answers without a CMAC: it has just ended the session (its own key changed).
  bool answerUnsigned = false;
  // The card answers this many bytes enciphered with their CRC (CRC16 in legacy sessions, CRC32
  // over data and status in EV1 ones); 0: a plain answer.
  size_t encipheredAnswer = 0;
  // A legacy answer ends in the 4-byte MAC of its data (EV1 answers carry their CMAC anyway).
  bool macedAnswer = false;
};

struct NativeAnswer {
  sceReturnCode result = sceError;  // the exchange of the last frame sent
  ByteVector data;
  StatusWord status;
  // An EV1 answer whose CMAC did not verify: its data are dropped and its error is recorded.
  bool forged = false;
  bool Is(uint16_t word) const noexcept { return result == scesuccess && status.Is(word); }
};

NativeAnswer Transceive(EncoderState& state, const NativeCommand& command) noexcept;

// The channel's frames are built by appending: `bytes` at the end of `to`.
inline void Append(ByteVector& to, std::span<const uint8_t> bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

}  // namespace tarsin::desfire
