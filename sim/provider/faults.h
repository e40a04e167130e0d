// SPDX-License-Identifier: Apache-2.0
// Fault injection for tests of PC/SC clients against the virtual readers.
//
// Every fault is written into the readers file (TARSIN_RF_VIRTUAL_READERS, else the default
// file), so it reaches the in-process provider and the pcscd driver alike, in this process or
// another. The same faults can be written by hand under "faults" of a reader entry:
//   "connectResults":   [2148532235, ...]  next connects fail with these results, one each
//   "transmitResults":  [2148532246, ...]  next transmits fail with these results, one each
//   "statusWords":      ["6A82", ...]       next transmits answer this instead of the card
//   "flipAnswerBytes":  [-3, ...]          next transmits reach the card, and the answer comes
//                                          back with byte N flipped (from the end when
//                                          negative: -3 is the last before the status word)
//   "removeCardDuringTransmit": true        the next transmit loses the card in mid-command
//                               or N       the transmit after the next N does
//   "missingAttributes": [590595, ...]      attributes the reader does not have
// and on the reader entry itself: "cardPresent" (card removed or inserted) and "present"
// (reader unplugged or plugged in).
//
// Each function returns false when the file has no reader of that name or cannot be written.
#pragma once

#include <cstdint>
#include <string>

namespace tarsin::sim::faults {

constexpr std::uint32_t kSharingViolation = 0x8010000B;

bool FailNextConnects(const std::string& reader, int count = 1,
                      std::uint32_t result = kSharingViolation);
bool FailNextTransmits(const std::string& reader, std::uint32_t result, int count = 1);
bool ForceStatusWords(const std::string& reader, std::uint16_t status_word, int count = 1);
// Tests a host's MAC and CRC checks: the next answer's byte `index` inverted.
bool FlipAnswerByte(const std::string& reader, int index);
bool RemoveCardDuringNextTransmit(const std::string& reader);
bool SetCardPresent(const std::string& reader, bool present);
bool SetReaderPresent(const std::string& reader, bool present);
bool HideAttribute(const std::string& reader, std::uint32_t attribute);
// Removes every queued fault and attribute restriction (presence stays as it is).
bool ClearFaults(const std::string& reader);

}  // namespace tarsin::sim::faults

// The same for clients that load the provider with dlopen: 1 on success, 0 otherwise.
extern "C" {
int tarsin_vpcsc_fail_next_connects(const char* reader, int count, std::uint32_t result);
int tarsin_vpcsc_fail_next_transmits(const char* reader, std::uint32_t result, int count);
int tarsin_vpcsc_force_status_words(const char* reader, std::uint16_t status_word, int count);
int tarsin_vpcsc_flip_answer_byte(const char* reader, int index);
int tarsin_vpcsc_remove_card_during_next_transmit(const char* reader);
int tarsin_vpcsc_set_card_present(const char* reader, int present);
int tarsin_vpcsc_set_reader_present(const char* reader, int present);
int tarsin_vpcsc_hide_attribute(const char* reader, std::uint32_t attribute);
int tarsin_vpcsc_clear_faults(const char* reader);
}
