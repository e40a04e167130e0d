// SPDX-License-Identifier: Apache-2.0
// Any bytes through the hex routines and the status-text lookup. Checked: hex read back gives the
// bytes, IsHexString accepts what BytesToHex writes, and every status word has a sentence. Input:
// byte 0 picks IsHexString's length, the rest is the text.
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
  if (tarsin::TextToHex(text, false) != hex) std::abort();
  tarsin::TextToHex(text, true);
  tarsin::HexToBytes(text);
  std::string typed = text;
  tarsin::IsHexString(typed, static_cast<int8_t>(data[0]));

  const std::string status = hex.substr(hex.size() >= 4 ? hex.size() - 4 : 0);
  if (tarsin::StatusWordText(status).empty() || tarsin::StatusWordText(text).empty()) std::abort();
  int32_t code = 0;
  for (size_t i = 0; i < bytes.size() && i < 4; ++i) code = code << 8 | bytes[i];
  if (tarsin::SCardErrorText(code).empty()) std::abort();
  return 0;
}
