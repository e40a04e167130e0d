// SPDX-License-Identifier: Apache-2.0
// Reader listing and card waiting over the component's PC/SC provider, outside any Encoder.
#include <algorithm>
#include <chrono>
#include <list>
#include <mutex>

#include "core/failure.h"
#include "core/hex_text.h"
#include "pcsc/card_identification.h"
#include "pcsc/status_texts.h"
#include "pcsc/winscard.h"
#include "tarsin/readers.h"

namespace tarsin {

// The contexts of the waits in progress, so that Cancel reaches each one.
struct ReaderWatch::Waits {
  struct Active {
    WinSCard pcsc;
    SCARDCONTEXT context;
  };
  std::mutex mutex;
  std::list<Active> active;
  uint64_t cancels = 0;

  // One wait's context, known to Cancel for as long as it lives.
  class Registration {
   public:
    Registration(Waits& waits, const WinSCard& pcsc, SCARDCONTEXT context) : waits_(waits) {
      std::lock_guard lock(waits_.mutex);
      cancels_ = waits_.cancels;
      entry_ = waits_.active.insert(waits_.active.end(), {pcsc, context});
    }
    ~Registration() {
      std::lock_guard lock(waits_.mutex);
      waits_.active.erase(entry_);
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;
    Registration(Registration&&) = delete;
    Registration& operator=(Registration&&) = delete;

    // Whether Cancel was called since the wait began.
    bool Cancelled() const {
      std::lock_guard lock(waits_.mutex);
      return waits_.cancels != cancels_;
    }

   private:
    Waits& waits_;
    uint64_t cancels_ = 0;
    std::list<Active>::iterator entry_;
  };
};

namespace {

// A cancel that comes just before the wait enters the provider is missed by SCardCancel: the
// wait looks at the object's own count at least this often.
constexpr uint32_t kLongestSlice = 500;

ReaderOutcome OutcomeOf(LONG result) {
  const int32_t number = PcscResult32(result);
  if (number == 0) return {};
  // The status texts know no cancel: it is no failure an Encoder can meet.
  if (number == kWaitCancelled) {
    return {number, "The action was cancelled by an SCardCancel request (SCARD_E_CANCELLED)."};
  }
  return {number, SCardErrorText(number)};
}

// A context of its own for one call, released with it.
class Context {
 public:
  explicit Context(WinSCard pcsc) : pcsc_(pcsc) {
    established_ = pcsc_.EstablishContext(SCARD_SCOPE_SYSTEM, &handle_);
    if (established_ != SCARD_S_SUCCESS) handle_ = 0;
  }
  ~Context() {
    if (handle_) pcsc_.ReleaseContext(handle_);
  }
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  LONG established() const { return established_; }
  SCARDCONTEXT handle() const { return handle_; }
  WinSCard& pcsc() { return pcsc_; }

  // The readers' names; none is no failure.
  LONG Names(std::vector<std::string>& names) {
    names.clear();
    DWORD length = 0;
    LONG listed = pcsc_.ListReaders(handle_, nullptr, nullptr, &length);
    std::string list(length, '\0');
    if (listed == SCARD_S_SUCCESS && length > 0) {
      listed = pcsc_.ListReaders(handle_, nullptr, list.data(), &length);
    }
    if (listed == SCARD_E_NO_READERS_AVAILABLE) return SCARD_S_SUCCESS;
    // A multi-string: names separated by NUL, ended by an empty one.
    for (size_t at = 0; listed == SCARD_S_SUCCESS && at < list.size() && list[at] != '\0';) {
      const size_t end = std::min(list.find('\0', at), list.size());
      names.push_back(list.substr(at, end - at));
      at = end + 1;
    }
    return listed;
  }

 private:
  WinSCard pcsc_;
  SCARDCONTEXT handle_ = 0;
  LONG established_;
};

ReaderStatus StatusOf(const SCARD_READERSTATE& state) {
  ReaderStatus status;
  status.Name = state.szReader;
  status.CardPresent = (state.dwEventState & SCARD_STATE_PRESENT) != 0;
  if (status.CardPresent && state.cbAtr > 0) {
    const size_t size = std::min<size_t>(state.cbAtr, sizeof state.rgbAtr);
    status.ATR = TextToHex(std::string(reinterpret_cast<const char*>(state.rgbAtr), size), true);
    status.CardType = CardTypeOf(status.ATR);
  }
  return status;
}

std::vector<SCARD_READERSTATE> StatesOf(const std::vector<std::string>& names) {
  std::vector<SCARD_READERSTATE> states(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    states[i].szReader = names[i].c_str();
    states[i].dwCurrentState = SCARD_STATE_UNAWARE;
  }
  return states;
}

// Runs `body`, which gives a PC/SC result; a provider that cannot be loaded gives its failure.
template <class Body>
ReaderOutcome Guarded(Body&& body) noexcept {
  try {
    return OutcomeOf(body());
  } catch (const Failure& failure) {
    return {failure.number(), failure.description()};
  } catch (...) {
    return OutcomeOf(SCARD_F_INTERNAL_ERROR);
  }
}

}  // namespace

ReaderWatch::ReaderWatch() : waits_(std::make_unique<Waits>()) {}
ReaderWatch::~ReaderWatch() = default;

ReaderOutcome ReaderWatch::List(std::vector<ReaderStatus>& readers) const noexcept {
  return Guarded([&]() -> LONG {
    readers.clear();
    Context context(WinSCard::Current());
    std::vector<std::string> names;
    if (LONG failed = context.established() ? context.established() : context.Names(names)) {
      return failed;
    }
    std::vector<SCARD_READERSTATE> states = StatesOf(names);
    if (states.empty()) return SCARD_S_SUCCESS;
    if (LONG failed = context.pcsc().GetStatusChange(context.handle(), 0, states.data(),
                                                     static_cast<DWORD>(states.size()))) {
      return failed;
    }
    for (const SCARD_READERSTATE& state : states) readers.push_back(StatusOf(state));
    return SCARD_S_SUCCESS;
  });
}

ReaderOutcome ReaderWatch::WaitForCard(const std::string& reader, CardEvent event,
                                       uint32_t timeoutMs, ReaderStatus& status) noexcept {
  return Guarded([&]() -> LONG {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Context context(WinSCard::Current());
    if (context.established()) return context.established();
    std::vector<std::string> names;
    if (LONG failed = context.Names(names)) return failed;
    if (!reader.empty()) {
      if (std::find(names.begin(), names.end(), reader) == names.end()) {
        return SCARD_E_UNKNOWN_READER;
      }
      names = {reader};
    }
    if (names.empty()) return SCARD_E_NO_READERS_AVAILABLE;

    const Waits::Registration registration(*waits_, context.pcsc(), context.handle());

    std::vector<SCARD_READERSTATE> states = StatesOf(names);
    const DWORD count = static_cast<DWORD>(states.size());
    if (LONG failed = context.pcsc().GetStatusChange(context.handle(), 0, states.data(), count)) {
      return failed;
    }
    const DWORD wanted = event == CardEvent::Arrival ? SCARD_STATE_PRESENT : SCARD_STATE_EMPTY;
    // Any reader, removal: only the readers that hold a card now can lose one.
    std::vector<bool> watched(states.size(), true);
    if (reader.empty() && event == CardEvent::Removal) {
      for (size_t i = 0; i < states.size(); ++i) {
        watched[i] = (states[i].dwEventState & SCARD_STATE_PRESENT) != 0;
      }
      if (std::find(watched.begin(), watched.end(), true) == watched.end()) {
        status = StatusOf(states.front());
        return SCARD_S_SUCCESS;
      }
    }
    for (;;) {
      for (size_t i = 0; i < states.size(); ++i) {
        if (!watched[i]) continue;
        if (states[i].dwEventState & (SCARD_STATE_UNKNOWN | SCARD_STATE_UNAVAILABLE)) {
          return SCARD_E_UNKNOWN_READER;
        }
        if (states[i].dwEventState & wanted) {
          status = StatusOf(states[i]);
          return SCARD_S_SUCCESS;
        }
      }
      if (registration.Cancelled()) return SCARD_E_CANCELLED;
      uint32_t slice = kLongestSlice;
      if (timeoutMs != kWaitForever) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return SCARD_E_TIMEOUT;
        slice = std::min<uint32_t>(slice, static_cast<uint32_t>(left.count()));
      }
      for (SCARD_READERSTATE& state : states) {
        state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
      }
      const LONG changed =
          context.pcsc().GetStatusChange(context.handle(), slice, states.data(), count);
      if (changed == SCARD_E_TIMEOUT) {
        // Nothing changed; what the provider left in the event states is not to be trusted.
        for (SCARD_READERSTATE& state : states) state.dwEventState = state.dwCurrentState;
      } else if (changed != SCARD_S_SUCCESS) {
        return changed;
      }
    }
  });
}

void ReaderWatch::Cancel() noexcept {
  try {
    std::lock_guard lock(waits_->mutex);
    ++waits_->cancels;
    for (Waits::Active& wait : waits_->active) wait.pcsc.Cancel(wait.context);
  } catch (...) {
    // a wait that was not reached ends within one slice through the count
  }
}

}  // namespace tarsin
