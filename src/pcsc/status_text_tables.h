// SPDX-License-Identifier: Apache-2.0
// The fixed texts for PC/SC return codes and card status words. Texts are UTF-8; a few carry
// typographic quotes and a dash that belong to them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tarsin::status_texts {

struct SCardErrorRow {
  uint32_t code;
  std::string_view text;
};

inline constexpr std::array kSCardErrors{
    SCardErrorRow{0x00000000, "OK (SCARD_S_SUCCESS)"},
    SCardErrorRow{0x80100004,
                  "One or more of the supplied parameters could not be properly interpreted "
                  "(SCARD_E_INVALID_PARAMETER)."},
    SCardErrorRow{0x80100005,
                  "Registry startup information is missing or invalid (SCARD_E_INVALID_TARGET)."},
    SCardErrorRow{0x80100006,
                  "Not enough memory available to complete this command (SCARD_E_NO_MEMORY)."},
    SCardErrorRow{0x80100009,
                  "The specified reader name is not recognized (SCARD_E_UNKNOWN_READER)."},
    SCardErrorRow{0x8010000A, "The user-specified timeout value has expired (SCARD_E_TIMEOUT)."},
    SCardErrorRow{0x8010000B,
                  "The smart card cannot be accessed because of other connections outstanding "
                  "(SCARD_E_SHARING_VIOLATION)."},
    SCardErrorRow{0x8010000C, "No Smart Card is currently in the device (SCARD_E_NO_SMARTCARD)."},
    SCardErrorRow{0x8010000D,
                  "The specified smart card name is not recognized (SCARD_E_UNKNOWN_CARD)."},
    SCardErrorRow{0x8010000E,
                  "The system could not dispose of the media in the requested manner "
                  "(SCARD_E_CANT_DISPOSE)."},
    SCardErrorRow{0x8010000F,
                  "The requested protocols are incompatible with the protocol currently in use "
                  "with the smart card (SCARD_E_PROTO_MISMATCH)."},
    SCardErrorRow{0x80100010,
                  "The reader or smart card is not ready to accept commands (SCARD_E_NOT_READY)."},
    SCardErrorRow{0x80100011,
                  "One or more of the supplied parameters values could not be properly interpreted "
                  "(SCARD_E_INVALID_VALUE)."},
    SCardErrorRow{
        0x80100017,
        "The specified reader is not currently available for use (SCARD_E_READER_UNAVAILABLE)."},
    SCardErrorRow{0x8010001A,
                  "The reader driver does not meet minimal requirements for support "
                  "(SCARD_E_READER_UNSUPPORTED)."},
    SCardErrorRow{
        0x8010001B,
        "The reader driver did not produce a unique reader name (SCARD_E_DUPLICATE_READER)."},
    SCardErrorRow{0x8010001C,
                  "The smart card does not meet minimal requirements for support "
                  "(SCARD_E_CARD_UNSUPPORTED)."},
    SCardErrorRow{0x8010001D,
                  "The Smart card resource manager is not running (SCARD_E_NO_SERVICE)."},
    SCardErrorRow{0x8010001E,
                  "The Smart card resource manager has shut down (SCARD_E_SERVICE_STOPPED)."},
    SCardErrorRow{0x8010001F, "An unexpected card error has occurred (SCARD_E_UNEXPECTED)."},
    SCardErrorRow{0x8010002E, "Cannot find a smart card reader (SCARD_E_NO_READERS_AVAILABLE)."},
    SCardErrorRow{0x80100069,
                  "The smart card has been removed, so that further communication is not possible "
                  "(SCARD_W_REMOVED_CARD)."},
};

// SW2 of a row that covers every SW2 its SW1 has no row of its own for.
inline constexpr int kAnyOtherSW2 = -1;

struct StatusWordRow {
  uint8_t sw1;
  int sw2;  // 0x00..0xFF or kAnyOtherSW2
  std::string_view text;
};

inline constexpr std::string_view kCommandSuccessful = "[OK]  Command successfully executed.";
inline constexpr std::string_view kDESFireSuccessful = "[OK]  DESFire, successful operation.";
inline constexpr std::string_view kInsufficientMemory = "[Aborted]  Insufficient memory.";
inline constexpr std::string_view kCheckError = "[Aborted]  Check error.";

// The status words with a fixed text. 61xx, 63xx, 6Cxx, 9Fxx and 9200..920F are patterns whose
// text carries part of the status word; they are built in code.
inline constexpr std::array kStatusWords{
    StatusWordRow{0x62, 0x81, "[Warning]  The returned data may be erroneous."},
    StatusWordRow{0x62, 0x82,
                  "[Warning]  Fewer bytes than specified by the Le parameter could be read, since "
                  "the end of the file was encountered first."},
    StatusWordRow{0x62, 0x83, "[Warning]  The selected file is reversibly blocked (invalidated)."},
    StatusWordRow{0x62, 0x84,
                  "[Warning]  The file control information (FCI) is not structured in accordance "
                  "with ISO/IEC7816-4."},
    StatusWordRow{0x62, kAnyOtherSW2, "[Warning]  State of non-volatile memory not changed."},
    StatusWordRow{0x64, kAnyOtherSW2, "[Error]  State of non-volatile memory not changed."},
    StatusWordRow{0x65, 0x81, "[Error]  Memory error (e.g. during a write operation)."},
    StatusWordRow{0x65, kAnyOtherSW2, "[Error]  State of non-volatile memory changed."},
    StatusWordRow{0x67, 0x00, "[Aborted]  Length incorrect."},
    StatusWordRow{0x67, kAnyOtherSW2, kCheckError},
    StatusWordRow{0x68, 0x00, "[Aborted]  Functions in the class byte not supported (general)."},
    StatusWordRow{0x68, 0x81, "[Aborted]  Logical channels not supported."},
    StatusWordRow{0x68, 0x82, "[Aborted]  Secure messaging not supported."},
    StatusWordRow{0x68, kAnyOtherSW2, kCheckError},
    StatusWordRow{0x69, 0x00, "[Aborted]  Command not allowed (general)."},
    StatusWordRow{0x69, 0x81, "[Aborted]  Command incompatible with file structure."},
    StatusWordRow{0x69, 0x82, "[Aborted]  Security state not satisfied."},
    StatusWordRow{0x69, 0x83, "[Aborted]  Authentication method blocked."},
    StatusWordRow{0x69, 0x84, "[Aborted]  Referenced data reversibly blocked (invalidated)."},
    StatusWordRow{0x69, 0x85, "[Aborted]  Usage conditions not satisfied."},
    StatusWordRow{0x69, 0x86, "[Aborted]  Command not allowed (no EF selected)."},
    StatusWordRow{0x69, 0x87, "[Aborted]  Expected secure messaging data objects missing."},
    StatusWordRow{0x69, 0x88, "[Aborted]  Secure messaging data objects incorrect."},
    StatusWordRow{0x69, kAnyOtherSW2, kCheckError},
    StatusWordRow{0x6A, 0x00, "[Aborted]  Incorrect P1 or P2 parameters (general)."},
    StatusWordRow{0x6A, 0x80, "[Aborted]  Parameters in the data portion are incorrect."},
    StatusWordRow{0x6A, 0x81, "[Aborted]  Function not supported."},
    StatusWordRow{0x6A, 0x82, "[Aborted]  File not found."},
    StatusWordRow{0x6A, 0x83, "[Aborted]  Record not found."},
    StatusWordRow{0x6A, 0x84, kInsufficientMemory},
    StatusWordRow{0x6A, 0x85, "[Aborted]  Lc inconsistent with TLV structure."},
    StatusWordRow{0x6A, 0x86, "[Aborted]  Incorrect P1or P2 parameter."},
    StatusWordRow{0x6A, 0x87, "[Aborted]  Lc inconsistent with P1 or P2."},
    StatusWordRow{0x6A, 0x88, "[Aborted]  Referenced data not found."},
    StatusWordRow{0x6A, kAnyOtherSW2, kCheckError},
    StatusWordRow{0x6B, 0x00, "[Aborted]  Parameter 1 or 2 incorrect."},
    StatusWordRow{0x6B, kAnyOtherSW2, kCheckError},
    StatusWordRow{0x6D, 0x00, "[Aborted]  Command (instruction) not supported."},
    StatusWordRow{0x6D, kAnyOtherSW2, kCheckError},
    StatusWordRow{0x6E, 0x00, "[Aborted]  Class not supported."},
    StatusWordRow{0x6E, kAnyOtherSW2, kCheckError},
    StatusWordRow{0x6F, 0x00,
                  "[Aborted]  Command aborted – more exact diagnosis not possible (e.g., operating "
                  "system error)."},
    StatusWordRow{0x6F, kAnyOtherSW2, kCheckError},
    StatusWordRow{0x91, 0x0C,
                  "[Warning]  DESFire, No changes done to the backup files, CommitTransaction / "
                  "AbortTransaction not necessary."},
    StatusWordRow{0x91, 0x0E,
                  "[Error]  DESFire, insufficient non-volatile memory to complete command."},
    StatusWordRow{0x91, 0x1C, "[Error]  DESFire, command code not supported."},
    StatusWordRow{0x91, 0x1E,
                  "[Error]  DESFire, CRC or MAC doesn't match data or padding bytes not valid."},
    StatusWordRow{0x91, 0x40, "[Error]  DESFire, invalid key number specified."},
    StatusWordRow{0x91, 0x7E, "[Error]  DESFire, length of command string invalid."},
    StatusWordRow{
        0x91, 0x9D,
        "[Error]  DESFire, current configuration / status doesn't allow the requested command."},
    StatusWordRow{0x91, 0x9E, "[Error]  DESFire, value of the parameter(s) invalid."},
    StatusWordRow{0x91, 0xA0, "[Error]  DESFire, requested Application not present on PICC."},
    StatusWordRow{
        0x91, 0xA1,
        "[Error]  DESFire, unrecoverable error within application, application will be disabled."},
    StatusWordRow{0x91, 0xAE,
                  "[Error]  DESFire, current authentication status doesn't allow the requested "
                  "command. Authenticate first."},
    StatusWordRow{0x91, 0xAF, "[Error]  DESFire, additional data frame is expected to be sent."},
    StatusWordRow{0x91, 0xBE,
                  "[Error]  DESFire, attempt to read/write data from/to beyond the file's/record's "
                  "limits or attempt to exceed the limits of a value file."},
    StatusWordRow{0x91, 0xC1,
                  "[Error]  DESFire, unrecoverable error with PICC, PICC will be disabled."},
    StatusWordRow{0x91, 0xCA,
                  "[Error]  DESFire, previous command wasn't fully completed. Not all frames were "
                  "requested or provided by the PCD."},
    StatusWordRow{0x91, 0xCD, "[Error]  DESFire, PICC was disabled by an unrecoverable error."},
    StatusWordRow{0x91, 0xCE,
                  "[Error]  DESFire, number of applications limited to 28, no additional "
                  "CreateApplication possible."},
    StatusWordRow{0x91, 0xDE,
                  "[Error]  DESFire, creation of file/application failed because file/application "
                  "with the same number already exists."},
    StatusWordRow{0x91, 0xEE,
                  "[Error]  DESFire, could not complete non-volatile write operation due to loss "
                  "of power, internal backup/rollback mechanism activated."},
    StatusWordRow{0x91, 0xF0, "[Error]  DESFire, specified file number doesn't exist."},
    StatusWordRow{0x91, 0xF1,
                  "[Error]  DESFire, unrecoverable error within file, file will be disabled."},
    StatusWordRow{0x92, 0x10, kInsufficientMemory},
    StatusWordRow{0x92, 0x40, "[Error]  Writing to EEPROM not successful."},
    StatusWordRow{0x94, 0x00, "[Aborted]  No EF selected."},
    StatusWordRow{0x94, 0x02, "[Aborted]  Address range exceeded."},
    StatusWordRow{0x94, 0x04,
                  "[Aborted]  FID not found, record not found or comparison pattern not found."},
    StatusWordRow{0x94, 0x08, "[Aborted]  Selected file type does not match command."},
    StatusWordRow{0x98, 0x02, "[Aborted]  No PIN defined."},
    StatusWordRow{0x98, 0x04, "[Aborted]  Access conditions not satisfied, authentication failed."},
    StatusWordRow{0x98, 0x35, "[Aborted]  ASK RANDOM or GIVE RANDOM not executed."},
    StatusWordRow{0x98, 0x40, "[Aborted]  PIN verification not successful."},
    StatusWordRow{
        0x98, 0x50,
        "[Aborted]  INCREASE or DECREASE could not be executed because a limit has been reached."},
};

}  // namespace tarsin::status_texts
