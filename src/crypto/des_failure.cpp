// SPDX-License-Identifier: Apache-2.0
#include "crypto/des_failure.h"

#include "core/failure.h"

namespace tarsin {

void RaiseDesError(const ErrorEntry& entry, const char* source) {
  throw Failure(entry, source);
}

}  // namespace tarsin
