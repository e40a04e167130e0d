// SPDX-License-Identifier: Apache-2.0
// A PC/SC provider for the faults the virtual reader cannot produce: a provider that lacks an
// entry point (built with TARSIN_STUB_WITHOUT_CONNECT), a resource manager that cannot be
// reached, and a reader that claims more bytes than the buffer it was given.
// TARSIN_STUB_PCSC_MODE selects: "no-service" or "overlong-answer".
#include <reader.h>
#include <winscard.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

std::string_view Mode() {
  const char* mode = std::getenv("TARSIN_STUB_PCSC_MODE");
  return mode ? mode : "";
}

constexpr SCARDCONTEXT kContext = 1001;
constexpr SCARDHANDLE kCard = 2002;
constexpr unsigned char kAtr[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                                  0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};

}  // namespace

#pragma GCC visibility push(default)
extern "C" {

LONG SCardEstablishContext(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) {
  if (Mode() == "no-service") return SCARD_E_NO_SERVICE;
  *context = kContext;
  return SCARD_S_SUCCESS;
}

LONG SCardReleaseContext(SCARDCONTEXT context) {
  return context == kContext ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
}

LONG SCardDisconnect(SCARDHANDLE card, DWORD) {
  return card == kCard ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
}

#ifndef TARSIN_STUB_WITHOUT_CONNECT
LONG SCardConnect(SCARDCONTEXT, LPCSTR, DWORD, DWORD, LPSCARDHANDLE card, LPDWORD protocol) {
  *card = kCard;
  *protocol = SCARD_PROTOCOL_T1;
  return SCARD_S_SUCCESS;
}
#endif

LONG SCardGetAttrib(SCARDHANDLE, DWORD id, LPBYTE buffer, LPDWORD length) {
  if (id != SCARD_ATTR_ATR_STRING) return SCARD_E_UNSUPPORTED_FEATURE;
  if (buffer && *length >= sizeof kAtr) std::memcpy(buffer, kAtr, sizeof kAtr);
  *length = sizeof kAtr;
  return SCARD_S_SUCCESS;
}

LONG SCardTransmit(SCARDHANDLE, const SCARD_IO_REQUEST*, LPCBYTE, DWORD, SCARD_IO_REQUEST*,
                   LPBYTE receive, LPDWORD length) {
  // Fills what it was given, ending in 90 00, then claims more than that.
  std::memset(receive, 0xA5, *length);
  receive[*length - 2] = 0x90;
  receive[*length - 1] = 0x00;
  *length = Mode() == "overlong-answer" ? *length + 904 : *length;
  return SCARD_S_SUCCESS;
}

}  // extern "C"
#pragma GCC visibility pop
