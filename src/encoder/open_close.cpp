// SPDX-License-Identifier: Apache-2.0
// The Encoder's session members forward to the reader session.
#include "core/error.h"
#include "core/log.h"
#include "pcsc/session.h"
#include "tarsin/encoder.h"

namespace tarsin {

sceReturnCode Encoder::OpenEncoder(int32_t Handle) noexcept {
  const std::lock_guard call(*state_->calls);
  return OpenSession(*state_, Handle, true);
}

sceReturnCode Encoder::CloseEncoder() noexcept {
  const std::lock_guard call(*state_->calls);
  return CloseSession(*state_);
}

void Encoder::ReOpenEncoder() noexcept {
  const std::lock_guard call(*state_->calls);
  CloseEncoder();
  OpenEncoder(0);
}

}  // namespace tarsin
