// SPDX-License-Identifier: Apache-2.0
#include "host/cli/reader_choice.h"

#include <fmt/format.h>
#include <winscard.h>

#include "pcsc/provider_choice.h"
#include "pcsc/winscard.h"

namespace tarsin::cli {

namespace {

bool Choose(const std::string& library) {
  if (const auto refused = ProviderChoice::Choose(library)) {
    fmt::print(stderr, "tarsin-rf: {}\n", *refused);
    return false;
  }
  return true;
}

}  // namespace

bool SelectVirtualReader() {
#ifdef TARSIN_VPCSC_LIBRARY
  return Choose(TARSIN_VPCSC_LIBRARY);
#else
  fmt::print(stderr, "tarsin-rf: this build has no virtual reader\n");
  return false;
#endif
}

bool RealReaderAttached() {
  try {
    // The platform's library itself: asking must not fix the process's choice.
    WinSCard pcsc(SharedLibrary::Loaded(WinSCard::DefaultLibrary()));
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

AutomaticChoice SelectVirtualReaderWhenNoneAttached() {
  // A library named in the environment, or a real reader: the first PC/SC call takes it.
  if (ProviderChoice::NamedByEnvironment() || RealReaderAttached()) return AutomaticChoice::Named;
  return SelectVirtualReader() ? AutomaticChoice::Virtual : AutomaticChoice::Refused;
}

}  // namespace tarsin::cli
