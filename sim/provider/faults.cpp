// SPDX-License-Identifier: Apache-2.0
#include "provider/faults.h"

#include <functional>

#include "card/bytes.h"
#include "pcsc_platform.h"
#include "store/reader_bank.h"

namespace tarsin::sim::faults {

namespace {

bool Queue(const std::string& reader, const char* key, const nlohmann::json& item, int count) {
  return EditReader(reader, [&](nlohmann::json& entry) {
    auto& queue = entry["faults"][key];
    if (!queue.is_array()) queue = nlohmann::json::array();
    for (int i = 0; i < count; ++i) queue.push_back(item);
  });
}

}  // namespace

TARSIN_EXPORT bool FailNextConnects(const std::string& reader, int count, std::uint32_t result) {
  return Queue(reader, "connectResults", result, count);
}

TARSIN_EXPORT bool FailNextTransmits(const std::string& reader, std::uint32_t result, int count) {
  return Queue(reader, "transmitResults", result, count);
}

TARSIN_EXPORT bool ForceStatusWords(const std::string& reader, std::uint16_t status_word,
                                    int count) {
  Bytes bytes{static_cast<std::uint8_t>(status_word >> 8), static_cast<std::uint8_t>(status_word)};
  return Queue(reader, "statusWords", ToHex(bytes), count);
}

TARSIN_EXPORT bool FlipAnswerByte(const std::string& reader, int index) {
  return Queue(reader, "flipAnswerBytes", index, 1);
}

TARSIN_EXPORT bool RemoveCardDuringNextTransmit(const std::string& reader) {
  return EditReader(
      reader, [](nlohmann::json& entry) { entry["faults"]["removeCardDuringTransmit"] = true; });
}

TARSIN_EXPORT bool SetCardPresent(const std::string& reader, bool present) {
  return EditReader(reader, [present](nlohmann::json& entry) {
    bool was_present = entry.value("cardPresent", true);
    entry["cardPresent"] = present;
    // Out of the field the card loses its session, whichever process left it.
    if (!present && entry.contains("card") && entry["card"].is_object()) {
      entry["card"].erase("session");
    }
    if (present && !was_present) entry["insertions"] = entry.value("insertions", 0u) + 1;
  });
}

TARSIN_EXPORT bool SetReaderPresent(const std::string& reader, bool present) {
  return EditReader(reader, [present](nlohmann::json& entry) { entry["present"] = present; });
}

TARSIN_EXPORT bool HideAttribute(const std::string& reader, std::uint32_t attribute) {
  return Queue(reader, "missingAttributes", attribute, 1);
}

TARSIN_EXPORT bool ClearFaults(const std::string& reader) {
  return EditReader(reader, [](nlohmann::json& entry) { entry.erase("faults"); });
}

}  // namespace tarsin::sim::faults

using namespace tarsin::sim::faults;

extern "C" {
TARSIN_EXPORT int tarsin_vpcsc_fail_next_connects(const char* reader, int count,
                                                  std::uint32_t result) {
  return reader && FailNextConnects(reader, count, result);
}
TARSIN_EXPORT int tarsin_vpcsc_fail_next_transmits(const char* reader, std::uint32_t result,
                                                   int count) {
  return reader && FailNextTransmits(reader, result, count);
}
TARSIN_EXPORT int tarsin_vpcsc_force_status_words(const char* reader, std::uint16_t status_word,
                                                  int count) {
  return reader && ForceStatusWords(reader, status_word, count);
}
TARSIN_EXPORT int tarsin_vpcsc_flip_answer_byte(const char* reader, int index) {
  return reader && FlipAnswerByte(reader, index);
}

TARSIN_EXPORT int tarsin_vpcsc_remove_card_during_next_transmit(const char* reader) {
  return reader && RemoveCardDuringNextTransmit(reader);
}
TARSIN_EXPORT int tarsin_vpcsc_set_card_present(const char* reader, int present) {
  return reader && SetCardPresent(reader, present != 0);
}
TARSIN_EXPORT int tarsin_vpcsc_set_reader_present(const char* reader, int present) {
  return reader && SetReaderPresent(reader, present != 0);
}
TARSIN_EXPORT int tarsin_vpcsc_hide_attribute(const char* reader, std::uint32_t attribute) {
  return reader && HideAttribute(reader, attribute);
}
TARSIN_EXPORT int tarsin_vpcsc_clear_faults(const char* reader) {
  return reader && ClearFaults(reader);
}
}
