// SPDX-License-Identifier: Apache-2.0
// PC/SC's entry points, served by the virtual readers of the readers file: pcsc-lite's on Linux,
// WinSCard's on Windows (pcsc_platform.h of the platform's folder gives the types and names).

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "pcsc_platform.h"
#include "provider/pcsc_buffers.h"
#include "provider/sessions.h"
#include "store/reader_attributes.h"

// An entry point: exported, unmangled, with the platform's calling convention.
#define TARSIN_PCSC_ENTRY extern "C" TARSIN_EXPORT LONG TARSIN_PCSC_CALL

using tarsin::sim::Bytes;
using tarsin::sim::Outcome;
using tarsin::sim::ReaderView;
using namespace tarsin::sim::provider;

extern "C" TARSIN_EXPORT const SCARD_IO_REQUEST g_rgSCardT0Pci = {SCARD_PROTOCOL_T0,
                                                                  sizeof(SCARD_IO_REQUEST)};
extern "C" TARSIN_EXPORT const SCARD_IO_REQUEST g_rgSCardT1Pci = {SCARD_PROTOCOL_T1,
                                                                  sizeof(SCARD_IO_REQUEST)};
extern "C" TARSIN_EXPORT const SCARD_IO_REQUEST g_rgSCardRawPci = {SCARD_PROTOCOL_RAW,
                                                                   sizeof(SCARD_IO_REQUEST)};

namespace {

constexpr char kPnpNotification[] = "\\\\?PnP?\\Notification";
// pcsc-lite's extended buffer: a command of 64 KiB with its header, lengths and status word.
constexpr DWORD kLongestCommand = 4 + 3 + (1 << 16) + 3 + 2;

// Runs `body` and turns any escaping exception into an internal error: nothing may cross the C
// boundary.
template <typename Body>
LONG Guarded(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return SCARD_E_NO_MEMORY;
  } catch (...) {
    return SCARD_F_INTERNAL_ERROR;
  }
}

std::optional<ReaderView> PresentReader(tarsin::sim::ReaderBank& bank, const std::string& name) {
  auto view = bank.Reader(name);
  if (!view || !view->present) return std::nullopt;
  return view;
}

// Why a handle can no longer talk to its card, or SCARD_S_SUCCESS.
LONG HandleHealth(Sessions& sessions, const Context& context, const Handle& handle,
                  std::optional<ReaderView>& view) {
  view = PresentReader(*context.bank, handle.reader);
  if (!view) return SCARD_E_READER_UNAVAILABLE;
  if (handle.share_mode == SCARD_SHARE_DIRECT && handle.protocol == SCARD_PROTOCOL_UNDEFINED) {
    return SCARD_S_SUCCESS;
  }
  if (!view->card_present || view->insertions != handle.insertions) return SCARD_W_REMOVED_CARD;
  if (handle.resets_seen != sessions.ResetsOf(*context.bank, handle.reader))
    return SCARD_W_RESET_CARD;
  return SCARD_S_SUCCESS;
}

// A card handle with its context, once looked up.
struct Connection {
  Handle* handle = nullptr;
  const Context* context = nullptr;
};

LONG FindConnection(Sessions& sessions, SCARDHANDLE value, Connection& connection) {
  auto found = sessions.handles.find(value);
  if (found == sessions.handles.end()) return SCARD_E_INVALID_HANDLE;
  connection = {&found->second, &sessions.contexts.at(found->second.context)};
  return SCARD_S_SUCCESS;
}

// The connection, provided that its card can still be talked to.
LONG UsableConnection(Sessions& sessions, SCARDHANDLE value, Connection& connection,
                      std::optional<ReaderView>& view) {
  if (LONG found = FindConnection(sessions, value, connection)) return found;
  return HandleHealth(sessions, *connection.context, *connection.handle, view);
}

LONG TakeShareLock(const Context& context, const std::string& reader, DWORD share_mode,
                   SharedLock& lock) {
  lock = Sessions::TryLock(*context.bank, reader, "share", share_mode == SCARD_SHARE_EXCLUSIVE);
  return lock.held() ? SCARD_S_SUCCESS : SCARD_E_SHARING_VIOLATION;
}

// The protocol a connection gets, or an error.
LONG NegotiateProtocol(const ReaderView& view, DWORD share_mode, DWORD preferred, DWORD& active) {
  if (share_mode == SCARD_SHARE_DIRECT && preferred == 0) {
    active = SCARD_PROTOCOL_UNDEFINED;
    return SCARD_S_SUCCESS;
  }
  if (!view.card_present) return SCARD_E_NO_SMARTCARD;
  if (view.card_mute) return SCARD_W_UNRESPONSIVE_CARD;
  unsigned offered = 0;
  if (preferred & SCARD_PROTOCOL_T0) offered |= tarsin::sim::kProtocolT0;
  if (preferred & SCARD_PROTOCOL_T1) offered |= tarsin::sim::kProtocolT1;
  unsigned usable = offered & view.protocols;
  if (usable & tarsin::sim::kProtocolT1) {
    active = SCARD_PROTOCOL_T1;
  } else if (usable & tarsin::sim::kProtocolT0) {
    active = SCARD_PROTOCOL_T0;
  } else if (preferred & SCARD_PROTOCOL_RAW) {
    active = SCARD_PROTOCOL_RAW;
  } else {
    return SCARD_E_PROTO_MISMATCH;
  }
  return SCARD_S_SUCCESS;
}

bool ValidShareMode(DWORD mode) {
  return mode == SCARD_SHARE_EXCLUSIVE || mode == SCARD_SHARE_SHARED || mode == SCARD_SHARE_DIRECT;
}

bool ValidDisposition(DWORD disposition) {
  return disposition == SCARD_LEAVE_CARD || disposition == SCARD_RESET_CARD ||
         disposition == SCARD_UNPOWER_CARD || disposition == SCARD_EJECT_CARD;
}

// A reset or power-down of the field: the card forgets its state, the other handles on the
// reader learn of it at their next call.
void ResetField(Sessions& sessions, const Context& context, Handle& handle) {
  context.bank->ResetCard(handle.reader);
  handle.resets_seen = ++sessions.ResetsOf(*context.bank, handle.reader);
}

DWORD ReaderEventState(Sessions& sessions, const Context& context,
                       const std::optional<ReaderView>& view) {
  if (!view || !view->present) return SCARD_STATE_UNKNOWN | SCARD_STATE_UNAVAILABLE;
  DWORD state = view->card_present ? SCARD_STATE_PRESENT : SCARD_STATE_EMPTY;
  if (view->card_mute) state |= SCARD_STATE_MUTE;
  for (const auto& [value, handle] : sessions.handles) {
    if (sessions.contexts.at(handle.context).bank == context.bank && handle.reader == view->name) {
      state |=
          handle.share_mode == SCARD_SHARE_EXCLUSIVE ? SCARD_STATE_EXCLUSIVE : SCARD_STATE_INUSE;
    }
  }
  // The upper half counts card events, as pcsc-lite does.
  return state | static_cast<DWORD>(view->insertions * 2 + (view->card_present ? 0 : 1)) << 16;
}

}  // namespace

TARSIN_PCSC_ENTRY SCardEstablishContext(DWORD dwScope, LPCVOID, LPCVOID, LPSCARDCONTEXT phContext) {
  return Guarded([&]() -> LONG {
    if (!phContext) return SCARD_E_INVALID_PARAMETER;
    if (dwScope > SCARD_SCOPE_SYSTEM) return SCARD_E_INVALID_VALUE;
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    auto bank = sessions.CurrentBank();
    try {
      bank->Readers();
    } catch (const std::exception&) {
      return SCARD_E_NO_SERVICE;  // no readable readers file: as if no resource manager ran
    }
    SCARDCONTEXT context = sessions.NewHandleValue();
    sessions.contexts[context] = Context{bank};
    *phContext = context;
    return SCARD_S_SUCCESS;
  });
}

TARSIN_PCSC_ENTRY SCardReleaseContext(SCARDCONTEXT hContext) {
  return Guarded([&]() -> LONG {
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    if (!sessions.contexts.contains(hContext)) return SCARD_E_INVALID_HANDLE;
    std::erase_if(sessions.handles,
                  [&](const auto& entry) { return entry.second.context == hContext; });
    sessions.contexts.erase(hContext);
    sessions.wake.notify_all();  // a wait on it ends
    return SCARD_S_SUCCESS;
  });
}

TARSIN_PCSC_ENTRY SCardIsValidContext(SCARDCONTEXT hContext) {
  return Guarded([&]() -> LONG {
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    return sessions.contexts.contains(hContext) ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
  });
}

TARSIN_PCSC_ENTRY SCardListReaders(SCARDCONTEXT hContext, LPCSTR, LPSTR mszReaders,
                                   LPDWORD pcchReaders) {
  return Guarded([&]() -> LONG {
    if (!pcchReaders) return SCARD_E_INVALID_PARAMETER;
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    auto context = sessions.contexts.find(hContext);
    if (context == sessions.contexts.end()) return SCARD_E_INVALID_HANDLE;
    std::string names;
    for (const auto& view : context->second.bank->Readers()) {
      if (view.present) names += view.name + '\0';
    }
    if (names.empty()) return SCARD_E_NO_READERS_AVAILABLE;
    return ReturnText(names + '\0', mszReaders, pcchReaders);
  });
}

TARSIN_PCSC_ENTRY SCardFreeMemory(SCARDCONTEXT, LPCVOID pvMem) {
  // Frees what SCARD_AUTOALLOCATE handed out with malloc; the interface passes it as const.
  // NOLINTNEXTLINE(cppcoreguidelines-no-malloc,cppcoreguidelines-pro-type-const-cast)
  std::free(const_cast<void*>(pvMem));
  return SCARD_S_SUCCESS;
}

TARSIN_PCSC_ENTRY SCardConnect(SCARDCONTEXT hContext, LPCSTR szReader, DWORD dwShareMode,
                               DWORD dwPreferredProtocols, LPSCARDHANDLE phCard,
                               LPDWORD pdwActiveProtocol) {
  return Guarded([&]() -> LONG {
    if (!szReader || !phCard || !pdwActiveProtocol) return SCARD_E_INVALID_PARAMETER;
    *phCard = 0;
    if (!ValidShareMode(dwShareMode)) return SCARD_E_INVALID_VALUE;
    if (dwShareMode != SCARD_SHARE_DIRECT &&
        !(dwPreferredProtocols & (SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1 | SCARD_PROTOCOL_RAW))) {
      return SCARD_E_PROTO_MISMATCH;
    }
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    auto context = sessions.contexts.find(hContext);
    if (context == sessions.contexts.end()) return SCARD_E_INVALID_HANDLE;
    auto& bank = *context->second.bank;
    auto view = PresentReader(bank, szReader);
    if (!view) return SCARD_E_UNKNOWN_READER;
    if (auto injected = bank.TakeConnectFault(szReader)) return static_cast<LONG>(*injected);

    Handle handle;
    if (LONG shared = TakeShareLock(context->second, szReader, dwShareMode, handle.share_lock)) {
      return shared;
    }
    DWORD active = 0;
    if (LONG negotiated = NegotiateProtocol(*view, dwShareMode, dwPreferredProtocols, active)) {
      return negotiated;
    }
    handle.context = hContext;
    handle.reader = szReader;
    handle.share_mode = dwShareMode;
    handle.protocol = active;
    handle.insertions = view->insertions;
    handle.resets_seen = sessions.ResetsOf(bank, szReader);
    SCARDHANDLE value = sessions.NewHandleValue();
    sessions.handles.emplace(value, std::move(handle));
    *phCard = value;
    *pdwActiveProtocol = active;
    return SCARD_S_SUCCESS;
  });
}

TARSIN_PCSC_ENTRY SCardReconnect(SCARDHANDLE hCard, DWORD dwShareMode, DWORD dwPreferredProtocols,
                                 DWORD dwInitialization, LPDWORD pdwActiveProtocol) {
  return Guarded([&]() -> LONG {
    if (!pdwActiveProtocol) return SCARD_E_INVALID_PARAMETER;
    if (!ValidShareMode(dwShareMode) || !ValidDisposition(dwInitialization)) {
      return SCARD_E_INVALID_VALUE;
    }
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    Connection connection;
    if (LONG found = FindConnection(sessions, hCard, connection)) return found;
    Handle& handle = *connection.handle;
    const Context& context = *connection.context;
    auto view = PresentReader(*context.bank, handle.reader);
    if (!view) return SCARD_E_READER_UNAVAILABLE;
    if (dwShareMode != handle.share_mode) {
      handle.share_lock = SharedLock();  // let go first: the old lock would refuse the new one
      if (LONG shared = TakeShareLock(context, handle.reader, dwShareMode, handle.share_lock)) {
        TakeShareLock(context, handle.reader, handle.share_mode, handle.share_lock);
        return shared;
      }
      handle.share_mode = dwShareMode;
    }
    DWORD active = 0;
    if (LONG negotiated = NegotiateProtocol(*view, dwShareMode, dwPreferredProtocols, active)) {
      return negotiated;
    }
    if (dwInitialization != SCARD_LEAVE_CARD || view->insertions != handle.insertions) {
      ResetField(sessions, context, handle);
    }
    handle.resets_seen = sessions.ResetsOf(*context.bank, handle.reader);
    handle.insertions = view->insertions;
    handle.protocol = active;
    handle.removal_stage = 0;
    *pdwActiveProtocol = active;
    return SCARD_S_SUCCESS;
  });
}

TARSIN_PCSC_ENTRY SCardDisconnect(SCARDHANDLE hCard, DWORD dwDisposition) {
  return Guarded([&]() -> LONG {
    if (!ValidDisposition(dwDisposition)) return SCARD_E_INVALID_VALUE;
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    Connection connection;
    if (LONG found = FindConnection(sessions, hCard, connection)) return found;
    if (dwDisposition != SCARD_LEAVE_CARD)
      ResetField(sessions, *connection.context, *connection.handle);
    sessions.handles.erase(hCard);
    return SCARD_S_SUCCESS;
  });
}

TARSIN_PCSC_ENTRY SCardBeginTransaction(SCARDHANDLE hCard) {
  return Guarded([&]() -> LONG {
    auto& sessions = Sessions::Instance();
    for (;;) {
      {
        std::lock_guard lock(sessions.mutex);
        Connection connection;
        std::optional<ReaderView> view;
        if (LONG usable = UsableConnection(sessions, hCard, connection, view)) return usable;
        Handle& handle = *connection.handle;
        if (handle.transaction.held()) return SCARD_S_SUCCESS;
        handle.transaction =
            Sessions::TryLock(*connection.context->bank, handle.reader, "transaction", true);
        if (handle.transaction.held()) return SCARD_S_SUCCESS;
      }
      // Another holder: wait for it, as pcsc-lite does.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
}

TARSIN_PCSC_ENTRY SCardEndTransaction(SCARDHANDLE hCard, DWORD dwDisposition) {
  return Guarded([&]() -> LONG {
    if (!ValidDisposition(dwDisposition)) return SCARD_E_INVALID_VALUE;
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    Connection connection;
    if (LONG found = FindConnection(sessions, hCard, connection)) return found;
    Handle& handle = *connection.handle;
    if (!handle.transaction.held()) return SCARD_E_NOT_TRANSACTED;
    handle.transaction = SharedLock();
    if (dwDisposition != SCARD_LEAVE_CARD) ResetField(sessions, *connection.context, handle);
    return SCARD_S_SUCCESS;
  });
}

TARSIN_PCSC_ENTRY SCardStatus(SCARDHANDLE hCard, LPSTR szReaderName, LPDWORD pcchReaderLen,
                              LPDWORD pdwState, LPDWORD pdwProtocol, LPBYTE pbAtr,
                              LPDWORD pcbAtrLen) {
  return Guarded([&]() -> LONG {
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    Connection connection;
    std::optional<ReaderView> view;
    if (LONG usable = UsableConnection(sessions, hCard, connection, view)) return usable;
    Handle& handle = *connection.handle;
    if (pdwState) *pdwState = view->card_present ? kCardReadyState : SCARD_ABSENT;
    if (pdwProtocol) *pdwProtocol = handle.protocol;
    if (pcchReaderLen) {
      if (LONG named = ReturnText(handle.reader + '\0', szReaderName, pcchReaderLen)) return named;
    }
    if (pcbAtrLen) return ReturnBytes(view->atr, pbAtr, pcbAtrLen);
    return SCARD_S_SUCCESS;
  });
}

TARSIN_PCSC_ENTRY SCardGetStatusChange(SCARDCONTEXT hContext, DWORD dwTimeout,
                                       SCARD_READERSTATE* rgReaderStates, DWORD cReaders) {
  return Guarded([&]() -> LONG {
    if (cReaders > 0 && !rgReaderStates) return SCARD_E_INVALID_PARAMETER;
    auto& sessions = Sessions::Instance();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(dwTimeout);
    constexpr DWORD kTracked = SCARD_STATE_PRESENT | SCARD_STATE_EMPTY | SCARD_STATE_MUTE |
                               SCARD_STATE_UNKNOWN | SCARD_STATE_UNAVAILABLE |
                               SCARD_STATE_EXCLUSIVE | SCARD_STATE_INUSE;
    std::unique_lock lock(sessions.mutex);
    auto found = sessions.contexts.find(hContext);
    if (found == sessions.contexts.end()) return SCARD_E_INVALID_HANDLE;
    // Only a cancel made while this call waits ends it, as with pcsc-lite.
    const std::uint64_t cancels = found->second.cancels;
    for (;;) {
      auto context = sessions.contexts.find(hContext);
      if (context == sessions.contexts.end()) return SCARD_E_INVALID_HANDLE;
      if (context->second.cancels != cancels) return SCARD_E_CANCELLED;
      bool changed = false;
      auto views = context->second.bank->Readers();
      for (DWORD i = 0; i < cReaders; ++i) {
        auto& state = rgReaderStates[i];
        if (!state.szReader) return SCARD_E_INVALID_VALUE;
        if (std::strcmp(state.szReader, kPnpNotification) == 0 ||
            (state.dwCurrentState & SCARD_STATE_IGNORE)) {
          state.dwEventState = state.dwCurrentState & ~SCARD_STATE_CHANGED;
          continue;
        }
        std::optional<ReaderView> view;
        for (auto& candidate : views) {
          if (candidate.name == state.szReader) view = candidate;
        }
        DWORD now = ReaderEventState(sessions, context->second, view);
        bool differs =
            (now & kTracked) != (state.dwCurrentState & kTracked) ||
            ((state.dwCurrentState >> 16) != 0 && (state.dwCurrentState >> 16) != (now >> 16));
        state.dwEventState = differs ? now | SCARD_STATE_CHANGED : now;
        if (view && view->card_present && !view->card_mute) {
          state.cbAtr = std::min<DWORD>(view->atr.size(), sizeof state.rgbAtr);
          std::memcpy(state.rgbAtr, view->atr.data(), state.cbAtr);
        } else {
          state.cbAtr = 0;
        }
        changed |= differs;
      }
      if (changed || cReaders == 0) return SCARD_S_SUCCESS;
      const auto now = std::chrono::steady_clock::now();
      if (dwTimeout != INFINITE && now >= deadline) return SCARD_E_TIMEOUT;
      // Another process changes the readers file without telling this one: look again soon.
      auto next = now + std::chrono::milliseconds(50);
      if (dwTimeout != INFINITE) next = std::min(next, deadline);
      sessions.wake.wait_until(lock, next);
    }
  });
}

TARSIN_PCSC_ENTRY SCardTransmit(SCARDHANDLE hCard, const SCARD_IO_REQUEST* pioSendPci,
                                LPCBYTE pbSendBuffer, DWORD cbSendLength,
                                SCARD_IO_REQUEST* pioRecvPci, LPBYTE pbRecvBuffer,
                                LPDWORD pcbRecvLength) {
  return Guarded([&]() -> LONG {
    if (!pioSendPci || !pbSendBuffer || !pbRecvBuffer || !pcbRecvLength)
      return SCARD_E_INVALID_PARAMETER;
    // An empty command would hang some real readers; refuse it up front.
    if (cbSendLength == 0) return SCARD_E_INVALID_PARAMETER;
    if (cbSendLength > kLongestCommand) return SCARD_E_INSUFFICIENT_BUFFER;
    auto& sessions = Sessions::Instance();
    std::unique_lock lock(sessions.mutex);
    Connection connection;
    if (LONG found = FindConnection(sessions, hCard, connection)) return found;
    Handle& handle = *connection.handle;
    const Context& context = *connection.context;
    if (handle.removal_stage > 0) {
      return handle.removal_stage++ == 1 ? SCARD_E_NOT_TRANSACTED : SCARD_W_REMOVED_CARD;
    }
    std::optional<ReaderView> view;
    if (LONG usable = UsableConnection(sessions, hCard, connection, view)) return usable;
    if (pioSendPci->dwProtocol != handle.protocol) return SCARD_E_PROTO_MISMATCH;
    if (!handle.transaction.held()) {
      // Another handle's transaction keeps the reader to itself.
      auto probe = Sessions::TryLock(*context.bank, handle.reader, "transaction", false);
      if (!probe.held()) return SCARD_E_SHARING_VIOLATION;
    }

    // The command runs without the sessions' lock, so that other readers are not held up; the
    // reader itself takes commands in turn.
    const auto bank = context.bank;
    const std::string reader = handle.reader;
    const DWORD protocol = handle.protocol;
    lock.unlock();
    auto result = bank->Transmit(reader, Bytes(pbSendBuffer, pbSendBuffer + cbSendLength));
    lock.lock();
    switch (result.outcome) {
      case Outcome::kOk:
        break;
      case Outcome::kNoReader:
        return SCARD_E_READER_UNAVAILABLE;
      case Outcome::kNoCard:
        return SCARD_W_REMOVED_CARD;
      case Outcome::kMuteCard:
        return SCARD_W_UNRESPONSIVE_CARD;
      case Outcome::kInjectedFailure:
        return static_cast<LONG>(result.code);
      case Outcome::kRemovedMidCommand:
        // What pcsc-lite reports for a card pulled during a command: nothing, then a failed
        // transaction, then the removal.
        if (auto still = sessions.handles.find(hCard); still != sessions.handles.end())
          still->second.removal_stage = 1;
        *pcbRecvLength = 0;
        return SCARD_S_SUCCESS;
      case Outcome::kFileError:
        return SCARD_F_COMM_ERROR;
    }
    if (result.answer.size() > *pcbRecvLength) {
      *pcbRecvLength = result.answer.size();
      return SCARD_E_INSUFFICIENT_BUFFER;
    }
    std::memcpy(pbRecvBuffer, result.answer.data(), result.answer.size());
    *pcbRecvLength = result.answer.size();
    if (pioRecvPci) {
      pioRecvPci->dwProtocol = protocol;
      pioRecvPci->cbPciLength = sizeof(SCARD_IO_REQUEST);
    }
    return SCARD_S_SUCCESS;
  });
}

TARSIN_PCSC_ENTRY SCardGetAttrib(SCARDHANDLE hCard, DWORD dwAttrId, LPBYTE pbAttr,
                                 LPDWORD pcbAttrLen) {
  return Guarded([&]() -> LONG {
    if (!pcbAttrLen) return SCARD_E_INVALID_PARAMETER;
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    Connection connection;
    std::optional<ReaderView> view;
    if (LONG usable = UsableConnection(sessions, hCard, connection, view)) return usable;
    auto value = tarsin::sim::ReaderAttribute(*view, static_cast<std::uint32_t>(dwAttrId));
    if (!value) return SCARD_E_UNSUPPORTED_FEATURE;
    return ReturnBytes(*value, pbAttr, pcbAttrLen);
  });
}

TARSIN_PCSC_ENTRY SCardSetAttrib(SCARDHANDLE hCard, DWORD, LPCBYTE, DWORD) {
  auto& sessions = Sessions::Instance();
  std::lock_guard lock(sessions.mutex);
  return sessions.handles.contains(hCard) ? SCARD_E_UNSUPPORTED_FEATURE : SCARD_E_INVALID_HANDLE;
}

TARSIN_PCSC_ENTRY SCardCancel(SCARDCONTEXT hContext) {
  return Guarded([&]() -> LONG {
    auto& sessions = Sessions::Instance();
    std::lock_guard lock(sessions.mutex);
    auto context = sessions.contexts.find(hContext);
    if (context == sessions.contexts.end()) return SCARD_E_INVALID_HANDLE;
    ++context->second.cancels;
    sessions.wake.notify_all();
    return SCARD_S_SUCCESS;
  });
}
