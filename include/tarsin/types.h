// SPDX-License-Identifier: Apache-2.0
// Public enumerations and the error object of the Tarsin RF encoder component. C++17.
// Threads: the enumerations are constants; a CError is written by its encoder's calls (see
// encoder.h for when another thread may read it).
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

// Bits of a DESFire key-settings byte, added together (the zero names say which way a bit is
// left clear).
enum DesfireKeySettings : int32_t {
  dfkConfigurationFrozen = 0,
  dfkConfigurationChangeable = 0x08,
  dfkRootCreateDeleteWithMasterK = 0,
  dfkRootDeleteWithMasterK = 4,
  dfkRootInfosWithMasterK = 0,
  dfkRootInfosWithoutMasterK = 2,
  dfkRootMasterKFrozen = 0,
  dfkRootMasterKChangeable = 1,
  dfkApplChangeKeyWithMasterK = 0,
  dfkApplChangeKeyWithKey01 = 0x10,
  dfkApplChangeKeyWithKey02 = 0x20,
  dfkApplChangeKeyWithKey03 = 0x30,
  dfkApplChangeKeyWithKey04 = 0x40,
  dfkApplChangeKeyWithKey05 = 0x50,
  dfkApplChangeKeyWithKey06 = 0x60,
  dfkApplChangeKeyWithKey07 = 0x70,
  dfkApplChangeKeyWithKey08 = 0x80,
  dfkApplChangeKeyWithKey09 = 0x90,
  dfkApplChangeKeyWithKey10 = 0xA0,
  dfkApplChangeKeyWithKey11 = 0xB0,
  dfkApplChangeKeyWithKey12 = 0xC0,
  dfkApplChangeKeyWithKey13 = 0xD0,
  dfkApplChangeKeyWithItself = 0xE0,
  dfkApplChangeKeyLocked = 0xF0,
  dfkApplCreateDeleteWithMasterK = 0,
  dfkApplDeleteWithMasterK = 4,
  dfkApplInfosWithMasterK = 0,
  dfkApplInfosWithoutMasterK = 2,
  dfkApplMasterKFrozen = 0,
  dfkApplMasterKChangeable = 1,
  dfkRootDefault = 0x0F,
  dfkApplDefault = 0x0F,
};

// The DESFire file-type byte.
enum DesfireFileTypes : int32_t {
  dftData = 0,
  dftBackup = 1,
  dftValue = 2,
  dftLinear = 3,
  dftCyclic = 4
};

// The DESFire communication-settings byte of a file.
enum DesfireCommunicationSettings : int32_t {
  dfcPlain = 0,
  dfcPlainMac = 1,
  dfcCiphered = 3,
};

// A key number in one of a file's four access-rights nibbles; 14 is free access, 15 none.
enum DesfireAccessRights : int32_t {
  dfaAllow_0 = 0,
  dfaAllow_1 = 1,
  dfaAllow_2 = 2,
  dfaAllow_3 = 3,
  dfaAllow_4 = 4,
  dfaAllow_5 = 5,
  dfaAllow_6 = 6,
  dfaAllow_7 = 7,
  dfaAllow_8 = 8,
  dfaAllow_9 = 9,
  dfaAllow_10 = 10,
  dfaAllow_11 = 11,
  dfaAllow_12 = 12,
  dfaAllow_13 = 13,
  dfaAllowAll = 14,
  dfaDenyAll = 15,
};

// What DESFireGetVersion returns: an index into the card's 28 version bytes, or one of the two
// composite answers.
enum DesfireVersionBytes : int32_t {
  dfvAllData = -2,
  dfvStorageSize = -1,
  dfvHardwareVendorId = 0,
  dfvHardwareType = 1,
  dfvHardwareSubType = 2,
  dfvHardwareMajorVer = 3,
  dfvHardwareMinorVer = 4,
  dfvHardwareStorageSize = 5,
  dfvHardwareProtocol = 6,
  dfvSoftwareVendorId = 7,
  dfvSoftwareType = 8,
  dfvSoftwareSubType = 9,
  dfvSoftwareMajorVer = 10,
  dfvSoftwareMinorVer = 11,
  dfvSoftwareStorageSize = 12,
  dfvSoftwareProtocol = 13,
  dfvUID = 14,
  dfvBatchNo = 21,
  dfvProductionWeek = 26,
  dfvProductionYear = 27,
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
