// SPDX-License-Identifier: Apache-2.0
// The component's own cipher object: DES and triple DES (FIPS 46-3) over hex text, the DESFire
// chaining modes, CRC_A and the one data converter. Internal: the host never sees it.
// Every failure is raised as tarsin::Failure with a 0xA00100xx number; a failed call changes
// nothing (keys and vector are replaced only once their text has been read successfully).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/des_block.h"
#include "tarsin/variant.h"

namespace tarsin {

// Flags of Encrypt and Decrypt: an algorithm, a padding and a chaining code added together.
enum DesFlags : int32_t {
  desSingleDES = 0x00,
  desTripleDES = 0x01,
  desPadZero = 0x000,
  desPadSpace = 0x100,
  desChainNone = 0x0000,
  desChainCBC = 0x1000,
  desChainSend = 0x2000,
  desChainCBCBlockwise = 0x4000,
};

// ConvertData's ConvertFromTo: an input form plus an output form.
enum ConvertCodes : int32_t {
  cnvInHex = 0x000,
  cnvInHexStrict = 0x100,
  cnvInBits = 0x200,
  cnvInBinary = 0x300,
  cnvInBinaryStrict = 0x400,
  cnvInNumbers = 0x500,
  cnvInText = 0x600,
  cnvOutSpacedHex = 0,
  cnvOutHex = 1,
  cnvOutBits = 2,
  cnvOutSpacedBinary = 3,
  cnvOutBinary = 4,
  cnvOutBytes = 5,
  cnvOutText = 6,
};

class DES {
 public:
  DES() = default;

  // Key 1, 2 or 3 from hex text fitted to 16 digits (zeros in front, or the last 16 kept).
  void Keys(int32_t index, const std::string& keyValue);
  // The initial vector from hex text fitted to 16 digits like a key.
  void InitVector(const std::string& vector);
  // Spaced upper-case hex, padding included; "" for no data.
  std::string Encrypt(const std::string& inData, int32_t flags);
  std::string Decrypt(const std::string& inData, int32_t flags);

  // CRC_A of ISO/IEC 14443-3 as "LL HH". Never raises: for text that is not hex, or no data,
  // it is the CRC of no bytes, "63 63".
  std::string CRC16(const std::string& sourceData) const noexcept;

  // Reads InData in the input form (bits 8-31 of convertFromTo) into canonical hex, optionally
  // fits it to 16 digits, and writes it in the output form (bits 0-7). Choices of this system:
  // - cnvInText maps each character to its byte in the ANSI code page (see ansi_code_page.h);
  //   a character the page lacks becomes '?' (0x3F), as Windows does; cnvOutText gives UTF-8.
  // - cnvInNumbers refuses numbers that do not fit a 32-bit signed integer after rounding
  //   (and NaN or infinities) with "Bad parameter type".
  // - cnvOutBits of no data is an empty byte array.
  Variant ConvertData(const Variant& inData, int32_t convertFromTo, bool padOn8Bytes = false) const;

 private:
  using Block = uint64_t;
  enum Direction : int { kEncipher = 0, kDecipher = 1 };

  std::string Cipher(Direction direction, const std::string& inData, int32_t flags,
                     const char* source);
  std::vector<uint8_t> TransformPieces(Direction direction, std::vector<uint8_t> data,
                                       uint32_t flags) const;
  std::vector<uint8_t> TransformBlocks(Direction direction, std::vector<uint8_t> data,
                                       uint32_t flags) const;
  Block TransformBlock(Direction direction, Block block, bool tripleDES) const;
  void ComputeSubKeys(int32_t keyNumber);

  std::array<uint64_t, 3> keys_{};
  std::array<uint8_t, 8> initVector_{};
  std::array<RoundKeys, 3> subKeys_{};
};

}  // namespace tarsin
