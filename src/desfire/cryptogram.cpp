// Blocks enciphered with the session key for the card: new keys, key settings, file settings.
#include "core/failure.h"
#include "crypto/encoder_cipher.h"
#include "desfire/desfire.h"

namespace tarsin::desfire {
namespace {

void ReplaceAll(std::string& text, std::string_view what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

}  // namespace

std::string BuildCryptogram(EncoderState& state, const CryptogramPieces& pieces) {
  DES& cipher = CipherOf(state);
  std::string block;
  for (const auto& [data, pattern] : pieces) {
    const std::string plain = WithoutBlanks(data);
    std::string piece = WithoutBlanks(pattern);
    ReplaceAll(piece, "[DATA]", plain);
    ReplaceAll(piece, "[CRC]", WithoutBlanks(cipher.CRC16(plain)));
    block += piece;
  }
  block.append((16 - block.size() % 16) % 16, '0');  // whole 8-byte blocks
  const std::string k1 = state.SessionKey.substr(0, 16);
  const std::string k2 = state.SessionKey.size() > 16 ? state.SessionKey.substr(16) : k1;
  const int32_t algorithm = k1 == k2 ? desSingleDES : desTripleDES;
  cipher.Keys(1, k1);
  cipher.Keys(2, k2);
  cipher.Keys(3, k1);
  cipher.InitVector("0000000000000000");
  const std::string enciphered = cipher.Decrypt(block, algorithm + desChainSend);
  return cipher.ConvertData(Variant(enciphered), cnvInHex + cnvOutHex).asString();
}

}  // namespace tarsin::desfire
