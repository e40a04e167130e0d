// SPDX-License-Identifier: Apache-2.0
// Any bytes through the hex routines and the status-text lookup. Checked: hex read back gives
// the bytes, IsHexString accepts what BytesToHex writes, an answer splits into its data and its
// status word, and every status word has a sentence.
//
// Input: byte 0 picks the spacing and the range of TextToHex, the rest is the text.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/hex_text.h"
#include "pcsc/status_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::span<const uint8_t> bytes(data + 1, size - 1);
  const std::string text(bytes.begin(), bytes.end());

  std::string hex = tarsin::BytesToHex(bytes);
  if (tarsin::HexToBytes(hex) != tarsin::ByteVector(bytes.begin(), bytes.end())) std::abort();
  if (!tarsin::IsHexString(hex, static_cast<int32_t>(2 * bytes.size()))) std::abort();
  int32_t to = data[0] & 0x80 ? -1 : data[0] & 0x3F;
  const std::string spaced = tarsin::TextToHex(text, 1 + (data[0] >> 6 & 1), to, data[0] & 1);
  tarsin::HexToBytes(text, text);
  std::string typed = text;
  tarsin::IsHexString(typed, static_cast<int8_t>(data[0]));

  std::string answer, status;
  tarsin::SplitResponse(bytes, bytes.size() + data[0] % 3, answer, status);
  if (bytes.size() >= 2 && answer + status != hex) std::abort();
  if (tarsin::StatusWordText(status).empty() || tarsin::StatusWordText(text).empty()) std::abort();
  int32_t code = 0;
  for (size_t i = 0; i < bytes.size() && i < 4; ++i) code = code << 8 | bytes[i];
  if (tarsin::SCardErrorText(code).empty()) std::abort();
  return 0;
}
