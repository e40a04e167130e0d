#include "core/error.h"
#include "mifare/mifare.h"

namespace tarsin::mifare {

void SetOperationError(EncoderState& state, uint32_t number, const char* description,
                       const char* function) noexcept {
  SetError(state, {.number = number,
                   .description = description,
                   .lastDllError = 0,
                   .comFunction = function,
                   .rdrCommand = "",
                   .rdrRetCode = ""});
}

}  // namespace tarsin::mifare
