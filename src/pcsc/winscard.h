// SPDX-License-Identifier: Apache-2.0
// The PC/SC platform behind a table of entry points, taken at run time from the process's PC/SC
// library (pcsc/provider_choice.h): the platform's resource manager (pcsc-lite's
// libpcsclite.so.1 here) or another provider (the virtual reader). A library or entry point that
// cannot be loaded raises the run-time failure 53 or 453 on the call that needs it
// (core/shared_library.h).
#pragma once

#include <winscard.h>

#include <cstdint>
#include <string>

#include "core/shared_library.h"
#include "pcsc/provider_choice.h"

namespace tarsin {

// PC/SC results are `long` here; the component reports them as the 32-bit values of the API.
inline int32_t PcscResult32(LONG result) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(result));
}

class WinSCard {
 public:
  // The process's provider, chosen at the first call unless chosen before. Libraries are loaded
  // once and kept for the life of the process.
  static WinSCard Current() { return WinSCard(ProviderChoice::Library()); }
  // The platform's own: pcsc-lite's library, or Windows' winscard.dll.
  static const char* DefaultLibrary() noexcept;

  const std::string& library() const noexcept { return library_.library(); }

  LONG EstablishContext(DWORD scope, SCARDCONTEXT* context);
  LONG ReleaseContext(SCARDCONTEXT context);
  LONG ListReaders(SCARDCONTEXT context, LPCSTR groups, LPSTR readers, LPDWORD length);
  LONG Connect(SCARDCONTEXT context, LPCSTR reader, DWORD shareMode, DWORD preferredProtocols,
               LPSCARDHANDLE card, LPDWORD activeProtocol);
  LONG Disconnect(SCARDHANDLE card, DWORD disposition);
  LONG Status(SCARDHANDLE card, LPSTR readerName, LPDWORD readerLength, LPDWORD state,
              LPDWORD protocol, LPBYTE atr, LPDWORD atrLength);
  LONG GetStatusChange(SCARDCONTEXT context, DWORD timeout, SCARD_READERSTATE* states, DWORD count);
  // Ends a GetStatusChange waiting on `context` (from another thread) with SCARD_E_CANCELLED.
  LONG Cancel(SCARDCONTEXT context);
  LONG Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, LPCBYTE send, DWORD sendLength,
                SCARD_IO_REQUEST* recvPci, LPBYTE recv, LPDWORD recvLength);
  LONG GetAttrib(SCARDHANDLE card, DWORD attrId, LPBYTE attr, LPDWORD attrLength);

  explicit WinSCard(SharedLibrary& library) : library_(library) {}

 private:
  SharedLibrary& library_;
};

}  // namespace tarsin
