// SPDX-License-Identifier: Apache-2.0
#include <cstring>
#include <vector>

#include "core/ansi_code_page.h"
#include "pcsc/winscard.h"
#include "pcsc/winscard_call.h"

namespace tarsin {

const char* WinSCard::DefaultLibrary() noexcept {
  return "winscard.dll";
}

// Reader names are UTF-8 inside the component and ANSI text at WinSCard's "A" entry points.
LONG WinSCard::ListReaders(SCARDCONTEXT context, LPCSTR groups, LPSTR readers, LPDWORD length) {
  DWORD ansiLength = 0;
  LONG result = TARSIN_CALL(SCardListReaders, context, groups, nullptr, &ansiLength);
  std::vector<uint8_t> ansi;
  // A reader may arrive between the two calls: ask again until the list fits.
  while (result == SCARD_S_SUCCESS) {
    ansi.assign(ansiLength, 0);
    result = TARSIN_CALL(SCardListReaders, context, groups, reinterpret_cast<LPSTR>(ansi.data()),
                         &ansiLength);
    if (result != static_cast<LONG>(SCARD_E_INSUFFICIENT_BUFFER)) break;
    result = TARSIN_CALL(SCardListReaders, context, groups, nullptr, &ansiLength);
  }
  if (result != SCARD_S_SUCCESS) return result;
  ansi.resize(ansiLength);
  const std::string list = AnsiToUtf8(ansi);  // NULs stay NULs
  const auto needed = static_cast<DWORD>(list.size());
  if (readers == nullptr) {
    *length = needed;
    return SCARD_S_SUCCESS;
  }
  if (*length < needed) {
    *length = needed;
    return static_cast<LONG>(SCARD_E_INSUFFICIENT_BUFFER);
  }
  std::memcpy(readers, list.data(), list.size());
  *length = needed;
  return SCARD_S_SUCCESS;
}

LONG WinSCard::Connect(SCARDCONTEXT context, LPCSTR reader, DWORD shareMode,
                       DWORD preferredProtocols, LPSCARDHANDLE card, LPDWORD activeProtocol) {
  std::vector<uint8_t> name = Utf8ToAnsi(reader);
  name.push_back(0);
  return TARSIN_CALL(SCardConnect, context, reinterpret_cast<LPCSTR>(name.data()), shareMode,
                     preferredProtocols, card, activeProtocol);
}

}  // namespace tarsin
