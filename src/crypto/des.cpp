// SPDX-License-Identifier: Apache-2.0
#include "crypto/des.h"

#include <algorithm>

#include "crypto/convert_data.h"
#include "crypto/des_failure.h"

namespace tarsin {
namespace {

constexpr uint32_t kAlgorithmMask = 0x000000FF;
constexpr uint32_t kPaddingMask = 0x00000F00;
constexpr uint32_t kChainingMask = 0xFFFFF000;
constexpr std::size_t kBlockSize = 8;

uint64_t LoadBlock(const uint8_t* bytes) {
  uint64_t block = 0;
  for (std::size_t i = 0; i < kBlockSize; ++i) block = (block << 8) | bytes[i];
  return block;
}

void StoreBlock(uint64_t block, uint8_t* bytes) {
  for (std::size_t i = kBlockSize; i-- > 0; block >>= 8) bytes[i] = static_cast<uint8_t>(block);
}

std::vector<uint8_t> BlockBytes(uint64_t block) {
  std::vector<uint8_t> bytes(kBlockSize);
  StoreBlock(block, bytes.data());
  return bytes;
}

std::vector<uint8_t> ReadHexBytes(const std::string& text, const char* source) {
  return conversion::HexToByteVector(conversion::ReadHexText(text, true, source));
}

}  // namespace

void DES::Keys(int32_t index, const std::string& keyValue) {
  if (index < 1 || index > 3) RaiseDesError(errors::kDesBadKeyIndex, "Keys");
  const Variant bits = ConvertData(keyValue, cnvInHex + cnvOutBits, true);
  uint64_t key = 0;
  for (uint8_t bit : bits.asBytes()) key = (key << 1) | bit;
  keys_[index - 1] = key;
}

void DES::InitVector(const std::string& vector) {
  const Variant bytes = ConvertData(vector, cnvInHex + cnvOutBytes, true);
  std::copy_n(bytes.asBytes().begin(), initVector_.size(), initVector_.begin());
}

std::string DES::Encrypt(const std::string& inData, int32_t flags) {
  return Cipher(kEncipher, inData, flags, "Encrypt");
}

std::string DES::Decrypt(const std::string& inData, int32_t flags) {
  return Cipher(kDecipher, inData, flags, "Decrypt");
}

void DES::ComputeSubKeys(int32_t keyNumber) {
  if (keyNumber < 1 || keyNumber > 3) RaiseDesError(errors::kDesBadKeyIndex, "ComputeSubKeys");
  subKeys_[keyNumber - 1] = ScheduleRoundKeys(keys_[keyNumber - 1]);
}

std::string DES::Cipher(Direction direction, const std::string& inData, int32_t flags,
                        const char* source) {
  const auto code = static_cast<uint32_t>(flags);
  const uint32_t algorithm = code & kAlgorithmMask;
  if (algorithm != desSingleDES && algorithm != desTripleDES) {
    RaiseDesError(errors::kDesInvalidAlgorithm, source);
  }
  ComputeSubKeys(1);
  if (algorithm == desTripleDES) {
    ComputeSubKeys(2);
    ComputeSubKeys(3);
  }

  std::vector<uint8_t> data = ReadHexBytes(inData, source);
  if (data.empty()) return "";
  const uint32_t chaining = code & kChainingMask;
  if (chaining == desChainSend || chaining == desChainCBCBlockwise) {
    return conversion::ToSpacedHex(TransformPieces(direction, std::move(data), code));
  }
  return conversion::ToSpacedHex(TransformBlocks(direction, std::move(data), code));
}

// Piece by piece, each piece on its own in CBC with the initial vector, chained through Z.
std::vector<uint8_t> DES::TransformPieces(Direction direction, std::vector<uint8_t> data,
                                          uint32_t flags) const {
  const bool send = (flags & kChainingMask) == desChainSend;
  const uint32_t pieceFlags = (flags & ~kChainingMask) | desChainCBC;
  if (direction == kEncipher) {
    data.resize((data.size() + kBlockSize - 1) / kBlockSize * kBlockSize, 0x00);
  } else if (send && data.size() % kBlockSize != 0) {
    // What the reader deciphers for the card must be whole blocks.
    RaiseDesError(errors::kDesInvalidDataLength, "Decrypt");
  }
  const auto transform = [&](std::vector<uint8_t> piece) {
    return LoadBlock(TransformBlocks(direction, std::move(piece), pieceFlags).data());
  };

  std::vector<uint8_t> out;
  out.reserve(data.size() + kBlockSize);
  Block z = 0;
  for (std::size_t offset = 0; offset < data.size(); offset += kBlockSize) {
    const auto end = data.begin() + std::min(offset + kBlockSize, data.size());
    std::vector<uint8_t> piece(data.begin() + offset, end);
    Block result = 0;
    if (direction == kEncipher && send) {
      result = transform(piece) ^ z;
      z = LoadBlock(piece.data());
    } else if (direction == kEncipher || send) {
      // Enciphering for the reader and deciphering for the card chain alike: on the output.
      result = transform(BlockBytes(LoadBlock(piece.data()) ^ z));
      z = result;
    } else {
      // A short last piece is padded inside; nothing follows it, so Z is not needed.
      const bool whole = piece.size() == kBlockSize;
      const Block ciphertext = whole ? LoadBlock(piece.data()) : 0;
      result = transform(std::move(piece)) ^ z;
      z = ciphertext;
    }
    out.resize(out.size() + kBlockSize);
    StoreBlock(result, &out[out.size() - kBlockSize]);
  }
  return out;
}

std::vector<uint8_t> DES::TransformBlocks(Direction direction, std::vector<uint8_t> data,
                                          uint32_t flags) const {
  const std::size_t padding = (kBlockSize - data.size() % kBlockSize) % kBlockSize;
  if (padding != 0) {
    const uint32_t padCode = flags & kPaddingMask;
    if (padCode != desPadZero && padCode != desPadSpace) {
      RaiseDesError(errors::kDesBadPadding, "TransformBlocks");
    }
    data.insert(data.end(), padding, padCode == desPadSpace ? 0x20 : 0x00);
  }
  const uint32_t chaining = flags & kChainingMask;
  if (chaining != desChainNone && chaining != desChainCBC) {
    RaiseDesError(errors::kDesInvalidChaining, "TransformBlocks");
  }
  const bool cbc = chaining == desChainCBC;
  const bool tripleDES = (flags & kAlgorithmMask) == desTripleDES;

  Block vector = LoadBlock(initVector_.data());
  for (std::size_t offset = 0; offset < data.size(); offset += kBlockSize) {
    const Block input = LoadBlock(&data[offset]);
    Block output = 0;
    if (direction == kEncipher) {
      output = TransformBlock(direction, cbc ? input ^ vector : input, tripleDES);
      if (cbc) vector = output;
    } else {
      output = TransformBlock(direction, input, tripleDES);
      if (cbc) {
        output ^= vector;
        vector = input;
      }
    }
    StoreBlock(output, &data[offset]);
  }
  return data;
}

// Triple DES is encipher-decipher-encipher with keys 1, 2, 3; deciphering runs it backwards.
DES::Block DES::TransformBlock(Direction direction, Block block, bool tripleDES) const {
  const bool decipher = direction == kDecipher;
  if (!tripleDES) return DesPass(block, subKeys_[0], decipher);
  if (!decipher) {
    return DesPass(DesPass(DesPass(block, subKeys_[0], false), subKeys_[1], true), subKeys_[2],
                   false);
  }
  return DesPass(DesPass(DesPass(block, subKeys_[2], true), subKeys_[1], false), subKeys_[0], true);
}

}  // namespace tarsin
