#include "crypto/des_failure.h"

#include "core/failure.h"
#include "crypto/des.h"

namespace tarsin {

const char* DesErrorDescription(uint32_t number) noexcept {
  switch (number) {
    case kDesBadKeyIndex:
      return "Bad key index";
    case kDesBadParameterType:
      return "Bad parameter type";
    case kDesInvalidHex:
      return "Invalid hexadecimal string";
    case kDesInvalidAlgorithm:
      return "Invalid cipher algorithm";
    case kDesInvalidChaining:
      return "Invalid chaining mode";
    case kDesBadPadding:
      return "Bad padding mode";
    case kDesInvalidDataLength:
      return "Invalid data length";
    default:
      return "";
  }
}

void RaiseDesError(uint32_t number, const char* source) {
  throw Failure(number, DesErrorDescription(number), source);
}

}  // namespace tarsin
