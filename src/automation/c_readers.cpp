// SPDX-License-Identifier: Apache-2.0
// Reader listing and card waiting for C hosts: ReaderWatch behind a handle, statuses in library
// memory.
#include <new>
#include <vector>

#include "automation/c_abi_support.h"
#include "automation/c_memory.h"
#include "tarsin/readers.h"

struct tarsin_reader_watch {
  tarsin::ReaderWatch watch;
};

namespace tarsin::c_abi {
namespace {

static_assert(TARSIN_E_NO_RESOURCE_MANAGER == kNoResourceManager &&
              TARSIN_E_UNKNOWN_READER == kUnknownReader && TARSIN_E_TIMEOUT == kWaitTimedOut &&
              TARSIN_E_CANCELLED == kWaitCancelled && TARSIN_E_NO_READERS == kNoReaders &&
              TARSIN_WAIT_FOREVER == kWaitForever &&
              TARSIN_CARD_ARRIVAL == static_cast<int>(CardEvent::Arrival) &&
              TARSIN_CARD_REMOVAL == static_cast<int>(CardEvent::Removal));

void StatusToC(const ReaderStatus& status, tarsin_reader_status& out) {
  out = tarsin_reader_status{};
  out.card_present = status.CardPresent ? 1 : 0;
  out.card_type = status.CardType;
  out.name = CopyText(status.Name.data(), status.Name.size());
  out.atr = CopyText(status.ATR.data(), status.ATR.size());
}

}  // namespace
}  // namespace tarsin::c_abi

using tarsin::c_abi::Fail;

extern "C" {

tarsin_reader_watch* tarsin_reader_watch_create(void) {
  return new (std::nothrow) tarsin_reader_watch();
}

void tarsin_reader_watch_release(tarsin_reader_watch* watch) {
  delete watch;
}

int32_t tarsin_reader_watch_list(tarsin_reader_watch* watch, tarsin_reader_status** readers,
                                 size_t* count, tarsin_failure* failure) {
  if (!watch || !readers || !count) return Fail(failure, TARSIN_E_INVALIDARG, "Missing argument");
  *readers = nullptr;
  *count = 0;
  std::vector<tarsin::ReaderStatus> listed;
  const tarsin::ReaderOutcome outcome = watch->watch.List(listed);
  if (outcome.Number != 0) return Fail(failure, outcome.Number, outcome.Description);
  if (listed.empty()) return Fail(failure, 0, "");
  return tarsin::c_abi::Guarded(failure, [&] {
    auto* statuses = tarsin::c_abi::Allocate<tarsin_reader_status>(listed.size());
    try {
      for (size_t i = 0; i < listed.size(); ++i) tarsin::c_abi::StatusToC(listed[i], statuses[i]);
    } catch (...) {
      tarsin_reader_list_free(statuses, listed.size());
      throw;
    }
    *readers = statuses;
    *count = listed.size();
  });
}

// The count the library recorded is used, whatever the host passes back.
void tarsin_reader_list_free(tarsin_reader_status* readers, size_t /*count*/) {
  const auto owned = tarsin::c_abi::OwnedCount(readers);
  if (!owned) return;
  for (size_t i = 0; i < *owned; ++i) tarsin_reader_status_clear(&readers[i]);
  tarsin::c_abi::ReleaseOwned(readers);
}

int32_t tarsin_reader_watch_wait(tarsin_reader_watch* watch, const char* reader, int32_t event,
                                 uint32_t timeout_ms, tarsin_reader_status* status,
                                 tarsin_failure* failure) {
  if (!watch) return Fail(failure, TARSIN_E_INVALIDARG, "No reader watch");
  if (event != TARSIN_CARD_ARRIVAL && event != TARSIN_CARD_REMOVAL) {
    return Fail(failure, TARSIN_E_INVALIDARG, "The event is neither an arrival nor a removal");
  }
  if (status) *status = tarsin_reader_status{};
  return tarsin::c_abi::Guarded(failure, [&] {
    tarsin::ReaderStatus found;
    const tarsin::ReaderOutcome outcome = watch->watch.WaitForCard(
        reader ? reader : "", static_cast<tarsin::CardEvent>(event), timeout_ms, found);
    if (outcome.Number != 0) throw tarsin::ComError(outcome.Number, outcome.Description);
    if (status) tarsin::c_abi::StatusToC(found, *status);
  });
}

void tarsin_reader_status_clear(tarsin_reader_status* status) {
  if (!status) return;
  tarsin::c_abi::ReleaseOwned(status->name);
  tarsin::c_abi::ReleaseOwned(status->atr);
  *status = tarsin_reader_status{};
}

void tarsin_reader_watch_cancel(tarsin_reader_watch* watch) {
  if (watch) watch->watch.Cancel();
}

}  // extern "C"
