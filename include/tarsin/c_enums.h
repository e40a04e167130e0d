/* SPDX-License-Identifier: Apache-2.0 */
/* The interface's enumerations for C hosts: each constant under its own name after TARSIN_,
 * with the value of include/tarsin/types.h (a test keeps the two equal). C89. */
#ifndef TARSIN_C_ENUMS_H
#define TARSIN_C_ENUMS_H

/* A C header: C's typedefs, whatever C++ would prefer. */
/* NOLINTBEGIN(modernize-use-using) */

typedef enum tarsin_sceReturnCode {
  TARSIN_scesuccess = 0,
  TARSIN_sceCanceled = 1,
  TARSIN_sceError = 2
} tarsin_sceReturnCode;
typedef enum tarsin_sceEncoderState {
  TARSIN_sceUnknown = 0,
  TARSIN_sceClosed = 1,
  TARSIN_sceOpened = 2,
  TARSIN_sceReady = 3
} tarsin_sceEncoderState;
typedef enum tarsin_sceCardTypes {
  TARSIN_sceUnhandled = 0,
  TARSIN_sceUnknownType = 1,
  TARSIN_sceMifare1K = 0x11,
  TARSIN_sceMifare4K = 0x12,
  TARSIN_sceMifareUltralight = 0x21,
  TARSIN_sceDESFire = 0x31,
  TARSIN_sceRfid125KHz = 0x41,
  TARSIN_scePicoPass2KS = 0x51
} tarsin_sceCardTypes;
typedef enum tarsin_SCBS_SecurityLevelEnum {
  TARSIN_scbs_A_Nothing = 0,
  TARSIN_scbs_A_Read = 1,
  TARSIN_scbs_A_Write = 2,
  TARSIN_scbs_A_ReadWrite = 3,
  TARSIN_scbs_B_Nothing = 0,
  TARSIN_scbs_B_Read = 4,
  TARSIN_scbs_B_Write = 8,
  TARSIN_scbs_B_ReadWrite = 12
} tarsin_SCBS_SecurityLevelEnum;
typedef enum tarsin_SCSS_SecurityLevelEnum {
  TARSIN_scss_A_Nothing = 0,
  TARSIN_scss_A_WriteKeys = 1,
  TARSIN_scss_A_WriteConditions = 2,
  TARSIN_scss_A_WriteKeysConditions = 3,
  TARSIN_scss_B_Nothing = 0,
  TARSIN_scss_B_WriteKeys = 4,
  TARSIN_scss_B_WriteConditions = 8,
  TARSIN_scss_B_WriteKeysConditions = 12
} tarsin_SCSS_SecurityLevelEnum;
typedef enum tarsin_DesfireKeySettings {
  TARSIN_dfkConfigurationFrozen = 0,
  TARSIN_dfkConfigurationChangeable = 0x08,
  TARSIN_dfkRootCreateDeleteWithMasterK = 0,
  TARSIN_dfkRootDeleteWithMasterK = 4,
  TARSIN_dfkRootInfosWithMasterK = 0,
  TARSIN_dfkRootInfosWithoutMasterK = 2,
  TARSIN_dfkRootMasterKFrozen = 0,
  TARSIN_dfkRootMasterKChangeable = 1,
  TARSIN_dfkApplChangeKeyWithMasterK = 0,
  TARSIN_dfkApplChangeKeyWithKey01 = 0x10,
  TARSIN_dfkApplChangeKeyWithKey02 = 0x20,
  TARSIN_dfkApplChangeKeyWithKey03 = 0x30,
  TARSIN_dfkApplChangeKeyWithKey04 = 0x40,
  TARSIN_dfkApplChangeKeyWithKey05 = 0x50,
  TARSIN_dfkApplChangeKeyWithKey06 = 0x60,
  TARSIN_dfkApplChangeKeyWithKey07 = 0x70,
  TARSIN_dfkApplChangeKeyWithKey08 = 0x80,
  TARSIN_dfkApplChangeKeyWithKey09 = 0x90,
  TARSIN_dfkApplChangeKeyWithKey10 = 0xA0,
  TARSIN_dfkApplChangeKeyWithKey11 = 0xB0,
  TARSIN_dfkApplChangeKeyWithKey12 = 0xC0,
  TARSIN_dfkApplChangeKeyWithKey13 = 0xD0,
  TARSIN_dfkApplChangeKeyWithItself = 0xE0,
  TARSIN_dfkApplChangeKeyLocked = 0xF0,
  TARSIN_dfkApplCreateDeleteWithMasterK = 0,
  TARSIN_dfkApplDeleteWithMasterK = 4,
  TARSIN_dfkApplInfosWithMasterK = 0,
  TARSIN_dfkApplInfosWithoutMasterK = 2,
  TARSIN_dfkApplMasterKFrozen = 0,
  TARSIN_dfkApplMasterKChangeable = 1,
  TARSIN_dfkRootDefault = 0x0F,
  TARSIN_dfkApplDefault = 0x0F
} tarsin_DesfireKeySettings;
typedef enum tarsin_DesfireFileTypes {
  TARSIN_dftData = 0,
  TARSIN_dftBackup = 1,
  TARSIN_dftValue = 2,
  TARSIN_dftLinear = 3,
  TARSIN_dftCyclic = 4
} tarsin_DesfireFileTypes;
typedef enum tarsin_DesfireCommunicationSettings {
  TARSIN_dfcPlain = 0,
  TARSIN_dfcPlainMac = 1,
  TARSIN_dfcCiphered = 3
} tarsin_DesfireCommunicationSettings;
typedef enum tarsin_DesfireAccessRights {
  TARSIN_dfaAllow_0 = 0,
  TARSIN_dfaAllow_1 = 1,
  TARSIN_dfaAllow_2 = 2,
  TARSIN_dfaAllow_3 = 3,
  TARSIN_dfaAllow_4 = 4,
  TARSIN_dfaAllow_5 = 5,
  TARSIN_dfaAllow_6 = 6,
  TARSIN_dfaAllow_7 = 7,
  TARSIN_dfaAllow_8 = 8,
  TARSIN_dfaAllow_9 = 9,
  TARSIN_dfaAllow_10 = 10,
  TARSIN_dfaAllow_11 = 11,
  TARSIN_dfaAllow_12 = 12,
  TARSIN_dfaAllow_13 = 13,
  TARSIN_dfaAllowAll = 14,
  TARSIN_dfaDenyAll = 15
} tarsin_DesfireAccessRights;
typedef enum tarsin_DesfireVersionBytes {
  TARSIN_dfvAllData = -2,
  TARSIN_dfvStorageSize = -1,
  TARSIN_dfvHardwareVendorId = 0,
  TARSIN_dfvHardwareType = 1,
  TARSIN_dfvHardwareSubType = 2,
  TARSIN_dfvHardwareMajorVer = 3,
  TARSIN_dfvHardwareMinorVer = 4,
  TARSIN_dfvHardwareStorageSize = 5,
  TARSIN_dfvHardwareProtocol = 6,
  TARSIN_dfvSoftwareVendorId = 7,
  TARSIN_dfvSoftwareType = 8,
  TARSIN_dfvSoftwareSubType = 9,
  TARSIN_dfvSoftwareMajorVer = 10,
  TARSIN_dfvSoftwareMinorVer = 11,
  TARSIN_dfvSoftwareStorageSize = 12,
  TARSIN_dfvSoftwareProtocol = 13,
  TARSIN_dfvUID = 14,
  TARSIN_dfvBatchNo = 21,
  TARSIN_dfvProductionWeek = 26,
  TARSIN_dfvProductionYear = 27
} tarsin_DesfireVersionBytes;

/* NOLINTEND(modernize-use-using) */

#endif /* TARSIN_C_ENUMS_H */
