// SPDX-License-Identifier: Apache-2.0
#include "host/cli/reader_choice.h"

#include <fmt/format.h>
#include <winscard.h>

#include <cstdlib>

#include "pcsc/winscard.h"

namespace tarsin::cli {

bool SelectVirtualReader() {
#ifdef TARSIN_VPCSC_LIBRARY
  return ::setenv("TARSIN_RF_PCSC_LIBRARY", TARSIN_VPCSC_LIBRARY, 1) == 0;
#else
  fmt::print(stderr, "tarsin-rf: this build has no virtual reader\n");
  return false;
#endif
}

bool RealReaderAttached() {
  try {
    WinSCard pcsc = WinSCard::Current();
    SCARDCONTEXT context = 0;
    if (pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &context) != SCARD_S_SUCCESS) return false;
    DWORD length = 0;
    const LONG listed = pcsc.ListReaders(context, nullptr, nullptr, &length);
    pcsc.ReleaseContext(context);
    // A multi-string holding at least one name is longer than its final NUL.
    return listed == SCARD_S_SUCCESS && length > 1;
  } catch (...) {
    return false;  // no pcsc-lite on this machine
  }
}

bool SelectVirtualReaderWhenNoneAttached() {
  const char* chosen = std::getenv("TARSIN_RF_PCSC_LIBRARY");
  if (chosen && *chosen) return false;
  if (RealReaderAttached()) return false;
  return SelectVirtualReader();
}

}  // namespace tarsin::cli
