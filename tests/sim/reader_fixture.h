// A PC/SC storage-card reader with one card, driven with hex APDUs as a client would.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "card/bytes.h"
#include "reader/virtual_reader.h"

namespace tarsin::sim::testing {

inline std::string Exchange(VirtualReader& reader, const std::string& apdu_hex) {
  auto apdu = FromHex(apdu_hex);
  EXPECT_TRUE(apdu) << apdu_hex;
  return ToHex(reader.Transmit(apdu.value_or(Bytes{})));
}

// The status word of an answer, the last four hex digits.
inline std::string Sw(const std::string& answer) {
  return answer.size() >= 4 ? answer.substr(answer.size() - 4) : answer;
}

}  // namespace tarsin::sim::testing
