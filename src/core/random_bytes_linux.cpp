// SPDX-License-Identifier: Apache-2.0
#include <sys/random.h>

#include <cerrno>

#include "core/failure.h"
#include "core/random_bytes.h"

namespace tarsin {

void RandomBytes(std::span<uint8_t> bytes) {
  size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      Failure failure(errors::kRandomUnavailable);
      failure.setOsError(errno);
      throw failure;
    }
    filled += static_cast<size_t>(got);
  }
}

}  // namespace tarsin
