// SPDX-License-Identifier: Apache-2.0
#include "pcsc/winscard.h"

#include "pcsc/winscard_call.h"

namespace tarsin {

LONG WinSCard::EstablishContext(DWORD scope, SCARDCONTEXT* context) {
  return TARSIN_CALL(SCardEstablishContext, scope, nullptr, nullptr, context);
}
LONG WinSCard::ReleaseContext(SCARDCONTEXT context) {
  return TARSIN_CALL(SCardReleaseContext, context);
}
LONG WinSCard::Disconnect(SCARDHANDLE card, DWORD disposition) {
  return TARSIN_CALL(SCardDisconnect, card, disposition);
}
LONG WinSCard::Status(SCARDHANDLE card, LPSTR readerName, LPDWORD readerLength, LPDWORD state,
                      LPDWORD protocol, LPBYTE atr, LPDWORD atrLength) {
  return TARSIN_CALL(SCardStatus, card, readerName, readerLength, state, protocol, atr, atrLength);
}
LONG WinSCard::GetStatusChange(SCARDCONTEXT context, DWORD timeout, SCARD_READERSTATE* states,
                               DWORD count) {
  return TARSIN_CALL(SCardGetStatusChange, context, timeout, states, count);
}
LONG WinSCard::Cancel(SCARDCONTEXT context) {
  return TARSIN_CALL(SCardCancel, context);
}
LONG WinSCard::Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, LPCBYTE send,
                        DWORD sendLength, SCARD_IO_REQUEST* recvPci, LPBYTE recv,
                        LPDWORD recvLength) {
  return TARSIN_CALL(SCardTransmit, card, sendPci, send, sendLength, recvPci, recv, recvLength);
}
LONG WinSCard::GetAttrib(SCARDHANDLE card, DWORD attrId, LPBYTE attr, LPDWORD attrLength) {
  return TARSIN_CALL(SCardGetAttrib, card, attrId, attr, attrLength);
}

}  // namespace tarsin
