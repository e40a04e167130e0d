// The Encoder's session members forward to the reader session.
#include "core/error.h"
#include "core/log.h"
#include "pcsc/session.h"
#include "tarsin/encoder.h"

namespace tarsin {

sceReturnCode Encoder::OpenEncoder(int32_t Handle) noexcept {
  return OpenSession(*state_, Handle, true);
}

sceReturnCode Encoder::CloseEncoder() noexcept {
  return CloseSession(*state_);
}

void Encoder::ReOpenEncoder() noexcept {
  CloseEncoder();
  OpenEncoder(0);
}

}  // namespace tarsin
