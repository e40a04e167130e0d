// SPDX-License-Identifier: Apache-2.0
// A PC/SC provider whose card answers come from the fuzzer's input, selected like any other
// with TARSIN_RF_PCSC_LIBRARY; only the entry points the component calls. Two readers, "Fuzz
// DESFire" and "Fuzz Classic", each always with its card, whose ATR names the card type. Every
// SCardTransmit takes the next answer of the stream that tarsin_fuzz_pcsc_feed() set:
//   - a length byte 0x00-0xFC and that many bytes (fewer at the end of the input);
//   - 0xFD: the provider claims one byte more than the buffer it was given;
//   - 0xFE and a byte: the call fails with one of the PC/SC errors below;
//   - nothing left: the card has gone (SCARD_W_REMOVED_CARD).
#include <reader.h>
#include <winscard.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

namespace {

constexpr SCARDCONTEXT kContext = 7001;
constexpr SCARDHANDLE kDesfire = 1;
constexpr SCARDHANDLE kClassic = 2;
constexpr unsigned char kDesfireAtr[] = {0x3B, 0x81, 0x80, 0x01, 0x80, 0x80};
constexpr unsigned char kClassicAtr[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C,
                                         0xA0, 0x00, 0x00, 0x03, 0x06, 0x03, 0x00,
                                         0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};
constexpr LONG kFailures[] = {
    SCARD_W_REMOVED_CARD,       SCARD_E_NO_SMARTCARD,  SCARD_E_TIMEOUT,
    SCARD_F_COMM_ERROR,         SCARD_W_RESET_CARD,    SCARD_E_INSUFFICIENT_BUFFER,
    SCARD_E_READER_UNAVAILABLE, SCARD_E_INVALID_HANDLE};

std::vector<uint8_t> stream;
size_t next = 0;

std::string_view ReaderOf(SCARDHANDLE card) {
  return card == kDesfire ? "Fuzz DESFire" : "Fuzz Classic";
}

}  // namespace

#pragma GCC visibility push(default)
extern "C" {

void tarsin_fuzz_pcsc_feed(const uint8_t* data, size_t size) {
  stream.assign(data, data + size);
  next = 0;
}

LONG SCardEstablishContext(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) {
  *context = kContext;
  return SCARD_S_SUCCESS;
}

LONG SCardReleaseContext(SCARDCONTEXT) {
  return SCARD_S_SUCCESS;
}
LONG SCardDisconnect(SCARDHANDLE, DWORD) {
  return SCARD_S_SUCCESS;
}

LONG SCardConnect(SCARDCONTEXT, LPCSTR reader, DWORD, DWORD, LPSCARDHANDLE card, LPDWORD protocol) {
  const std::string_view name = reader ? reader : "";
  if (name != ReaderOf(kDesfire) && name != ReaderOf(kClassic)) return SCARD_E_UNKNOWN_READER;
  *card = name == ReaderOf(kDesfire) ? kDesfire : kClassic;
  *protocol = SCARD_PROTOCOL_T1;
  return SCARD_S_SUCCESS;
}

LONG SCardGetAttrib(SCARDHANDLE card, DWORD id, LPBYTE buffer, LPDWORD length) {
  if (id != SCARD_ATTR_ATR_STRING) return SCARD_E_UNSUPPORTED_FEATURE;
  const unsigned char* atr = card == kDesfire ? kDesfireAtr : kClassicAtr;
  const DWORD size = card == kDesfire ? sizeof kDesfireAtr : sizeof kClassicAtr;
  if (buffer && *length < size) return SCARD_E_INSUFFICIENT_BUFFER;
  if (buffer) std::memcpy(buffer, atr, size);
  *length = size;
  return SCARD_S_SUCCESS;
}

LONG SCardTransmit(SCARDHANDLE, const SCARD_IO_REQUEST*, LPCBYTE, DWORD, SCARD_IO_REQUEST*,
                   LPBYTE receive, LPDWORD length) {
  if (next >= stream.size()) return SCARD_W_REMOVED_CARD;
  const uint8_t head = stream[next++];
  if (head == 0xFE) {
    const uint8_t pick = next < stream.size() ? stream[next++] : 0;
    return kFailures[pick % std::size(kFailures)];
  }
  if (head == 0xFD) {
    std::memset(receive, 0x91, *length);
    *length += 1;
    return SCARD_S_SUCCESS;
  }
  const size_t count = std::min<size_t>({head, stream.size() - next, *length});
  std::memcpy(receive, stream.data() + next, count);
  next += count;
  *length = static_cast<DWORD>(count);
  return SCARD_S_SUCCESS;
}

}  // extern "C"
#pragma GCC visibility pop
