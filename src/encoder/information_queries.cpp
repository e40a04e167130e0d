// SPDX-License-Identifier: Apache-2.0
// The information query.
#include <fmt/format.h>

#include "core/error.h"
#include "core/failure.h"
#include "core/log.h"
#include "pcsc/status_texts.h"
#include "tarsin/encoder.h"

namespace tarsin {

std::string Encoder::GetInformation() noexcept {
  const std::lock_guard call(*state_->calls);
  std::string result;
  tarsin::WriteLog(*state_, "--> GetInformation");
  ClearError(*state_);
  RunStepOrGoOn([&] {
    result =
        fmt::format("Nemora|Tarsin RF|{}.{}.{}|Mifare Classic, Mifare Ultralight, Mifare DESFire",
                    TARSIN_VERSION_MAJOR, TARSIN_VERSION_MINOR, TARSIN_VERSION_PATCH);
  });
  tarsin::WriteLog(*state_, "GetInformation returns: " + result);
  ClearError(*state_, "GetInformation");
  tarsin::WriteLog(*state_, "<-- GetInformation");
  return result;
}

// Not a card operation: no reader, no log line, LastError untouched. The caller argument exists
// for the host's convenience and is ignored.
std::string Encoder::GetResponseText(const std::string& sErrorCode,
                                     const std::optional<std::string>&) noexcept {
  return StatusWordText(sErrorCode);
}

}  // namespace tarsin
