// SPDX-License-Identifier: Apache-2.0
// A pcscd reader driver (IFD handler) serving the virtual readers of the readers file to the real
// resource manager. Each reader.conf entry names one reader by its position in the file
// (DEVICENAME, or CHANNELID when no device name is given).
// The header declares the entry points without C linkage.
extern "C" {
#include <PCSC/ifdhandler.h>
}

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "store/reader_attributes.h"
#include "store/reader_bank.h"

#define TARSIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using tarsin::sim::Bytes;
using tarsin::sim::Outcome;

// pcscd calls the driver from one thread per reader.
struct Driver {
  std::mutex mutex;
  std::map<DWORD, std::string> readers;  // by Lun >> 16
  tarsin::sim::ReaderBank bank{tarsin::sim::ReadersFile()};
};

Driver& TheDriver() {
  static Driver driver;
  return driver;
}

std::string* ReaderOf(Driver& driver, DWORD lun) {
  auto found = driver.readers.find(lun >> 16);
  return found == driver.readers.end() ? nullptr : &found->second;
}

template <typename Body>
RESPONSECODE Guarded(Body&& body) {
  try {
    return body();
  } catch (...) {
    return IFD_COMMUNICATION_ERROR;
  }
}

RESPONSECODE OpenReader(DWORD lun, std::size_t index) {
  auto& driver = TheDriver();
  auto views = driver.bank.Readers();
  if (index >= views.size()) return IFD_NO_SUCH_DEVICE;
  std::lock_guard lock(driver.mutex);
  driver.readers[lun >> 16] = views[index].name;
  return IFD_SUCCESS;
}

std::optional<tarsin::sim::ReaderView> ViewOf(DWORD lun) {
  auto& driver = TheDriver();
  std::string name;
  {
    std::lock_guard lock(driver.mutex);
    auto* reader = ReaderOf(driver, lun);
    if (!reader) return std::nullopt;
    name = *reader;
  }
  return driver.bank.Reader(name);
}

RESPONSECODE ReturnValue(const Bytes& value, PDWORD length, PUCHAR buffer) {
  if (*length < value.size()) return IFD_ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(buffer, value.data(), value.size());
  *length = value.size();
  return IFD_SUCCESS;
}

}  // namespace

TARSIN_EXPORT RESPONSECODE IFDHCreateChannelByName(DWORD Lun, LPSTR DeviceName) {
  return Guarded([&]() -> RESPONSECODE {
    char* end = nullptr;
    unsigned long index = DeviceName ? std::strtoul(DeviceName, &end, 10) : 0;
    if (!DeviceName || end == DeviceName) return IFD_NO_SUCH_DEVICE;
    return OpenReader(Lun, index);
  });
}

TARSIN_EXPORT RESPONSECODE IFDHCreateChannel(DWORD Lun, DWORD Channel) {
  return Guarded([&]() -> RESPONSECODE { return OpenReader(Lun, Channel); });
}

TARSIN_EXPORT RESPONSECODE IFDHCloseChannel(DWORD Lun) {
  auto& driver = TheDriver();
  std::lock_guard lock(driver.mutex);
  driver.readers.erase(Lun >> 16);
  return IFD_SUCCESS;
}

TARSIN_EXPORT RESPONSECODE IFDHGetCapabilities(DWORD Lun, DWORD Tag, PDWORD Length, PUCHAR Value) {
  return Guarded([&]() -> RESPONSECODE {
    if (!Length || !Value) return IFD_COMMUNICATION_ERROR;
    switch (Tag) {
      case TAG_IFD_SLOTS_NUMBER:
      case TAG_IFD_SIMULTANEOUS_ACCESS:
      case TAG_IFD_THREAD_SAFE:
        return ReturnValue({1}, Length, Value);
      case TAG_IFD_SLOT_THREAD_SAFE:
        return ReturnValue({0}, Length, Value);
      default:
        break;
    }
    auto view = ViewOf(Lun);
    if (!view) return IFD_NO_SUCH_DEVICE;
    auto id = Tag == TAG_IFD_ATR ? tarsin::sim::kAttrAtrString : static_cast<std::uint32_t>(Tag);
    auto value = tarsin::sim::ReaderAttribute(*view, id);
    if (!value) return IFD_ERROR_TAG;
    return ReturnValue(*value, Length, Value);
  });
}

TARSIN_EXPORT RESPONSECODE IFDHSetCapabilities(DWORD, DWORD, DWORD, PUCHAR) {
  return IFD_ERROR_VALUE_READ_ONLY;
}

TARSIN_EXPORT RESPONSECODE IFDHSetProtocolParameters(DWORD Lun, DWORD Protocol, UCHAR, UCHAR, UCHAR,
                                                     UCHAR) {
  return Guarded([&]() -> RESPONSECODE {
    auto view = ViewOf(Lun);
    if (!view) return IFD_NO_SUCH_DEVICE;
    unsigned wanted = Protocol == SCARD_PROTOCOL_T0   ? tarsin::sim::kProtocolT0
                      : Protocol == SCARD_PROTOCOL_T1 ? tarsin::sim::kProtocolT1
                                                      : 0;
    return (view->protocols & wanted) ? IFD_SUCCESS : IFD_PROTOCOL_NOT_SUPPORTED;
  });
}

TARSIN_EXPORT RESPONSECODE IFDHPowerICC(DWORD Lun, DWORD Action, PUCHAR Atr, PDWORD AtrLength) {
  return Guarded([&]() -> RESPONSECODE {
    if (AtrLength && Action == IFD_POWER_DOWN) *AtrLength = 0;
    auto view = ViewOf(Lun);
    if (!view) return IFD_NO_SUCH_DEVICE;
    TheDriver().bank.ResetCard(view->name);
    if (Action == IFD_POWER_DOWN) return IFD_SUCCESS;
    if (Action != IFD_POWER_UP && Action != IFD_RESET) return IFD_NOT_SUPPORTED;
    if (!view->card_present || view->card_mute || !Atr || !AtrLength) return IFD_ERROR_POWER_ACTION;
    return ReturnValue(view->atr, AtrLength, Atr);
  });
}

TARSIN_EXPORT RESPONSECODE IFDHTransmitToICC(DWORD Lun, SCARD_IO_HEADER SendPci, PUCHAR TxBuffer,
                                             DWORD TxLength, PUCHAR RxBuffer, PDWORD RxLength,
                                             PSCARD_IO_HEADER RecvPci) {
  return Guarded([&]() -> RESPONSECODE {
    if (!TxBuffer || !RxBuffer || !RxLength) return IFD_COMMUNICATION_ERROR;
    DWORD room = *RxLength;
    *RxLength = 0;
    std::string name;
    {
      auto& driver = TheDriver();
      std::lock_guard lock(driver.mutex);
      auto* reader = ReaderOf(driver, Lun);
      if (!reader) return IFD_NO_SUCH_DEVICE;
      name = *reader;
    }
    auto result = TheDriver().bank.Transmit(name, Bytes(TxBuffer, TxBuffer + TxLength));
    switch (result.outcome) {
      case Outcome::kOk:
        break;
      case Outcome::kRemovedMidCommand:
        return IFD_SUCCESS;  // nothing came back; the card is gone
      case Outcome::kNoCard:
        return IFD_ICC_NOT_PRESENT;
      case Outcome::kNoReader:
        return IFD_NO_SUCH_DEVICE;
      case Outcome::kMuteCard:
        return IFD_RESPONSE_TIMEOUT;
      case Outcome::kInjectedFailure:
      case Outcome::kFileError:
        return IFD_COMMUNICATION_ERROR;
    }
    if (result.answer.size() > room) return IFD_ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(RxBuffer, result.answer.data(), result.answer.size());
    *RxLength = result.answer.size();
    if (RecvPci) *RecvPci = SendPci;
    return IFD_SUCCESS;
  });
}

TARSIN_EXPORT RESPONSECODE IFDHControl(DWORD, DWORD, PUCHAR, DWORD, PUCHAR, DWORD,
                                       LPDWORD pdwBytesReturned) {
  if (pdwBytesReturned) *pdwBytesReturned = 0;
  return IFD_ERROR_NOT_SUPPORTED;
}

TARSIN_EXPORT RESPONSECODE IFDHICCPresence(DWORD Lun) {
  return Guarded([&]() -> RESPONSECODE {
    auto view = ViewOf(Lun);
    if (!view) return IFD_NO_SUCH_DEVICE;
    return view->card_present && view->present ? IFD_ICC_PRESENT : IFD_ICC_NOT_PRESENT;
  });
}
