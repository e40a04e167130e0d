#include "core/state.h"

#include "crypto/des.h"

namespace tarsin {

EncoderState::EncoderState() = default;
EncoderState::~EncoderState() = default;

}  // namespace tarsin
