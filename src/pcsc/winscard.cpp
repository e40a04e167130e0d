#include "pcsc/winscard.h"

namespace tarsin {

// Calls the platform's function `name` through the loaded library, with the platform's own
// signature. The name is expanded first: Windows maps the text functions to their ANSI entry
// points (SCardConnect -> SCardConnectA), pcsc-lite has only the one.
#define TARSIN_ENTRY_NAME(name) #name
#define TARSIN_CALL(name, ...) \
  reinterpret_cast<decltype(&::name)>(library_.EntryPoint(TARSIN_ENTRY_NAME(name)))(__VA_ARGS__)

LONG WinSCard::EstablishContext(DWORD scope, SCARDCONTEXT* context) {
  return TARSIN_CALL(SCardEstablishContext, scope, nullptr, nullptr, context);
}
LONG WinSCard::ReleaseContext(SCARDCONTEXT context) {
  return TARSIN_CALL(SCardReleaseContext, context);
}
LONG WinSCard::IsValidContext(SCARDCONTEXT context) {
  return TARSIN_CALL(SCardIsValidContext, context);
}
LONG WinSCard::ListReaders(SCARDCONTEXT context, LPCSTR groups, LPSTR readers, LPDWORD length) {
  return TARSIN_CALL(SCardListReaders, context, groups, readers, length);
}
LONG WinSCard::Connect(SCARDCONTEXT context, LPCSTR reader, DWORD shareMode,
                       DWORD preferredProtocols, LPSCARDHANDLE card, LPDWORD activeProtocol) {
  return TARSIN_CALL(SCardConnect, context, reader, shareMode, preferredProtocols, card,
                     activeProtocol);
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
LONG WinSCard::Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, LPCBYTE send,
                        DWORD sendLength, SCARD_IO_REQUEST* recvPci, LPBYTE recv,
                        LPDWORD recvLength) {
  return TARSIN_CALL(SCardTransmit, card, sendPci, send, sendLength, recvPci, recv, recvLength);
}
LONG WinSCard::GetAttrib(SCARDHANDLE card, DWORD attrId, LPBYTE attr, LPDWORD attrLength) {
  return TARSIN_CALL(SCardGetAttrib, card, attrId, attr, attrLength);
}
LONG WinSCard::FreeMemory(SCARDCONTEXT context, LPCVOID memory) {
  return TARSIN_CALL(SCardFreeMemory, context, memory);
}

#undef TARSIN_CALL
#undef TARSIN_ENTRY_NAME

}  // namespace tarsin
