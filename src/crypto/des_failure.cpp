#include "crypto/des_failure.h"

#include "core/failure.h"

namespace tarsin {

void RaiseDesError(const ErrorEntry& entry, const char* source) {
  throw Failure(entry, source);
}

}  // namespace tarsin
