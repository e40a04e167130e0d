// SPDX-License-Identifier: Apache-2.0
// Readers and card arrival, beside the Encoder: the readers the PC/SC resource manager knows, the
// card in each, and a wait until a card arrives or leaves. They use the Encoder's provider:
// pcsc-lite, or the library named by TARSIN_RF_PCSC_LIBRARY (the virtual reader). C++17.
//
// Threads: every call works on a PC/SC context of its own, so one ReaderWatch may be shared by
// any number of threads, listing and waiting at once; Cancel is meant to be called from a thread
// other than the waiting one. Nothing here throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tarsin/export.h"
#include "tarsin/types.h"

namespace tarsin {

// The outcomes a host tells apart, as PC/SC numbers them. Any other failure of the resource
// manager comes with its own PC/SC number; a provider library that cannot be loaded with 53
// ("File not found: <library>") or 453 (an entry point missing), as the Encoder reports them.
inline constexpr int32_t kNoResourceManager = static_cast<int32_t>(0x8010001D);  // no pcscd
inline constexpr int32_t kUnknownReader = static_cast<int32_t>(0x80100009);      // no such reader
inline constexpr int32_t kWaitTimedOut = static_cast<int32_t>(0x8010000A);
inline constexpr int32_t kWaitCancelled = static_cast<int32_t>(0x80100002);  // by Cancel
inline constexpr int32_t kNoReaders = static_cast<int32_t>(0x8010002E);  // any reader, none there

// A timeout that never ends.
inline constexpr uint32_t kWaitForever = 0xFFFFFFFF;

struct ReaderStatus {
  std::string Name;
  bool CardPresent = false;
  // The card's ATR as ATRString gives it (upper-case hex, bytes separated by a blank); "" when
  // there is no card, or one that does not answer.
  std::string ATR;
  // From the card-type table in the registry; sceUnknownType without a card or a matching row.
  // Listing never records an unknown ATR in the table.
  sceCardTypes CardType = sceUnknownType;
};

// Number 0 on success; otherwise a number above and its English description.
struct ReaderOutcome {
  int32_t Number = 0;
  std::string Description;
};

enum class CardEvent : int32_t {
  Arrival = 1,  // until a card is in the field (at once when one already is)
  Removal = 2,  // until the field is empty (at once when it already is)
};

class TARSIN_API ReaderWatch {
 public:
  ReaderWatch();
  ~ReaderWatch();
  ReaderWatch(const ReaderWatch&) = delete;
  ReaderWatch& operator=(const ReaderWatch&) = delete;

  // Every reader, in the resource manager's order, with its card. No reader at all is an empty
  // list and success. Fails with kNoResourceManager or another PC/SC number.
  ReaderOutcome List(std::vector<ReaderStatus>& readers) const noexcept;

  // Waits for `event` on the reader named `reader`, or, when `reader` is empty, on any reader:
  // for an arrival the first reader holding a card; for a removal the first of the readers that
  // held a card when the call began to lose it (at once when none held one). `status` is then
  // that reader's. Fails with kNoResourceManager, kUnknownReader (also when the reader goes away
  // during the wait), kNoReaders, kWaitTimedOut after `timeoutMs` milliseconds, kWaitCancelled.
  ReaderOutcome WaitForCard(const std::string& reader, CardEvent event, uint32_t timeoutMs,
                            ReaderStatus& status) noexcept;

  // Ends every wait in progress on this object with kWaitCancelled; a wait begun afterwards is
  // not affected.
  void Cancel() noexcept;

 private:
  struct Waits;
  std::unique_ptr<Waits> waits_;
};

}  // namespace tarsin
