// SPDX-License-Identifier: Apache-2.0
// The exchange with the card. One frame call sends a frame of bytes for a command of the table,
// logs it and judges its status word; over it, one exchange per command writes the entry and exit
// lines, checks the encoder and the card, and follows multi-frame answers (91AF) when asked.
// EncoderCommand and ConfirmedCommand fill a command of the table from its placeholder values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/hex_text.h"
#include "core/state.h"
#include "tarsin/variant.h"

namespace tarsin {

// Longest answer one frame may bring back.
inline constexpr size_t kReceiveBufferSize = 4096;
// A card that keeps answering 91AF is given up after this many frames.
inline constexpr int kMaxContinuationFrames = 512;

// What closes a card's answer: a status word SW1 SW2, nothing, or (a broken answer) one byte.
class StatusWord {
 public:
  StatusWord() = default;
  // The last one or two bytes of an answer.
  static StatusWord Of(std::span<const uint8_t> answer) noexcept;

  bool received() const noexcept { return length_ > 0; }
  bool Is(uint16_t word) const noexcept { return length_ == 2 && value_ == word; }
  // "91AF"; two digits for a lone byte; "FFFF" when none came back.
  std::string Text() const;
  // As Text, but "" when none came back: the reader's answer in LastError.
  std::string Received() const;

 private:
  uint16_t value_ = 0;
  uint8_t length_ = 0;
};

// A card's answer: the data of all its frames, and the status word of the last frame that
// brought one.
struct CardAnswer {
  ByteVector data;
  StatusWord status;
};

// One command as bytes through the exchange: `code` names it in the log, `errorName` in
// LastError when a frame fails. An empty `frame` sends nothing and succeeds. With `followMore`,
// 91AF answers are followed and their data joined.
sceReturnCode ExchangeFrame(EncoderState& state, int32_t code, std::string_view errorName,
                            std::span<const uint8_t> frame, bool followMore,
                            CardAnswer& answer) noexcept;

// The command of the table filled with `params`, its placeholder values. `answer` gets the data of
// all frames joined (none on failure) and the last status word; with `followMore`, 91AF answers
// are followed.
sceReturnCode EncoderCommand(EncoderState& state, int32_t command, const Variant::Array& params,
                             bool followMore, CardAnswer& answer) noexcept;

// EncoderCommand for an operation that reports what the card did: an answer without a status
// word (pcsc-lite's success with no bytes when the card leaves in mid-command) confirms nothing,
// so it fails like a refused command, with "FFFF" as the reader's answer.
sceReturnCode ConfirmedCommand(EncoderState& state, int32_t command, const Variant::Array& params,
                               CardAnswer& answer) noexcept;

}  // namespace tarsin
