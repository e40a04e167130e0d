// The component's own cipher object: DES and triple DES (FIPS 46-3) over hex text, the DESFire
// chaining modes, CRC_A and the one data converter. Internal: the host never sees it.
// Every failure is raised as tarsin::Failure with a 0xA00100xx number.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// Error numbers raised by the class.
inline constexpr uint32_t kDesBadKeyIndex = 0xA0010001;
inline constexpr uint32_t kDesBadParameterType = 0xA0010002;
inline constexpr uint32_t kDesInvalidHex = 0xA0010003;
inline constexpr uint32_t kDesInvalidAlgorithm = 0xA0010004;
inline constexpr uint32_t kDesInvalidChaining = 0xA0010005;
inline constexpr uint32_t kDesBadPadding = 0xA0010006;

class DES {
 public:
  DES() = default;

  void Keys(int32_t index, const std::string& keyValue);
  void InitVector(const std::string& vector);
  std::string Encrypt(const std::string& inData, int32_t flags);
  std::string Decrypt(const std::string& inData, int32_t flags);

  // CRC_A of ISO/IEC 14443-3 as "LL HH". Never raises.
  std::string CRC16(const std::string& sourceData) noexcept;
  Variant ConvertData(const Variant& inData, int32_t convertFromTo, bool padOn8Bytes = false);

 private:
  std::array<uint64_t, 3> keys_{};
  std::array<uint8_t, 8> initVector_{};
};

}  // namespace tarsin
