// SPDX-License-Identifier: Apache-2.0
// A PC/SC provider for the faults the virtual reader cannot produce and for a fuzz target's card
// answers: one lacking an entry point (built with TARSIN_STUB_WITHOUT_CONNECT), an unreachable
// resource manager, a reader claiming more bytes than its buffer. TARSIN_STUB_PCSC_MODE selects
// "no-service" or "overlong-answer". A reader whose name holds "DESFire" has a DESFire card, any
// other a MIFARE Classic 1K; the ATR names it. Every SCardTransmit fills its buffer, ending in
// 90 00, until tarsin_stub_pcsc_feed() sets a stream; then it takes the stream's next answer:
//   - a length byte 0x00-0xFC and that many bytes (fewer at the end of the input);
//   - 0xFD: the overlong answer;
//   - 0xFE and a byte: the call fails with one of the PC/SC errors below;
//   - nothing left: the card has gone (SCARD_W_REMOVED_CARD).
#include <reader.h>
#include <winscard.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

namespace {

std::string_view Mode() {
  const char* mode = std::getenv("TARSIN_STUB_PCSC_MODE");
  return mode ? mode : "";
}

constexpr SCARDCONTEXT kContext = 1001;
constexpr SCARDHANDLE kClassic = 2002;
constexpr SCARDHANDLE kDesfire = 2003;
constexpr unsigned char kClassicAtr[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C,
                                         0xA0, 0x00, 0x00, 0x03, 0x06, 0x03, 0x00,
                                         0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};
constexpr unsigned char kDesfireAtr[] = {0x3B, 0x81, 0x80, 0x01, 0x80, 0x80};
constexpr LONG kFailures[] = {
    SCARD_W_REMOVED_CARD,       SCARD_E_NO_SMARTCARD,  SCARD_E_TIMEOUT,
    SCARD_F_COMM_ERROR,         SCARD_W_RESET_CARD,    SCARD_E_INSUFFICIENT_BUFFER,
    SCARD_E_READER_UNAVAILABLE, SCARD_E_INVALID_HANDLE};

std::optional<std::vector<uint8_t>> stream;
size_t next = 0;

// Fills what it was given, ending in 90 00; an overlong answer then claims more than that.
LONG Fill(LPBYTE receive, LPDWORD length, bool overlong) {
  std::memset(receive, 0xA5, *length);
  receive[*length - 2] = 0x90;
  receive[*length - 1] = 0x00;
  if (overlong) *length += 904;
  return SCARD_S_SUCCESS;
}

}  // namespace

#pragma GCC visibility push(default)
extern "C" {

void tarsin_stub_pcsc_feed(const uint8_t* data, size_t size) {
  stream.emplace(data, data + size);
  next = 0;
}

LONG SCardEstablishContext(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) {
  if (Mode() == "no-service") return SCARD_E_NO_SERVICE;
  *context = kContext;
  return SCARD_S_SUCCESS;
}

LONG SCardReleaseContext(SCARDCONTEXT context) {
  return context == kContext ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
}

LONG SCardDisconnect(SCARDHANDLE card, DWORD) {
  return card == kClassic || card == kDesfire ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
}

#ifndef TARSIN_STUB_WITHOUT_CONNECT
LONG SCardConnect(SCARDCONTEXT, LPCSTR reader, DWORD, DWORD, LPSCARDHANDLE card, LPDWORD protocol) {
  *card = std::string_view(reader ? reader : "").find("DESFire") != std::string_view::npos
              ? kDesfire
              : kClassic;
  *protocol = SCARD_PROTOCOL_T1;
  return SCARD_S_SUCCESS;
}
#endif

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
  if (!stream) return Fill(receive, length, Mode() == "overlong-answer");
  if (next >= stream->size()) return SCARD_W_REMOVED_CARD;
  const uint8_t head = (*stream)[next++];
  if (head == 0xFE) {
    const uint8_t pick = next < stream->size() ? (*stream)[next++] : 0;
    return kFailures[pick % std::size(kFailures)];
  }
  if (head == 0xFD) return Fill(receive, length, true);
  const size_t count = std::min<size_t>({head, stream->size() - next, *length});
  std::memcpy(receive, stream->data() + next, count);
  next += count;
  *length = static_cast<DWORD>(count);
  return SCARD_S_SUCCESS;
}

}  // extern "C"
#pragma GCC visibility pop
