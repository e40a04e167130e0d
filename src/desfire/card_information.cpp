// SPDX-License-Identifier: Apache-2.0
// What the card tells of itself beyond its version: the real UID and the free memory.
#include "desfire/desfire.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {

sceReturnCode GetCardUid(EncoderState& state, std::string& uid) noexcept {
  Operation operation(state, "DESFireGetCardUID", Operation::Entry::KeepError);
  if (!RequireAuthentication(operation)) return sceError;
  NativeAnswer answer;
  // Cards may show a random ID at activation; this answer is the UID, enciphered.
  constexpr size_t kUidLength = 7;
  if (!StandardExchange(operation, {.code = ec_DesfireGetCardUid, .encipheredAnswer = kUidLength},
                        answer)) {
    return sceError;
  }
  uid = BytesToHex(answer.data);
  return scesuccess;
}

sceReturnCode FreeMemory(EncoderState& state, int32_t& bytes) noexcept {
  Operation operation(state, "DESFireFreeMemory", Operation::Entry::KeepError);
  NativeAnswer answer;
  if (!StandardExchange(operation, {.code = ec_DesfireFreeMemory}, answer)) return sceError;
  if (!operation.Require(answer.data.size() == 3, errors::kOperationFailed)) return sceError;
  bytes = answer.data[0] | answer.data[1] << 8 | answer.data[2] << 16;
  return scesuccess;
}

}  // namespace tarsin::desfire
