// SPDX-License-Identifier: Apache-2.0
// EV1 secure messaging, the channel's protection of commands and answers: the session's vector is
// carried across every command and answer. A plain command moves it on by its CMAC; enciphered
// data carry a CRC32 and run CBC from it; an answer ends with the first 8 bytes of the CMAC over
// its data and status, which must verify.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/hex_text.h"
#include "core/state.h"
#include "desfire/channel.h"

namespace tarsin::desfire {

// The command's payload after its instruction byte, as the EV1 session sends it.
ByteVector Ev1Wrap(DesfireSession& session, uint8_t instruction, const NativeCommand& command);

// Takes the CMAC off a successful answer's `data`; false when it does not verify.
bool Ev1Unwrap(DesfireSession& session, ByteVector& data);

// Deciphers an answer of `length` data bytes enciphered with their CRC, in a legacy or an EV1
// session, and leaves the data alone; false when the CRC or the padding does not verify.
bool OpenEncipheredAnswer(DesfireSession& session, ByteVector& data, size_t length);

}  // namespace tarsin::desfire
