// Public enumerations and the error object of the Tarsin RF encoder component.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "tarsin/export.h"

namespace tarsin {

// Result of every card operation.
enum sceReturnCode : int32_t { scesuccess = 0, sceCanceled = 1, sceError = 2 };

enum sceEncoderState : int32_t { sceUnknown = 0, sceClosed = 1, sceOpened = 2, sceReady = 3 };

enum sceCardTypes : int32_t {
  sceUnhandled = 0,
  sceUnknownType = 1,
  sceMifare1K = 0x11,
  sceMifare4K = 0x12,
  sceMifareUltralight = 0x21,
  sceDESFire = 0x31,
  sceRfid125KHz = 0x41,
  scePicoPass2KS = 0x51,
};

// Rights on a MIFARE Classic data block; an A value and a B value are added (the -1 that
// MifareWriteSectorTrailer accepts keeps the block's rights as the card has them).
enum SCBS_SecurityLevelEnum : int32_t {
  scbs_A_Nothing = 0,
  scbs_A_Read = 1,
  scbs_A_Write = 2,
  scbs_A_ReadWrite = 3,
  scbs_B_Nothing = 0,
  scbs_B_Read = 4,
  scbs_B_Write = 8,
  scbs_B_ReadWrite = 12,
};

// Rights on a MIFARE Classic sector trailer (changing keys, changing access bits); added like
// SCBS_SecurityLevelEnum.
enum SCSS_SecurityLevelEnum : int32_t {
  scss_A_Nothing = 0,
  scss_A_WriteKeys = 1,
  scss_A_WriteConditions = 2,
  scss_A_WriteKeysConditions = 3,
  scss_B_Nothing = 0,
  scss_B_WriteKeys = 4,
  scss_B_WriteConditions = 8,
  scss_B_WriteKeysConditions = 12,
};

// The last error of an Encoder. The host reads (and may write) the six fields; the encoder
// rewrites them on every operation, so a kept reference always shows the latest outcome.
struct TARSIN_API CError {
  int32_t Number = 0;
  std::string Description;
  int32_t LastDllError = 0;
  std::string ComFunction;
  std::string RdrCommand;
  std::string RdrRetCode;
};

// The one failure that reaches the host as an exception: ReaderType while the encoder is closed.
// Also the error type of the late-bound dispatch.
class TARSIN_API ComError : public std::runtime_error {
 public:
  ComError(int32_t number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int32_t number() const noexcept { return number_; }
  std::string description() const { return what(); }

 private:
  int32_t number_;
};

}  // namespace tarsin
