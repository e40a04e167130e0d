// SPDX-License-Identifier: Apache-2.0
#include "pcsc/winscard.h"
#include "pcsc/winscard_call.h"

namespace tarsin {

const char* WinSCard::DefaultLibrary() noexcept {
  return "libpcsclite.so.1";
}

// pcsc-lite's text is UTF-8, the component's own.
LONG WinSCard::ListReaders(SCARDCONTEXT context, LPCSTR groups, LPSTR readers, LPDWORD length) {
  return TARSIN_CALL(SCardListReaders, context, groups, readers, length);
}
LONG WinSCard::Connect(SCARDCONTEXT context, LPCSTR reader, DWORD shareMode,
                       DWORD preferredProtocols, LPSCARDHANDLE card, LPDWORD activeProtocol) {
  return TARSIN_CALL(SCardConnect, context, reader, shareMode, preferredProtocols, card,
                     activeProtocol);
}

}  // namespace tarsin
