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

std::vector<std::string> ReaderNames() {
  std::vector<std::string> names;
  try {
    WinSCard pcsc = WinSCard::Current();
    SCARDCONTEXT context = 0;
    if (pcsc.EstablishContext(SCARD_SCOPE_SYSTEM, &context) != SCARD_S_SUCCESS) return names;
    DWORD length = 0;
    std::string list;
    if (pcsc.ListReaders(context, nullptr, nullptr, &length) == SCARD_S_SUCCESS && length > 0) {
      list.resize(length);
      if (pcsc.ListReaders(context, nullptr, list.data(), &length) != SCARD_S_SUCCESS) list.clear();
    }
    pcsc.ReleaseContext(context);
    // A multi-string: names separated by NUL, ended by an empty one.
    for (size_t at = 0; at < list.size() && list[at] != '\0';) {
      const size_t end = list.find('\0', at);
      names.push_back(list.substr(at, end - at));
      at = end == std::string::npos ? list.size() : end + 1;
    }
  } catch (...) {
    // no provider: no readers
  }
  return names;
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
