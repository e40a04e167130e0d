// SPDX-License-Identifier: Apache-2.0
#include "mifare/access_bits.h"

#include <algorithm>
#include <string>

namespace tarsin::mifare {
namespace {

struct CodeMeaning {
  SCBS_SecurityLevelEnum dataRights;
  uint8_t keysUsed;
  SCSS_SecurityLevelEnum trailerRights;
};

// Indexed by the code C1C2C3. Codes 000, 001 and 010 leave key B readable in the trailer, so
// only key A counts as a key.
constexpr CodeMeaning kMeanings[8] = {
    {static_cast<SCBS_SecurityLevelEnum>(15), 1, scss_A_WriteKeys},
    {static_cast<SCBS_SecurityLevelEnum>(5), 1, scss_A_WriteKeysConditions},
    {static_cast<SCBS_SecurityLevelEnum>(5), 1, scss_A_Nothing},
    {scbs_B_ReadWrite, 2, scss_B_WriteKeysConditions},
    {static_cast<SCBS_SecurityLevelEnum>(13), 2, scss_B_WriteKeys},
    {scbs_B_Read, 2, scss_B_WriteConditions},
    {static_cast<SCBS_SecurityLevelEnum>(13), 2, scss_A_Nothing},
    {scbs_A_Nothing, 2, scss_A_Nothing},
};

// The built-in codes of the entries 1 to 9 (entry 8's depends on ValueBlocks).
constexpr std::string_view kDefaultCodes[9] = {"111", "001", "000", "111", "101",
                                               "001", "011", "100", "000"};
constexpr int kValueBlockEntry = 8;

// The table entry (1 to 9) for a data block's rights, 0 when the rights have no entry.
int BlockEntry(int32_t security, uint8_t keysUsed) {
  if (keysUsed == 1) {
    switch (security & 3) {
      case 0:
        return 1;
      case 1:
        return 2;
      default:
        return 3;
    }
  }
  switch (security) {
    case 0:
      return 4;
    case 4:
      return 5;
    case 5:
      return 6;
    case 8:
    case 12:
      return 7;
    case 9:
    case 13:
      return 8;
    case 10:
    case 11:
    case 14:
    case 15:
      return 9;
    default:
      return 0;
  }
}

bool IsValueBlock(const EncoderState& state, int32_t block) {
  const auto& blocks = state.ValueBlocks;
  return blocks && std::find(blocks->begin(), blocks->end(), block) != blocks->end();
}

std::string_view TrailerCode(int32_t conditions, uint8_t keysUsed) {
  if (keysUsed == 1) {
    switch (conditions & 3) {
      case 0:
        return "010";
      case 1:
        return "000";
      default:
        return "001";
    }
  }
  switch (conditions) {
    case 0:
      return "111";
    case 4:
      return "100";
    case 8:
      return "101";
    case 12:
      return "011";
    default:
      return {};
  }
}

}  // namespace

int AccessCode(uint8_t byte7, uint8_t byte8, int i) {
  const int c1 = (byte7 >> (4 + i)) & 1;
  const int c2 = (byte8 >> i) & 1;
  const int c3 = (byte8 >> (4 + i)) & 1;
  return 4 * c1 + 2 * c2 + c3;
}

SCBS_SecurityLevelEnum DataBlockRights(int code) {
  return kMeanings[code & 7].dataRights;
}
uint8_t TrailerKeysUsed(int code) {
  return kMeanings[code & 7].keysUsed;
}
SCSS_SecurityLevelEnum TrailerRights(int code) {
  return kMeanings[code & 7].trailerRights;
}

bool IsAccessCode(std::string_view code) {
  return code.size() == 3 &&
         std::all_of(code.begin(), code.end(), [](char c) { return c == '0' || c == '1'; });
}

void SetAccessBits(std::string_view code, int m, AccessBytes& bytes) {
  const int c1 = code[0] - '0';
  const int c2 = code[1] - '0';
  const int c3 = code[2] - '0';
  const auto place = [m](int low, int high) {
    return static_cast<uint8_t>((low ? m : 0) | (high ? 16 * m : 0));
  };
  const auto keep = static_cast<uint8_t>(~(m | 16 * m));
  bytes[0] = static_cast<uint8_t>((bytes[0] & keep) | place(!c1, !c2));
  bytes[1] = static_cast<uint8_t>((bytes[1] & keep) | place(!c3, c1));
  bytes[2] = static_cast<uint8_t>((bytes[2] & keep) | place(c2, c3));
}

bool EncodeBlockAccess(const EncoderState& state, int32_t security, uint8_t keysUsed, int m,
                       int32_t block, AccessBytes& bytes) {
  if (security < 0) return true;
  const int entry = BlockEntry(security, keysUsed);
  if (entry == 0) return false;
  std::string_view code = state.AccessConditions[entry - 1];
  if (code.empty()) {
    code =
        entry == kValueBlockEntry && IsValueBlock(state, block) ? "110" : kDefaultCodes[entry - 1];
  }
  SetAccessBits(code, m, bytes);
  return true;
}

bool EncodeTrailerAccess(int32_t conditions, uint8_t keysUsed, int m, AccessBytes& bytes) {
  if (conditions < 0) return true;
  const std::string_view code = TrailerCode(conditions, keysUsed);
  if (code.empty()) return false;
  SetAccessBits(code, m, bytes);
  return true;
}

}  // namespace tarsin::mifare
