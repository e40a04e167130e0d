// EncoderCommand: the one routine that sends commands to the card. It fills the command's
// template, sends it with SCardTransmit, logs every frame, judges the status word and follows
// multi-frame DESFire answers (91AF).
#pragma once

#include <cstdint>
#include <string>

#include "core/state.h"
#include "tarsin/variant.h"

namespace tarsin {

// Longest answer one frame may bring back.
inline constexpr size_t kReceiveBufferSize = 4096;
// A card that keeps answering 91AF is given up after this many frames.
inline constexpr int kMaxContinuationFrames = 512;

// `params`: the array of placeholder values (any value for commands without placeholders).
// `response`: the data of the answer (all frames joined) as upper-case hex, "" on failure.
// `statusCode`: the last status word, "FFFF" when none was received.
// Bit 0 of `followMore` asks for automatic continuation of 91AF answers.
sceReturnCode EncoderCommand(EncoderState& state, int32_t command, const Variant& params,
                             std::string& response, std::string& statusCode,
                             int32_t followMore = 1) noexcept;

// EncoderCommand for an operation that reports what the card did: an answer without a status
// word (pcsc-lite's success with no bytes when the card leaves in mid-command) confirms nothing,
// so it fails like a refused command, with "FFFF" as the reader's answer.
sceReturnCode ConfirmedCommand(EncoderState& state, int32_t command, const Variant::Array& params,
                               std::string& response) noexcept;

}  // namespace tarsin
