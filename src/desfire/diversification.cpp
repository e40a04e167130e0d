// SPDX-License-Identifier: Apache-2.0
// A card's key diversified from a master key (AN10922), in the master key's text form: computed
// here, nothing is sent to the card.
#include <fmt/format.h>

#include "core/failure.h"
#include "crypto/key_diversification.h"
#include "desfire/desfire.h"
#include "desfire/key_text.h"

namespace tarsin::desfire {
namespace {

// The prefix that gives a key text the master's form ("" for the described two-key form).
std::string_view PrefixOf(const DesfireKey& key) {
  if (key.type == DesfireKeyType::Aes) return "AES:";
  if (key.type == DesfireKeyType::ThreeKeyTripleDes) return "3K3DES:";
  return key.authentication == Authentication::Iso ? "ISO:" : "";
}

}  // namespace

sceReturnCode DiversifyKey(EncoderState& state, const std::string& masterKey,
                           const std::string& input, std::string& diversifiedKey) noexcept {
  Operation operation(state, "DESFireDiversifyKey", Operation::Entry::KeepError);
  // The key texts are copied and parsed: an allocation that fails is the operation's failure.
  try {
    const auto parsed = ParseKeyText(masterKey);
    if (const auto* refusal = std::get_if<KeyTextRefusal>(&parsed)) {
      return operation.Refuse(*refusal == KeyTextRefusal::BadLength ? errors::kBadKeyLength
                                                                    : errors::kInvalidKey);
    }
    const DesfireKey& master = std::get<DesfireKey>(parsed);
    const bool aes = master.type == DesfireKeyType::Aes;
    // The note has no method for single DES; M is whole bytes, within the two blocks.
    std::string digits = input;
    const size_t longest =
        aes ? kLongestAesDiversificationInput : kLongestTripleDesDiversificationInput;
    if (!operation.Require(master.type != DesfireKeyType::Des && NormaliseHex(digits) &&
                               !digits.empty() && digits.size() % 2 == 0 &&
                               digits.size() / 2 <= longest,
                           errors::kInvalidParameter)) {
      return sceError;
    }
    std::string text;
    const bool computed = RunStep([&] {
      const ByteVector m = HexToBytes(digits);
      const ByteVector key =
          aes ? DiversifyAesKey(master.bytes, m) : DiversifyTripleDesKey(master.bytes, m);
      text = std::string(PrefixOf(master)) + BytesToHex(key);
      if (aes && master.version != 0) text += fmt::format("/{:02X}", master.version);
    });
    if (!computed) return operation.Refuse(errors::kOperationFailed);
    diversifiedKey = std::move(text);
    return scesuccess;
  } catch (...) {
    return operation.Refuse(errors::kOperationFailed);
  }
}

}  // namespace tarsin::desfire
