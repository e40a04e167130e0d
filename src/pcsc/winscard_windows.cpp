#include <cstdlib>

#include "pcsc/winscard.h"

namespace tarsin {
namespace {

constexpr const char* kDefaultLibrary = "winscard.dll";

}  // namespace

WinSCard WinSCard::Current() {
  const char* named = std::getenv("TARSIN_RF_PCSC_LIBRARY");
  return WinSCard(SharedLibrary::Loaded((named && *named) ? named : kDefaultLibrary));
}

}  // namespace tarsin
