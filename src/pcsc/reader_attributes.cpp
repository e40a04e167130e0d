// SPDX-License-Identifier: Apache-2.0
#include "pcsc/reader_attributes.h"

#include <fmt/format.h>

#include "core/hex_text.h"
#include "core/log.h"
#include "pcsc/winscard.h"

namespace tarsin {
namespace {

// The client library refuses attribute buffers above this size.
constexpr DWORD kMaxAttributeLength = 264;

std::string ReadAttribute(EncoderState& state, uint32_t attrId) {
  WinSCard pcsc = WinSCard::Current();
  const auto card = static_cast<SCARDHANDLE>(state.hCard);
  DWORD length = 0;
  pcsc.GetAttrib(card, attrId, nullptr, &length);
  length = std::min(length, kMaxAttributeLength);
  std::string buffer(length, '\0');
  if (length == 0) return buffer;
  DWORD filled = length;
  pcsc.GetAttrib(card, attrId, reinterpret_cast<LPBYTE>(buffer.data()), &filled);
  // The results are not examined: what the reader did not fill stays NUL.
  if (filled < buffer.size()) buffer.resize(filled);
  return buffer;
}

void ReplaceAll(std::string& text, std::string_view marker, const std::string& value) {
  for (size_t at = text.find(marker); at != std::string::npos;
       at = text.find(marker, at + value.size())) {
    text.replace(at, marker.size(), value);
  }
}

}  // namespace

std::string DecodeAttribute(const std::string& buffer, int32_t decoding) {
  switch (decoding) {
    case kDecodeVersion: {
      std::string bytes = buffer;
      bytes.resize(4, '\0');
      const auto b = [&](size_t i) {
        return static_cast<unsigned>(static_cast<uint8_t>(bytes[i]));
      };
      return fmt::format("{}.{}.{}", b(0), b(1), b(3) * 256 + b(2));
    }
    case kDecodeText: {
      const size_t nul = buffer.find('\0');
      return nul == std::string::npos ? std::string() : buffer.substr(0, nul);
    }
    case kDecode32Bytes: {
      std::string bytes = buffer;
      bytes.resize(32, '\0');
      return bytes;
    }
    default:
      return buffer;
  }
}

std::string ReaderGetAttr(EncoderState& state, const std::string& format, uint32_t attrId,
                          int32_t decoding) noexcept {
  std::string result;
  try {
    WriteLog(state, fmt::format("--> ReaderGetAttr(\"{}\", {}, {})", format, attrId, decoding));
    std::string value;
    try {
      value = DecodeAttribute(ReadAttribute(state, attrId), decoding);
    } catch (...) {
      // A reader path that cannot be called gives the attribute's empty value.
      value = DecodeAttribute(std::string(), decoding);
    }
    result = format;
    ReplaceAll(result, "%1", value);
    WriteLog(state, "<-- ReaderGetAttr returns \"" + TextToHex(result, true) + "\"");
  } catch (...) {
  }
  return result;
}

}  // namespace tarsin
